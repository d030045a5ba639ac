#include <string>

#include "convert/converter.h"
#include "convert/date_text.h"
#include "convert/row_reader.h"
#include "pricedb/find_security.h"

namespace tarvel {
namespace {

bool HasNonDigit(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') return true;
    }
    return false;
}

}  // namespace

int CConverter::ParseInput() {
    MasterRecordBytes found;
    std::string foundDir;
    if (FindSecurity(m_platform, m_szPathOut, m_szSymbol, &found, &foundDir) != kFindFound) {
        return Fail("Cannot find the new security " + std::string(m_szSymbol) + " in " + m_szPathOut);
    }
    std::uint8_t fileNumber = found[kRecFileNumber];

    std::unique_ptr<CFile> input = m_platform.Open(m_strPathIn, OpenMode::kRead);
    if (!input) return Fail("Cannot open the input file " + m_strPathIn);

    CLineReader reader(*input, kMaxLinePiece);
    m_pendingRecords.clear();
    // Room for the most records a file can hold; pages are touched only as
    // records arrive, and the buffer never moves.
    m_pendingRecords.reserve(static_cast<std::size_t>(4 * m_nFieldCount) * kMaxPriceRecords);
    CTokenTable tokens;
    auto column = [&](int field) -> std::string_view {
        int index = m_nFieldColumn[field];
        return index >= 0 && index < kMaxColumns ? tokens[index] : std::string_view();
    };

    std::string_view piece;
    int lineNumber = 0;
    // A UTF-8 byte order mark, as spreadsheets write one, is no part of the
    // first line's text.
    bool first = true;
    auto next = [&] {
        if (!reader.Next(&piece)) return false;
        if (first && piece.starts_with("\xEF\xBB\xBF")) piece.remove_prefix(3);
        first = false;
        return true;
    };
    if (m_bSkipOn) {
        for (int i = 0; i < m_nSkipRows && next(); ++i) ++lineNumber;
    }

    int rowCount = 0;
    bool stop = false, mismatch = false, firstRowSeen = false, full = false;
    int unreadableRows = 0, firstUnreadableLine = 0;
    StoredNumber firstDate{}, lastDate{};
    while (next()) {
        ++lineNumber;
        if (SplitColumns(LineText(piece), m_szDelimiter[0], tokens) == 0) continue;

        std::string_view dateText = column(kDate);
        if (dateText.size() >= 20) {
            stop = true;
            m_prompt.MessageBox("The date in line " + std::to_string(lineNumber) +
                                    " is too long to be a date.\nThat line and the rows after it were not converted.",
                                kMbOk);
            break;
        }
        std::uint16_t dateNumber = ParseDateText(dateText, m_nDateFormat);
        if (!firstRowSeen) {
            firstRowSeen = true;
            bool nonDigit = HasNonDigit(dateText);
            if (IsNumericOnlyFormat(m_nDateFormat) && nonDigit) {
                m_prompt.MessageBox(
                    "You specified a numeric-only date format\nbut a non-numeric date character was found.", kMbOk);
                mismatch = true;
            } else if (!IsNumericOnlyFormat(m_nDateFormat) && !nonDigit) {
                m_prompt.MessageBox(
                    "You specified a character-separated date format\nbut only numeric date characters were found.",
                    kMbOk);
                mismatch = true;
            }
        }
        if (dateNumber == 0) {
            if (unreadableRows++ == 0) firstUnreadableLine = lineNumber;
            continue;
        }
        if (rowCount == kMaxPriceRecords) {
            full = true;
            m_prompt.MessageBox("This file has more rows than one security can hold (65534).\n"
                                "The rows after that were not converted.",
                                kMbOk);
            break;
        }
        m_record[kDate] = MakeStoredDate(dateNumber);
        for (int field = kOpen; field < kFieldCount; ++field) {
            float value = m_bFieldOn[field] ? ReadLeadingNumber(column(field)) : 0.0f;
            m_record[field] = EncodeStoredNumber(value);
        }
        if (rowCount == 0) firstDate = m_record[kDate];
        lastDate = m_record[kDate];
        AppendPriceRecord(fileNumber);
        ++rowCount;
    }
    bool readFailed = reader.Failed();
    input.reset();
    if (readFailed) m_prompt.MessageBox("Cannot read the input file " + m_strPathIn, kMbOk);

    // The records go to disk first; the dates follow only when they describe
    // records that are there. Without any record the dates stay today's.
    int countResult = UpdateRecordCount(static_cast<std::uint16_t>(rowCount), fileNumber);
    int datesResult = 0;
    if (countResult == 0 && rowCount > 0) datesResult = UpdateMasterDates(firstDate, lastDate, fileNumber);

    if (unreadableRows > 0) {
        m_prompt.MessageBox(std::to_string(unreadableRows) +
                                " rows had a date that could not be read and were not converted.\nThe first was line " +
                                std::to_string(firstUnreadableLine) + ".",
                            kMbOk);
    }
    bool failed = countResult != 0 || datesResult != 0 || stop || mismatch || full || readFailed || unreadableRows > 0;
    return failed ? 1 : 0;
}

}  // namespace tarvel
