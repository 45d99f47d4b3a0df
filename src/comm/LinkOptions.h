// The link settings a script may give in place of the settings file's (the command line
// tool's send options, the Python module's Controller), read from their text with the
// words that refuse a value outside its set.
#pragma once

#include <optional>
#include <string>

namespace linkoptions {

// The index (0..3) of a divisor of 1, 2, 4 or 8.
std::optional<int> DivisorIndex(const std::string& text);
// A line speed the controller knows, in baud.
std::optional<int> KnownBaud(const std::string& text);
// A receive time-out in milliseconds, from 1 on.
std::optional<int> TimeoutMs(const std::string& text);

inline constexpr const char* kDivisorRefusal = "a divisor is 1, 2, 4 or 8";
inline constexpr const char* kSpeedRefusal =
    "the speed is one of 1200 2400 4800 9600 14400 19200 38400 56000 57600 115200";
inline constexpr const char* kTimeoutRefusal = "the time-out is a number of milliseconds from 1 on";

} // namespace linkoptions
