#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <type_traits>
#include <vector>

#include "convert/converter.h"
#include "convert/date_text.h"
#include "convert/detect.h"
#include "convert/row_decoder.h"

namespace tarvel {
namespace {

bool HasNonDigit(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') return true;
    }
    return false;
}

// Rows read are kept in memory until they are sorted; past this many for
// one ticker it cannot become one security even after repeated dates are
// dropped, and past the second limit the file is not read at all.
constexpr std::size_t kMaxRowsRead = 1 << 20;
constexpr std::size_t kMaxRowsReadInFile = 1 << 23;

struct Row {
    std::int32_t day;  // year * 10000 + month * 100 + day: orders by date
    int line;
    int ticker;  // index into the file's tickers; 0 when it has none
    std::uint8_t bytes[4 * kFieldCount];
};

}  // namespace

int CConverter::Skip(int line, std::string reason) {
    if (m_nSkipped++ == 0 || line < m_nFirstSkippedLine) {
        m_nFirstSkippedLine = line;
        m_strFirstSkipReason = std::move(reason);
    }
    return 0;
}

int CConverter::ParseInput() {
    if (m_nTickerColumn != kNoColumn) {
        // A file of many securities may hold millions of rows: a deque grows
        // by blocks, so no reallocation ever holds them twice, and the rows
        // of each security are let go as it is built.
        std::deque<Row> rows;
        return ParseRows(rows);
    }
    // Room for the most records a security can hold; pages are touched only
    // as rows arrive.
    std::vector<Row> rows;
    rows.reserve(kMaxPriceRecords);
    return ParseRows(rows);
}

template <class Rows>
int CConverter::ParseRows(Rows& rows) {
    CLineReader reader(*m_input, std::move(m_strInputHead));
    CRowDecoder decoder(*this);
    CDecodedRow decoded;
    std::vector<std::string> tickers;     // in the order of their first row
    std::vector<std::size_t> tickerRows;  // rows read of each
    int ticker = 0;                       // of the latest row that names one
    m_nSkipped = 0;

    std::string_view line;
    bool tooLong = false;
    int lineNumber = 0;
    auto next = [&] {
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

    // The time of day of each row that has one, to tell intraday data.
    std::vector<std::pair<std::int32_t, std::string>> times;
    auto intraday = [&] { return Fail(IntradayMessage(m_strPathIn)); };
    bool firstRowSeen = false;
    while (next()) {
        decoder.Decode(line, tooLong, &decoded);
        if (decoded.m_kind == CDecodedRow::Kind::kBlank) continue;
        if (decoded.m_bHasDateColumn) {
            std::string_view dateText = decoded.m_dateText;
            if (dateText.size() >= 20) {
                return Fail("The date in line " + std::to_string(lineNumber) +
                            " is too long to be a date.\nNothing was converted.");
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
        if (decoded.m_bDateRead) {
            if (!decoded.m_period.empty() && decoded.m_period != "D" && decoded.m_period != "d")
                return intraday();
            if (!decoded.m_ticker.empty() &&
                (tickers.empty() || decoded.m_ticker != tickers[static_cast<std::size_t>(ticker)])) {
                auto known = std::find(tickers.begin(), tickers.end(), decoded.m_ticker);
                ticker = static_cast<int>(known - tickers.begin());
                if (known == tickers.end()) {
                    tickers.emplace_back(decoded.m_ticker);
                    tickerRows.push_back(0);
                }
            }
        }
        if (decoded.m_kind == CDecodedRow::Kind::kSkipped) {
            Skip(lineNumber, decoded.m_strReason);
            continue;
        }
        // A row of no ticker belongs to none of the file's securities.
        if (m_nTickerColumn != kNoColumn && decoded.m_ticker.empty()) {
            Skip(lineNumber, "column " + std::to_string(m_nTickerColumn + 1) + " names no ticker");
            continue;
        }
        const CalendarDate& date = decoded.m_date;
        Row row;
        row.day = date.year * 10000 + date.month * 100 + date.day;
        row.line = lineNumber;
        row.ticker = ticker;
        if (!decoded.m_time.empty()) times.emplace_back(row.day, decoded.m_time);
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
        if (rows.size() == kMaxRowsReadInFile) {
            return Fail(
                "This file has more than " + std::to_string(kMaxRowsReadInFile) +
                " rows, the most Tarvel reads from one file; split it into files of fewer rows.\nNothing "
                "was converted.");
        }
        if (tickers.size() <= 1 && rows.size() == kMaxRowsRead) {
            return Fail(
                "This file has more rows than one security can hold (65534).\nNothing was converted.");
        }
        rows.push_back(row);
    }
    if (reader.Failed())
        return Fail("Cannot read the input file " + m_strPathIn + ": " + reader.Error().Text());
    std::sort(times.begin(), times.end());
    if (std::adjacent_find(times.begin(), times.end(), [](const auto& a, const auto& b) {
            return a.first == b.first && a.second != b.second;
        }) != times.end()) {
        return intraday();
    }

    // Each ticker's rows together, in file order.
    if (tickers.size() > 1) {
        // By ticker, then line: as a stable sort by ticker would, but in place,
        // without a buffer as large as the rows.
        std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
            return a.ticker != b.ticker ? a.ticker < b.ticker : a.line < b.line;
        });
    }
    // Oldest first; of the rows of one date the latest in the file stays.
    // Files come oldest first or newest first: those need no sort.
    auto byDay = [](const Row& a, const Row& b) { return a.day < b.day; };
    std::vector<std::pair<std::size_t, std::size_t>> ranges;  // of kept rows, one per ticker
    std::size_t kept = 0;
    for (std::size_t begin = 0; begin < rows.size();) {
        std::size_t end = begin;
        while (end < rows.size() && rows[end].ticker == rows[begin].ticker) ++end;
        auto first = rows.begin() + static_cast<long>(begin), last = rows.begin() + static_cast<long>(end);
        if (std::is_sorted(first, last, [](const Row& a, const Row& b) { return a.day > b.day; }) &&
            std::adjacent_find(first, last, [](const Row& a, const Row& b) { return a.day == b.day; }) ==
                last) {
            std::reverse(first, last);
        } else if (!std::is_sorted(first, last, byDay)) {
            std::stable_sort(first, last, byDay);
        }
        std::size_t start = kept;
        for (std::size_t i = begin; i < end;) {
            std::size_t latest = i;
            while (latest + 1 < end && rows[latest + 1].day == rows[i].day) ++latest;
            for (; i < latest; ++i)
                Skip(rows[i].line, "line " + std::to_string(rows[latest].line) + " has the same date");
            rows[kept++] = rows[latest];
            i = latest + 1;
        }
        ranges.emplace_back(start, kept);
        begin = end;
    }
    rows.resize(kept);

    if (m_nSkipped > 0) {
        std::string count = std::to_string(m_nSkipped);
        std::string where = "line " + std::to_string(m_nFirstSkippedLine) + ": " + m_strFirstSkipReason + ".";
        m_prompt.MessageBox(m_nSkipped == 1 ? "1 row was skipped. It was " + where
                                            : count + " rows were skipped. The first was " + where,
                            kMbOk);
    }
    if (rows.empty()) return Fail("No price rows could be read from " + m_strPathIn + ".");
    for (const auto& [begin, end] : ranges) {
        if (end - begin > static_cast<std::size_t>(kMaxPriceRecords)) {
            return Fail(
                tickers.size() > 1
                    ? "This file has more rows of " + tickers[static_cast<std::size_t>(rows[begin].ticker)] +
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
    const std::size_t length = 4 * static_cast<std::size_t>(m_nFieldCount);
    m_securities.clear();
    std::size_t released = 0;  // rows let go from the front of `rows`
    for (auto [begin, end] : ranges) {
        begin -= released;
        end -= released;
        NewSecurity& security = m_securities.emplace_back();
        if (tickers.size() > 1) {
            // A file of several tickers: each is its own security, named by it.
            security.symbol = symbols[static_cast<std::size_t>(rows[begin].ticker)];
            security.ticker = tickers[static_cast<std::size_t>(rows[begin].ticker)];
            security.name = security.symbol;
        }
        security.records.reserve(length * (end - begin));
        for (std::size_t i = begin; i < end; ++i) {
            security.records.insert(security.records.end(), rows[i].bytes, rows[i].bytes + length);
        }
        security.recordCount = static_cast<std::uint16_t>(end - begin);
        std::memcpy(security.firstDate.data(), rows[begin].bytes, 4);
        std::memcpy(security.lastDate.data(), rows[end - 1].bytes, 4);
        if constexpr (std::is_same_v<Rows, std::deque<Row>>) {
            rows.erase(rows.begin(), rows.begin() + static_cast<long>(end));
            released += end;
        }
    }
    return 0;
}

}  // namespace tarvel
