// UTF-8 as the rest of the program handles it: one validator and one way to
// cut text without splitting a character. Valid means as the Unicode
// standard has it: no overlong forms, no surrogates (U+D800..U+DFFF), nothing
// past U+10FFFF.
#pragma once

#include <cstddef>
#include <string_view>

namespace tarvel {

// The byte length (1..4) of the valid character at the start of `text`; 0
// when `text` is empty or does not begin with a whole valid character.
std::size_t Utf8CharLength(std::string_view text);

// True when `text` is valid UTF-8 throughout.
bool IsValidUtf8(std::string_view text);

// True when `text` is valid UTF-8 up to a character that its end cuts off,
// as in the first bytes of a longer file: the bytes of that last character
// that are present must be a valid beginning of one.
bool IsValidUtf8Head(std::string_view text);

// `text` cut to at most `width` bytes, stepping back to the start of a
// character rather than splitting one. Text of `width` bytes or fewer comes
// back whole, valid or not.
std::string_view CutToCharBoundary(std::string_view text, std::size_t width);

}  // namespace tarvel
