// Locale-independent conversions between numbers and text.
//
// Files and messages use the C library's printf/scanf formats ("%Lf", "%e", "%.3d", ...).
// The functions here reproduce those formats exactly but never depend on the process locale,
// because a GUI toolkit may switch LC_NUMERIC to the user's locale at start-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace numtext {

// "%.*f": fixed notation; FormatFixed(0.01) == "0.010000".
std::string FormatFixed(double value, int precision = 6);

// "%.*e" with at least `exponentDigits` exponent digits. The C library writes two
// ("2.500000e+00"); on-screen and printed texts of the program use three ("2.500000e+000").
std::string FormatExp(double value, int precision = 6, int exponentDigits = 2);

// "%.*g", as used for the bounds of range messages ("-63", "5e-05").
std::string FormatGeneral(double value, int precision = 15);

// "%.3d": an integer with at least three digits, zero-padded ("007", "512").
std::string FormatIndex(int value);

// scanf("%lf")-style scan of one number at the start of `text`: leading white space is
// skipped and the longest number that follows is taken; what comes after it is left.
// Returns nothing when no number starts there, and for "nan", "inf" or a value outside
// the range of double, which the program never accepts. `consumed` receives the count
// of characters used, white space included.
std::optional<double> ScanDouble(std::string_view text, std::size_t* consumed = nullptr);

// scanf("%hu")-style scan of one unsigned 16-bit number. Unlike the C library, a number
// that does not fit 16 bits or carries a sign is refused instead of being wrapped.
std::optional<std::uint16_t> ScanUShort(std::string_view text, std::size_t* consumed = nullptr);

// A whole field read as a number: white space may surround it, nothing else may.
std::optional<double> ParseDouble(std::string_view text);

// A whole field read as a signed 32-bit integer: optional sign and decimal digits,
// white space around it; a value outside the 32-bit range is refused.
std::optional<int> ParseInt(std::string_view text);

// The integer reading of the private-profile functions: leading blanks, an optional sign,
// then decimal digits up to the first other character. Text without digits reads as 0;
// values beyond the 32-bit range saturate.
int ProfileInt(std::string_view text);

} // namespace numtext
