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

// Month names and their usual shortenings that are no start of the full
// name, lower case, in UTF-8; month n is entry n-1.
constexpr std::string_view kMonthNames[12][10] = {
    {"january", "januar", "j\xC3\xA4nner", "janvier", "enero", "gennaio", "januari"},
    {"february", "februar", "f\xC3\xA9vrier", "fevrier", "febrero", "febbraio", "februari"},
    {"march", "m\xC3\xA4rz", "maerz", "mrz", "mars", "marzo", "maart", "mrt"},
    {"april", "avril", "abril", "aprile"},
    {"may", "mai", "mayo", "maggio", "mei"},
    {"june", "juni", "juin", "junio", "giugno"},
    {"july", "juli", "juillet", "julio", "luglio"},
    {"august", "ao\xC3\xBBt", "aout", "agosto", "augustus"},
    {"september", "septembre", "septiembre", "settembre"},
    {"october", "oktober", "octobre", "octubre", "ottobre"},
    {"november", "novembre", "noviembre"},
    {"december", "dezember", "d\u00e9cembre", "diciembre", "dicembre"},
};

// `name` in lower case and UTF-8: a byte of 0x80 and over that starts no
// two-byte UTF-8 letter is taken for Latin-1. False for a name too long for
// any month.
bool LowerMonthName(std::string_view name, std::string* lower) {
    if (name.size() > 24) return false;
    lower->clear();
    for (std::size_t i = 0; i < name.size(); ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x80) {
            lower->push_back(AsciiLower(static_cast<char>(c)));
            continue;
        }
        unsigned char letter = c;  // Latin-1
        if ((c == 0xC2 || c == 0xC3) && i + 1 < name.size() &&
            (static_cast<unsigned char>(name[i + 1]) & 0xC0) == 0x80) {
            letter = static_cast<unsigned char>((c - 0xC2) * 0x40 + static_cast<unsigned char>(name[++i]));
        }
        if (letter >= 0xC0 && letter <= 0xDE && letter != 0xD7) letter += 0x20;
        lower->push_back(static_cast<char>(0xC0 | letter >> 6));
        lower->push_back(static_cast<char>(0x80 | (letter & 0x3F)));
    }
    return true;
}

// The civil date of a day counted from 1970-01-01 (day 0), by the
// proleptic Gregorian calendar.
CalendarDate DateOfDayNumber(std::int64_t days) {
    days += 719468;  // days from 0000-03-01 to 1970-01-01
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;  // 0 is March
    CalendarDate date;
    date.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    date.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    date.year = static_cast<int>(yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0));
    return date;
}

// The seconds since 1970 an epoch-format text holds, or -1.
std::int64_t EpochSeconds(std::string_view text, int format) {
    text = TrimBlanks(text);
    const std::size_t most = format == kEpochMsFormat ? 15 : 12;
    if (text.empty() || text.size() > most) return -1;
    std::int64_t value = 0;
    for (char c : text) {
        if (!IsAsciiDigit(c)) return -1;
        value = value * 10 + (c - '0');
    }
    return format == kEpochMsFormat ? value / 1000 : value;
}

// A day, a month name and a year in the order of `format`.
DateStatus ReadMonthNameDate(std::string_view text, int format, CalendarDate* date) {
    std::string_view tokens[3];
    int count = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t separators = 0;
        while (i < text.size() && std::string_view(" \t-.,/'").find(text[i]) != std::string_view::npos) {
            ++i;
            ++separators;
        }
        if (separators > 3 || (separators > 0 && (count == 0 || i == text.size()) && text[i - 1] != '.'))
            return DateStatus::kUnreadable;
        if (i == text.size()) break;
        const bool digits = IsAsciiDigit(text[i]);
        std::size_t end = i;
        while (end < text.size() &&
               (digits ? IsAsciiDigit(text[end])
                       : IsAsciiLetter(text[end]) || static_cast<unsigned char>(text[end]) >= 0x80))
            ++end;
        if (end == i || count == 3) return DateStatus::kUnreadable;
        tokens[count++] = text.substr(i, end - i);
        i = end;
    }
    if (count != 3) return DateStatus::kUnreadable;
    const int monthAt = format == kMonthNameDayFormat ? 0 : 1;
    const int dayAt = format == kDayMonthNameFormat ? 0 : format == kMonthNameDayFormat ? 1 : 2;
    const int yearAt = format == kYearMonthNameFormat ? 0 : 2;
    const std::string_view day = tokens[dayAt], year = tokens[yearAt];
    if (!IsAsciiDigit(day[0]) || day.size() > 2 || !IsAsciiDigit(year[0])) return DateStatus::kUnreadable;
    if (year.size() != 4 && (year.size() != 2 || format == kYearMonthNameFormat))
        return DateStatus::kUnreadable;
    CalendarDate read;
    read.month = MonthOfName(tokens[monthAt]);
    if (read.month == 0) return DateStatus::kUnreadable;
    read.day = Number(day);
    read.year = Number(year);
    if (year.size() == 2) read.year += read.year < 60 ? 2000 : 1900;
    if (read.day < 1 || read.day > DaysInMonth(read.year, read.month)) return DateStatus::kNotADay;
    if (read < kFirstStoredDay || read > kLastStoredDay) return DateStatus::kOutOfRange;
    *date = read;
    return DateStatus::kRead;
}

}  // namespace

int MonthOfName(std::string_view name) {
    std::string lower;
    if (!LowerMonthName(name, &lower) || lower.size() < 3) return 0;
    int found = 0;
    for (int month = 1; month <= 12; ++month) {
        for (std::string_view full : kMonthNames[month - 1]) {
            if (full.empty()) break;
            if (full.starts_with(lower) && lower.size() <= full.size()) {
                if (found != 0 && found != month) return 0;  // juI: juin or juillet
                found = month;
            }
        }
    }
    return found;
}

std::int64_t DayNumberOf(const CalendarDate& date) {
    const std::int64_t year = date.month <= 2 ? date.year - 1 : date.year;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear =
        (153 * (date.month > 2 ? date.month - 3 : date.month + 9) + 2) / 5 + date.day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::int64_t EpochSecondOfDay(std::string_view text, int format) {
    if (!IsEpochFormat(format)) return -1;
    const std::int64_t seconds = EpochSeconds(text, format);
    return seconds < 0 ? -1 : seconds % 86400;
}

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
    if (i < text.size() && text[i] == 'Z') {
        ++i;
    } else if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        // An offset from UTC: +01, +0100 or +01:00.
        ++i;
        if (!digits(2, 2)) return false;
        if (i < text.size() && text[i] == ':') ++i;
        if (i < text.size() && !digits(2, 2)) return false;
    }
    std::size_t zone = i;
    while (zone < text.size() && IsBlank(text[zone])) ++zone;
    if (zone > i && (text.substr(zone) == "UTC" || text.substr(zone) == "GMT")) i = text.size();
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
    if (IsMonthNameFormat(format)) return ReadMonthNameDate(text, format, date);
    if (IsEpochFormat(format)) {
        const std::int64_t seconds = EpochSeconds(text, format);
        if (seconds < 0) return DateStatus::kUnreadable;
        const CalendarDate read = DateOfDayNumber(seconds / 86400);
        if (read < kFirstStoredDay || read > kLastStoredDay) return DateStatus::kOutOfRange;
        *date = read;
        return DateStatus::kRead;
    }
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
    // A month name: the runs of D, M and Y in their order, separators aside.
    std::string runs;
    std::size_t ms = 0, ds = 0, ys = 0;
    bool other = false;
    for (char c : text) {
        c = AsciiUpper(c);
        if (c == 'D' || c == 'M' || c == 'Y') {
            if (runs.empty() || runs.back() != c) runs += c;
            (c == 'D' ? ds : c == 'M' ? ms : ys)++;
        } else if (std::string_view(" -./_,'").find(c) == std::string_view::npos) {
            other = true;
        }
    }
    if (!other && (ms == 3 || ms == 4) && ds >= 1 && ds <= 2 && (ys == 2 || ys == 4) && runs.size() == 3) {
        if (runs == "DMY") return kDayMonthNameFormat;
        if (runs == "MDY") return kMonthNameDayFormat;
        if (runs == "YMD" && ys == 4) return kYearMonthNameFormat;
    }
    std::string name;
    for (char c : text) {
        c = AsciiUpper(c);
        if (c == '-' || c == '.' || c == '/' || c == ' ') c = '_';
        name += c;
    }
    if (name == "EPOCHMS" || name == "EPOCH_MS" || name == "EPOCH_MILLISECONDS") return kEpochMsFormat;
    if (name == "EPOCH_SECONDS" || name == "UNIX") return kEpochFormat;
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
