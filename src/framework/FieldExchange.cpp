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
    auto field = ReadInt(text);
    if (field && (*field.value < minValue || *field.value > maxValue)) {
        return Failed<int>(IntRangeMessage(minValue, maxValue));
    }
    return field;
}

Field<double> ReadDouble(std::string_view text, double minValue, double maxValue) {
    auto field = ReadDouble(text);
    // Written so that a NaN bound accepts nothing rather than everything.
    if (field && !(*field.value >= minValue && *field.value <= maxValue)) {
        return Failed<double>(DoubleRangeMessage(minValue, maxValue));
    }
    return field;
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
