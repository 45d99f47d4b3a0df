// Form fields read as the editor reads them: the whole field, range-checked, with the
// program's messages.
#include "framework/FieldExchange.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

constexpr auto no = std::nullopt;
const std::string kInt = "Please enter an integer.", kNumber = "Please enter a number.";

TEST(FieldExchange, IntegerFields) {
    const std::string range = "Please enter an integer between -63 and 63.";
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
