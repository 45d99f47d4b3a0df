#include "SendCommand.h"

#include "LinkOptions.h"
#include "comm/LC_Protocol.h"
#include "framework/AsciiText.h"
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
    LinkArgs link;
};

int RunSend(CliContext& context, const SendArgs& args) {
    const LinkOverrides overrides = args.link.Apply();
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
    CLI::App& command =
        AddCommand(tool, "send", std::string("send FILE.lcp|FILE.vf ") + kLinkSynopsis,
                   "Connects to the controller, loads the parameters and the codes a Send would\n"
                   "transmit, and disconnects. Options not given come from the settings file;\n"
                   "--log writes the protocol log to PATH.");
    AddArgument(command, "FILE", args->file, "a profile (.lcp) or a volt-phase table (.vf)");
    AddLinkOptions(command, args->link);
    return {&command, [args](CliContext& context) { return RunSend(context, *args); }};
}
