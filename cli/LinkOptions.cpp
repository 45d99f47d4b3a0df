#include "LinkOptions.h"

#include "comm/ProtocolLog.h"
#include "framework/NumberText.h"

namespace {

// The index (0..3) of a divisor of 1, 2, 4 or 8.
std::optional<int> DivisorIndex(const std::string& text) {
    const auto value = numtext::ParseInt(text);
    for (int index = 0; value && index < 4; ++index) {
        if (*value == 1 << index) {
            return index;
        }
    }
    return std::nullopt;
}

// A line speed the controller knows, in baud.
std::optional<int> KnownBaud(const std::string& text) {
    const auto baud = numtext::ParseInt(text);
    for (int index = 0; baud && BaudFromIndex(index); ++index) {
        if (*BaudFromIndex(index) == *baud) {
            return baud;
        }
    }
    return std::nullopt;
}

// A receive time-out in milliseconds, from 1 on.
std::optional<int> TimeoutMs(const std::string& text) {
    const auto ms = numtext::ParseInt(text);
    return ms && *ms >= 1 ? ms : std::nullopt;
}

// An option whose value `read` converts into `value`; a value it cannot read is a usage
// error, "--speed: " followed by `refusal` and the text given.
CLI::Option* AddConverted(CLI::App& command, const std::string& name, std::optional<int>& value,
                          std::optional<int> (*read)(const std::string&),
                          const std::string& placeholder, const std::string& refusal,
                          const std::string& help) {
    return command
        .add_option_function<std::string>(
            name, [&value, read](const std::string& text) { value = read(text); }, help)
        ->type_name(placeholder)
        ->check(Check([read, refusal](const std::string& text) {
            return read(text) ? std::string() : refusal + ", not '" + text + "'";
        }));
}

} // namespace

LinkOverrides LinkArgs::Apply() const {
    LinkOverrides applied = overrides;
    if (log) {
        protolog::SetLogPath(*log);
        applied.log = true;
    }
    return applied;
}

void AddLinkOptions(CLI::App& command, LinkArgs& args) {
    LinkOverrides& link = args.overrides;
    AddText(command, "--port", link.device, "PATH", "the serial device");
    AddConverted(command, "--speed", link.baud, KnownBaud, "BAUD",
                 "the speed is one of 1200 2400 4800 9600 14400 19200 38400 56000 57600 115200",
                 "the line speed");
    AddConverted(command, "--timeout", link.rxTimeoutMs, TimeoutMs, "MS",
                 "the time-out is a number of milliseconds from 1 on",
                 "the wait for one reply byte");
    AddText(command, "--log", args.log, "PATH", "append the protocol log to PATH");
    AddConverted(command, "--line-div", link.lineDivisorIndex, DivisorIndex, "1|2|4|8",
                 "a divisor is 1, 2, 4 or 8", "the line divisor");
    AddConverted(command, "--frame-div", link.frameDivisorIndex, DivisorIndex, "1|2|4|8",
                 "a divisor is 1, 2, 4 or 8", "the frame divisor");
}
