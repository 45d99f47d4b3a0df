// Whole-file reads and crash-safe whole-file writes.
//
// Every write of the program goes through one mechanism: the data go into a new file beside
// the target, every byte is checked, the file is flushed to disk (fsync), renamed over the
// target and the folder is flushed, so the target holds the old contents or the new ones and
// never a part. A failure says why: the functions hand back the system's error number, and
// Reason turns it into the words a person reads.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace safefile {

// An error of this module that the system has no number for: a read of something that is
// not a regular file (a folder is EISDIR).
inline constexpr int kNotRegularFile = -1;

// The reason of an error number as a person reads it: "No space left on device".
std::string Reason(int error);
// The detail line of a message about a file: "PATH: REASON".
std::string Detail(const std::string& path, int error);

// No document file of the program comes near this size.
inline constexpr std::size_t kMaxDocumentBytes = std::size_t{64} << 20;

// Reads a whole file. Returns nothing when it cannot be opened or read, or when it is
// larger than `maxBytes`; `error`, when given, then receives the reason (EFBIG for a file
// over the limit).
std::optional<std::string> ReadAll(const std::string& path,
                                   std::size_t maxBytes = kMaxDocumentBytes, int* error = nullptr);

// Replaces the file at `path` by `data` as described above and returns true; on any failure
// the new file is removed, the old one stays as it was, `error` (when given) receives the
// reason and false is returned. An existing file keeps its permission bits (and its owner,
// where the process may give it away); a link is written through, so its target is replaced
// and the link stays. A character device or a FIFO (/dev/null, /dev/full, a pipe) cannot be
// replaced and is written into instead, every byte checked.
bool WriteAtomically(const std::string& path, std::string_view data, int* error = nullptr);

// The same replacement of the entry `name` of an open folder `dirFd`, without following a
// link at `name`: for callers that reach the folder themselves (through links they checked).
bool ReplaceInFolder(int dirFd, const std::string& name, std::string_view data,
                     int* error = nullptr);

// The call through which file data reach the system; ::write unless a test replaced it.
using WriteCall = ssize_t (*)(int fd, const void* data, std::size_t size);

// Makes `call` the write call while the object lives: tests put in one that fails on
// purpose, as a full disk or a failing device would.
class ScopedWriteCall {
public:
    explicit ScopedWriteCall(WriteCall call);
    ~ScopedWriteCall();
    ScopedWriteCall(const ScopedWriteCall&) = delete;
    ScopedWriteCall& operator=(const ScopedWriteCall&) = delete;

private:
    WriteCall m_previous;
};

} // namespace safefile
