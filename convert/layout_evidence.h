// Whether the rows of a file bear out the layout detection found for them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "convert/detect.h"

namespace tarvel {

// Whether the rows bear out `layout`, its columns found by `named` header
// names or else by their place. A layout is taken only when the rows agree
// with it: the dates run in one order (per ticker), no volume or open
// interest is negative, the low is the lowest and the high the highest price
// on nearly every row, columns placed by their order alone hold what that
// place means, and the rows have no more fields than the header names.
// When they do not, sets the layout's failure, reason and deciding options
// and returns false; when they do, adds what they showed to its evidence.
// `rows` are the fields of the lines read, `data` the lines that are rows.
bool RowsBearOut(CDetectedLayout& layout, const std::vector<std::vector<std::string>>& rows,
                 const std::vector<std::size_t>& data, bool named, std::size_t headerFields);

// Adds to the layout's evidence a line for each column: what it was taken
// for and why, or why nothing. `header` holds the names, or is null when no
// header names the columns; `otherValue` marks columns named as some other
// value (change, trades, ...), `numeric` those of numbers on nearly every
// row; the date column read on `datesRead` of `rowsSeen` rows.
void DescribeColumns(CDetectedLayout& layout, const std::vector<std::string>* header,
                     const std::vector<bool>& otherValue, const std::vector<bool>& numeric, int datesRead,
                     int rowsSeen);

}  // namespace tarvel
