// What a document needs of the window around it to send its codes to the controller: whether
// the link is open, whether a command is under way, and a way to hand a command to the
// communication worker. The window program's main frame is the real host; a document without
// one (the command line tool, most tests) has no Send.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

class Document;
class Prompter;

enum ControllerCommand : int {
    CMD_CONNECT = 0,
    CMD_DISCONNECT = 1,
    CMD_SEND_PROFILE = 2,
};

// One named value of a document's parameters, for records and listings.
using FieldValue = std::variant<bool, std::int64_t, double, std::string>;
using FieldList = std::vector<std::pair<std::string, FieldValue>>;

// What a document says about itself when it is sent, for the record of loads: which kind of
// document, from which file, with which parameters and correction table.
struct LoadDescription {
    std::string kind;       // "profile" or "volt-phase"
    std::string file;       // the document's file; empty when it was never saved
    bool modified = false;  // changed since it was opened or saved
    FieldList parameters;   // as the document's listing names them
    std::string correction; // the correction table file in use; empty when none
};

// What a send hands to the worker: its own copy of the codes (two per element), so the
// document stays free to change while the transfer runs, the element count, and what the
// record of loads is to say about the document (none: the load is not recorded).
struct ProfileTransfer {
    std::vector<std::uint16_t> codes;
    std::uint16_t elements = 0;
    std::shared_ptr<const LoadDescription> load;
};

class ControllerHost {
public:
    virtual ~ControllerHost() = default;
    // The link to the controller is open.
    virtual bool IsLinkOpen() const = 0;
    // A command has been handed to the worker and has not finished yet.
    virtual bool IsBusy() const = 0;
    // A profile send is under way.
    virtual bool IsSending() const = 0;
    virtual void SetSending(bool sending) = 0;
    // Hands a command to the worker and makes the host busy until it has finished.
    virtual void PostToWorker(int code, std::unique_ptr<ProfileTransfer> transfer) = 0;
};

// The state of a command in menus and on tool bars.
struct CommandState {
    bool enabled = false;
    bool checked = false;
};

namespace controller {

// Send is available while the link is open and nothing is under way; it shows checked while
// a send runs. Without a host it is unavailable.
CommandState SendState(const ControllerHost* host);

// Starts a send: marks the host as sending and hands the transfer to the worker. Does
// nothing, and returns false, when Send is not available.
bool PostSend(ControllerHost* host, std::unique_ptr<ProfileTransfer> transfer);

// The description of `doc` for the record of loads: its file (made absolute, so the record
// names it from anywhere; none for a document never saved) and whether it changed since, with
// the given kind, parameters and correction table (made absolute too; empty: none).
std::shared_ptr<const LoadDescription> Describe(const Document& doc, std::string kind,
                                                FieldList parameters,
                                                const std::string& correction);

// The close guard of a document window: while a send runs the window must stay open (the
// worker is still reading what the document sent), which is said with message 222.
bool AllowsClose(const ControllerHost* host, Prompter& prompter);

} // namespace controller
