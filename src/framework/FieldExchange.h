// Reading form fields the way the program's forms validate them: a field that is not a
// number gets "Please enter an integer." or "Please enter a number."; a value out of its
// range gets "Please enter an integer between %1 and %2." or the number form of it.
// The forms and the command line tool share these checks and messages.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ddx {

// A field read and checked: either its value, or the message to show (and nothing done).
template <typename T> struct Field {
    std::optional<T> value;
    std::string error;
    explicit operator bool() const { return value.has_value(); }
};

Field<int> ReadInt(std::string_view text);
Field<double> ReadDouble(std::string_view text);
Field<int> ReadInt(std::string_view text, int minValue, int maxValue);
Field<double> ReadDouble(std::string_view text, double minValue, double maxValue);

// The range check alone, for a value that is already a number (a NaN is out of any range).
Field<int> CheckInt(int value, int minValue, int maxValue);
Field<double> CheckDouble(double value, double minValue, double maxValue);

// The range messages with their bounds filled in.
std::string IntRangeMessage(int minValue, int maxValue);
std::string DoubleRangeMessage(double minValue, double maxValue);

} // namespace ddx
