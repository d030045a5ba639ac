// Layout detection over arbitrary bytes: it must not crash or read beyond
// them, and whatever layout it proposes must name columns the rows have.
#include <cstring>
#include <memory>
#include <string>

#include "convert/date_text.h"
#include "convert/detect.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > tarvel::kDetectBytes) return 0;
    // A copy of exactly `size` bytes, so that a read past the input is caught.
    std::unique_ptr<char[]> bytes(new char[size]);
    if (size > 0) std::memcpy(bytes.get(), data, size);
    tarvel::CDetectedLayout layout = tarvel::DetectLayout(std::string_view(bytes.get(), size));
    using tarvel::fuzz::Require;
    if (!layout.m_bFound) {
        Require(!layout.m_strReason.empty(), "no layout and no reason");
        return 0;
    }
    const int columns = layout.m_nColumnCount;
    Require(columns >= 1 && columns <= tarvel::kMaxColumns, "column count");
    auto within = [&](int column, bool optional) {
        return (optional && column == tarvel::kNoColumn) || (column >= 0 && column < columns);
    };
    Require(within(layout.m_nFieldColumn[tarvel::kDate], false), "date column");
    Require(within(layout.m_nFieldColumn[tarvel::kClose], false), "close column");
    for (int column : layout.m_nFieldColumn) Require(within(column, true), "field column");
    Require(within(layout.m_nTimeColumn, true) && within(layout.m_nTickerColumn, true) &&
                within(layout.m_nPeriodColumn, true),
            "time, ticker or period column");
    Require(layout.m_nSkipRows >= 0, "lines to skip");
    Require((layout.m_nDateFormat >= 1 && layout.m_nDateFormat <= tarvel::kDateFormatCount) !=
                layout.m_bDayMonthUndecided,
            "a date format or undecided, not both");
    const std::string delimiters = ",;\t |";
    Require(delimiters.find(layout.m_cDelimiter) != std::string::npos, "delimiter");
    return 0;
}
