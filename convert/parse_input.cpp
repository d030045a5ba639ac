#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

#include "convert/converter.h"
#include "convert/date_text.h"
#include "convert/detect.h"
#include "convert/row_decoder.h"
#include "convert/row_store.h"

namespace tarvel {
namespace {

bool HasNonDigit(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') return true;
    }
    return false;
}

// Past this many rows of one ticker it cannot become one security even
// after repeated dates are dropped, and the file is not read further.
constexpr std::size_t kMaxRowsRead = 1 << 20;

}  // namespace

int CConverter::ScratchFailure(const CStatus& status) {
    return Fail("Cannot hold the rows of " + m_strPathIn + " in a temporary file: " + status.Text() +
                "\nNothing was converted.");
}

int CConverter::Skip(int line, std::string reason) {
    if (m_nSkipped++ == 0 || line < m_nFirstSkippedLine) {
        m_nFirstSkippedLine = line;
        m_strFirstSkipReason = std::move(reason);
    }
    return 0;
}

int CConverter::ParseInput() {
    CLineReader reader(*m_input, std::move(m_strInputHead));
    CRowDecoder decoder(*this);
    CDecodedRow decoded;
    auto store = std::make_unique<CRowStore>(m_platform);
    m_rowStore.reset();
    std::vector<std::string> tickers;                  // in the order of their first stored row
    std::unordered_map<std::string, int> tickerIndex;  // of each in `tickers`
    std::vector<std::size_t> tickerRows;               // rows read of each
    int ticker = 0;                                    // of the latest row stored
    m_nSkipped = 0;

    std::string_view line;
    bool tooLong = false;
    int lineNumber = 0;
    bool tooManyLines = false;
    auto next = [&] {
        // Line numbers are ints: a file of more lines than that is refused.
        if (lineNumber == std::numeric_limits<int>::max()) {
            tooManyLines = true;
            return false;
        }
        if (!reader.Next(&line, &tooLong)) return false;
        // A UTF-8 byte order mark, as spreadsheets write one, is no part of
        // the first line's text.
        if (++lineNumber == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
        return true;
    };
    if (m_bSkipOn) {
        for (int i = 0; i < m_nSkipRows && next(); ++i) {
        }
    }
    // A line after the rows began that holds names and no number heads
    // another table (dividends, a weekly summary, even one under the same
    // names): neither it nor the rows after it are this table's.
    int otherTable = 0;
    bool rowRead = false;
    auto headsAnotherTable = [&] {
        int names = 0;
        for (int c = 0; c < decoded.m_nColumns; ++c) {
            std::string_view field = TrimBlanks(decoder.Field(c));
            float value;
            if (ReadPriceNumber(field, m_bDecimalComma != 0, &value)) return false;
            names += field.empty() ? 0 : 1;
        }
        return names >= 2;
    };

    // The time of day first seen on each date: a second time on one date
    // tells intraday data.
    std::unordered_map<std::int32_t, std::string> times;
    bool intradaySeen = false;
    auto intraday = [&] { return Fail(IntradayMessage(m_strPathIn)); };
    bool firstRowSeen = false;
    while (next()) {
        decoder.Decode(line, tooLong, &decoded);
        if (decoded.m_kind == CDecodedRow::Kind::kBlank) continue;
        if (decoded.m_bHasDateColumn) {
            std::string_view dateText = decoded.m_dateText;
            // A footer or note among the rows ("Downloaded from ... as of
            // 12/06/2024") is no row: skipped and counted, as an unreadable
            // row is, rather than failing the file.
            if (dateText.size() >= 20) {
                Skip(lineNumber, "its date field is too long to be a date");
                continue;
            }
            if (!firstRowSeen) {
                firstRowSeen = true;
                bool nonDigit = HasNonDigit(dateText);
                if (IsNumericOnlyFormat(m_nDateFormat) && nonDigit) {
                    return Fail(
                        "You specified a numeric-only date format\nbut a non-numeric date character was "
                        "found.");
                }
                if (!IsNumericOnlyFormat(m_nDateFormat) && !nonDigit) {
                    return Fail(
                        "You specified a character-separated date format\nbut only numeric date characters "
                        "were found.");
                }
            }
        }
        if (decoded.m_bDateRead && !decoded.m_period.empty() && decoded.m_period != "D" &&
            decoded.m_period != "d") {
            return intraday();
        }
        if (otherTable != 0) {
            Skip(lineNumber,
                 "it follows line " + std::to_string(otherTable) + ", the header of another table");
            continue;
        }
        if (decoded.m_kind == CDecodedRow::Kind::kSkipped) {
            if (rowRead && decoded.m_nBadField == kDate && headsAnotherTable()) {
                otherTable = lineNumber;
                Skip(lineNumber, "it heads another table");
                continue;
            }
            Skip(lineNumber, decoded.m_strReason);
            continue;
        }
        rowRead = true;
        // A row of no ticker belongs to none of the file's securities.
        if (m_nTickerColumn != kNoColumn && decoded.m_ticker.empty()) {
            Skip(lineNumber, "column " + std::to_string(m_nTickerColumn + 1) + " names no ticker");
            continue;
        }
        if (!decoded.m_ticker.empty() &&
            (tickers.empty() || decoded.m_ticker != tickers[static_cast<std::size_t>(ticker)])) {
            auto [known, added] =
                tickerIndex.try_emplace(std::string(decoded.m_ticker), static_cast<int>(tickers.size()));
            if (added) {
                // More than a portfolio holds could never be stored whole.
                if (tickers.size() == static_cast<std::size_t>(kMaxXMasterFileNumber)) {
                    return Fail("This file names more than " + std::to_string(kMaxXMasterFileNumber) +
                                " tickers, more securities than a portfolio holds.\nNothing was converted.");
                }
                tickers.emplace_back(decoded.m_ticker);
                tickerRows.push_back(0);
            }
            ticker = known->second;
        }
        const CalendarDate& date = decoded.m_date;
        PriceRow row;
        row.day = date.year * 10000 + date.month * 100 + date.day;
        row.line = lineNumber;
        row.ticker = ticker;
        if (!decoded.m_time.empty()) {
            auto [seen, added] = times.try_emplace(row.day, decoded.m_time);
            if (!added && seen->second != decoded.m_time) intradaySeen = true;
        }
        m_record[kDate] = MakeStoredDate(date);
        for (int field = kOpen; field < kFieldCount; ++field) {
            m_record[field] = m_bFieldOn[field] ? EncodeStoredNumber(decoded.m_value[field]) : StoredNumber{};
        }
        std::size_t length = 0;
        for (int field = 0; field < kFieldCount; ++field) {
            if (!m_bFieldOn[field]) continue;
            std::memcpy(row.bytes + length, m_record[field].data(), 4);
            length += 4;
        }
        if (!tickers.empty() && ++tickerRows[static_cast<std::size_t>(ticker)] == kMaxRowsRead) {
            return Fail("This file has more rows of " + tickers[static_cast<std::size_t>(ticker)] +
                        " than one security can hold (65534).\nNothing was converted.");
        }
        if (tickers.size() <= 1 && store->size() == kMaxRowsRead) {
            return Fail(
                "This file has more rows than one security can hold (65534).\nNothing was converted.");
        }
        if (CStatus status = store->Add(row); !status) return ScratchFailure(status);
    }
    if (reader.Failed())
        return Fail("Cannot read the input file " + m_strPathIn + ": " + reader.Error().Text());
    if (tooManyLines) {
        return Fail("This file has more than " + std::to_string(std::numeric_limits<int>::max()) +
                    " lines, the most Tarvel reads from one file; split it into smaller files.\nNothing was "
                    "converted.");
    }
    if (intradaySeen) return intraday();
    times.clear();

    // Each ticker's rows in turn. A file whose rows did not fit in memory
    // keeps only its first security's records (for a preview); the others
    // are read again from the store as each is staged, so that the file's
    // records are never all held at once.
    const std::size_t length = 4 * static_cast<std::size_t>(m_nFieldCount);
    const bool defer = store->Spilled();
    m_securities.clear();
    m_deferredTickers.clear();
    std::vector<std::size_t> counts;  // records of each security, before any limit
    std::vector<PriceRow> rows;
    for (int t = 0; t < std::max<int>(1, static_cast<int>(tickers.size())); ++t) {
        if (CStatus status = store->Take(t, &rows); !status) return ScratchFailure(status);
        if (rows.empty()) continue;
        NewSecurity& security = m_securities.emplace_back();
        if (tickers.size() > 1) security.ticker = tickers[static_cast<std::size_t>(t)];
        BuildRecords(rows, true, &security.records);
        counts.push_back(security.records.size() / length);
        std::memcpy(security.firstDate.data(), security.records.data(), 4);
        std::memcpy(security.lastDate.data(), security.records.data() + security.records.size() - length, 4);
        m_deferredTickers.push_back(defer && m_securities.size() > 1 ? t : kNoColumn);
        if (m_deferredTickers.back() != kNoColumn) Bytes().swap(security.records);
    }
    std::vector<PriceRow>().swap(rows);

    if (m_nSkipped > 0) {
        std::string count = std::to_string(m_nSkipped);
        std::string where = "line " + std::to_string(m_nFirstSkippedLine) + ": " + m_strFirstSkipReason + ".";
        m_prompt.MessageBox(m_nSkipped == 1 ? "1 row was skipped. It was " + where
                                            : count + " rows were skipped. The first was " + where,
                            kMbOk);
    }
    if (m_securities.empty()) return Fail("No price rows could be read from " + m_strPathIn + ".");
    for (std::size_t i = 0; i < m_securities.size(); ++i) {
        if (counts[i] > static_cast<std::size_t>(kMaxPriceRecords)) {
            return Fail(
                tickers.size() > 1
                    ? "This file has more rows of " + m_securities[i].ticker +
                          " than one security can hold (65534).\nNothing was converted."
                    : "This file has more rows than one security can hold (65534).\nNothing was converted.");
        }
    }
    if (m_bStrict && m_nSkipped > 0)
        return Fail("Nothing was converted: skipped rows are not allowed (--strict).");

    // Tickers that differ only past a symbol's 14 bytes, or in case, would
    // become one security.
    std::vector<std::string> symbols;
    for (const std::string& name : tickers) {
        std::string symbol(CutToCharBoundary(name, kMaxSymbolBytes));
        for (std::size_t i = 0; tickers.size() > 1 && i < symbols.size(); ++i) {
            if (EqualIgnoringAsciiCase(symbols[i], symbol)) {
                return Fail("The tickers " + tickers[i] + " and " + name + " of " + m_strPathIn +
                            " would both become the security " + symbol +
                            " (a symbol holds 14 bytes, and case does not tell symbols apart).\nNothing was "
                            "converted.");
            }
        }
        symbols.push_back(std::move(symbol));
    }
    for (NewSecurity& security : m_securities) {
        if (tickers.size() > 1) {
            // A file of several tickers: each is its own security, named by it.
            security.symbol = symbols[static_cast<std::size_t>(tickerIndex[security.ticker])];
            security.name = security.symbol;
        }
    }
    for (std::size_t i = 0; i < m_securities.size(); ++i)
        m_securities[i].recordCount = static_cast<std::uint16_t>(counts[i]);
    if (defer) m_rowStore = std::move(store);
    return 0;
}

void CConverter::BuildRecords(std::vector<PriceRow>& rows, bool countSkipped, Bytes* records) {
    // Oldest first; of the rows of one date the latest in the file stays.
    // Files come oldest first or newest first: those need no sort.
    auto byDay = [](const PriceRow& a, const PriceRow& b) { return a.day < b.day; };
    auto first = rows.begin(), last = rows.end();
    if (std::is_sorted(first, last, [](const PriceRow& a, const PriceRow& b) { return a.day > b.day; }) &&
        std::adjacent_find(first, last,
                           [](const PriceRow& a, const PriceRow& b) { return a.day == b.day; }) == last) {
        std::reverse(first, last);
    } else if (!std::is_sorted(first, last, byDay)) {
        std::stable_sort(first, last, byDay);
    }
    const std::size_t length = 4 * static_cast<std::size_t>(m_nFieldCount);
    records->clear();
    records->reserve(rows.size() * length);
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t latest = i;
        while (latest + 1 < rows.size() && rows[latest + 1].day == rows[i].day) ++latest;
        for (; countSkipped && i < latest; ++i)
            Skip(rows[i].line, "line " + std::to_string(rows[latest].line) + " has the same date");
        records->insert(records->end(), rows[latest].bytes, rows[latest].bytes + length);
        i = latest + 1;
    }
}

int CConverter::LoadRecords(std::size_t index) {
    if (!m_rowStore || index >= m_deferredTickers.size() || m_deferredTickers[index] == kNoColumn) return 0;
    std::vector<PriceRow> rows;
    if (CStatus status = m_rowStore->Take(m_deferredTickers[index], &rows); !status)
        return ScratchFailure(status);
    BuildRecords(rows, false, &m_securities[index].records);
    return 0;
}

}  // namespace tarvel
