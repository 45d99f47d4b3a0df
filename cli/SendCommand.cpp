#include "SendCommand.h"

#include "LinkOptions.h"
#include "comm/LC_Protocol.h"
#include "comm/LoadRecord.h"
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
    void CommandFinished(const CommandReport& report) override {
        if (!report.loadRecord.empty()) {
            loadRecord = report.loadRecord;
        }
        if (!report.recordProblem.empty()) {
            m_prompter.MessageBox(report.recordProblem, MB_OK); // the load itself went on
        }
    }
    int failures = 0;
    std::string loadRecord; // of the send, as appended to the record of loads

private:
    Prompter& m_prompter;
};

bool IsVolt(const std::string& path) {
    const std::string tail =
        asciitext::ToLower(path.size() >= 3 ? path.substr(path.size() - 3) : path);
    return tail == ".vf";
}

// What a Send of the document hands to the worker, as the window's Send makes it.
std::unique_ptr<ProfileTransfer> TransferOf(CliContext& context, const std::string& path) {
    if (IsVolt(path)) {
        CLC_VoltDoc doc(context.app);
        return doc.OnOpenDocument(path) ? doc.PrepareSend() : nullptr;
    }
    CTessaronDoc doc(context.app);
    return doc.OnOpenDocument(path) ? doc.PrepareSend() : nullptr;
}

struct SendArgs {
    std::string file;
    LinkArgs link;
    bool json = false;
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
    if (args.json) {
        // The load's record, whatever its result; the exit status and the messages say the rest.
        if (!host.loadRecord.empty()) {
            context.out << host.loadRecord << '\n';
        }
    } else if (host.failures == 0) {
        context.out << "sent " << elements << " elements (" << codes << " codes)\n";
    }
    return host.failures > 0 ? kExitRefused : kExitOk;
}

} // namespace

Command AddSendCommand(CLI::App& tool) {
    auto args = std::make_shared<SendArgs>();
    CLI::App& command = AddCommand(
        tool, "send", std::string("send FILE.lcp|FILE.vf ") + kLinkSynopsis + " [--json]",
        "Connects to the controller, loads the parameters and the codes a Send would\n"
        "transmit, and disconnects. Options not given come from the settings file;\n"
        "--log writes the protocol log to PATH. Every load is added to the record of\n"
        "loads, tessaron-loads.jsonl beside the protocol log (see 'loads').");
    AddArgument(command, "FILE", args->file, "a profile (.lcp) or a volt-phase table (.vf)");
    AddLinkOptions(command, args->link);
    command.add_flag("--json", args->json,
                     "print the load's record (a JSON object, see docs/json.md) instead");
    return {&command, [args](CliContext& context) { return RunSend(context, *args); }};
}
