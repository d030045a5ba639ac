#include "cli/text_output.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "platform/utf8.h"

namespace tarvel {

std::string DateText(const StoredNumber& stored) {
    float value = DecodeStoredNumber(stored);
    if (!std::isfinite(value) || value < 0 || value > 99991231.0f || value != std::floor(value)) {
        std::ostringstream text;
        text << value;
        return text.str();
    }
    auto v = static_cast<long>(value);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04ld-%02ld-%02ld", 1900 + v / 10000, v / 100 % 100, v % 100);
    return buffer;
}

std::string ShortestNumber(float value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string JsonString(std::string_view text) {
    std::string quoted = "\"";
    for (std::size_t at = 0; at < text.size();) {
        auto u = static_cast<unsigned char>(text[at]);
        std::size_t length = Utf8CharLength(text.substr(at));
        if (u == '"' || u == '\\') {
            quoted.append(1, '\\').append(1, static_cast<char>(u));
        } else if (u < 0x20 || length == 0) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
            quoted += buffer;
        } else {
            quoted.append(text.substr(at, length));
        }
        at += length == 0 ? 1 : length;
    }
    return quoted + "\"";
}

}  // namespace tarvel
