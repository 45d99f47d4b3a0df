// tessaron-sim run as a real process: its refusals of malformed options, its help, and that it
// prints the device path first, then serves until it is stopped or hangs up.
#include "support/RunProcess.h"

#include <csignal>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using ::testing::HasSubstr;

TEST(SimProgramTest, MalformedOptionsAreUsageErrors) {
    // arguments, what the message names
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--pace", "0"}, "--pace: takes a whole number from 1"},
        {{"--pace", "-3"}, "not \"-3\""},
        {{"--silent-after", "+1"}, "--silent-after"},
        {{"--wrong-byte", ""}, "--wrong-byte"},
        {{"--late-ack", " 1"}, "--late-ack"},
        {{"--answer-on-try", "0"}, "--answer-on-try: takes a whole number from 1"},
        {{"--hang-up-after", "100000001"}, "--hang-up-after"},
        {{"--hang-up-after", "2x"}, "--hang-up-after"},
        {{"--late-ack"}, "--late-ack"},
        {{"--colour"}, "--colour"},
        {{"extra"}, "extra"},
        {{"--lc-noise", "0.1"}, "--lc-noise requires --phase-out"},
        {{"--phase-out", "p.csv", "--lc-wavelength", "0"}, "--lc-wavelength: takes a number from"},
        {{"--phase-out", "p.csv", "--lc-noise", "x"}, "not \"x\""},
    };
    for (const auto& [args, named] : cases) {
        SCOPED_TRACE(args.front());
        const auto result = RunProcess(TESSARON_SIM, args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.out.empty()) << result.out;
        EXPECT_EQ(result.err.rfind("tessaron-sim: ", 0), 0u);
        EXPECT_THAT(result.err, HasSubstr(named));
        EXPECT_THAT(result.err, HasSubstr("tessaron-sim --help"));
    }
    const auto help = RunProcess(TESSARON_SIM, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option :
         {"--pace BAUD", "--record FILE", "--silent ", "--silent-after N", "--wrong-byte N",
          "--answer-on-try N", "--hang-up-after N", "--late-ack N", "--phase-out FILE",
          "--lc-wavelength M", "--lc-noise RAD"}) {
        EXPECT_THAT(help.out, HasSubstr(option));
    }
}

// The simulator as a child with its standard output on a pipe.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& args) {
        int out[2];
        if (pipe(out) != 0) {
            throw std::runtime_error("no pipe");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv = {const_cast<char*>(TESSARON_SIM)};
        for (const auto& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        const int spawned =
            posix_spawn(&m_pid, TESSARON_SIM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        m_out = out[0];
        if (spawned != 0) {
            m_pid = -1;
        }
    }
    ~SimProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_out);
    }

    // What it printed until it closed its output, or until the deadline; the first line once
    // `oneLine`.
    std::string Read(bool oneLine, int deadlineMs = 10000) {
        std::string text;
        for (;;) {
            pollfd ready{m_out, POLLIN, 0};
            char c = 0;
            if (poll(&ready, 1, deadlineMs) != 1 || read(m_out, &c, 1) != 1) {
                return text;
            }
            text += c;
            if (oneLine && c == '\n') {
                return text;
            }
        }
    }

    // The exit status once it has closed its output; -1 when it did not exit normally.
    int Wait() {
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

// The first line is the device to use; the simulator ends with status 0 when it is stopped and
// when it hangs up as told.
TEST(SimProgramTest, PrintsTheDeviceFirstAndEndsCleanly) {
    for (const bool hangUp : {false, true}) {
        SCOPED_TRACE(hangUp ? "hang-up" : "SIGTERM");
        SimProcess sim(hangUp ? std::vector<std::string>{"--hang-up-after", "0"}
                              : std::vector<std::string>{"--pace", "115200"});
        ASSERT_GT(sim.Pid(), 0);
        const std::string line = sim.Read(true);
        ASSERT_EQ(line.rfind("/dev/pts/", 0), 0u) << line;
        const std::string device = line.substr(0, line.size() - 1);
        const int port = open(device.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(port, 0) << device;
        if (hangUp) {
            const char enq = 0x05; // the first step, on which it closes the line
            ASSERT_EQ(write(port, &enq, 1), 1);
        } else {
            kill(sim.Pid(), SIGTERM);
        }
        EXPECT_EQ(sim.Read(false), ""); // nothing more, then the end of its output
        EXPECT_EQ(sim.Wait(), 0);
        close(port);
    }
}

} // namespace
