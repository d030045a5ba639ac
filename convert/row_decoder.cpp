#include "convert/row_decoder.h"

#include <algorithm>

#include "convert/date_text.h"
#include "convert/row_reader.h"

namespace tarvel {
namespace {

std::string Column(int index) { return "column " + std::to_string(index + 1); }

}  // namespace

CRowDecoder::CRowDecoder(const CConverter& job) : m_job(job) {
    int columns = 0;
    for (int field = 0; field < kFieldCount; ++field) {
        if (field == kDate || job.m_bFieldOn[field])
            columns = std::max(columns, job.m_nFieldColumn[field] + 1);
    }
    columns = std::max({columns, job.m_nTimeColumn + 1, job.m_nPeriodColumn + 1, job.m_nTickerColumn + 1,
                        job.m_nHeaderFields > 0 ? job.m_nHeaderFields + 1 : 0});
    m_nColumnsRead = std::min(columns, kMaxColumns);
}

std::string_view CRowDecoder::Field(int index) const {
    return index >= 0 && index < m_nCount ? m_fields[index] : std::string_view();
}

void CRowDecoder::Decode(std::string_view line, bool tooLong, CDecodedRow* row) {
    *row = CDecodedRow{};
    m_nCount = 0;
    auto skip = [&](int field, std::string reason) {
        row->m_kind = CDecodedRow::Kind::kSkipped;
        row->m_nBadField = field;
        row->m_strReason = std::move(reason);
    };
    if (tooLong) return skip(-1, "the line is longer than 64 KiB");
    if (line.find('\0') != std::string_view::npos) return skip(-1, "the line holds a NUL byte");
    m_nCount = m_fields.Split(line, m_job.m_szDelimiter[0], m_nColumnsRead);
    row->m_nColumns = m_nCount;
    if (m_job.m_nHeaderFields > 0 && m_nCount > m_job.m_nHeaderFields &&
        !TrimBlanks(m_fields[m_job.m_nHeaderFields]).empty()) {
        return skip(-1, "the row has more fields than the header's " + std::to_string(m_job.m_nHeaderFields) +
                            " names: its numbers hold thousands separators that are not quoted");
    }
    if (m_nCount == 0) return;  // blank, or delimiters only

    const int dateColumn = m_job.m_nFieldColumn[kDate];
    if (dateColumn < 0 || dateColumn >= m_nCount) return skip(kDate, Column(dateColumn) + " is missing");
    row->m_bHasDateColumn = true;
    const DateAndTime dateAndTime = SplitDateTime(m_fields[dateColumn]);
    row->m_dateText = dateAndTime.date;
    row->m_time = dateAndTime.time;
    if (m_job.m_nTimeColumn >= 0 && m_job.m_nTimeColumn < m_nCount)
        row->m_time = TrimBlanks(m_fields[m_job.m_nTimeColumn]);
    if (m_job.m_nPeriodColumn >= 0 && m_job.m_nPeriodColumn < m_nCount) {
        row->m_period = TrimBlanks(m_fields[m_job.m_nPeriodColumn]);
    }
    if (m_job.m_nTickerColumn >= 0 && m_job.m_nTickerColumn < m_nCount) {
        row->m_ticker = TrimBlanks(m_fields[m_job.m_nTickerColumn]);
    }
    switch (ReadDateText(row->m_dateText, m_job.m_nDateFormat, &row->m_date)) {
        case DateStatus::kRead:
            break;
        case DateStatus::kUnreadable:
            return skip(kDate, "the date in " + Column(dateColumn) + " cannot be read");
        case DateStatus::kNotADay:
            return skip(kDate, "the date in " + Column(dateColumn) + " is not a real day");
        case DateStatus::kOutOfRange:
            return skip(kDate,
                        "the date in " + Column(dateColumn) + " lies outside 1900-01-01 to 2140-06-04");
    }
    row->m_bDateRead = true;
    if (IsEpochFormat(m_job.m_nDateFormat) && m_job.m_nTimeColumn == kNoColumn) {
        // Bars within one day differ in their second of the day.
        m_epochTime = std::to_string(EpochSecondOfDay(row->m_dateText, m_job.m_nDateFormat));
        row->m_time = m_epochTime;
    }
    for (int field = kOpen; field < kFieldCount; ++field) {
        if (!m_job.m_bFieldOn[field]) continue;
        int column = m_job.m_nFieldColumn[field];
        if (column < 0 || column >= m_nCount) return skip(field, Column(column) + " is missing");
        if (TrimBlanks(m_fields[column]).empty()) return skip(field, Column(column) + " is empty");
        if (!ReadPriceNumber(m_fields[column], m_job.m_bDecimalComma != 0, &row->m_value[field])) {
            return skip(field, Column(column) + " is not a number");
        }
    }
    row->m_kind = CDecodedRow::Kind::kRow;
}

}  // namespace tarvel
