#include "framework/FieldExchange.h"

#include "framework/NumberText.h"
#include "framework/StringTable.h"

namespace ddx {

namespace {

template <typename T> Field<T> Failed(std::string message) {
    Field<T> field;
    field.error = std::move(message);
    return field;
}

template <typename T> Field<T> Accepted(T value) {
    Field<T> field;
    field.value = value;
    return field;
}

} // namespace

Field<int> ReadInt(std::string_view text) {
    const auto value = numtext::ParseInt(text);
    return value ? Accepted(*value) : Failed<int>(LoadString(IDP_PARSE_INT));
}

Field<double> ReadDouble(std::string_view text) {
    const auto value = numtext::ParseDouble(text);
    return value ? Accepted(*value) : Failed<double>(LoadString(IDP_PARSE_REAL));
}

Field<int> ReadInt(std::string_view text, int minValue, int maxValue) {
    const auto field = ReadInt(text);
    return field ? CheckInt(*field.value, minValue, maxValue) : field;
}

Field<double> ReadDouble(std::string_view text, double minValue, double maxValue) {
    const auto field = ReadDouble(text);
    return field ? CheckDouble(*field.value, minValue, maxValue) : field;
}

Field<int> CheckInt(int value, int minValue, int maxValue) {
    return value < minValue || value > maxValue ? Failed<int>(IntRangeMessage(minValue, maxValue))
                                                : Accepted(value);
}

Field<double> CheckDouble(double value, double minValue, double maxValue) {
    // Written so that a NaN (value or bound) is refused rather than accepted.
    return value >= minValue && value <= maxValue
               ? Accepted(value)
               : Failed<double>(DoubleRangeMessage(minValue, maxValue));
}

std::string IntRangeMessage(int minValue, int maxValue) {
    return FormatMessage(LoadString(IDP_PARSE_INT_RANGE),
                         {std::to_string(minValue), std::to_string(maxValue)});
}

std::string DoubleRangeMessage(double minValue, double maxValue) {
    return FormatMessage(LoadString(IDP_PARSE_REAL_RANGE), {numtext::FormatGeneral(minValue, 15),
                                                            numtext::FormatGeneral(maxValue, 15)});
}

} // namespace ddx
