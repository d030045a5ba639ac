// How one line of the input becomes one price row under a job's reading
// settings (delimiter, decimal comma, date format, columns). The conversion
// and the settings dialog's preview both read rows through it, so that what
// the preview shows is what a conversion stores.
#pragma once

#include <string>
#include <string_view>

#include "convert/converter.h"
#include "convert/row_reader.h"
#include "pricedb/stored_number.h"

namespace tarvel {

struct CDecodedRow {
    enum class Kind {
        kBlank,    // nothing but delimiters and blanks: no row at all
        kRow,      // a price row
        kSkipped,  // a row that cannot be stored; m_strReason says why
    };
    Kind m_kind = Kind::kBlank;
    std::string m_strReason;        // "column 4 is not a number", ...
    int m_nBadField = -1;           // the field at fault (kDate for the date), or -1 for the whole line
    int m_nColumns = 0;             // fields the line has (at most the columns the job reads)
    bool m_bHasDateColumn = false;  // the line reaches the date column
    bool m_bDateRead = false;
    CalendarDate m_date;
    float m_value[kFieldCount] = {};  // the enabled fields from Open on
    // Views into the line (or the decoder), valid until the next Decode.
    std::string_view m_dateText;  // the date part of the date column, blanks trimmed
    std::string_view m_time;      // a time of day beside the date or in the time column
    std::string_view m_period;    // the period column, blanks trimmed
    std::string_view m_ticker;    // the ticker column, blanks trimmed
};

class CRowDecoder {
public:
    // Reads with `job`'s settings; the job must outlive the decoder.
    explicit CRowDecoder(const CConverter& job);

    // Decodes `line` (without its line end); `tooLong` says the line was cut
    // at kMaxLineLength.
    void Decode(std::string_view line, bool tooLong, CDecodedRow* row);
    // The text of column `index` of the latest line ("" past its end).
    std::string_view Field(int index) const;

private:
    const CConverter& m_job;
    CFieldSplitter m_fields;
    int m_nColumnsRead = 0;
    int m_nCount = 0;
    std::string m_epochTime;  // the second of the day of an epoch date, as m_time's text
};

}  // namespace tarvel
