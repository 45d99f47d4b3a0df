// tessaron-sim: the controller simulator as a program of its own. It prints the device path
// to give the program (for example to tessaron-cli send's --port), serves until interrupted and
// then sums up what it saw.
#include "ControllerSimulator.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

namespace {

constexpr const char* kUsage =
    "usage: tessaron-sim [options]\n"
    "Simulates the modulator controller on a pseudo-terminal. The first line printed is the\n"
    "device path for the program; serving goes on until SIGINT or SIGTERM.\n"
    "\n"
    "  --pace BAUD          answer as slowly as a line of BAUD would carry the bytes\n"
    "  --record FILE        append every finished command, decoded, to FILE\n"
    "  --silent             never answer\n"
    "  --silent-after N     answer the first N steps, then never again\n"
    "  --wrong-byte N       answer the first N steps with 0x15 instead of ACK\n"
    "  --answer-on-try N    answer a step only on its N-th identical transmission\n"
    "  --hang-up-after N    serve N steps, then close the line on the next one and exit\n"
    "  --late-ack N         send the first N acknowledgements twice\n"
    "  --delay-reply N:MS   answer step N MS milliseconds late (may be given more than once)\n"
    "  --help               show this text\n"
    "\n"
    "A step is one transmission: ENQ, EOT, a frame or a run of stray bytes.\n";

int UsageError(const std::string& message) {
    std::cerr << "tessaron-sim: " << message << "\n" << kUsage;
    return 2;
}

// A whole non-negative decimal number, or -1.
long long Count(const char* text) {
    if (!text || !*text) {
        return -1;
    }
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (*end != '\0' || errno != 0 || value < 0 || text[0] == '-' || text[0] == '+' ||
        text[0] == ' ') {
        return -1;
    }
    return value;
}

} // namespace

int main(int argc, char** argv) {
    ControllerSimulator::Faults faults;
    int pace = 0;
    std::string record;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (option == "--silent") {
            faults.silent = true;
            continue;
        }
        const bool takesValue = option == "--pace" || option == "--record" ||
                                option == "--silent-after" || option == "--wrong-byte" ||
                                option == "--answer-on-try" || option == "--hang-up-after" ||
                                option == "--late-ack" || option == "--delay-reply";
        if (!takesValue) {
            return UsageError("unknown option " + option);
        }
        if (i + 1 >= argc) {
            return UsageError(option + " needs a value");
        }
        const char* value = argv[++i];
        if (option == "--record") {
            record = value;
            continue;
        }
        if (option == "--delay-reply") {
            const std::string text = value;
            const auto colon = text.find(':');
            const long long step = Count(text.substr(0, colon).c_str());
            const long long ms =
                colon == std::string::npos ? -1 : Count(text.substr(colon + 1).c_str());
            if (step < 1 || step > 100000000 || ms < 0 || ms > 100000000) {
                return UsageError(option + " takes STEP:MILLISECONDS, such as 9:1500, not \"" +
                                  text + "\"");
            }
            faults.replyDelays.push_back({static_cast<int>(step), static_cast<int>(ms)});
            continue;
        }
        const long long number = Count(value);
        const long long least = option == "--pace" || option == "--answer-on-try" ? 1 : 0;
        if (number < least || number > 100000000) {
            return UsageError(option + " takes a whole number from " + std::to_string(least) +
                              ", not \"" + value + "\"");
        }
        const int n = static_cast<int>(number);
        if (option == "--pace") {
            pace = n;
        } else if (option == "--silent-after") {
            faults.silentAfterSteps = n;
        } else if (option == "--wrong-byte") {
            faults.wrongByteOnSteps = n;
        } else if (option == "--answer-on-try") {
            faults.answerOnTry = n;
        } else if (option == "--hang-up-after") {
            faults.hangUpAfterSteps = n;
        } else {
            faults.lateAckSteps = n;
        }
    }

    // The signals are taken with sigtimedwait; blocked before the serving thread starts, so
    // it inherits the mask and never receives them itself.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        ControllerSimulator sim;
        sim.SetFaults(faults);
        sim.SetPace(pace);
        sim.SetRecordFile(record);
        sim.Start();
        std::cout << sim.SlavePath() << std::endl;

        const timespec tick{0, 100 * 1000 * 1000};
        while (sigtimedwait(&stopSignals, nullptr, &tick) < 0 && !sim.HungUp()) {
        }
        sim.Stop();

        std::size_t complete = 0;
        const auto commands = sim.Commands();
        for (const auto& command : commands) {
            complete += command.complete ? 1 : 0;
        }
        const auto problems = sim.Problems();
        std::cerr << "tessaron-sim: " << sim.Transmissions().size() << " transmissions, "
                  << commands.size() << " commands (" << complete << " complete), "
                  << problems.size() << " problems"
                  << (problems.empty() ? "" : ", the first: " + problems.front())
                  << (sim.HungUp() ? ", line hung up" : "") << "\n";
    } catch (const std::exception& error) {
        std::cerr << "tessaron-sim: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
