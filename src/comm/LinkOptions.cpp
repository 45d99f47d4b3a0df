#include "comm/LinkOptions.h"

#include "comm/LC_Protocol.h"
#include "framework/NumberText.h"

namespace linkoptions {

std::optional<int> DivisorIndex(const std::string& text) {
    const auto value = numtext::ParseInt(text);
    for (int index = 0; value && index < 4; ++index) {
        if (*value == 1 << index) {
            return index;
        }
    }
    return std::nullopt;
}

std::optional<int> KnownBaud(const std::string& text) {
    const auto baud = numtext::ParseInt(text);
    for (int index = 0; baud && BaudFromIndex(index); ++index) {
        if (*BaudFromIndex(index) == *baud) {
            return baud;
        }
    }
    return std::nullopt;
}

std::optional<int> TimeoutMs(const std::string& text) {
    const auto ms = numtext::ParseInt(text);
    return ms && *ms >= 1 ? ms : std::nullopt;
}

} // namespace linkoptions
