#include "platform/utf8.h"

namespace tarvel {
namespace {

// Bytes of the character that `lead` begins; 0 for a byte no character
// begins with (a continuation byte, C0, C1, F5..FF).
std::size_t LengthOfLead(unsigned char lead) {
    return lead < 0x80                   ? 1
           : lead >= 0xC2 && lead < 0xE0 ? 2
           : lead >= 0xE0 && lead < 0xF0 ? 3
           : lead >= 0xF0 && lead < 0xF5 ? 4
                                         : 0;
}

// Whether `second` may follow `lead`: a continuation byte, narrowed where the
// lead would otherwise admit overlong forms, surrogates or code points past
// U+10FFFF.
bool IsValidSecond(unsigned char lead, unsigned char second) {
    if ((second & 0xC0) != 0x80) return false;
    return !((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
             (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90));
}

// The bytes of the character at the start of `text` that are valid, and
// through `length` the bytes the whole character needs (0 when none).
std::size_t ValidBytesOfChar(std::string_view text, std::size_t* length) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    *length = text.empty() ? 0 : LengthOfLead(byte(0));
    if (*length == 0) return 0;
    std::size_t valid = 1;
    for (; valid < *length && valid < text.size(); ++valid) {
        if (valid == 1 ? !IsValidSecond(byte(0), byte(1)) : (byte(valid) & 0xC0) != 0x80) break;
    }
    return valid;
}

}  // namespace

std::size_t Utf8CharLength(std::string_view text) {
    std::size_t length = 0;
    return ValidBytesOfChar(text, &length) == length ? length : 0;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = Utf8CharLength(text.substr(at));
        if (length == 0) return false;
        at += length;
    }
    return true;
}

bool IsValidUtf8Head(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = 0;
        std::size_t valid = ValidBytesOfChar(text.substr(at), &length);
        if (length == 0) return false;
        if (valid < length) return at + valid == text.size();
        at += length;
    }
    return true;
}

std::string_view CutToCharBoundary(std::string_view text, std::size_t width) {
    if (text.size() <= width) return text;
    std::size_t end = width;
    // Step back over continuation bytes (10xxxxxx) to the start of the
    // character that would be split.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

}  // namespace tarvel
