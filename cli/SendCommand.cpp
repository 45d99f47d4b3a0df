#include "SendCommand.h"

#include "comm/LC_Protocol.h"
#include "comm/ProtocolLog.h"
#include "framework/AsciiText.h"
#include "framework/NumberText.h"
#include "framework/StringTable.h"
#include "profile/TessaronDoc.h"
#include "volt/LC_VoltDoc.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace {

// The worker's messages go to standard error; progress goes to a terminal only.
class ConsoleHost : public ProtocolHost {
public:
    explicit ConsoleHost(Prompter& prompter) : m_prompter(prompter) {}
    int ReportError(int stringId, unsigned type) override {
        ++failures;
        return m_prompter.Message(stringId, type);
    }
    void CommandDone(int) override {}
    void BlockSent(int block, int blocks) override {
        if (isatty(STDOUT_FILENO)) {
            std::cout << "block " << block << " of " << blocks << " acknowledged" << std::endl;
        }
    }
    int failures = 0;

private:
    Prompter& m_prompter;
};

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

bool IsVolt(const std::string& path) {
    const std::string tail =
        asciitext::ToLower(path.size() >= 3 ? path.substr(path.size() - 3) : path);
    return tail == ".vf";
}

// The codes a Send of the document transmits, as the window's Send makes them.
std::unique_ptr<ProfileTransfer> TransferOf(CliContext& context, const std::string& path) {
    auto transfer = std::make_unique<ProfileTransfer>();
    if (IsVolt(path)) {
        CLC_VoltDoc doc(context.app);
        if (!doc.OnOpenDocument(path)) {
            return nullptr;
        }
        doc.BuildOutputCodes();
        transfer->codes = doc.Codes();
        transfer->elements = static_cast<std::uint16_t>(doc.UsableElementCount());
    } else {
        CTessaronDoc doc(context.app);
        if (!doc.OnOpenDocument(path) || !doc.ComputeDacCodes(doc.UseCorrection() != 0)) {
            return nullptr;
        }
        transfer->codes = doc.Codes();
        transfer->elements = static_cast<std::uint16_t>(doc.Elements() & 0xFFFF);
    }
    return transfer;
}

struct SendArgs {
    std::string file;
    LinkOverrides overrides;
    std::optional<std::string> log;
};

int RunSend(CliContext& context, const SendArgs& args) {
    LinkOverrides overrides = args.overrides;
    if (args.log) {
        protolog::SetLogPath(*args.log);
        overrides.log = true;
    }
    auto transfer = TransferOf(context, args.file);
    if (!transfer) {
        return kExitRefused;
    }
    const std::size_t codes = transfer->codes.size();
    const int elements = transfer->elements;

    ConsoleHost host(context.prompter);
    CLC_Protocol link(context.settings, host);
    link.SetOverrides(overrides);
    link.OnControllerCommand(CMD_CONNECT, nullptr);
    if (!link.IsConnected()) {
        return kExitRefused;
    }
    link.OnControllerCommand(CMD_SEND_PROFILE, std::move(transfer));
    link.OnControllerCommand(CMD_DISCONNECT, nullptr);
    if (host.failures > 0) {
        return kExitRefused;
    }
    context.out << "sent " << elements << " elements (" << codes << " codes)\n";
    return kExitOk;
}

} // namespace

Command AddSendCommand(CLI::App& tool) {
    auto args = std::make_shared<SendArgs>();
    LinkOverrides& link = args->overrides;
    CLI::App& command =
        AddCommand(tool, "send",
                   "send FILE.lcp|FILE.vf [--port PATH] [--speed BAUD] [--timeout MS]\n"
                   "[--log PATH] [--line-div 1|2|4|8] [--frame-div 1|2|4|8]",
                   "Connects to the controller, loads the parameters and the codes a Send would\n"
                   "transmit, and disconnects. Options not given come from the settings file;\n"
                   "--log writes the protocol log to PATH.");
    AddArgument(command, "FILE", args->file, "a profile (.lcp) or a volt-phase table (.vf)");
    AddText(command, "--port", link.device, "PATH", "the serial device");
    AddConverted(command, "--speed", link.baud, KnownBaud, "BAUD",
                 "the speed is one of 1200 2400 4800 9600 14400 19200 38400 56000 57600 115200",
                 "the line speed");
    AddConverted(command, "--timeout", link.rxTimeoutMs, TimeoutMs, "MS",
                 "the time-out is a number of milliseconds from 1 on",
                 "the wait for one reply byte");
    AddText(command, "--log", args->log, "PATH", "append the protocol log to PATH");
    AddConverted(command, "--line-div", link.lineDivisorIndex, DivisorIndex, "1|2|4|8",
                 "a divisor is 1, 2, 4 or 8", "the line divisor");
    AddConverted(command, "--frame-div", link.frameDivisorIndex, DivisorIndex, "1|2|4|8",
                 "a divisor is 1, 2, 4 or 8", "the frame divisor");
    return {&command, [args](CliContext& context) { return RunSend(context, *args); }};
}
