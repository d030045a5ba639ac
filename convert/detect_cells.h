// What the cells of a file's lines say, one column at a time: which date
// formats read them, which column holds the dates, and which decimal mark
// the numbers use.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "convert/converter.h"
#include "convert/detect.h"

namespace tarvel {

// The formats (bit n-1 for format n) that read `cell` as a day.
unsigned DateFormatsOf(std::string_view cell);

// Whether the dates of column `c` of `rows` run in one order, oldest or
// newest first, read under the first format that reads them all;
// `formats` holds DateFormatsOf of each cell.
bool DatesInOrder(const std::vector<std::vector<std::string>>& rows,
                  const std::vector<std::vector<unsigned>>& formats, std::size_t c);

// The date column: of the columns that read as dates on nearly as many rows
// as the best (`dates` counts them), one named as a date or time rather
// than anything else, then one of written dates rather than bare seconds
// since 1970, then one whose dates run in order (a count of trades may read
// as YYMMDD dates, a turnover as seconds), then the most read, the leftmost.
int ChooseDateColumn(const std::vector<std::vector<std::string>>& rows,
                     const std::vector<std::vector<unsigned>>& formats,
                     const std::array<int, kMaxColumns>& dates);

// Sets the date format of the layout from the cells of date column `dc` on
// the `data` rows: of the formats that read the most rows, a year written
// in full where one is; a two-digit year first or last as the order and the
// steps of the dates decide; day-month against month-day only as the rows
// decide, else both candidates and m_bDayMonthUndecided.
void ChooseDateFormat(const std::vector<std::vector<std::string>>& rows,
                      const std::vector<std::vector<unsigned>>& formats, const std::vector<std::size_t>& data,
                      std::size_t dc, CDetectedLayout* layout);

// Evidence for the decimal mark of the numbers as written.
struct Marks {
    int comma = 0;        // a comma that can only be a decimal comma
    int point = 0;        // a point that can only be a decimal point
    int commaGroups = 0;  // "1,234": either
    int pointGroups = 0;  // "1.234": either
};

// Adds what `cell` says of the decimal mark to *marks.
void Weigh(std::string_view cell, Marks* marks);

}  // namespace tarvel
