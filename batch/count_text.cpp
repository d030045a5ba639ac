#include "batch/count_text.h"

namespace tarvel {

std::string Grouped(long value) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    grouped.reserve(digits.size() + digits.size() / 3);
    const std::size_t sign = value < 0 ? 1 : 0;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > sign && (digits.size() - i) % 3 == 0) grouped.push_back(',');
        grouped.push_back(digits[i]);
    }
    return grouped;
}

std::string Counted(long count, const std::string& noun) {
    return Grouped(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string RowsText(long rows) { return Counted(rows, "row"); }

std::string StoredText(long records, long leftOut) {
    std::string text = RowsText(records) + " stored";
    if (leftOut > 0) text += ", " + RowsText(leftOut) + " already there left out";
    return text;
}

}  // namespace tarvel
