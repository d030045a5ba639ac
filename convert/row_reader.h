// The pieces of ParseInput that read text: lines in pieces, columns, numbers.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace tarvel {

// Reads a file line by line as fgets with a 300-byte buffer does: a piece is
// at most `limit` bytes and ends after a line feed where one comes first.
class CLineReader {
public:
    CLineReader(CFile& file, std::size_t limit);

    // Stores the next piece, line feed included, in *piece. Returns false at
    // the end of the file or on a read error (then Failed() is true).
    bool Next(std::string* piece);
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
// a line feed, or a carriage return and line feed.
std::string_view LineText(std::string_view piece);

// Splits `line` at `delimiter` as strtok does: a run of delimiters counts as
// one and no empty column is produced. Columns 0..n-1 overwrite tokens[0..n-1];
// columns past the table's size are ignored. Returns n. A NUL delimiter
// leaves the whole line as one column.
template <std::size_t N>
int SplitColumns(std::string_view line, char delimiter, std::array<std::string, N>& tokens) {
    std::size_t n = 0, i = 0;
    while (n < N) {
        while (i < line.size() && line[i] == delimiter) ++i;
        if (i >= line.size()) break;
        std::size_t end = delimiter == '\0' ? std::string_view::npos : line.find(delimiter, i);
        if (end == std::string_view::npos) end = line.size();
        tokens[n++].assign(line.data() + i, end - i);
        i = end;
    }
    return static_cast<int>(n);
}

// Reads a number as the "%f" conversion of formatted input does, in the C
// locale whatever the process's locale: leading white space skipped, then the
// longest prefix that forms a decimal number (sign, digits, fraction,
// exponent). Returns 0 when the text does not begin with one; values beyond
// the single-precision range become infinities.
float ReadLeadingNumber(std::string_view text);

}  // namespace tarvel
