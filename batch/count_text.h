// Counts as the programs write them in their outcome lines and logs.
#pragma once

#include <string>

namespace tarvel {

// 1234567 as "1,234,567"; a minus sign stays in front of the digits.
std::string Grouped(long value);

// "1 row", "1,234 rows".
std::string RowsText(long rows);

// `count` of `noun`, grouped, with an s past one: "1 newer row", "0 files".
std::string Counted(long count, const std::string& noun);

// What one file of a batch stored: "3 rows stored", with ", 60 rows already
// there left out" when an update left rows out.
std::string StoredText(long records, long leftOut);

}  // namespace tarvel
