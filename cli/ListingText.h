// Text forms shared by the tool's listings (show): one `name: value` line per field.
#pragma once

#include <string>

namespace listing {

// The shortest text that reads back as the same double: exact, and short for round values.
std::string Exact(double value);

// Line breaks, tabs and backslashes escaped, so a multi-line note stays on one line.
std::string Escaped(const std::string& text);

} // namespace listing
