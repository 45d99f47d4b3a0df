#include "profile/DataText.h"

#include "framework/NumberText.h"

namespace datatext {

namespace {

enum class Token { Number, BadNumber, End };

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// One unsigned decimal number after white space, signed as scanf's "%hu" allows: "+5" is 5 and
// "-0" is 0. A negative number, or one beyond 16 bits, is a BadNumber: the C library would
// wrap it ("-1" as 65535, "70000" as 4464), which must never pass for a valid code. Anything
// else that is not a number ends the numbers.
Token NextCode(std::string_view text, std::size_t& pos, std::uint16_t& value) {
    while (pos < text.size() && IsSpace(text[pos])) {
        ++pos;
    }
    if (pos >= text.size()) {
        return Token::End;
    }
    const bool signedNumber =
        (text[pos] == '+' || text[pos] == '-') && pos + 1 < text.size() && IsDigit(text[pos + 1]);
    const bool negative = signedNumber && text[pos] == '-';
    std::size_t p = signedNumber ? pos + 1 : pos;
    if (p >= text.size() || !IsDigit(text[p])) {
        return Token::End;
    }
    std::uint32_t number = 0;
    bool tooWide = false;
    for (; p < text.size() && IsDigit(text[p]); ++p) {
        number = number * 10 + static_cast<std::uint32_t>(text[p] - '0');
        if (number > 0xFFFF) {
            tooWide = true;
            number = 0x10000; // stays above the limit without overflowing
        }
    }
    pos = p;
    if (tooWide || (negative && number != 0)) {
        return Token::BadNumber;
    }
    value = static_cast<std::uint16_t>(number);
    return Token::Number;
}

} // namespace

TableResult ParseCorrectionTable(std::string_view text, std::size_t halfRange,
                                 std::vector<std::uint16_t>& table) {
    table.assign(halfRange, 0);
    std::size_t pos = 0;
    std::size_t count = 0;
    while (count < halfRange) {
        std::uint16_t value = 0;
        const Token token = NextCode(text, pos, value);
        if (token == Token::End) {
            break;
        }
        if (token == Token::BadNumber || value >= halfRange) {
            return TableResult::TooLarge;
        }
        table[count++] = value;
    }
    return count < halfRange ? TableResult::TooFew : TableResult::Ok;
}

std::size_t ScanPhases(std::string_view text, std::size_t count, std::vector<double>& values) {
    values.clear();
    std::size_t pos = 0;
    while (values.size() < count) {
        std::size_t used = 0;
        const auto value = numtext::ScanDouble(text.substr(pos), &used);
        if (!value) {
            break;
        }
        values.push_back(*value);
        pos += used;
    }
    return values.size();
}

std::size_t ScanCodes(std::string_view text, std::size_t count, std::vector<std::uint16_t>& codes) {
    codes.clear();
    std::size_t pos = 0;
    while (codes.size() < count) {
        std::uint16_t value = 0;
        if (NextCode(text, pos, value) != Token::Number) {
            break;
        }
        codes.push_back(value);
    }
    return codes.size();
}

} // namespace datatext
