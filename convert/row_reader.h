// The pieces of ParseInput that read text: lines, fields, numbers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace tarvel {

// Lines longer than this are no rows.
inline constexpr std::size_t kMaxLineLength = std::size_t{64} * 1024;

// Reads a file line by line. A line end is a line feed, a carriage return and
// line feed, or a carriage return alone (files from systems that end lines
// so); the last line needs none.
class CLineReader {
public:
    // `start` holds bytes already read from the file, which come first.
    CLineReader(CFile& file, std::string start = {});

    // Points *line at the next line without its line end; the view stays
    // valid until the next call. A line longer than kMaxLineLength is given
    // as its first kMaxLineLength bytes with *tooLong set, and the rest of it
    // is discarded. Returns false at the end of the file or on a read error
    // (then Failed() is true and Error() says why).
    bool Next(std::string_view* line, bool* tooLong);
    bool Failed() const { return !m_error.ok(); }
    // The failure of the read that ended the lines; OK when none failed.
    const CStatus& Error() const { return m_error; }

private:
    bool Fill();
    // Drops bytes up to and including the next line end.
    void SkipRestOfLine();

    CFile& m_file;
    std::string m_buffer;
    std::string m_long;  // the start of the latest over-long line
    std::size_t m_start = 0;
    bool m_end = false;
    CStatus m_error;
};

// The fields of one line. Every delimiter ends a field, so an empty field is
// a field; under the blank delimiter a run of blanks (spaces and tabs) is one
// separator and blanks at either end make no field. A field that begins with
// a double quote runs to the closing quote, delimiters included; a doubled
// quote inside stands for one quote. Only the first `maxFields` fields are
// kept.
class CFieldSplitter {
public:
    // Returns the number of fields kept; 0 for a line with nothing but
    // delimiters and blanks.
    // The views stay valid until the next call and while `line` lives.
    int Split(std::string_view line, char delimiter, int maxFields);
    std::string_view operator[](int index) const { return m_fields[static_cast<std::size_t>(index)]; }

private:
    std::vector<std::string_view> m_fields;  // into the line, or into m_unquoted
    std::vector<std::string> m_unquoted;     // quoted fields without their quotes; reused from line to line
};

// `text` without the blanks (spaces and tabs) around it.
inline std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Reads `text`, blanks around it aside, as a decimal number (sign, digits,
// fraction, exponent) in the C locale whatever the process's locale. Returns
// false when anything else is left; values beyond the single-precision range
// become infinities.
bool ReadNumber(std::string_view text, float* value);

// Reads a number as prices and volumes are written for people, beyond what
// ReadNumber takes: a currency sign ($, €, £) before the number, after its
// sign or after the number; thousands separators between groups of three
// digits (',' or, under a decimal comma, '.'; a blank, an apostrophe, a
// no-break or narrow no-break space under either); a decimal comma instead of the
// point when `decimalComma`; and one of K, M, B (thousands, millions,
// billions, in either case) right after the digits. Returns false, leaving
// *value as it was, when anything else is left. Without a decimal comma every
// text ReadNumber reads is read alike.
bool ReadWrittenNumber(std::string_view text, bool decimalComma, float* value);

// ReadNumber first, as the common case is plain numbers; then ReadWrittenNumber.
inline bool ReadPriceNumber(std::string_view text, bool decimalComma, float* value) {
    return (!decimalComma && ReadNumber(text, value)) || ReadWrittenNumber(text, decimalComma, value);
}

}  // namespace tarvel
