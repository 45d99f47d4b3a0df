#include "LinkOptions.h"

#include "comm/LinkOptions.h"

namespace {

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
        applied.logPath = *log;
        applied.log = true;
    }
    return applied;
}

void AddLinkOptions(CLI::App& command, LinkArgs& args) {
    LinkOverrides& link = args.overrides;
    AddText(command, "--port", link.device, "PATH", "the serial device");
    AddConverted(command, "--speed", link.baud, linkoptions::KnownBaud, "BAUD",
                 linkoptions::kSpeedRefusal, "the line speed");
    AddConverted(command, "--timeout", link.rxTimeoutMs, linkoptions::TimeoutMs, "MS",
                 linkoptions::kTimeoutRefusal, "the wait for one reply byte");
    AddText(command, "--log", args.log, "PATH", "append the protocol log to PATH");
    AddConverted(command, "--line-div", link.lineDivisorIndex, linkoptions::DivisorIndex, "1|2|4|8",
                 linkoptions::kDivisorRefusal, "the line divisor");
    AddConverted(command, "--frame-div", link.frameDivisorIndex, linkoptions::DivisorIndex,
                 "1|2|4|8", linkoptions::kDivisorRefusal, "the frame divisor");
}
