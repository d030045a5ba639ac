#include "convert/date_text.h"

#include <cstring>
#include <string>

#include "platform/file_util.h"
#include "pricedb/stored_number.h"

namespace tarvel {
namespace {

struct FormatPositions {
    int century;  // -1: no century digits
    int year;
    int month;
    int day;
};

constexpr FormatPositions kPositions[kDateFormatCount] = {
    {-1, 0, 3, 6}, {0, 2, 5, 8}, {-1, 6, 0, 3}, {6, 8, 0, 3}, {-1, 6, 3, 0}, {6, 8, 3, 0},
    {-1, 0, 2, 4}, {0, 2, 4, 6}, {-1, 4, 0, 2}, {4, 6, 0, 2}, {-1, 4, 2, 0}, {4, 6, 2, 0}};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The part as two characters: itself when it has exactly two, otherwise "0"
// and its first character ("00" for an empty part).
std::string TwoDigitPart(std::string_view part) {
    if (part.size() == 2) return std::string(part);
    return std::string("0") + (part.empty() ? '0' : part[0]);
}

// The two characters at `position` of the normalised buffer, read as atoi
// reads them: leading white space, an optional sign, then digits.
int ReadPiece(const char (&buffer)[11], int position) {
    char piece[3] = {buffer[position], buffer[position + 1], '\0'};
    const char* p = piece;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int value = 0;
    while (IsDigit(*p)) value = value * 10 + (*p++ - '0');
    return negative ? -value : value;
}

}  // namespace

std::uint16_t ParseDateText(std::string_view text, int format) {
    std::size_t start = text.find_first_not_of(' ');
    text.remove_prefix(start == std::string_view::npos ? text.size() : start);
    if (!text.empty() && text.front() == '"') text.remove_prefix(1);
    if (text.empty() || format < 1 || format > kDateFormatCount || text.size() > 10) return 0;

    char buffer[11] = {};
    std::string normal;
    if (IsNumericOnlyFormat(format)) {
        std::memcpy(buffer, text.data(), text.size());  // at most 10 characters
    } else {
        std::size_t first = text.size(), last = text.size();
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (IsDigit(text[i])) continue;
            if (first == text.size()) first = i;
            last = i;
        }
        // With one separator the third part is empty; with none, so is the second.
        std::string_view part1 = text.substr(0, first);
        std::string_view part2, part3;
        if (first < text.size()) {
            if (last > first) {
                part2 = text.substr(first + 1, last - first - 1);
                part3 = text.substr(last + 1);
            } else {
                part2 = text.substr(first + 1);
            }
        }
        if (format == 2) {
            normal = std::string(text.substr(0, 5)) + TwoDigitPart(part2) + "/" + TwoDigitPart(part3);
        } else if (format == 4 || format == 6) {
            normal = TwoDigitPart(part1) + "/" + TwoDigitPart(part2) + "/" +
                     (part3.size() == 4 ? std::string(part3) : std::string("1999"));
        } else {
            normal = TwoDigitPart(part1) + "/" + TwoDigitPart(part2) + "/" + TwoDigitPart(part3);
        }
    }
    if (!normal.empty()) std::memcpy(buffer, normal.data(), std::min(normal.size(), sizeof buffer - 1));

    const FormatPositions& at = kPositions[format - 1];
    int offset = at.century >= 0 ? (ReadPiece(buffer, at.century) - 19) * 100 : 0;
    int year = ReadPiece(buffer, at.year);
    int month = ReadPiece(buffer, at.month);
    int day = ReadPiece(buffer, at.day);
    if (year == 0 && month == 0 && day == 0) return 0;
    if (year < 60 && offset == 0) offset = 100;
    int fullYear = offset + year;
    if (fullYear < -32768 || fullYear > 32767) return 0;
    return MakeDateNumber(static_cast<std::int16_t>(fullYear), static_cast<std::int16_t>(month),
                          static_cast<std::int16_t>(day));
}

int FindDateFormat(std::string_view text) {
    for (int i = 0; i < kDateFormatCount; ++i) {
        std::string_view name = kDateFormatNames[static_cast<std::size_t>(i)];
        if (text.size() <= name.size() && EqualIgnoringAsciiCase(text, name.substr(0, text.size()))) return i + 1;
    }
    return 0;
}

}  // namespace tarvel
