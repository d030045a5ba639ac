// How tarvel-cli writes numbers, dates and strings: the list, the export,
// inspect and the batch summary share these.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "batch/count_text.h"
#include "pricedb/price_file.h"
#include "pricedb/stored_number.h"

namespace tarvel {

// Grouped and RowsText are batch/count_text.h's.

// A stored date as YYYY-MM-DD. A value that is no whole number from 0 to
// 99991231 is written as the number it is.
std::string DateText(const StoredNumber& stored);

// DayText (YYYYMMDD as YYYY-MM-DD) is pricedb's, from price_file.h.

// The shortest text that reads back as `value`.
std::string ShortestNumber(float value);

// A JSON string of `text`, quotes included. A quote or backslash gets a
// backslash, control characters become \u00XX, and bytes that are no UTF-8
// (a Latin-1 name, say) are written as the characters U+0080..U+00FF of the
// same numbers, so the output stays valid JSON and loses no byte.
std::string JsonString(std::string_view text);

}  // namespace tarvel
