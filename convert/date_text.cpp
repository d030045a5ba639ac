#include "convert/date_text.h"

#include <string>

#include "convert/row_reader.h"
#include "platform/ascii.h"
#include "platform/file_util.h"

namespace tarvel {
namespace {

enum Piece { kYear, kMonth, kDay };

// The order of the three pieces in each format.
constexpr Piece kOrder[kDateFormatCount][3] = {
    {kYear, kMonth, kDay}, {kYear, kMonth, kDay}, {kMonth, kDay, kYear}, {kMonth, kDay, kYear},
    {kDay, kMonth, kYear}, {kDay, kMonth, kYear}, {kYear, kMonth, kDay}, {kYear, kMonth, kDay},
    {kMonth, kDay, kYear}, {kMonth, kDay, kYear}, {kDay, kMonth, kYear}, {kDay, kMonth, kYear}};

int Number(std::string_view digits) {
    int value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value;
}

// Splits `text` into three runs of digits separated by single non-digits.
bool SplitParts(std::string_view text, std::string_view (&parts)[3]) {
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        std::size_t end = start;
        while (end < text.size() && IsAsciiDigit(text[end])) ++end;
        if (end == start) return false;
        parts[i] = text.substr(start, end - start);
        if (i < 2 && end == text.size()) return false;
        start = end + 1;  // one separator
        if (i == 2 && end != text.size()) return false;
    }
    return true;
}

}  // namespace

bool IsTimeOfDay(std::string_view text) {
    std::size_t i = 0;
    auto digits = [&](std::size_t low, std::size_t high) {
        std::size_t start = i;
        while (i < text.size() && IsAsciiDigit(text[i]) && i - start < high) ++i;
        return i - start >= low;
    };
    if (!digits(1, 2) || i == text.size() || text[i++] != ':' || !digits(2, 2)) return false;
    if (i < text.size() && text[i] == ':') {
        ++i;
        if (!digits(2, 2)) return false;
        if (i < text.size() && text[i] == '.') {
            ++i;
            if (!digits(1, 9)) return false;
        }
    }
    std::size_t beforeBlanks = i;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i + 1 < text.size() && (text[i] == 'A' || text[i] == 'P' || text[i] == 'a' || text[i] == 'p') &&
        (text[i + 1] == 'M' || text[i + 1] == 'm')) {
        i += 2;
    } else {
        i = beforeBlanks;
    }
    if (i < text.size() && text[i] == 'Z') ++i;
    return i == text.size();
}

DateAndTime SplitDateTime(std::string_view text) {
    text = TrimBlanks(text);
    for (std::size_t at = 1; at + 1 < text.size(); ++at) {
        if (!IsBlank(text[at]) && text[at] != 'T') continue;
        std::size_t time = at + 1;
        if (IsBlank(text[at])) {
            while (time < text.size() && IsBlank(text[time])) ++time;
        }
        if (IsAsciiDigit(text[at - 1]) && IsTimeOfDay(text.substr(time))) {
            return {TrimBlanks(text.substr(0, at)), text.substr(time)};
        }
    }
    return {text, {}};
}

DateStatus ReadDateText(std::string_view text, int format, CalendarDate* date) {
    if (format < 1 || format > kDateFormatCount) return DateStatus::kUnreadable;
    text = SplitDateTime(text).date;
    const Piece* order = kOrder[format - 1];
    const bool century = HasCenturyDigits(format);
    std::string_view parts[3];
    if (IsNumericOnlyFormat(format)) {
        if (text.size() != (century ? 8u : 6u)) return DateStatus::kUnreadable;
        for (char c : text) {
            if (!IsAsciiDigit(c)) return DateStatus::kUnreadable;
        }
        std::size_t at = 0;
        for (int i = 0; i < 3; ++i) {
            std::size_t width = order[i] == kYear && century ? 4 : 2;
            parts[i] = text.substr(at, width);
            at += width;
        }
    } else if (!SplitParts(text, parts)) {
        return DateStatus::kUnreadable;
    }

    CalendarDate read;
    for (int i = 0; i < 3; ++i) {
        std::string_view part = parts[i];
        switch (order[i]) {
            case kYear:
                if (part.size() == 4) {
                    read.year = Number(part);
                } else if (part.size() == 2 && !century) {
                    int year = Number(part);
                    read.year = year < 60 ? 2000 + year : 1900 + year;
                } else {
                    return DateStatus::kUnreadable;
                }
                break;
            case kMonth:
            case kDay:
                if (part.size() > 2) return DateStatus::kUnreadable;
                (order[i] == kMonth ? read.month : read.day) = Number(part);
                break;
        }
    }
    if (read.month < 1 || read.month > 12 || read.day < 1 || read.day > DaysInMonth(read.year, read.month)) {
        return DateStatus::kNotADay;
    }
    if (read < kFirstStoredDay || read > kLastStoredDay) return DateStatus::kOutOfRange;
    *date = read;
    return DateStatus::kRead;
}

int FindDateFormatSpelling(std::string_view text) {
    std::string name;
    for (char c : text) {
        c = AsciiUpper(c);
        if (c == '-' || c == '.' || c == '/' || c == ' ') c = '_';
        name += c;
    }
    if (std::size_t at = name.find("YYYY"); at != std::string::npos) name.replace(at, 4, "CCYY");
    for (int i = 0; i < kDateFormatCount; ++i) {
        if (name == kDateFormatNames[static_cast<std::size_t>(i)]) return i + 1;
    }
    return FindDateFormat(text);
}

int FindDateFormat(std::string_view text) {
    for (int i = 0; i < kDateFormatCount; ++i) {
        std::string_view name = kDateFormatNames[static_cast<std::size_t>(i)];
        if (text.size() <= name.size() && EqualIgnoringAsciiCase(text, name.substr(0, text.size())))
            return i + 1;
    }
    return 0;
}

}  // namespace tarvel
