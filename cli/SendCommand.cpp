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

int DivisorIndex(const std::string& text) {
    const auto value = numtext::ParseInt(text);
    for (int index = 0; value && index < 4; ++index) {
        if (*value == 1 << index) {
            return index;
        }
    }
    throw UsageError("a divisor is 1, 2, 4 or 8, not '" + text + "'");
}

LinkOverrides OverridesFrom(const ParsedArgs& args) {
    LinkOverrides overrides;
    overrides.device = args.Value("--port");
    if (const auto speed = args.Value("--speed")) {
        const auto baud = numtext::ParseInt(*speed);
        bool known = false;
        for (int index = 0; baud && BaudFromIndex(index); ++index) {
            known = known || *BaudFromIndex(index) == *baud;
        }
        if (!known) {
            throw UsageError("the speed is one of 1200 2400 4800 9600 14400 19200 38400 56000 "
                             "57600 115200, not '" +
                             *speed + "'");
        }
        overrides.baud = *baud;
    }
    if (const auto timeout = args.Value("--timeout")) {
        const auto ms = numtext::ParseInt(*timeout);
        if (!ms || *ms < 1) {
            throw UsageError("the time-out is a number of milliseconds from 1 on");
        }
        overrides.rxTimeoutMs = *ms;
    }
    if (const auto log = args.Value("--log")) {
        protolog::SetLogPath(*log);
        overrides.log = true;
    }
    if (const auto line = args.Value("--line-div")) {
        overrides.lineDivisorIndex = DivisorIndex(*line);
    }
    if (const auto frame = args.Value("--frame-div")) {
        overrides.frameDivisorIndex = DivisorIndex(*frame);
    }
    return overrides;
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

int RunSend(CliContext& context, const ParsedArgs& args) {
    if (args.positional.size() != 1) {
        throw UsageError("expected exactly one profile or volt-phase file");
    }
    const LinkOverrides overrides = OverridesFrom(args);
    auto transfer = TransferOf(context, args.positional.front());
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

Command SendCommand() {
    return {"send",
            "send FILE.lcp|FILE.vf [--port PATH] [--speed BAUD] [--timeout MS] [--log PATH]\n"
            "         [--line-div 1|2|4|8] [--frame-div 1|2|4|8]\n"
            "      Connects to the controller, loads the parameters and the codes a Send would\n"
            "      transmit, and disconnects. Options not given come from the settings file;\n"
            "      --log writes the protocol log to PATH.",
            {{"--port", 1},
             {"--speed", 1},
             {"--timeout", 1},
             {"--log", 1},
             {"--line-div", 1},
             {"--frame-div", 1}},
            RunSend};
}
