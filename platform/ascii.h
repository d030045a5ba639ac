// ASCII character tests and case mapping. They look at the byte only, never
// at the locale, so UTF-8 lead and continuation bytes (all 0x80 and above)
// are never digits, blanks or letters and pass through case mapping unchanged.
#pragma once

#include <string>

namespace tarvel {

// '0'..'9'.
constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// A blank between the values of a line: space or tab.
constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// White space as the "C" locale has it: space, tab, CR, LF, vertical tab and
// form feed.
constexpr bool IsAsciiWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// 'A'..'Z' and 'a'..'z'.
constexpr bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// 'A'..'Z' lowered to 'a'..'z'; every other byte as it is.
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// 'a'..'z' raised to 'A'..'Z'; every other byte as it is.
constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// `text` with its ASCII letters raised and every other byte kept.
inline std::string AsciiUpper(std::string text) {
    for (char& c : text) c = AsciiUpper(c);
    return text;
}

}  // namespace tarvel
