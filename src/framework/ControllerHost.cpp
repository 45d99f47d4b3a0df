#include "framework/ControllerHost.h"

#include "framework/Prompter.h"
#include "framework/StringTable.h"

namespace controller {

CommandState SendState(const ControllerHost* host) {
    if (host == nullptr) {
        return {};
    }
    return {host->IsLinkOpen() && !host->IsBusy(), host->IsSending()};
}

bool PostSend(ControllerHost* host, std::vector<std::uint16_t> codes, std::uint16_t elements) {
    // The command is only reachable while enabled; a stray call (a key held down while the
    // state catches up) must not queue a second transfer behind the first.
    if (!SendState(host).enabled) {
        return false;
    }
    auto transfer = std::make_unique<ProfileTransfer>();
    transfer->codes = std::move(codes);
    transfer->elements = elements;
    host->SetSending(true);
    host->PostToWorker(CMD_SEND_PROFILE, std::move(transfer));
    return true;
}

bool AllowsClose(const ControllerHost* host, Prompter& prompter) {
    if (host != nullptr && host->IsSending()) {
        prompter.Message(IDS_BUSY_CLOSE_DOC, MB_OK);
        return false;
    }
    return true;
}

} // namespace controller
