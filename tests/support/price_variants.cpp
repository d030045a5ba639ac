#include "tests/support/price_variants.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "convert/detect.h"
#include "convert/row_decoder.h"
#include "tests/support/fake_platform.h"
#include "tests/support/temp_dir.h"

namespace tarvel::test {
namespace {

class CRandom {
public:
    explicit CRandom(std::uint32_t seed) : m_state(seed * 2654435761u + 1) {}
    std::uint32_t Below(std::uint32_t n) {
        m_state = m_state * 1664525u + 1013904223u;
        return (m_state >> 8) % n;
    }
    template <typename T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(N)];
    }

private:
    std::uint32_t m_state;
};

// Columns of a variant: the six true ones, then those no field may come from.
enum Kind {
    kDateKind,
    kOpenKind,
    kHighKind,
    kLowKind,
    kCloseKind,
    kVolumeKind,
    kChange,
    kPercent,
    kTrades,
    kAdjusted,
    kVwap,
    kTurnover,
    kKinds
};

const char* const kDateNames[] = {"Date", "date", "DATE", "Datum", "Trade Date"};
const char* const kOpenNames[] = {"Open", "OPEN", "open", "Open Price", "Erster"};
const char* const kHighNames[] = {"High", "HIGH", "Hoch", "High Price"};
const char* const kLowNames[] = {"Low", "LOW", "Tief", "Low Price"};
const char* const kCloseNames[] = {"Close", "Close*", "CLOSE", "Close Price", "Schluss", "Last", "Price"};
const char* const kVolumeNames[] = {"Volume",           "Vol.",         "Shares Traded",
                                    "Number of Shares", "total_volume", "Volume (shares)"};
const char* const kChangeNames[] = {"Change", "Chg", "Change %"};
const char* const kPercentNames[] = {"% Change", "%Chg", "Change %"};
const char* const kTradesNames[] = {"Trades", "No. of Trades", "Number of Trades"};
const char* const kAdjustedNames[] = {"Adj Close", "Adj Close**", "Adjusted Close"};
const char* const kEnglishMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string DateText(int day, int spelling) {
    const int y = day / 10000, m = day / 100 % 100, d = day % 100;
    char text[64];
    switch (spelling) {
        case 0:
            std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
            break;
        case 1:
            std::snprintf(text, sizeof text, "%02d/%02d/%04d", m, d, y);
            break;
        case 2:
            std::snprintf(text, sizeof text, "%02d.%02d.%04d", d, m, y);
            break;
        case 3:
            std::snprintf(text, sizeof text, "%02d-%s-%04d", d, kEnglishMonths[m - 1], y);
            break;
        case 4:
            std::snprintf(text, sizeof text, "\"%s %02d, %04d\"", kEnglishMonths[m - 1], d, y);
            break;
        case 5: {
            // Days since 1970-01-01 by the civil calendar, in seconds.
            const int yy = m <= 2 ? y - 1 : y;
            const int era = yy / 400, yoe = yy - era * 400;
            const int doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
            const long days = era * 146097L + yoe * 365L + yoe / 4 - yoe / 100 + doy - 719468L;
            std::snprintf(text, sizeof text, "%ld", days * 86400L);
            break;
        }
        case 6:
            std::snprintf(text, sizeof text, "%04d%02d%02d", y, m, d);
            break;
        default:
            std::snprintf(text, sizeof text, "%04d-%02d-%02dT00:00:00Z", y, m, d);
            break;
    }
    return text;
}

}  // namespace

std::vector<TrueRow> ReadTrueRows(const std::string& path) {
    std::vector<TrueRow> rows;
    std::istringstream in(ReadFile(path));
    for (std::string date; in >> date;) {
        TrueRow row;
        row.day = std::atoi(date.substr(0, 4).c_str()) * 10000 + std::atoi(date.substr(5, 2).c_str()) * 100 +
                  std::atoi(date.substr(8, 2).c_str());
        for (std::string& text : row.text) in >> text;
        rows.push_back(row);
    }
    return rows;
}

CPriceVariant MakePriceVariant(const std::vector<TrueRow>& rows, std::uint32_t seed) {
    CRandom random(seed);
    CPriceVariant variant;
    variant.named = random.Below(3) != 0;
    variant.clear = true;
    const char delimiter = ",;\t"[random.Below(3)];
    const int spelling = static_cast<int>(random.Below(8));

    std::vector<int> kinds = {kOpenKind, kHighKind, kLowKind, kCloseKind, kVolumeKind};
    if (variant.named) {
        for (int kind = kChange; kind < kKinds; ++kind) {
            if (random.Below(2) != 0) kinds.push_back(kind);
        }
        kinds.insert(kinds.begin(), kDateKind);
        for (std::size_t i = kinds.size(); i > 1; --i)
            std::swap(kinds[i - 1], kinds[random.Below(static_cast<std::uint32_t>(i))]);
    } else {
        // Without names only the usual order says what a column holds; a
        // column beside it that breaks that order must be noticed.
        if (random.Below(2) != 0) {
            variant.clear = false;
            const int kind = random.Below(2) != 0 ? kChange : kAdjusted;
            kinds.insert(kinds.begin() + random.Below(static_cast<std::uint32_t>(kinds.size() + 1)), kind);
        }
        kinds.insert(kinds.begin() + random.Below(static_cast<std::uint32_t>(kinds.size() + 1)), kDateKind);
    }

    std::string text;
    if (random.Below(3) == 0) text += "Historical prices of ACME\n";
    if (random.Below(3) == 0) text += "# exported by a quote site\n\n";
    const std::string d(1, delimiter);
    if (variant.named) {
        std::string header;
        for (int kind : kinds) {
            const char* name = "";
            switch (kind) {
                case kDateKind:
                    name = random.Pick(kDateNames);
                    break;
                case kOpenKind:
                    name = random.Pick(kOpenNames);
                    break;
                case kHighKind:
                    name = random.Pick(kHighNames);
                    break;
                case kLowKind:
                    name = random.Pick(kLowNames);
                    break;
                case kCloseKind:
                    name = random.Pick(kCloseNames);
                    break;
                case kVolumeKind:
                    name = random.Pick(kVolumeNames);
                    break;
                case kChange:
                    name = random.Pick(kChangeNames);
                    break;
                case kPercent:
                    name = random.Pick(kPercentNames);
                    break;
                case kTrades:
                    name = random.Pick(kTradesNames);
                    break;
                case kAdjusted:
                    name = random.Pick(kAdjustedNames);
                    break;
                case kVwap:
                    name = "VWAP";
                    break;
                default:
                    name = "Turnover";
                    break;
            }
            header += (header.empty() ? "" : d) + name;
        }
        text += header + "\n";
    }
    const bool newestFirst = random.Below(2) != 0;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const std::size_t r = newestFirst ? rows.size() - 1 - k : k;
        const TrueRow& row = rows[r];
        auto value = [&](int i) { return std::strtod(row.text[i].c_str(), nullptr); };
        const double previous = r > 0 ? std::strtod(rows[r - 1].text[3].c_str(), nullptr) : value(3);
        std::string line;
        for (int kind : kinds) {
            std::string cell;
            switch (kind) {
                case kDateKind:
                    cell = DateText(row.day, spelling);
                    break;
                case kChange:
                    cell = Format("%.2f", value(3) - previous - 0.01);
                    break;
                case kPercent:
                    cell = Format("%.2f%%", (value(3) / previous - 1) * 100);
                    break;
                case kTrades:
                    cell = Format("%.0f", static_cast<double>(100000 + (row.day * 7919L) % 900000));
                    break;
                case kAdjusted:
                    cell = Format("%.2f", value(3) * 0.97);
                    break;
                case kVwap:
                    cell = Format("%.2f", (value(1) + value(2) + value(3)) / 3);
                    break;
                case kTurnover:
                    cell = Format("%.0f", value(3) * value(4));
                    break;
                default:
                    cell = row.text[kind - kOpenKind];
                    break;
            }
            line += (line.empty() ? "" : d) + cell;
        }
        text += line + "\n";
    }
    if (random.Below(2) != 0) text += "\nDownloaded from a quote site as of 12/06/2024\n";
    variant.text = std::move(text);
    return variant;
}

std::string NothingInventedProblem(const std::vector<TrueRow>& rows, const std::string& text,
                                   bool* accepted) {
    const CDetectedLayout layout = DetectLayout(text);
    if (accepted != nullptr) *accepted = layout.IsComplete() && !layout.m_bIntraday;
    if (!layout.IsComplete() || layout.m_bIntraday) return {};

    CFaultyPlatform platform;
    CRecordingPrompt prompt;
    CRecordingSettings settings;
    CConverter job(platform, prompt, settings);
    FillConverterFromLayout(layout, job);
    if (!job.m_bFieldOn[kClose]) return "no close taken";
    if (job.m_bFieldOn[kOpenInt])
        return "open interest taken from column " + std::to_string(job.m_nFieldColumn[kOpenInt] + 1);

    std::map<int, const TrueRow*> truth;
    for (const TrueRow& row : rows) truth[row.day] = &row;
    std::map<int, bool> read;
    CRowDecoder decoder(job);
    CDecodedRow decoded;
    std::istringstream lines(text);
    int lineNumber = 0;
    for (std::string line; std::getline(lines, line);) {
        if (++lineNumber <= layout.m_nSkipRows) continue;
        decoder.Decode(line, false, &decoded);
        if (decoded.m_kind != CDecodedRow::Kind::kRow) continue;
        const int day = decoded.m_date.year * 10000 + decoded.m_date.month * 100 + decoded.m_date.day;
        auto known = truth.find(day);
        if (known == truth.end())
            return "line " + std::to_string(lineNumber) + " read as " + std::to_string(day);
        for (int field = kOpen; field <= kVolume; ++field) {
            if (!job.m_bFieldOn[field]) continue;
            const float want = std::strtof(known->second->text[field - kOpen].c_str(), nullptr);
            if (decoded.m_value[field] != want) {
                return "line " + std::to_string(lineNumber) + ": field " + std::to_string(field) +
                       " from column " + std::to_string(job.m_nFieldColumn[field] + 1) + " read as " +
                       std::to_string(decoded.m_value[field]) + ", truly " +
                       known->second->text[field - kOpen];
            }
        }
        read[day] = true;
    }
    if (read.size() != rows.size()) return std::to_string(rows.size() - read.size()) + " true rows not read";
    return {};
}

}  // namespace tarvel::test
