// The record of loads: one JSON line for every load of a document into the controller, from
// the window, the command line tool or the Python module alike, appended by the worker to
// "tessaron-loads.jsonl" beside the protocol log. It says what was loaded (the document's
// kind, file, parameters and correction table, each file with its SHA-256, and the SHA-256 of
// the codes sent), where, how the steps went and how it ended, so that a result can be traced
// back to the codes that made it. The fields are described in docs/json.md.
#pragma once

#include "comm/LC_Protocol.h"
#include "framework/ControllerHost.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// JSON output shared by the record, the command line tool's --json and the Python module.
namespace jsonout {

using Json = nlohmann::ordered_json;

// A double as JSON: a number when finite (written as the shortest text that reads back as
// the same double), else the string "nan", "inf" or "-inf" (JSON has no such numbers).
Json Number(double value);
// Named values as a JSON object, in their order.
Json Fields(const FieldList& fields);
// The text of `value` (one line when `indent` is -1). Never throws: text that is not UTF-8
// has its bad bytes replaced by U+FFFD.
std::string Dump(const Json& value, int indent = -1);

} // namespace jsonout

namespace sha256 {

// The SHA-256 of bytes, as 64 lower-case hexadecimal digits.
std::string Hex(std::string_view bytes);
// The SHA-256 of a file's contents; nothing when it cannot be read (`error`: the reason).
std::optional<std::string> OfFile(const std::string& path, int* error = nullptr);
// The SHA-256 of codes as they go to the controller: each 16-bit code low byte first.
std::string OfCodes(const std::vector<std::uint16_t>& codes);

} // namespace sha256

namespace loadrecord {

inline constexpr const char* kFileName = "tessaron-loads.jsonl";

// The record beside the protocol log `logPath`.
std::string PathBeside(const std::string& logPath);

// What is taken when a load begins, before anything goes on the wire: the time and the
// digests of the document's file, its correction table and the codes.
struct Snapshot {
    std::string time; // local time, ISO 8601 with milliseconds and the offset from UTC
    std::optional<std::string> fileSha256;
    std::string fileState; // "as saved", "changed since saved", "never saved", "unreadable"
    std::optional<std::string> tableSha256;
    std::string codesSha256;
};
Snapshot Take(const ProfileTransfer& transfer);

// The record of a finished load; `message` is the program's message for a load that did not
// succeed (empty when it did).
jsonout::Json Build(const ProfileTransfer& transfer, const Snapshot& snapshot,
                    const CommandReport& report, const std::string& message);

// Appends `line` and a line break to the record at `path` (created when missing) in one
// write, under an advisory lock, so that programs writing at once never mix their lines; a
// write that fails part way is taken back. 0, or the system's error number.
int Append(const std::string& path, const std::string& line);

// The records of a file, oldest first; a line that is not a record is left out and named in
// `problems`. Nothing when the file cannot be read (`error`: the reason).
struct Listing {
    std::vector<jsonout::Json> records;
    std::vector<std::string> problems;
};
std::optional<Listing> Read(const std::string& path, int* error = nullptr);

// One line for a person: time, result, document, elements, port and speed, duration, the
// beginning of the codes' digest, and the message of a load that did not succeed.
std::string Summary(const jsonout::Json& record);

// The step that failed in a command's report ("data block 2: not acknowledged after 3
// transmissions"); empty when none did.
std::string FailedStep(const CommandReport& report);

} // namespace loadrecord
