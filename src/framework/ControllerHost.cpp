#include "framework/ControllerHost.h"

#include "framework/Document.h"
#include "framework/Prompter.h"
#include "framework/StringTable.h"

#include <filesystem>
#include <system_error>

namespace controller {

CommandState SendState(const ControllerHost* host) {
    if (host == nullptr) {
        return {};
    }
    return {host->IsLinkOpen() && !host->IsBusy(), host->IsSending()};
}

bool PostSend(ControllerHost* host, std::unique_ptr<ProfileTransfer> transfer) {
    // The command is only reachable while enabled; a stray call (a key held down while the
    // state catches up) must not queue a second transfer behind the first.
    if (!transfer || !SendState(host).enabled) {
        return false;
    }
    host->SetSending(true);
    host->PostToWorker(CMD_SEND_PROFILE, std::move(transfer));
    return true;
}

namespace {

std::string Absolute(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

} // namespace

std::shared_ptr<const LoadDescription> Describe(const Document& doc, std::string kind,
                                                FieldList parameters,
                                                const std::string& correction) {
    auto load = std::make_shared<LoadDescription>();
    load->kind = std::move(kind);
    load->file = Absolute(doc.GetPathName());
    load->modified = doc.IsModified();
    load->parameters = std::move(parameters);
    load->correction = Absolute(correction);
    return load;
}

bool AllowsClose(const ControllerHost* host, Prompter& prompter) {
    if (host != nullptr && host->IsSending()) {
        prompter.Message(IDS_BUSY_CLOSE_DOC, MB_OK);
        return false;
    }
    return true;
}

} // namespace controller
