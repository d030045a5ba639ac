// Working out the layout of a delimited price file from its first bytes, so
// that a conversion needs no settings. Detection only proposes: the job
// converts with whatever it is given (FillConverterFromLayout).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "convert/converter.h"
#include "convert/text_encoding.h"

namespace tarvel {

// How much of a file detection reads.
inline constexpr std::size_t kDetectBytes = kTextHeadBytes;

// Why detection found no layout.
enum class DetectFailure {
    kNone,        // a layout was found
    kUnreadable,  // the file could not be read
    kEmpty,       // the file holds no line
    kNoLineEnd,   // the head read holds no line end: one line longer than it
    kNotText,     // the file holds a NUL byte
    kNoDates,     // no column reads as dates
    kNoPrices,    // no column of prices beside the dates
};

struct CDetectedLayout {
    // Whether the rows have a date column and a close; if not, m_failure
    // says why, m_strReason says it in words for a message, and nothing else
    // below is meaningful. Decisions look at m_failure, never at the words.
    bool m_bFound = false;
    DetectFailure m_failure = DetectFailure::kNone;
    std::string m_strReason;
    // The options that would decide what detection could not ("--close-col"),
    // or empty when no option would (the file must be exported otherwise).
    std::string m_strDecidingOptions;
    // What each column was taken for and why, and what the rows showed, a
    // line each, for a person to read ("column 1 \"Date\": the date, ...").
    std::vector<std::string> m_evidence;

    TextEncoding m_encoding = TextEncoding::kUtf8;
    char m_cDelimiter = ',';  // ',' ';' '\t' ' ' (runs of blanks) or '|'
    bool m_bDecimalComma = false;
    // Every number with a mark is written "1,078" among commas: it reads
    // alike with a decimal comma and with thousands separators.
    bool m_bDecimalUndecided = false;
    int m_nSkipRows = 0;     // lines before the first row (headers, notes)
    int m_nColumnCount = 0;  // fields of the first row, at most kMaxColumns

    // The date format (1..12), or 0 when the rows read alike day-month and
    // month-day: then m_bDayMonthUndecided is set and the two candidates are
    // m_nMonthDayFormat and m_nDayMonthFormat. Detection never guesses.
    int m_nDateFormat = 0;
    bool m_bDayMonthUndecided = false;
    int m_nMonthDayFormat = 0;
    int m_nDayMonthFormat = 0;

    // Zero-based column of each field in field order (m_nFieldColumn[kDate]
    // is the date column), or kNoColumn for a field the file lacks.
    int m_nFieldColumn[kFieldCount] = {kNoColumn, kNoColumn, kNoColumn, kNoColumn,
                                       kNoColumn, kNoColumn, kNoColumn};
    int m_nTimeColumn = kNoColumn;
    int m_nTickerColumn = kNoColumn;
    int m_nPeriodColumn = kNoColumn;  // "Per": D is daily
    // The names of the header of a comma-delimited file, when fewer than
    // kMaxColumns; else 0.
    int m_nHeaderFields = 0;
    // Several different times on one date, or a period other than D.
    bool m_bIntraday = false;
    // The distinct tickers of the rows detection read, in order of appearance.
    std::vector<std::string> m_tickers;

    bool HasField(int field) const { return m_nFieldColumn[field] != kNoColumn; }
    // Found, with a date format and the decimal mark decided: a job can be
    // filled from it.
    bool IsComplete() const { return m_bFound && m_nDateFormat != 0 && !m_bDecimalUndecided; }
};

struct CDetectedLayout;
// What a conversion says of a file whose rows hold several times a day, and
// of one whose dates read alike day-month and month-day.
std::string IntradayMessage(const std::string& path);
std::string UndecidedDatesMessage(const std::string& path);
std::string UndecidedDecimalMessage(const std::string& path);
// What a conversion says of a file whose layout detection refused: the
// reason and the options that decide it.
std::string LayoutRefusal(const std::string& path, const CDetectedLayout& layout);

// The layout of a file that begins with `head` (its first kDetectBytes bytes,
// or all of a shorter file). Reads nothing beyond `head`; a last line cut off
// by the end of a full-size head is left out. Every column it names is below
// m_nColumnCount.
CDetectedLayout DetectLayout(std::string_view head);

// Reads the first kDetectBytes bytes of the file at `path` and detects their
// layout. When the file cannot be read, the layout is not found and its
// reason names the path and the system's error.
CDetectedLayout DetectFileLayout(CPlatform& platform, const std::string& path);

// Fills the reading part of `job` from `layout`: delimiter, decimal comma,
// lines to skip, date column and format, the fields found (the others off),
// the time, period and ticker columns. `dateFormat` (1..12), when not 0,
// overrides the detected one, as a user's answer to an undecided date order.
// Paths, symbol, name and the MASTER choice are left alone. Returns false,
// changing nothing, when the layout was not found or no date format is known.
bool FillConverterFromLayout(const CDetectedLayout& layout, CConverter& job, int dateFormat = 0);
// Gives `job` what of `layout` no setting names: the time, period and
// ticker columns (kNoColumn where the layout has none) and the header's
// count of names.
void TakeUnsetColumns(const CDetectedLayout& layout, CConverter& job);

}  // namespace tarvel
