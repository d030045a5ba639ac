#include "convert/detect.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "convert/column_names.h"
#include "convert/date_text.h"
#include "convert/detect_cells.h"
#include "convert/layout_evidence.h"
#include "convert/row_reader.h"
#include "platform/ascii.h"
#include "platform/file_util.h"

namespace tarvel {
namespace {

// In order of preference when two read a file equally well.
constexpr char kDelimiters[] = {',', ';', '\t', '|', ' '};
// Enough rows to see a day above 12 in most files.
constexpr std::size_t kMaxSampleLines = 1000;
// A column is numeric, or of times, when this share of its cells is.
constexpr double kMostCells = 0.8;

using Cells = std::vector<std::string>;

// The lines of `text` as CLineReader hands them out.
std::vector<std::string_view> SplitLines(std::string_view text, bool cut) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size() && lines.size() < kMaxSampleLines) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            if (!cut) lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

struct Candidate {
    CDetectedLayout layout;
    int rowsRead = 0;  // rows whose date column reads, and the close when a layout was found
    int numeric = 0;   // numeric columns
};

Candidate Evaluate(const std::vector<std::string_view>& lines, char delimiter) {
    Candidate result;
    CDetectedLayout& layout = result.layout;
    layout.m_cDelimiter = delimiter;

    std::vector<Cells> rows(lines.size());
    CFieldSplitter splitter;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        int count = splitter.Split(lines[i], delimiter, kMaxColumns);
        for (int c = 0; c < count; ++c) rows[i].emplace_back(TrimBlanks(splitter[c]));
    }

    // The date column: the one that reads as a date in most rows, the
    // leftmost of equals.
    std::vector<std::vector<unsigned>> formats(rows.size());
    std::array<int, kMaxColumns> dates{};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        formats[i].resize(rows[i].size());
        for (std::size_t c = 0; c < rows[i].size(); ++c) {
            formats[i][c] = DateFormatsOf(rows[i][c]);
            if (formats[i][c] != 0) ++dates[c];
        }
    }
    const int dateColumn = ChooseDateColumn(rows, formats, dates);
    if (dates[static_cast<std::size_t>(dateColumn)] == 0) {
        layout.m_failure = DetectFailure::kNoDates;
        layout.m_strReason = "no column reads as dates";
        layout.m_strDecidingOptions = "--date-col and --date-format";
        return result;
    }
    const auto dc = static_cast<std::size_t>(dateColumn);
    std::size_t first = 0;
    while (!(dc < formats[first].size() && formats[first][dc] != 0)) ++first;
    layout.m_nSkipRows = static_cast<int>(first);
    layout.m_nColumnCount = static_cast<int>(rows[first].size());
    layout.m_nFieldColumn[kDate] = dateColumn;

    // The data rows: from the first row on, those with a date.
    std::vector<std::size_t> data;
    for (std::size_t i = first; i < rows.size(); ++i) {
        if (dc < formats[i].size() && formats[i][dc] != 0) data.push_back(i);
    }
    result.rowsRead = static_cast<int>(data.size());

    ChooseDateFormat(rows, formats, data, dc, &layout);

    // Dates written as digits that the format found reads on most rows but
    // not as real days on others (2024-15-01 beside 2024-02-01): another
    // order may be meant, and the rows it reads would be wrong days.
    if (layout.m_nDateFormat >= 1 && layout.m_nDateFormat <= kDigitDateFormatCount) {
        std::size_t unreal = 0, example = 0;
        for (std::size_t i = first; i < rows.size(); ++i) {
            if (dc >= rows[i].size() || formats[i][dc] != 0) continue;
            const std::string_view date = SplitDateTime(rows[i][dc]).date;
            std::size_t digits = 0, separators = 0;
            for (char c : date) (IsAsciiDigit(c) ? digits : separators)++;
            const bool shaped = separators == 0 ? digits == 6 || digits == 8
                                                : separators == 2 && digits >= 4 &&
                                                      IsAsciiDigit(date.front()) && IsAsciiDigit(date.back());
            CalendarDate d;
            if (shaped && ReadDateText(date, layout.m_nDateFormat, &d) == DateStatus::kNotADay) {
                if (unreal++ == 0) example = i;
            }
        }
        if (unreal > std::max<std::size_t>(data.size() >= 20 ? 1 : 0, data.size() / 50)) {
            layout.m_failure = DetectFailure::kNoPrices;
            layout.m_strReason = std::to_string(unreal) + " rows hold dates that are no real day read as " +
                                 kDateFormatNames[static_cast<std::size_t>(layout.m_nDateFormat - 1)] +
                                 " (line " + std::to_string(example + 1) + ": " + rows[example][dc] +
                                 "); the dates may be written in another order";
            layout.m_strDecidingOptions = "--date-format";
            return result;
        }
    }

    // Names from the nearest line before the first row that names a close
    // (a row whose date does not read may stand between the header and the
    // first row), else from the last line before it.
    std::vector<int> roles(kMaxColumns, kRoleUnknown);
    std::vector<int> nameRanks(kMaxColumns, 99);
    bool named = false;
    bool lineSeen = false;
    std::size_t headerFields = 0;  // names in the header that names a close
    const Cells* header = nullptr;
    for (std::size_t h = first; h-- > 0 && !named;) {
        // A header has about as many fields as the rows: a title or a note
        // ("latest", "Close of trading") names nothing.
        if (rows[h].size() < 2 || (rows[h].size() == 2 && rows[first].size() > 3)) continue;
        // Rows apart by tabs are headed by names apart by tabs.
        if (delimiter == ' ' && lines[first].find('\t') != std::string_view::npos &&
            lines[h].find('\t') == std::string_view::npos)
            continue;
        std::vector<int> lineRoles(kMaxColumns, kRoleUnknown), lineRanks(kMaxColumns, 99);
        int fieldNames = 0;
        for (std::size_t c = 0; c < rows[h].size(); ++c) {
            lineRoles[c] = RoleOf(rows[h][c], &lineRanks[c]);
            named = named || lineRoles[c] == kClose;
            fieldNames += lineRoles[c] >= kOpen && lineRoles[c] <= kOpenInt ? 1 : 0;
        }
        // A header that names prices but no close still names the columns:
        // they are never read by their place against their names.
        named = named || fieldNames >= 2;
        if (named || !lineSeen) {
            roles = std::move(lineRoles);
            nameRanks = std::move(lineRanks);
        }
        if (named) {
            headerFields = rows[h].size();
            header = &rows[h];
        }
        lineSeen = true;
    }

    // Times: a named column, or one whose cells read as times of day.
    const std::size_t width = kMaxColumns;
    std::vector<int> times(width), numbers(width), filled(width);
    Marks marks;
    for (std::size_t i : data) {
        for (std::size_t c = 0; c < rows[i].size(); ++c) {
            if (c == dc || rows[i][c].empty()) continue;
            ++filled[c];
            if (IsTimeOfDay(rows[i][c])) ++times[c];
            Weigh(rows[i][c], &marks);
        }
    }
    // Where every mark stands before three digits, 18.512 is taken with a
    // decimal point and 101,250 with a decimal comma, as the places that
    // write them do, except a quoted "1,078" among commas: that is a thousand
    // and seventy-eight as often as one and a bit, and the user must say.
    const bool groupsOnly = marks.comma == 0 && marks.point == 0;
    layout.m_bDecimalComma = marks.comma > marks.point || (groupsOnly && marks.commaGroups > 0 &&
                                                           marks.pointGroups == 0 && delimiter != ',');
    layout.m_bDecimalUndecided =
        groupsOnly && marks.commaGroups > 0 && marks.pointGroups == 0 && delimiter == ',';
    for (std::size_t i : data) {
        for (std::size_t c = 0; c < rows[i].size(); ++c) {
            float value;
            if (c != dc && !rows[i][c].empty() && ReadPriceNumber(rows[i][c], layout.m_bDecimalComma, &value))
                ++numbers[c];
        }
    }
    auto most80 = [&](const std::vector<int>& counts, std::size_t c) {
        return filled[c] > 0 && counts[c] >= kMostCells * filled[c];
    };
    auto inRange = [&](std::size_t c) { return static_cast<int>(c) < layout.m_nColumnCount; };
    for (std::size_t c = 0; c < width && inRange(c); ++c) {
        if (c == dc) continue;
        int role = roles[c];
        if (role == kRoleTime || (role == kRoleUnknown && most80(times, c))) {
            if (layout.m_nTimeColumn == kNoColumn) layout.m_nTimeColumn = static_cast<int>(c);
        } else if (role == kRoleTicker && layout.m_nTickerColumn == kNoColumn) {
            layout.m_nTickerColumn = static_cast<int>(c);
        } else if (role == kRolePeriod && layout.m_nPeriodColumn == kNoColumn) {
            layout.m_nPeriodColumn = static_cast<int>(c);
        }
        if (most80(numbers, c)) ++result.numeric;
    }

    if (named) {
        static constexpr const char* kFieldWords[kFieldCount] = {"date",  "open",   "high",         "low",
                                                                 "close", "volume", "open interest"};
        static constexpr const char* kOptions[kFieldCount] = {
            "--date-col", "--open-col", "--high-col", "--low-col", "--close-col", "--volume-col", "--oi-col"};
        for (std::size_t c = 0; c < width && inRange(c); ++c) {
            int role = roles[c];
            if (c == dc || role < kOpen || role > kOpenInt) continue;
            const int taken = layout.m_nFieldColumn[role];
            const bool ranked = role == kClose || role == kVolume;
            if (taken != kNoColumn &&
                (!ranked || nameRanks[c] == nameRanks[static_cast<std::size_t>(taken)])) {
                // Two columns of one name: which one is meant, only the user knows.
                layout.m_failure = DetectFailure::kNoPrices;
                layout.m_strReason = "columns " + std::to_string(taken + 1) + " and " +
                                     std::to_string(c + 1) + " are both named as the " +
                                     std::string(kFieldWords[role]);
                layout.m_strDecidingOptions = kOptions[role];
                return result;
            }
            if (taken == kNoColumn || nameRanks[c] < nameRanks[static_cast<std::size_t>(taken)])
                layout.m_nFieldColumn[role] = static_cast<int>(c);
        }
        if (layout.m_nFieldColumn[kClose] == kNoColumn) {
            layout.m_failure = DetectFailure::kNoPrices;
            layout.m_strReason = "the header names no column as the close";
            layout.m_strDecidingOptions = "--close-col";
            return result;
        }
    } else {
        // The usual order over the numeric columns.
        std::vector<int> columns;
        for (std::size_t c = 0; c < width && inRange(c); ++c) {
            bool other = static_cast<int>(c) == layout.m_nTimeColumn ||
                         static_cast<int>(c) == layout.m_nTickerColumn ||
                         static_cast<int>(c) == layout.m_nPeriodColumn || roles[c] == kRoleIgnored;
            // A second column of dates (a bar's close time) is no price.
            int dated = 0;
            for (std::size_t i : data) dated += c < formats[i].size() && formats[i][c] != 0 ? 1 : 0;
            if (c != dc && !other && most80(numbers, c) && !most80(std::vector<int>(width, dated), c))
                columns.push_back(static_cast<int>(c));
        }
        if (columns.size() > 6) {
            layout.m_failure = DetectFailure::kNoPrices;
            layout.m_strReason = "no header names the columns, and " + std::to_string(columns.size()) +
                                 " columns beside the dates hold numbers: which is the close cannot be told";
            layout.m_strDecidingOptions = "--close-col and the other column options";
            return result;
        }
        static constexpr std::array<std::array<int, 6>, 7> kOrders = {{
            {},
            {kClose},
            {kClose, kVolume},
            {kHigh, kLow, kClose},
            {kOpen, kHigh, kLow, kClose},
            {kOpen, kHigh, kLow, kClose, kVolume},
            {kOpen, kHigh, kLow, kClose, kVolume, kOpenInt},
        }};
        std::size_t n = std::min<std::size_t>(columns.size(), 6);
        for (std::size_t k = 0; k < n; ++k) layout.m_nFieldColumn[kOrders[n][k]] = columns[k];
    }
    if (layout.m_nFieldColumn[kClose] == kNoColumn) {
        layout.m_failure = DetectFailure::kNoPrices;
        layout.m_strReason = "no column of prices was found beside the dates";
        layout.m_strDecidingOptions = "--close-col";
        return result;
    }
    std::vector<bool> otherValue(width), numeric(width);
    for (std::size_t c = 0; c < width; ++c) {
        otherValue[c] = roles[c] == kRoleIgnored;
        numeric[c] = most80(numbers, c);
    }
    DescribeColumns(layout, header, otherValue, numeric, dates[dc], static_cast<int>(data.size()));
    if (!RowsBearOut(layout, rows, data, named, headerFields)) return result;
    if (named && delimiter == ',' && headerFields < kMaxColumns)
        layout.m_nHeaderFields = static_cast<int>(headerFields);

    // Intraday: several times on one date, or a period other than D.
    std::map<std::string, std::set<std::string>> timesOfDate;
    for (std::size_t i : data) {
        const Cells& row = rows[i];
        std::string dayKey;
        DateAndTime dt = SplitDateTime(row[dc]);
        std::string_view time = dt.time;
        std::string epochTime;
        if (IsEpochFormat(layout.m_nDateFormat)) {
            const std::int64_t second = EpochSecondOfDay(dt.date, layout.m_nDateFormat);
            if (second < 0) continue;
            CalendarDate day;
            ReadDateText(dt.date, layout.m_nDateFormat, &day);
            epochTime = std::to_string(second);
            time = epochTime;
            dt.date = {};
            dayKey = std::to_string(day.year * 10000 + day.month * 100 + day.day);
        }
        if (layout.m_nTimeColumn != kNoColumn &&
            static_cast<std::size_t>(layout.m_nTimeColumn) < row.size()) {
            time = row[static_cast<std::size_t>(layout.m_nTimeColumn)];
        }
        if (!time.empty()) {
            auto& seen = timesOfDate[dt.date.empty() ? dayKey : std::string(dt.date)];
            seen.emplace(time);
            if (seen.size() > 1) layout.m_bIntraday = true;
        }
        if (layout.m_nPeriodColumn != kNoColumn &&
            static_cast<std::size_t>(layout.m_nPeriodColumn) < row.size()) {
            const std::string& period = row[static_cast<std::size_t>(layout.m_nPeriodColumn)];
            if (period != "D" && period != "d") layout.m_bIntraday = true;
        }
    }
    // Rows whose close reads too: a footer that splits into words and a
    // date under a wrong delimiter does not speak for it.
    const auto cc = static_cast<std::size_t>(layout.m_nFieldColumn[kClose]);
    result.rowsRead = 0;
    for (std::size_t i : data) {
        float close;
        result.rowsRead +=
            cc < rows[i].size() && ReadPriceNumber(rows[i][cc], layout.m_bDecimalComma, &close);
    }
    layout.m_bFound = true;
    return result;
}

}  // namespace

std::string IntradayMessage(const std::string& path) {
    return path + " holds several rows a day (intraday data); Tarvel writes daily data.";
}

std::string LayoutRefusal(const std::string& path, const CDetectedLayout& layout) {
    return "Cannot tell the layout of " + path + ": " + layout.m_strReason +
           (layout.m_strDecidingOptions.empty()
                ? "."
                : "; give " + layout.m_strDecidingOptions + " (see tarvel-cli convert --help).");
}

std::string UndecidedDecimalMessage(const std::string& path) {
    return "The numbers in " + path +
           " read alike with a decimal comma or with thousands separators (1,078); give --decimal-comma or "
           "--no-decimal-comma.";
}

std::string UndecidedDatesMessage(const std::string& path) {
    return "The dates in " + path + " could be day-month or month-day; give --date-format.";
}

CDetectedLayout DetectLayout(std::string_view head) {
    const TextEncoding encoding = SniffEncoding(head);
    const std::string text = TextAsUtf8(head, encoding);
    // A head cut from a longer file may end inside a line.
    const bool cut = head.size() >= kDetectBytes && !text.ends_with('\n') && !text.ends_with('\r');
    const std::vector<std::string_view> lines = SplitLines(text, cut);

    CDetectedLayout best;
    best.m_failure = lines.empty() ? DetectFailure::kEmpty : DetectFailure::kNoDates;
    best.m_strReason = lines.empty() ? "the file is empty" : "no column reads as dates";
    best.m_strDecidingOptions = lines.empty() ? "" : "--delimiter, --date-col and --date-format";
    if (lines.empty() && cut) {
        best.m_failure = DetectFailure::kNoLineEnd;
        best.m_strReason = "the file is one line of at least " + std::to_string(head.size()) + " bytes";
    }
    std::tuple<bool, int, int> bestScore{false, 0, 0};
    if (!IsTextHead(text)) {
        best.m_failure = DetectFailure::kNotText;
        best.m_strReason = "the file is not text";
    } else {
        for (char delimiter : kDelimiters) {
            // A delimiter the text never holds parts nothing: every row
            // would be one field, and a date alone is no price row.
            if (text.find(delimiter) == std::string::npos) continue;
            Candidate candidate = Evaluate(lines, delimiter);
            std::tuple<bool, int, int> score{candidate.layout.m_bFound, candidate.rowsRead,
                                             candidate.numeric};
            if (score > bestScore) {
                bestScore = score;
                best = std::move(candidate.layout);
            }
        }
    }
    best.m_encoding = encoding;
    if (best.m_bFound && best.m_nTickerColumn != kNoColumn) {
        // The tickers of the rows seen, in order of appearance.
        CFieldSplitter fields;
        for (std::size_t i = static_cast<std::size_t>(best.m_nSkipRows); i < lines.size(); ++i) {
            if (fields.Split(lines[i], best.m_cDelimiter, best.m_nTickerColumn + 1) <= best.m_nTickerColumn)
                continue;
            std::string ticker(TrimBlanks(fields[best.m_nTickerColumn]));
            if (!ticker.empty() &&
                std::find(best.m_tickers.begin(), best.m_tickers.end(), ticker) == best.m_tickers.end()) {
                best.m_tickers.push_back(std::move(ticker));
            }
        }
    }
    return best;
}

CDetectedLayout DetectFileLayout(CPlatform& platform, const std::string& path) {
    Bytes head;
    if (CStatus status = ReadFileBytes(platform, path, &head, kDetectBytes); !status) {
        CDetectedLayout layout;
        layout.m_failure = DetectFailure::kUnreadable;
        layout.m_strReason = "cannot read " + path + ": " + status.Text();
        return layout;
    }
    CDetectedLayout layout =
        DetectLayout(std::string_view(reinterpret_cast<const char*>(head.data()), head.size()));
    // The whole file's length says more than the head's.
    if (layout.m_failure == DetectFailure::kNoLineEnd) {
        if (CPlatform::FileInfo info = platform.Examine(path); info.regular) {
            layout.m_strReason = "the file is one line of " + std::to_string(info.size) + " bytes";
        }
    }
    return layout;
}

bool FillConverterFromLayout(const CDetectedLayout& layout, CConverter& job, int dateFormat) {
    if (dateFormat == 0) dateFormat = layout.m_nDateFormat;
    if (!layout.m_bFound || dateFormat < 1 || dateFormat > kDateFormatCount) return false;
    job.SetDelimiter(layout.m_cDelimiter);
    job.m_bDecimalComma = layout.m_bDecimalComma ? 1 : 0;
    job.m_bSkipOn = layout.m_nSkipRows > 0 ? 1 : 0;
    job.m_nSkipRows = layout.m_nSkipRows;
    job.m_nDateFormat = dateFormat;
    for (int field = 0; field < kFieldCount; ++field) {
        job.m_bFieldOn[field] = layout.HasField(field) ? 1 : 0;
        job.m_nFieldColumn[field] = layout.HasField(field) ? layout.m_nFieldColumn[field] : 0;
    }
    TakeUnsetColumns(layout, job);
    return true;
}

void TakeUnsetColumns(const CDetectedLayout& layout, CConverter& job) {
    job.m_nTimeColumn = layout.m_nTimeColumn;
    job.m_nPeriodColumn = layout.m_nPeriodColumn;
    job.m_nTickerColumn = layout.m_nTickerColumn;
    job.m_nHeaderFields = layout.m_nHeaderFields;
}

}  // namespace tarvel
