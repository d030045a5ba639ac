#include "pricedb/portfolio_check.h"

#include <algorithm>
#include <bit>
#include <map>
#include <optional>
#include <set>

#include "platform/ascii.h"
#include "platform/file_util.h"
#include "pricedb/coding.h"
#include "pricedb/extended_masters.h"
#include "pricedb/journal.h"
#include "pricedb/layout.h"
#include "pricedb/master_check.h"
#include "pricedb/price_file.h"
#include "pricedb/recovery.h"
#include "pricedb/undo.h"

namespace tarvel {
namespace {

// The reason of a directory file check's message, without the "The Master
// file <path> is damaged: " before it.
std::string Reason(const std::string& message) {
    const std::string mark = " is damaged: ";
    std::size_t at = message.find(mark);
    return at == std::string::npos ? message : message.substr(at + mark.size());
}

int FloatDay(const std::uint8_t* p) {
    const float value = std::bit_cast<float>(DecodeFixed32(p));
    if (!(value >= 0 && value < 9000000)) return 0;
    return static_cast<int>(value) + 19000000;
}

std::string FieldList(const bool (&fieldOn)[kFieldCount]) {
    std::string text;
    for (int f = 0; f < kFieldCount; ++f) {
        if (fieldOn[f]) text.append(text.empty() ? "" : ", ").append(kFieldLabels[f]);
    }
    return text;
}

class CChecker {
public:
    CChecker(CPlatform& platform, const std::string& directory, PortfolioCheck& result)
        : m_platform(platform), m_strDirectory(directory), m_result(result) {}

    void Run();

private:
    std::string Path(const std::string& name) const { return JoinPath(m_strDirectory, name); }
    // `name` as it stands in the directory listed once by Run: the exact
    // name, else the first that differs only in ASCII case, as
    // CPlatform::FindName finds it, without listing the directory again
    // for every file of every security.
    std::optional<std::string> Find(const std::string& name) const {
        std::optional<std::string> found;
        for (const std::string& entry : m_names) {
            if (entry == name) return entry;
            if (EqualIgnoringAsciiCase(entry, name) && (!found || entry < *found)) found = entry;
        }
        return found;
    }
    void Problem(const std::string& name, const std::string& text) {
        m_result.findings.push_back({Path(name), text});
    }
    void Warning(const std::string& name, const std::string& text) {
        m_result.findings.push_back({Path(name), text, true});
    }
    // Reads directory file `name` when it is there; false when it is not
    // or cannot be read (a problem then).
    bool ReadDirectoryFile(const std::string& name, std::size_t limit, Bytes* bytes);
    void CheckSecurity(const SecurityEntry& entry, const std::string& dataName, std::size_t recordLength,
                       int fieldCount, bool fieldsKnown, const std::string& directoryName);
    void CheckPriceFile(const std::string& dataName, std::size_t recordLength, int firstDay, int lastDay);

    CPlatform& m_platform;
    const std::string& m_strDirectory;
    PortfolioCheck& m_result;
    std::vector<std::string> m_names;
    std::map<std::string, std::vector<int>> m_symbols;  // upper-case symbol, its file numbers
};

bool CChecker::ReadDirectoryFile(const std::string& name, std::size_t limit, Bytes* bytes) {
    std::optional<std::string> found = Find(name);
    if (!found) return false;
    if (CStatus status = ReadFileBytes(m_platform, Path(*found), bytes, limit); !status) {
        Problem(*found, "cannot be read: " + status.Text());
        return false;
    }
    return true;
}

void CChecker::Run() {
    if (CStatus status = m_platform.ListDirectory(m_strDirectory, &m_names); !status) {
        m_result.findings.push_back({m_strDirectory, "cannot be read: " + status.Text()});
        return;
    }
    if (Find(kJournalName)) {
        Problem(
            kJournalName,
            "a conversion was saved but not completed; the next conversion into the portfolio completes it");
    }
    Bytes master, emaster, xmaster;
    if (!Find("MASTER")) {
        Problem("MASTER", "missing: no portfolio is here");
        return;
    }
    if (!ReadDirectoryFile("MASTER", kMasterReadLimit, &master)) return;
    if (std::string problem = CheckMaster(master, Path("MASTER")); !problem.empty()) {
        Problem("MASTER", Reason(problem));
        return;
    }
    if (ReadDirectoryFile("EMASTER", kDirectoryFileReadLimit, &emaster)) {
        if (std::string problem = CheckEMaster(emaster, master, Path("EMASTER")); !problem.empty()) {
            Problem("EMASTER", Reason(problem));
            emaster.clear();
        }
    }
    const bool hasXMaster = ReadDirectoryFile("XMASTER", kDirectoryFileReadLimit, &xmaster);
    if (hasXMaster) {
        if (std::string problem = CheckXMaster(xmaster, Path("XMASTER")); !problem.empty()) {
            Problem("XMASTER", Reason(problem));
            xmaster.clear();
        }
    }

    std::set<int> accounted;
    const std::size_t records = master.size() / kMasterRecordSize - 1;
    for (std::size_t i = 1; i <= records; ++i) {
        const std::uint8_t* r = &master[i * kMasterRecordSize];
        const int n = r[kRecFileNumber];
        accounted.insert(n);
        if (IsDirectoryEntry(r)) continue;
        const std::uint8_t* e = emaster.empty() ? nullptr : &emaster[i * kEMasterRecordSize];
        bool fieldsKnown = false;
        SecurityEntry entry = DecodeMasterRecord(r, e, &fieldsKnown);
        const int fieldCount = r[kRecFieldCount];
        const std::size_t length = r[kRecRecordLength];
        const std::string where = "record " + std::to_string(i) + " (" + entry.symbol + ")";
        if (length != 4 * static_cast<std::size_t>(fieldCount)) {
            Problem("MASTER", where + " has records of " + std::to_string(length) + " bytes for " +
                                  std::to_string(fieldCount) + " fields");
        }
        if (e != nullptr) {
            std::string differs;
            if (FieldText(e + kERecSymbol, kMaxSymbolBytes) != FieldText(r + kRecSymbol, kMaxSymbolBytes))
                differs = "its symbol";
            else if (e[kERecFieldCount] != fieldCount || std::popcount(e[kERecFieldBits]) != fieldCount)
                differs = "its fields";
            else if (FloatDay(e + kERecFirstDate) != entry.firstDay ||
                     FloatDay(e + kERecLastDate) != entry.lastDay)
                differs = "its dates";
            if (!differs.empty()) {
                // "its symbol differs", "its fields differ"
                Problem("EMASTER", where + ": " + differs +
                                       (differs == "its symbol" ? " differs" : " differ") + " from MASTER's");
            }
        }
        ++m_result.securities;
        CheckSecurity(entry, DataFileName(n), length, fieldCount, fieldsKnown, "MASTER");
        if (std::optional<std::string> dop = Find(DescriptionFileName(n)); !dop) {
            Warning(DescriptionFileName(n),
                    "missing; some programs take the names of " + entry.symbol + "'s fields from it");
        } else if (fieldsKnown) {
            std::vector<std::string> labels = ReadFieldLabels(m_platform, Path(""), n, kFieldCount + 1);
            std::vector<std::string> wanted;
            for (int f = 0; f < kFieldCount; ++f) {
                if (entry.fieldOn[f]) wanted.emplace_back(kFieldLabels[f]);
            }
            if (labels != wanted) {
                std::string named;
                for (const std::string& label : labels) named.append(named.empty() ? "" : ", ").append(label);
                Problem(*dop, "names the fields " + (named.empty() ? std::string("none") : named) + " but " +
                                  entry.symbol + " has " + FieldList(entry.fieldOn));
            }
        }
    }
    if (!xmaster.empty()) {
        const std::size_t xrecords = xmaster.size() / kXMasterRecordSize - 1;
        for (std::size_t i = 1; i <= xrecords; ++i) {
            const std::uint8_t* x = &xmaster[i * kXMasterRecordSize];
            SecurityEntry entry = DecodeXMasterRecord(x);
            if (!accounted.insert(entry.fileNumber).second) {
                Problem("XMASTER", "record " + std::to_string(i) + " (" + entry.symbol +
                                       ") has file number " + std::to_string(entry.fileNumber) +
                                       ", which MASTER uses too");
            }
            const int fieldCount = std::popcount(x[kXRecFieldBits]);
            ++m_result.securities;
            CheckSecurity(entry, MwdFileName(entry.fileNumber), 4 * static_cast<std::size_t>(fieldCount),
                          fieldCount, true, "XMASTER");
        }
    }
    for (const auto& [symbol, numbers] : m_symbols) {
        if (numbers.size() < 2) continue;
        std::string list;
        for (int n : numbers) list.append(list.empty() ? "" : ", ").append(std::to_string(n));
        Problem(hasXMaster ? "XMASTER" : "MASTER", "the symbol " + symbol + " is held " +
                                                       std::to_string(numbers.size()) +
                                                       " times, by file numbers " + list);
    }
    // The undo record, and the files it keeps, are ours only while it reads.
    std::set<std::string> kept;
    if (Bytes bytes; ReadDirectoryFile(kUndoRecordName, kUndoRecordReadLimit, &bytes)) {
        UndoRecord record;
        if (!ParseUndoRecord(bytes, &record)) {
            Problem(*Find(kUndoRecordName), "is not an undo record Tarvel can read; undo cannot use it");
        }
        for (const UndoFile& f : record.files) {
            if (f.kind == 'K') kept.insert(f.name + kKeptSuffix);
        }
    }
    for (const std::string& name : m_names) {
        if (EqualIgnoringAsciiCase(name, kJournalName) || EqualIgnoringAsciiCase(name, kUndoRecordName))
            continue;
        if (IsKeptName(name)) {
            if (kept.count(name) == 0) Problem(name, "kept for an undo that no undo record names");
            continue;
        }
        if (IsTemporaryName(name)) {
            Problem(name, "left over by a conversion that did not finish; the next conversion removes it");
            continue;
        }
        const int n = std::max(
            {FileNumberOf(name, ".DAT"), FileNumberOf(name, ".DOP"), FileNumberOf(name, ".MWD", 65535)});
        if (n != 0 && accounted.count(n) == 0) Problem(name, "no security of the portfolio names it");
    }
}

void CChecker::CheckSecurity(const SecurityEntry& entry, const std::string& dataName,
                             std::size_t recordLength, int fieldCount, bool fieldsKnown,
                             const std::string& directoryName) {
    std::string key = entry.symbol;
    for (char& c : key) c = AsciiUpper(c);
    m_symbols[key].push_back(entry.fileNumber);
    // The fields in their order: date, open, high, low, close, volume, open interest.
    const auto& on = entry.fieldOn;
    const bool date = on[0], open = on[1], high = on[2], low = on[3], close = on[4], volume = on[5],
               oi = on[6];
    if (fieldCount < 5) {
        Warning(directoryName, entry.symbol + " has " + std::to_string(fieldCount) +
                                   " fields; some readers refuse securities of fewer than five");
    } else if (fieldsKnown && fieldCount == 5 && !(date && high && low && close && volume)) {
        Warning(directoryName, entry.symbol + " has the fields " + FieldList(on) +
                                   "; readers that go by the count take five fields for DATE, HIGH, LOW, "
                                   "CLOSE, VOLUME");
    } else if (fieldsKnown && fieldCount == 6 && !(date && open && high && low && close && volume && !oi)) {
        Warning(directoryName,
                entry.symbol + " has the fields " + FieldList(on) +
                    "; readers that go by the count take six fields for DATE, OPEN, HIGH, LOW, "
                    "CLOSE, VOLUME");
    }
    if (std::any_of(entry.symbol.begin(), entry.symbol.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        Warning(directoryName,
                "the symbol " + entry.symbol + " is not plain ASCII; some readers cannot read it");
    }
    CheckPriceFile(dataName, recordLength, entry.firstDay, entry.lastDay);
}

void CChecker::CheckPriceFile(const std::string& dataName, std::size_t recordLength, int firstDay,
                              int lastDay) {
    std::optional<std::string> name = Find(dataName);
    if (!name) {
        Problem(dataName, "missing");
        return;
    }
    if (recordLength < 4 || recordLength > 28 || recordLength % 4 != 0) return;  // said of its record
    // A price file holds at most 65,535 records beside its header; a bigger
    // one is not read whole.
    const std::size_t most = recordLength * (kMaxPriceRecords + 2);
    Bytes data;
    if (CStatus status = ReadFileBytes(m_platform, Path(*name), &data, most + 1); !status) {
        Problem(*name, "cannot be read: " + status.Text());
        return;
    }
    if (data.size() > most) {
        Problem(*name, "holds more records than a price file can count");
        return;
    }
    if (std::string problem = PriceFileProblem(data, recordLength, lastDay); !problem.empty()) {
        Problem(*name, problem);
        return;
    }
    const std::size_t records = data.size() / recordLength - 1;
    if (records > 0) {
        const int first = DayOfStoredDate(
            {data[recordLength], data[recordLength + 1], data[recordLength + 2], data[recordLength + 3]});
        if (first != firstDay) {
            Problem(*name, "its first record is dated " + DayText(first) + " but the portfolio lists " +
                               DayText(firstDay) + " as its first date");
        }
    }
    for (std::size_t at = recordLength; at < data.size(); at += 4) {
        if (data[at + 3] == 1 || data[at + 3] == 2) {
            Problem(*name, "record " + std::to_string(at / recordLength) +
                               " holds a number with exponent byte " + std::to_string(data[at + 3]) +
                               ", which no reader decodes");
            return;
        }
    }
}

}  // namespace

int PortfolioCheck::Problems() const {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(),
                                          [](const PortfolioFinding& f) { return !f.warning; }));
}

int PortfolioCheck::Warnings() const { return static_cast<int>(findings.size()) - Problems(); }

PortfolioCheck CheckPortfolioFiles(CPlatform& platform, const std::string& directory) {
    PortfolioCheck result;
    CChecker(platform, directory, result).Run();
    return result;
}

}  // namespace tarvel
