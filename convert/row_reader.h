// The pieces of ParseInput that read text: lines in pieces, columns, numbers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace tarvel {

// Reads a file line by line as fgets with a 300-byte buffer does: a piece is
// at most `limit` bytes and ends after a line end where one comes first. A
// line end is a line feed, a carriage return and line feed, or a carriage
// return alone (files from systems that end lines so).
class CLineReader {
public:
    CLineReader(CFile& file, std::size_t limit);

    // Points *piece at the next piece, line feed included; the view stays
    // valid until the next call. Returns false at the end of the file or on a
    // read error (then Failed() is true).
    bool Next(std::string_view* piece);
    bool Failed() const { return m_failed; }

private:
    bool Fill();

    CFile& m_file;
    std::size_t m_limit;
    std::string m_buffer;
    std::size_t m_start = 0;
    bool m_end = false;
    bool m_failed = false;
};

// Removes what a line's text ends with: everything from a zero byte on, then
// its line end.
std::string_view LineText(std::string_view piece);

// The texts of the columns of the current row. Entries start as "123"; a row
// overwrites only the columns it has, so the others keep the text of the
// latest earlier row that had them.
class CTokenTable {
public:
    static constexpr int kSize = 20;
    CTokenTable();
    std::string_view operator[](int column) const {
        return {m_text[column], m_length[column]};
    }
    void Set(int column, std::string_view text);

private:
    char m_text[kSize][300];
    std::size_t m_length[kSize];
};

// Splits `line` at `delimiter` as strtok does: a run of delimiters counts as
// one and no empty column is produced. Columns 0..n-1 overwrite the table's
// entries; columns past its size are ignored. Returns n. A NUL delimiter
// leaves the whole line as one column. `line` is at most 299 bytes.
int SplitColumns(std::string_view line, char delimiter, CTokenTable& tokens);

// Reads a number as the "%f" conversion of formatted input does, in the C
// locale whatever the process's locale: leading white space skipped, then the
// longest prefix that forms a decimal number (sign, digits, fraction,
// exponent). Returns 0 when the text does not begin with one; values beyond
// the single-precision range become infinities.
float ReadLeadingNumber(std::string_view text);

}  // namespace tarvel
