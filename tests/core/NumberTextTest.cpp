// Number formatting and scanning that must match the C library in any locale, and form
// fields read as the editor reads them: the whole field, range-checked, with its messages.
#include "framework/NumberText.h"

#include "framework/FieldExchange.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>

using namespace numtext;

namespace {

constexpr auto no = std::nullopt;

// The test process stays in the C locale, so the C library's formatting is the reference.
std::string Printf(const char* format, int precision, double value) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, precision, value);
    return buffer;
}

// Checks a scan against a table of {text, expected value, expected characters consumed}.
template <typename T, typename Scan, typename Cases>
void CheckScans(Scan scan, const Cases& cases) {
    for (const auto& [text, expected, used] : cases) {
        std::size_t consumed = 99;
        const std::optional<T> value = scan(text, &consumed);
        EXPECT_EQ(value, expected) << text;
        if (value) {
            EXPECT_EQ(std::signbit(*value), std::signbit(*expected)) << text;
            EXPECT_EQ(consumed, used) << text;
        }
    }
}

TEST(NumberText, FormatsMatchCLibrary) {
    const double values[] = {0.0,      -0.0,    1.0,      0.1,       0.01,       2.5,
                             -63.0,    5e-05,   7.8e-07,  0.125,     123456.789, 999999.5,
                             1e16,     1e21,    1e-100,   1e200,     DBL_MAX,    DBL_MIN,
                             4.9e-324, 1.0 / 3, INFINITY, -INFINITY, NAN,        -NAN};
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
    // On-screen texts use three exponent digits.
    EXPECT_EQ(FormatExp(2.5, 6, 3), "2.500000e+000");
    EXPECT_EQ(FormatExp(1e-100, 6, 3), "1.000000e-100");
    EXPECT_EQ(FormatExp(-7.8e-07, 2, 3), "-7.80e-007");
    EXPECT_EQ(FormatExp(-INFINITY, 6, 3), "-inf");
}

TEST(NumberText, ScanDoubleAndUShort) {
    // clang-format off
    const std::tuple<std::string_view, std::optional<double>, std::size_t> doubles[] = {
        {"  -2.5e3xyz", -2500.0, 8}, {"\t\n+.5", 0.5, 5}, {"1.", 1.0, 2}, {"2e", 2.0, 1},
        {" 2e+", 2.0, 2}, {"2E-2;", 0.02, 4}, {"0x10", 0.0, 1}, {"-1e-400", -0.0, 7},
        {"4.9e-324", 4.9e-324, 8}, {"1.7976931348623157e308", DBL_MAX, 22}, {"1e999", no, 0},
        {"0.00000000001e320", no, 0}, {"1e99999999999999999999999", no, 0}, {"nan", no, 0},
        {"-infinity", no, 0}, {".", no, 0}, {"-", no, 0}, {"+.e5", no, 0}, {" ", no, 0},
        // Only the view is read, not the characters after it.
        {std::string_view("1.25e5", 4), 1.25, 4}};
    const std::tuple<std::string_view, std::optional<std::uint16_t>, std::size_t> words[] = {
        {"65535", 65535, 5}, {" 12 ", 12, 3}, {"12abc", 12, 2}, {"00065535", 65535, 8},
        {"65536", no, 0}, {"99999999999999999999", no, 0}, {"-1", no, 0}, {"+1", no, 0},
        {"", no, 0}};
    // clang-format on
    CheckScans<double>(ScanDouble, doubles);
    CheckScans<std::uint16_t>(ScanUShort, words);
}

TEST(FieldExchange, IntegerFields) {
    const std::string range = "Please enter an integer between -63 and 63.",
                      kInt = "Please enter an integer.";
    // clang-format off
    const std::tuple<std::string_view, std::optional<int>, std::string> cases[] = {
        {" 63 ", 63, ""}, {"-63", -63, ""}, {"+7", 7, ""}, {"64", no, range}, {"-64", no, range},
        {"1.5", no, kInt}, {"12abc", no, kInt}, {"- 1", no, kInt}, {"", no, kInt}, {"  ", no, kInt},
        {"99999999999", no, kInt}, {"2147483648", no, kInt}};
    // clang-format on
    for (const auto& [text, value, error] : cases) {
        const auto field = ddx::ReadInt(text, -63, 63);
        EXPECT_EQ(field.value, value) << text;
        EXPECT_EQ(field.error, error) << text;
    }
    EXPECT_EQ(ddx::ReadInt("x").error, kInt);
    EXPECT_EQ(ddx::ReadInt("-2147483648").value, INT_MIN);
    EXPECT_EQ(ddx::ReadInt("2147483647").value, INT_MAX);
}

TEST(FieldExchange, NumberFields) {
    const std::string kNumber = "Please enter a number.";
    using Case = std::tuple<std::string_view, double, double, std::optional<double>, std::string>;
    // clang-format off
    const Case cases[] = {
        {"5e-05", -5e-05, 5e-05, 5e-05, ""}, {" 1.5\t", -63, 63, 1.5, ""},
        {"6e-05", -5e-05, 5e-05, no, "Please enter a number between -5e-05 and 5e-05."},
        {"-64", -63, 63, no, "Please enter a number between -63 and 63."},
        {"2", -1.0 / 3, 1.0 / 3, no,
         "Please enter a number between -0.333333333333333 and 0.333333333333333."},
        {"nan", -63, 63, no, kNumber}, {"1e999", -63, 63, no, kNumber},
        {"2e", -63, 63, no, kNumber}, {"12abc", -63, 63, no, kNumber},
        {"1 2", -63, 63, no, kNumber}, {"", -63, 63, no, kNumber}};
    // clang-format on
    for (const auto& [text, minValue, maxValue, value, error] : cases) {
        const auto field = ddx::ReadDouble(text, minValue, maxValue);
        EXPECT_EQ(field.value, value) << text;
        EXPECT_EQ(field.error, error) << text;
    }
    EXPECT_EQ(ddx::ReadDouble(" -2.5 ").value, -2.5);
}

} // namespace
