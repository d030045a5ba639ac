// The first rows of an input as a conversion with given reading settings
// would store them, for the settings dialog to show before anything is
// written. Rows are read through CRowDecoder, as ParseInput reads them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/converter.h"
#include "convert/row_decoder.h"

namespace tarvel {

// How much of the input a preview reads.
inline constexpr std::size_t kPreviewBytes = std::size_t{64} * 1024;
// How many rows a preview lists.
inline constexpr int kPreviewRows = 10;

// One line of the input that is a row, stored or skipped.
struct CPreviewRow {
    int m_nLine = 0;  // 1-based line number in the file
    bool m_bSkipped = false;
    std::string m_strReason;  // why the row would be skipped
    int m_nBadField = -1;     // the field at fault (kDate for the date), or -1 for the whole line
    bool m_bDateRead = false;
    CalendarDate m_date;
    // Per field in field order from Open on: whether the value was read
    // (fields after the one at fault are not) and the value read.
    bool m_bValueRead[kFieldCount] = {};
    float m_value[kFieldCount] = {};
};

struct CRowPreview {
    std::vector<CPreviewRow> m_rows;
    int m_nSkipped = 0;  // of m_rows
};

// Reads the first kPreviewBytes bytes of the file at `path` as text, the way
// a conversion reads its input (UTF-16 decoded to UTF-8, other bytes as they
// are). On failure returns false with *error naming the path and the
// system's reason; *head is then empty.
bool ReadPreviewHead(CPlatform& platform, const std::string& path, std::string* head, std::string* error);

// The first `maxRows` rows of an input that begins with `head`, read with
// `job`'s delimiter, decimal comma, rows to skip, date format and columns.
// Blank lines are no rows. A last line cut off by the end of a head of
// kPreviewBytes is left out. Reads nothing but `head`.
CRowPreview PreviewRows(std::string_view head, const CConverter& job, int maxRows = kPreviewRows);

}  // namespace tarvel
