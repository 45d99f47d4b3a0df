#include "framework/NumberText.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <system_error>

namespace numtext {

namespace {

// printf treats a negative precision as if none had been given.
constexpr int kDefaultPrecision = 6;

// White space as isspace() sees it in the C locale.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t SkipSpace(std::string_view text, std::size_t pos) {
    while (pos < text.size() && IsSpace(text[pos])) {
        ++pos;
    }
    return pos;
}

// The C library's spelling of infinities and NaNs ("inf", "-inf", "nan", "-nan"), which
// ignores precision.
std::string NonFinite(double value) {
    const bool negative = std::signbit(value);
    std::string out = negative ? "-" : "";
    out += std::isnan(value) ? "nan" : "inf";
    return out;
}

std::string ToChars(double value, std::chars_format format, int precision) {
    if (!std::isfinite(value)) {
        return NonFinite(value);
    }
    if (precision < 0) {
        precision = kDefaultPrecision;
    }
    // Sign, up to 309 integer digits, point, precision digits and an exponent fit in this.
    std::string out(static_cast<std::size_t>(precision) + 400, '\0');
    const auto result =
        std::to_chars(out.data(), out.data() + out.size(), value, format, precision);
    if (result.ec != std::errc{}) {
        return {};
    }
    out.resize(static_cast<std::size_t>(result.ptr - out.data()));
    return out;
}

// Length of the decimal floating number (without sign) at the start of `text`: digits with an
// optional point, at least one digit, then an exponent if 'e' is followed by digits.
std::size_t DecimalLength(std::string_view text) {
    std::size_t pos = 0;
    std::size_t digits = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        ++pos;
        ++digits;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && IsDigit(text[pos])) {
            ++pos;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0;
    }
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t exp = pos + 1;
        if (exp < text.size() && (text[exp] == '+' || text[exp] == '-')) {
            ++exp;
        }
        if (exp < text.size() && IsDigit(text[exp])) {
            while (exp < text.size() && IsDigit(text[exp])) {
                ++exp;
            }
            pos = exp;
        }
    }
    return pos;
}

// For a number the conversion reported out of range: whether it is too large (rather than too
// small) for a double. Compares the decimal exponent of its first non-zero digit with zero;
// the out-of-range numbers lie beyond 1e308 or below 1e-323, far from that boundary.
bool IsOverflow(std::string_view number) {
    std::size_t pos = 0;
    long long lead = 0; // decimal exponent of the first non-zero digit
    bool found = false;
    long long intDigits = 0;
    while (pos < number.size() && IsDigit(number[pos])) {
        if (found || number[pos] != '0') {
            found = true;
            ++intDigits;
        }
        ++pos;
    }
    if (found) {
        lead = intDigits - 1;
    } else if (pos < number.size() && number[pos] == '.') {
        ++pos;
        long long zeros = 0;
        while (pos < number.size() && number[pos] == '0') {
            ++zeros;
            ++pos;
        }
        lead = -(zeros + 1);
    }
    while (pos < number.size() && number[pos] != 'e' && number[pos] != 'E') {
        ++pos;
    }
    long long exponent = 0;
    bool negative = false;
    if (pos < number.size()) {
        ++pos;
        if (pos < number.size() && (number[pos] == '+' || number[pos] == '-')) {
            negative = number[pos] == '-';
            ++pos;
        }
        for (; pos < number.size(); ++pos) {
            exponent = std::min(exponent * 10 + (number[pos] - '0'), 1'000'000'000'000LL);
        }
    }
    return lead + (negative ? -exponent : exponent) > 0;
}

// Unsigned decimal digits at `pos`, saturating at `limit + 1` so that any value above the
// limit is recognised without overflow. Returns the end of the digits.
std::size_t ReadDigits(std::string_view text, std::size_t pos, unsigned long long limit,
                       unsigned long long& value) {
    value = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        value = std::min(value * 10 + static_cast<unsigned>(text[pos] - '0'), limit + 1);
        ++pos;
    }
    return pos;
}

// An optional sign and decimal digits at `pos`, as an int. The magnitude saturates one past
// the int range, so `inRange` tells whether the value fits. Returns the end of the digits
// (== the position after the sign when there are none).
std::size_t ReadSignedInt(std::string_view text, std::size_t pos, int& value, bool& inRange) {
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // INT_MIN has one more unit of magnitude than INT_MAX.
    const unsigned long long limit = negative ? 0ULL - static_cast<unsigned long long>(INT_MIN)
                                              : static_cast<unsigned long long>(INT_MAX);
    unsigned long long magnitude = 0;
    const std::size_t end = ReadDigits(text, pos, limit, magnitude);
    inRange = magnitude <= limit;
    magnitude = std::min(magnitude, limit);
    value = static_cast<int>(negative ? -static_cast<long long>(magnitude)
                                      : static_cast<long long>(magnitude));
    return end;
}

} // namespace

std::string FormatFixed(double value, int precision) {
    return ToChars(value, std::chars_format::fixed, precision);
}

std::string FormatExp(double value, int precision, int exponentDigits) {
    std::string out = ToChars(value, std::chars_format::scientific, precision);
    if (!std::isfinite(value)) {
        return out;
    }
    // to_chars writes at least two exponent digits, as printf does; widen to the requested
    // count after the exponent sign.
    const std::size_t e = out.find('e');
    if (e == std::string::npos || e + 2 > out.size()) {
        return out;
    }
    const std::size_t digitsStart = e + 2;
    const int digits = static_cast<int>(out.size() - digitsStart);
    if (exponentDigits > digits) {
        out.insert(digitsStart, static_cast<std::size_t>(exponentDigits - digits), '0');
    }
    return out;
}

std::string FormatGeneral(double value, int precision) {
    return ToChars(value, std::chars_format::general, precision);
}

std::string FormatIndex(int value) {
    // The magnitude of INT_MIN does not fit an int; work with its unsigned value.
    const unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(static_cast<long long>(value))
                  : static_cast<unsigned long long>(value);
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, magnitude);
    const std::string_view text(digits, static_cast<std::size_t>(result.ptr - digits));
    std::string out = value < 0 ? "-" : "";
    if (text.size() < 3) {
        out.append(3 - text.size(), '0');
    }
    out += text;
    return out;
}

// Numbers too small for a double (below about 2.5e-324 in magnitude) read as a zero of their
// sign, as the C library's scanf does; denormal values are kept as they are. Numbers too large
// for a double are refused. Only decimal numbers are read: "0x10" reads as 0, leaving "x10".
std::optional<double> ScanDouble(std::string_view text, std::size_t* consumed) {
    std::size_t pos = SkipSpace(text, 0);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::string_view rest = text.substr(pos);
    const std::size_t length = DecimalLength(rest);
    if (length == 0) {
        return std::nullopt;
    }
    const std::string_view number = rest.substr(0, length);
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        if (IsOverflow(number)) {
            return std::nullopt;
        }
        value = 0.0;
    } else if (result.ec != std::errc{} || result.ptr != number.data() + number.size()) {
        return std::nullopt;
    }
    if (consumed) {
        *consumed = pos + length;
    }
    return negative ? -value : value;
}

std::optional<std::uint16_t> ScanUShort(std::string_view text, std::size_t* consumed) {
    const std::size_t start = SkipSpace(text, 0);
    unsigned long long value = 0;
    const std::size_t end = ReadDigits(text, start, UINT16_MAX, value);
    if (end == start || value > UINT16_MAX) {
        return std::nullopt;
    }
    if (consumed) {
        *consumed = end;
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<double> ParseDouble(std::string_view text) {
    std::size_t used = 0;
    const auto value = ScanDouble(text, &used);
    if (!value || SkipSpace(text, used) != text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> ParseInt(std::string_view text) {
    const std::size_t start = SkipSpace(text, 0);
    int value = 0;
    bool inRange = false;
    const std::size_t end = ReadSignedInt(text, start, value, inRange);
    const bool hasDigits = end > start && IsDigit(text[end - 1]);
    if (!hasDigits || !inRange || SkipSpace(text, end) != text.size()) {
        return std::nullopt;
    }
    return value;
}

int ProfileInt(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
        ++pos;
    }
    int value = 0;
    bool inRange = false;
    ReadSignedInt(text, pos, value, inRange); // saturates; text without digits reads as 0
    return value;
}

} // namespace numtext
