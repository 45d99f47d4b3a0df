// Whole-file reads and crash-safe whole-file writes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace safefile {

// Reads a whole file. Returns nothing when it cannot be opened or read, or when it is
// larger than `maxBytes` (no document file of the program comes near the default).
std::optional<std::string> ReadAll(const std::string& path,
                                   std::size_t maxBytes = std::size_t{64} << 20);

// Writes `data` to a temporary file beside `path`, flushes it to disk and renames it over
// `path`. On any failure the temporary file is removed, the old file stays as it was and
// false is returned. An existing file keeps its permission bits.
bool WriteAtomically(const std::string& path, const std::string& data);

} // namespace safefile
