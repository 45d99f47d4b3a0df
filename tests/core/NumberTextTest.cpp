#include "framework/NumberText.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <string>

using namespace numtext;

namespace {

constexpr auto no = std::nullopt;
constexpr double kInf = std::numeric_limits<double>::infinity();

// The test process stays in the C locale, so the C library's formatting is the reference.
std::string Printf(const char* format, int precision, double value) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, precision, value);
    return buffer;
}

// Checks a scanning function against a table of {text, expected value, expected consumed}.
template <typename T, typename Scan, typename Case> void CheckScans(Scan scan, const Case& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        std::size_t consumed = 99;
        const std::optional<T> value = scan(c.text, &consumed);
        ASSERT_EQ(value.has_value(), c.value.has_value());
        if (value) {
            EXPECT_EQ(*value, *c.value);
            EXPECT_EQ(std::signbit(*value), std::signbit(*c.value));
            EXPECT_EQ(consumed, c.consumed);
        }
    }
}

} // namespace

TEST(NumberText, FormatsMatchCLibrary) {
    const double values[] = {0.0,      -0.0,    1.0,     0.1,   0.01,         2.5,
                             -63.0,    5e-05,   7.8e-07, 0.125, 123456.789,   999999.5,
                             1e16,     1e21,    1e-100,  1e200, DBL_MAX,      DBL_MIN,
                             4.9e-324, 1.0 / 3, kInf,    -kInf, std::nan(""), -std::nan("")};
    for (const double v : values) {
        for (const int precision : {0, 1, 3, 6, 15, 17}) {
            SCOPED_TRACE(Printf("%.*e", 17, v) + " precision " + std::to_string(precision));
            EXPECT_EQ(FormatFixed(v, precision), Printf("%.*f", precision, v));
            EXPECT_EQ(FormatExp(v, precision), Printf("%.*e", precision, v));
            EXPECT_EQ(FormatGeneral(v, precision), Printf("%.*g", precision, v));
        }
    }
    for (const int v : {0, 7, -1, 512, 1234, INT_MAX, INT_MIN}) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.3d", v);
        EXPECT_EQ(FormatIndex(v), buffer) << v;
    }
}

TEST(NumberText, WideExponents) {
    const std::pair<std::string, std::string> cases[] = {
        {FormatExp(2.5, 6, 3), "2.500000e+000"},    {FormatExp(2.5), "2.500000e+00"},
        {FormatExp(1e-100, 6, 3), "1.000000e-100"}, {FormatExp(1e200, 6, 2), "1.000000e+200"},
        {FormatExp(-7.8e-07, 2, 3), "-7.80e-007"},  {FormatExp(-kInf, 6, 3), "-inf"},
    };
    for (const auto& [actual, expected] : cases) {
        EXPECT_EQ(actual, expected);
    }
}

TEST(NumberText, ScanDouble) {
    struct Case {
        std::string_view text;
        std::optional<double> value;
        std::size_t consumed;
    };
    // clang-format off
    const Case cases[] = {
        {"  -2.5e3xyz", -2500.0, 8}, {"\t\n+.5", 0.5, 5}, {"1.", 1.0, 2},
        {"2e", 2.0, 1}, {" 2e+", 2.0, 2}, {"2E-2;", 0.02, 4},
        {"12abc", 12.0, 2}, {"0x10", 0.0, 1}, {"-1e-400", -0.0, 7},
        {"4.9e-324", 4.9e-324, 8}, {"1.7976931348623157e308", DBL_MAX, 22}, {"1e999", no, 0},
        {"0.00000000001e320", no, 0}, {"1e99999999999999999999999", no, 0}, {"nan", no, 0},
        {"-infinity", no, 0}, {".", no, 0}, {"-", no, 0},
        {"+.e5", no, 0}, {" ", no, 0},
    };
    // clang-format on
    CheckScans<double>(ScanDouble, cases);
    // Only the view is read, not the characters after it.
    const Case cut[] = {{std::string_view("1.25e5", 4), 1.25, 4}};
    CheckScans<double>(ScanDouble, cut);
}

TEST(NumberText, ScanUShort) {
    struct Case {
        std::string_view text;
        std::optional<std::uint16_t> value;
        std::size_t consumed;
    };
    // clang-format off
    const Case cases[] = {
        {"65535", 65535, 5}, {" 12 ", 12, 3}, {"12abc", 12, 2}, {"00065535", 65535, 8},
        {"65536", no, 0}, {"70000", no, 0}, {"99999999999999999999", no, 0}, {"-1", no, 0},
        {"+1", no, 0}, {"", no, 0},
    };
    // clang-format on
    CheckScans<std::uint16_t>(ScanUShort, cases);
}

TEST(NumberText, WholeFieldsAndProfileInts) {
    // clang-format off
    const std::pair<std::string_view, std::optional<int>> ints[] = {
        {" 12 ", 12}, {"+7", 7}, {"-2147483648", INT_MIN}, {"2147483647", INT_MAX},
        {"2147483648", no}, {"12abc", no}, {"1.0", no}, {"- 1", no},
        {"  ", no},
    };
    // clang-format on
    for (const auto& [text, value] : ints) {
        EXPECT_EQ(ParseInt(text), value) << text;
    }
    const std::pair<std::string_view, std::optional<double>> doubles[] = {
        {" 1.5\t", 1.5}, {"-5e-05", -5e-05}, {"1e999", no}, {"nan", no},
        {"2e", no},      {"1 2", no},        {"", no},
    };
    for (const auto& [text, value] : doubles) {
        EXPECT_EQ(ParseDouble(text), value) << text;
    }
    // clang-format off
    const std::pair<std::string_view, int> profile[] = {
        {" \t-17xyz", -17}, {"+5", 5}, {"abc", 0}, {"-", 0},
        {"\n5", 0}, {"99999999999", INT_MAX}, {"-99999999999", INT_MIN},
    };
    // clang-format on
    for (const auto& [text, value] : profile) {
        EXPECT_EQ(ProfileInt(text), value) << text;
    }
}
