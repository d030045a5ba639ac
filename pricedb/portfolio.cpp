#include "pricedb/portfolio.h"

#include "pricedb/find_security.h"

#include <algorithm>
#include <bitset>
#include <functional>
#include <set>
#include <span>
#include <cstring>
#include <filesystem>

namespace tarvel {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The n of a name F<n><rest> (any case), `rest` compared without regard to
// case; 0 when the name is not of that form or n is outside 1..`highest`.
int FileNumberOf(std::string_view name, std::string_view rest, int highest = kMaxSecurities) {
    if (name.size() <= rest.size() + 1 || (name[0] != 'F' && name[0] != 'f')) return 0;
    std::string_view digits = name.substr(1, name.size() - 1 - rest.size());
    if (digits.size() > 5 || digits[0] == '0' || !EqualIgnoringAsciiCase(name.substr(name.size() - rest.size()), rest)) {
        return 0;
    }
    int n = 0;
    for (char c : digits) {
        if (!IsDigit(c)) return 0;
        n = n * 10 + (c - '0');
    }
    return n <= highest ? n : 0;
}

std::string BaseName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// Undoes the steps of one AddSecurity that went wrong: removes the files it
// renamed into place and its temporaries, keeping the reason of the failure.
class CStagedFiles {
public:
    explicit CStagedFiles(CPlatform& platform) : m_platform(platform) {}
    ~CStagedFiles() {
        CKeepError keep(m_platform);
        for (const std::string& path : m_paths) m_platform.Remove(path);
    }
    void Add(const std::string& path) { m_paths.push_back(path); }
    void Forget(const std::string& path) { std::erase(m_paths, path); }
    void ForgetAll() { m_paths.clear(); }

private:
    CPlatform& m_platform;
    std::vector<std::string> m_paths;
};

}  // namespace

std::string JournalStaysMessage(CPlatform& platform, const std::string& directory) {
    return "A conversion into " + directory + " was saved but could not be completed (" +
           JoinPath(directory, kJournalName) + "), and still cannot: " + platform.LastError() +
           ". Nothing more is converted until it can.";
}

std::string SymbolicLinkMessage(const std::string& path) {
    return "The Master file " + path +
           " is a symbolic link; Tarvel does not replace it. Convert into the directory it points to.";
}

std::string CannotWriteMessage(CPlatform& platform, const std::string& path) {
    return "Cannot write to " + path + ": " + platform.LastError();
}

bool IsTemporaryName(const std::string& name) {
    for (const char* temp : {"MASTER.~NU", "MASTER.BAK.~NU", "MASTER.NEW", "EMASTER.~NU", "XMASTER.~NU",
                             "MASTER.~JN.~NU"}) {
        if (EqualIgnoringAsciiCase(name, temp)) return true;
    }
    return FileNumberOf(name, ".DAT.~NU") != 0 || FileNumberOf(name, ".DOP.~NU") != 0 ||
           FileNumberOf(name, ".MWD.~NU", 65535) != 0 || FileNumberOf(name, ".NEW") != 0;
}

std::string CheckMaster(const Bytes& master, const std::string& masterPath) {
    std::string damaged = "The Master file " + masterPath + " is damaged: ";
    if (master.size() < kMasterRecordSize || master.size() % kMasterRecordSize != 0) {
        return damaged + "it is " + std::to_string(master.size()) +
               " bytes long, not a whole number of 53-byte records.";
    }
    long records = static_cast<long>(master.size() / kMasterRecordSize) - 1;
    long count = DecodeMasterHeader(master.data()).securityCount;
    if (count != records) {
        return damaged + "it counts " + std::to_string(count) + " securities but holds " + std::to_string(records) +
               ".";
    }
    std::bitset<256> seen;
    for (long i = 1; i <= records; ++i) {
        int n = master[kMasterRecordSize * static_cast<std::size_t>(i) + kRecFileNumber];
        if (n == 0) return damaged + "record " + std::to_string(i) + " has file number 0.";
        if (seen.test(static_cast<std::size_t>(n))) {
            return damaged + "file number " + std::to_string(n) + " is used twice.";
        }
        seen.set(static_cast<std::size_t>(n));
    }
    return {};
}

bool ReadCheckedMaster(CPlatform& platform, CPrompt& prompt, const std::string& masterPath, Bytes* master) {
    // A MASTER bigger than 1024 records of 53 bytes cannot be a whole one.
    constexpr std::size_t kLimit = kMasterRecordSize * 1024;
    if (!ReadFileBytes(platform, masterPath, master, kLimit + 1)) {
        prompt.MessageBox(OpenFailureMessage(platform, "Cannot read the Master file", masterPath), kMbOk);
        return false;
    }
    std::string problem = CheckMaster(*master, masterPath);
    if (problem.empty()) return true;
    prompt.MessageBox(problem, kMbOk);
    return false;
}

namespace {

// The file numbers a directory file lists: MASTER's (53-byte records, one
// byte) or XMASTER's (150-byte records, two bytes).
std::set<int> ListedNumbers(const Bytes& file, bool xmaster) {
    std::set<int> numbers;
    std::size_t size = xmaster ? kXMasterRecordSize : kMasterRecordSize;
    for (std::size_t at = size; at + size <= file.size(); at += size) {
        if (xmaster) {
            numbers.insert(ReadU16(&file[at + kXRecFileNumber]));
        } else if (!IsDirectoryEntry(&file[at])) {
            numbers.insert(file[at + kRecFileNumber]);
        }
    }
    return numbers;
}

// Journal lines: "N <from> <to>" (rename, <to> must not exist), "R <from>
// <to>" (rename over <to>), then "END". Names are of the directory and hold
// no blank or line end.
struct JournalStep {
    bool replace;
    std::string from, to;
};

std::string JournalText(const std::vector<JournalStep>& steps) {
    std::string text;
    for (const JournalStep& step : steps) text.append(step.replace ? "R " : "N ").append(step.from + " " + step.to + "\n");
    return text + "END\n";
}

bool ParseJournal(const Bytes& bytes, std::vector<JournalStep>* steps) {
    std::string text(bytes.begin(), bytes.end());
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) return false;
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line == "END") return at == text.size();
        std::size_t space = line.find(' ', 2);
        if (line.size() < 5 || (line[0] != 'N' && line[0] != 'R') || line[1] != ' ' || space == std::string::npos) {
            return false;
        }
        JournalStep step{line[0] == 'R', line.substr(2, space - 2), line.substr(space + 1)};
        // Only our own renames: <name>.~NU to <name>, inside the directory.
        if (step.to.empty() || step.to.find('/') != std::string::npos || step.from != step.to + kTempSuffix) {
            return false;
        }
        steps->push_back(std::move(step));
    }
    return false;
}

// Carries out, in order, the steps whose source is still there; a step done
// before is skipped. Stops at the first rename that fails, so that MASTER,
// the last step, never goes ahead of the files it lists. False, with that
// rename's error, then.
bool RunJournal(CPlatform& platform, const std::string& directory, const std::vector<JournalStep>& steps) {
    for (const JournalStep& step : steps) {
        std::string from = JoinPath(directory, step.from), to = JoinPath(directory, step.to);
        if (!platform.Examine(from).exists) continue;
        if (!(step.replace ? platform.Rename(from, to) : platform.RenameNoReplace(from, to))) return false;
    }
    return true;
}

}  // namespace

bool FinishJournal(CPlatform& platform, const std::string& directory) {
    std::string path = JoinPath(directory, kJournalName);
    CPlatform::FileInfo info = platform.Examine(path);
    if (!info.exists) return true;
    Bytes bytes;
    std::vector<JournalStep> steps;
    // A journal is renamed into place whole once written and synced; one
    // that is no regular file or does not parse is none of ours and is
    // removed like any other leftover under our names.
    if (!info.regular || info.symbolicLink) return platform.Remove(path);
    if (!ReadFileBytes(platform, path, &bytes, 1 << 20)) return false;
    if (!ParseJournal(bytes, &steps)) return platform.Remove(path);
    return RunJournal(platform, directory, steps) && platform.Remove(path);
}

void RemoveLeftovers(CPlatform& platform, const std::string& directory, const std::string& masterPath) {
    // While a committed journal stays, the temporary files are its sources
    // and nothing may go.
    if (!FinishJournal(platform, directory)) return;
    std::vector<std::string> names = platform.ListDirectory(directory);
    // A conversion killed between renaming its new price files into place
    // and its commit: those files are the ones that a pending MASTER.~NU
    // (XMASTER.~NU) lists and the directory file itself does not. When that
    // file is there but unreadable or damaged nothing is removed.
    auto removeUnlisted = [&](const std::string& fileName, bool xmaster) {
        std::string pendingName = fileName + kTempSuffix;
        if (std::find(names.begin(), names.end(), pendingName) == names.end()) return;
        Bytes pending, current;
        std::string pendingPath = JoinPath(directory, pendingName), path = JoinPath(directory, fileName);
        if (!ReadFileBytes(platform, pendingPath, &pending)) return;
        if (xmaster ? !CheckXMaster(pending, pendingPath).empty() : !CheckMaster(pending, pendingPath).empty()) return;
        std::set<int> listed;
        if (platform.Examine(path).exists) {
            if (!ReadFileBytes(platform, path, &current)) return;
            if (xmaster ? !CheckXMaster(current, path).empty() : !CheckMaster(current, path).empty()) return;
            listed = ListedNumbers(current, xmaster);
        }
        for (int n : ListedNumbers(pending, xmaster)) {
            if (listed.count(n) != 0) continue;
            if (xmaster) {
                platform.Remove(JoinPath(directory, MwdFileName(n)));
            } else {
                platform.Remove(JoinPath(directory, DataFileName(n)));
                platform.Remove(JoinPath(directory, DescriptionFileName(n)));
            }
        }
    };
    removeUnlisted(BaseName(masterPath), false);
    removeUnlisted(platform.FindName(directory, kXMasterName).value_or(kXMasterName), true);
    for (const std::string& name : names) {
        if (IsTemporaryName(name)) platform.Remove(JoinPath(directory, name));
    }
}

// --- CPortfolio -------------------------------------------------------------

struct CPortfolio::State {
    Bytes master, emaster, xmaster;
    bool hasEMaster = false, hasXMaster = false;
    bool masterChanged = false, emasterChanged = false, xmasterChanged = false;
    std::vector<Entry> entries;
    std::set<int> takenNumbers;  // by records, staged securities or files of the directory
};

struct CPortfolio::Op {
    int fileNumber = 0;
    bool mwd = false;
    bool append = false;
    std::string dataName;  // the price file's name in the directory
    Bytes data;            // its whole new contents
    std::size_t recordLength = 0;
    std::string dop;       // F<n>.DOP of a new MASTER security
};

struct CPortfolio::Mark {
    State state;
    std::size_t ops = 0;
    std::vector<std::size_t> opSizes;  // of the price file of each op staged before: appends only extend it
    std::size_t stagedBytes = 0;
};

CPortfolio::CPortfolio(CPlatform& platform, CPrompt& prompt, std::string directory, std::string masterPath,
                       bool newMaster)
    : m_platform(platform),
      m_prompt(prompt),
      m_strDirectory(std::move(directory)),
      m_strMasterPath(std::move(masterPath)),
      m_bNewMaster(newMaster),
      m_state(std::make_unique<State>()),
      m_committed(std::make_unique<State>()) {}

CPortfolio::~CPortfolio() = default;

int CPortfolio::Open() {
    if (!FinishJournal(m_platform, m_strDirectory)) {
        m_prompt.MessageBox(JournalStaysMessage(m_platform, m_strDirectory), kMbOk);
        return 1;
    }
    RemoveLeftovers(m_platform, m_strDirectory, m_strMasterPath);
    State& s = *m_state;
    // A directory file is read only when it can also be replaced: not a
    // link (replacing it would cut it from what it points to), whole, and
    // writable.
    auto readChecked = [&](const std::string& path, Bytes* bytes,
                           const std::function<std::string(const Bytes&, const std::string&)>& check) {
        CPlatform::FileInfo info = m_platform.Examine(path);
        std::string problem;
        if (info.symbolicLink) {
            problem = SymbolicLinkMessage(path);
        } else if (!ReadFileBytes(m_platform, path, bytes, 1 << 24)) {
            problem = OpenFailureMessage(m_platform, "Cannot read the Master file", path);
        } else if (problem = check(*bytes, path); problem.empty() && !info.writable) {
            problem = "The Master file " + path + " is read-only.";
        }
        if (!problem.empty()) m_prompt.MessageBox(problem, kMbOk);
        return problem.empty();
    };
    auto readOptional = [&](const char* name, Bytes* bytes, bool* has,
                            const std::function<std::string(const Bytes&, const std::string&)>& check) {
        std::optional<std::string> found = m_platform.FindName(m_strDirectory, name);
        *has = found.has_value();
        return !found || readChecked(JoinPath(m_strDirectory, *found), bytes, check);
    };
    if (m_bNewMaster) {
        for (const char* name : {kEMasterName, kXMasterName}) {
            if (std::optional<std::string> found = m_platform.FindName(m_strDirectory, name)) {
                m_prompt.MessageBox(JoinPath(m_strDirectory, *found) +
                                        " is there but no MASTER; Tarvel does not replace it.",
                                    kMbOk);
                return 1;
            }
        }
        s.master.assign(kMasterRecordSize, 0);
        s.emaster = MakeEMasterHeader(0, 0);
        s.hasEMaster = true;
        s.masterChanged = s.emasterChanged = true;
    } else {
        const Bytes& master = s.master;
        if (!readChecked(m_strMasterPath, &s.master, CheckMaster) ||
            !readOptional(kEMasterName, &s.emaster, &s.hasEMaster,
                          [&](const Bytes& b, const std::string& p) { return CheckEMaster(b, master, p); }) ||
            !readOptional(kXMasterName, &s.xmaster, &s.hasXMaster, CheckXMaster)) {
            return 1;
        }
    }
    for (std::size_t i = 1; i * kMasterRecordSize < s.master.size(); ++i) {
        const std::uint8_t* r = &s.master[i * kMasterRecordSize];
        s.takenNumbers.insert(r[kRecFileNumber]);
        if (IsDirectoryEntry(r)) continue;
        Entry e;
        e.index = static_cast<int>(i);
        bool fieldsKnown = false;
        e.security = DecodeMasterRecord(r, s.hasEMaster ? &s.emaster[i * kEMasterRecordSize] : nullptr, &fieldsKnown);
        s.entries.push_back(std::move(e));
    }
    for (std::size_t i = 1; s.hasXMaster && i * kXMasterRecordSize < s.xmaster.size(); ++i) {
        Entry e;
        e.inXMaster = true;
        e.index = static_cast<int>(i);
        e.security = DecodeXMasterRecord(&s.xmaster[i * kXMasterRecordSize]);
        s.takenNumbers.insert(e.security.fileNumber);
        s.entries.push_back(std::move(e));
    }
    // Price files, whatever put them there, are never overwritten.
    for (const std::string& name : m_platform.ListDirectory(m_strDirectory)) {
        for (int n : {FileNumberOf(name, ".DAT"), FileNumberOf(name, ".DOP"), FileNumberOf(name, ".MWD", 65535)}) {
            if (n != 0) s.takenNumbers.insert(n);
        }
    }
    *m_committed = s;
    return 0;
}

const CPortfolio::Entry* CPortfolio::FindSymbol(std::string_view symbol) const {
    for (const Entry& e : m_state->entries) {
        if (EqualIgnoringAsciiCase(e.security.symbol, symbol)) return &e;
    }
    return nullptr;
}

bool CPortfolio::MasterMatches(std::string_view symbol) const {
    const Bytes& master = m_state->master;
    for (std::size_t at = kMasterRecordSize; at + kMasterRecordSize <= master.size(); at += kMasterRecordSize) {
        if (!IsDirectoryEntry(&master[at]) && MasterRecordMatches(&master[at], symbol)) return true;
    }
    return false;
}

bool CPortfolio::HasSubPortfolios() const {
    const Bytes& master = m_state->master;
    for (std::size_t at = kMasterRecordSize; at + kMasterRecordSize <= master.size(); at += kMasterRecordSize) {
        if (IsDirectoryEntry(&master[at])) return true;
    }
    return false;
}

int CPortfolio::NewMasterNumber() const {
    MasterHeader counters = DecodeMasterHeader(m_state->master.data());
    if (counters.securityCount >= kMaxSecurities || counters.fileNumberMark >= kMaxSecurities) return 0;
    for (int n = 1; n <= kMaxSecurities; ++n) {
        if (m_state->takenNumbers.count(n) == 0) return n;
    }
    return 0;
}

int CPortfolio::NewXMasterNumber() const {
    for (int n = kFirstXMasterFileNumber; n <= kMaxXMasterFileNumber; ++n) {
        if (m_state->takenNumbers.count(n) == 0) return n;
    }
    return 0;
}

int CPortfolio::StageNew(const NewSecurity& security, int* fileNumber) {
    State& s = *m_state;
    int n = NewMasterNumber();
    const bool inMaster = n != 0;
    if (!inMaster) n = NewXMasterNumber();
    if (n == 0) {
        m_prompt.MessageBox(s.hasXMaster ? kFullXMasterMessage : kFullPortfolioMessage, kMbOk);
        return 1;
    }
    if (inMaster && !s.hasEMaster && security.name.size() > kTextFieldWidth) {
        m_prompt.MessageBox("The name " + security.name + " is longer than 16 bytes, the most that " + m_strMasterPath +
                                " holds (a portfolio with an EMASTER file holds 45).",
                            kMbOk);
        return 1;
    }
    Entry e;
    e.inXMaster = !inMaster;
    e.security.fileNumber = n;
    e.security.symbol = security.symbol;
    e.security.name = security.name;
    std::copy(std::begin(security.fieldOn), std::end(security.fieldOn), e.security.fieldOn);
    e.security.firstDay = DayOfStoredDate(security.firstDate);
    e.security.lastDay = DayOfStoredDate(security.lastDate);

    Op op;
    op.fileNumber = n;
    op.mwd = !inMaster;
    op.dataName = inMaster ? DataFileName(n) : MwdFileName(n);
    op.recordLength = 4 * static_cast<std::size_t>(security.fieldCount);
    std::string header = MakeDataHeader(security.fieldCount);
    WriteU16(reinterpret_cast<std::uint8_t*>(header.data()) + kDataHeaderRecordCount,
             static_cast<std::uint16_t>(security.recordCount + 1));
    op.data.assign(header.begin(), header.end());
    op.data.insert(op.data.end(), security.records.begin(), security.records.end());
    if (inMaster) {
        op.dop = MakeFieldDescription(security.fieldOn);
        MasterHeader counters = DecodeMasterHeader(s.master.data());
        counters.securityCount = static_cast<std::int16_t>(counters.securityCount + 1);
        counters.fileNumberMark = static_cast<std::int16_t>(counters.fileNumberMark + 1);
        EncodeMasterHeader(counters, s.master.data());
        MasterRecord record;
        record.fileNumber = static_cast<std::uint8_t>(n);
        record.fieldCount = static_cast<std::uint8_t>(security.fieldCount);
        record.name = security.name;
        record.symbol = security.symbol;
        record.firstDate = security.firstDate;
        record.lastDate = security.lastDate;
        MasterRecordBytes bytes = EncodeMasterRecord(record);
        s.master.insert(s.master.end(), bytes.begin(), bytes.end());
        s.masterChanged = true;
        e.index = counters.securityCount;
        if (s.hasEMaster) {
            SetEMasterCounters(s.emaster.data(), counters.securityCount, counters.fileNumberMark);
            EMasterRecordBytes eb = EncodeEMasterRecord(e.security);
            s.emaster.insert(s.emaster.end(), eb.begin(), eb.end());
            s.emasterChanged = true;
        }
    } else {
        if (!s.hasXMaster) {
            s.xmaster = MakeXMasterHeader(0, kFirstXMasterFileNumber);
            s.hasXMaster = true;
        }
        int count = ReadU16(&s.xmaster[kXHeaderCount]) + 1;
        int next = std::max<int>(ReadU16(&s.xmaster[kXHeaderNextNumber]), n + 1);
        SetXMasterCounters(s.xmaster.data(), count, next);
        XMasterRecordBytes xb = EncodeXMasterRecord(e.security);
        s.xmaster.insert(s.xmaster.end(), xb.begin(), xb.end());
        s.xmasterChanged = true;
        e.index = count;
    }
    s.takenNumbers.insert(n);
    s.entries.push_back(std::move(e));
    m_nStagedBytes += op.data.size();
    m_ops.push_back(std::move(op));
    *fileNumber = n;
    return 0;
}

bool CPortfolio::ExistingFields(const Entry& entry, bool (&fieldOn)[kFieldCount]) const {
    const State& s = *m_state;
    // A security staged new in this commit: its fields are those it was
    // staged with.
    for (const Op& op : m_ops) {
        if (op.fileNumber == entry.security.fileNumber && !op.append) {
            std::copy(std::begin(entry.security.fieldOn), std::end(entry.security.fieldOn), fieldOn);
            return true;
        }
    }
    if (entry.inXMaster) return FieldsOfBits(s.xmaster[entry.index * kXMasterRecordSize + kXRecFieldBits], fieldOn);
    if (s.hasEMaster) return FieldsOfBits(s.emaster[entry.index * kEMasterRecordSize + kERecFieldBits], fieldOn);
    // MASTER alone says how many fields, F<n>.DOP which.
    Bytes dop;
    std::optional<std::string> name = m_platform.FindName(m_strDirectory, DescriptionFileName(entry.security.fileNumber));
    if (!name || !ReadFileBytes(m_platform, JoinPath(m_strDirectory, *name), &dop, 4096)) return false;
    std::string text(dop.begin(), dop.end());
    int found = 0;
    for (int i = 0; i < kFieldCount; ++i) {
        bool only[kFieldCount] = {};
        only[i] = true;
        fieldOn[i] = text.find(MakeFieldDescription(only)) != std::string::npos;
        found += fieldOn[i] ? 1 : 0;
    }
    // A description in other words than ours tells nothing.
    return found == s.master[entry.index * kMasterRecordSize + kRecFieldCount];
}

int CPortfolio::StageAppend(const Entry& entry, const NewSecurity& newer, int* added, int* leftOut) {
    // The price files on disk must be those this object committed: a
    // journal of an earlier commit still to be carried out is, first.
    if (!FinishJournal(m_platform, m_strDirectory)) {
        m_prompt.MessageBox(JournalStaysMessage(m_platform, m_strDirectory), kMbOk);
        return 1;
    }
    State& s = *m_state;
    const SecurityEntry& existing = entry.security;
    auto fieldList = [](const bool (&on)[kFieldCount]) {
        static constexpr const char* kNames[kFieldCount] = {"Date", "Open", "High", "Low", "Close", "Volume", "Open Int"};
        std::string text;
        for (int i = 0; i < kFieldCount; ++i) {
            if (on[i]) text.append(text.empty() ? "" : ", ").append(kNames[i]);
        }
        return text;
    };
    int fieldCount = entry.inXMaster ? 0 : s.master[entry.index * kMasterRecordSize + kRecFieldCount];
    bool fieldOn[kFieldCount] = {};
    bool known = ExistingFields(entry, fieldOn);
    if (entry.inXMaster) {
        for (bool on : fieldOn) fieldCount += on ? 1 : 0;
    }
    // Rows go in only where every field is known to be the same: a count
    // alone could put highs under opens.
    if (!known) {
        m_prompt.MessageBox("Which fields " + existing.symbol +
                                " holds is not known (its F<n>.DOP is missing or in other words, or it has times of "
                                "day). It was not updated.",
                            kMbOk);
        return 1;
    }
    bool same = fieldCount == newer.fieldCount;
    for (int i = 0; same && i < kFieldCount; ++i) same = fieldOn[i] == newer.fieldOn[i];
    if (!same) {
        m_prompt.MessageBox("The rows for " + existing.symbol + " have the fields " + fieldList(newer.fieldOn) +
                                ", but the security in the portfolio has " + fieldList(fieldOn) +
                                ". It was not updated.",
                            kMbOk);
        return 1;
    }
    // The price file as it is now, staged or on disk.
    const std::size_t length = static_cast<std::size_t>(4 * fieldCount);
    Op* staged = nullptr;
    for (Op& op : m_ops) {
        if (op.fileNumber == existing.fileNumber) staged = &op;
    }
    Op op;
    std::string path;
    if (staged != nullptr) {
        op = *staged;
    } else {
        std::string wanted = entry.inXMaster ? MwdFileName(existing.fileNumber) : DataFileName(existing.fileNumber);
        op.dataName = m_platform.FindName(m_strDirectory, wanted).value_or(wanted);
        path = JoinPath(m_strDirectory, op.dataName);
        // Replacing a link would cut it from the file it points to.
        if (m_platform.Examine(path).symbolicLink) {
            m_prompt.MessageBox("The price file " + path + " is a symbolic link; Tarvel does not replace it. " +
                                    existing.symbol + " was not updated.",
                                kMbOk);
            return 1;
        }
        if (!ReadFileBytes(m_platform, path, &op.data, length * (kMaxPriceRecords + 2))) {
            m_prompt.MessageBox(OpenFailureMessage(m_platform, "Cannot read the price file", path), kMbOk);
            return 1;
        }
    }
    path = JoinPath(m_strDirectory, op.dataName);
    long count = op.data.size() >= length ? ReadU16(op.data.data() + kDataHeaderRecordCount) : -1;
    if (length == 0 || count < 1 || op.data.size() < length * static_cast<std::size_t>(count)) {
        m_prompt.MessageBox("The price file " + path + " is damaged: its header does not match its size. " +
                                existing.symbol + " was not updated.",
                            kMbOk);
        return 1;
    }
    op.data.resize(length * static_cast<std::size_t>(count));  // bytes past the counted records are no prices
    int lastDay = count > 1 ? DayOfStoredDate({op.data[op.data.size() - length], op.data[op.data.size() - length + 1],
                                               op.data[op.data.size() - length + 2], op.data[op.data.size() - length + 3]})
                            : 0;
    *added = 0;
    *leftOut = 0;
    std::size_t firstNew = 0;
    for (; firstNew < newer.recordCount; ++firstNew) {
        const std::uint8_t* r = &newer.records[firstNew * length];
        if (DayOfStoredDate({r[0], r[1], r[2], r[3]}) > lastDay) break;
    }
    *leftOut = static_cast<int>(firstNew);
    *added = static_cast<int>(newer.recordCount - firstNew);
    if (*added == 0) return 0;
    if (count - 1 + *added > kMaxPriceRecords) {
        m_prompt.MessageBox(existing.symbol + " would hold more than 65534 price records. It was not updated.", kMbOk);
        return 1;
    }
    op.data.insert(op.data.end(), newer.records.begin() + static_cast<long>(firstNew * length), newer.records.end());
    WriteU16(op.data.data() + kDataHeaderRecordCount, static_cast<std::uint16_t>(count + *added));
    op.fileNumber = existing.fileNumber;
    op.mwd = entry.inXMaster;
    op.recordLength = length;
    op.append = staged == nullptr ? true : staged->append;

    Entry& e = s.entries[static_cast<std::size_t>(&entry - s.entries.data())];
    const std::uint8_t* oldest = &newer.records[firstNew * length];
    int newFirstDay = DayOfStoredDate({oldest[0], oldest[1], oldest[2], oldest[3]});
    // A price file without records takes its first date from the new ones.
    const int* firstDay = count == 1 ? &newFirstDay : nullptr;
    if (count == 1) e.security.firstDay = newFirstDay;
    e.security.lastDay = DayOfStoredDate(newer.lastDate);
    if (entry.inXMaster) {
        SetXMasterDates(&s.xmaster[e.index * kXMasterRecordSize], firstDay, e.security.lastDay);
        s.xmasterChanged = true;
    } else {
        std::uint8_t* r = &s.master[e.index * kMasterRecordSize];
        StoredNumber last = StoredDateOfDay(e.security.lastDay);
        std::copy(last.begin(), last.end(), r + kRecLastDate);
        if (firstDay != nullptr) {
            StoredNumber first = StoredDateOfDay(*firstDay);
            std::copy(first.begin(), first.end(), r + kRecFirstDate);
        }
        s.masterChanged = true;
        if (s.hasEMaster) {
            SetEMasterDates(&s.emaster[e.index * kEMasterRecordSize], firstDay, e.security.lastDay);
            s.emasterChanged = true;
        }
    }
    m_nStagedBytes += newer.records.size() - firstNew * length;
    if (staged != nullptr) {
        *staged = std::move(op);
    } else {
        m_ops.push_back(std::move(op));
    }
    return 0;
}

std::shared_ptr<const CPortfolio::Mark> CPortfolio::MarkStaged() const {
    auto mark = std::make_shared<Mark>();
    mark->state = *m_state;
    mark->ops = m_ops.size();
    for (const Op& op : m_ops) mark->opSizes.push_back(op.data.size());
    mark->stagedBytes = m_nStagedBytes;
    return mark;
}

void CPortfolio::RollBack(const Mark& mark) {
    *m_state = mark.state;
    m_ops.resize(mark.ops);
    // Rows appended since to a price file staged before go again, with its
    // count.
    for (std::size_t i = 0; i < m_ops.size(); ++i) {
        Op& op = m_ops[i];
        if (op.data.size() == mark.opSizes[i]) continue;
        op.data.resize(mark.opSizes[i]);
        WriteU16(op.data.data() + kDataHeaderRecordCount, static_cast<std::uint16_t>(op.data.size() / op.recordLength));
    }
    m_nStagedBytes = mark.stagedBytes;
}

int CPortfolio::FailWrite(const std::string& path) {
    m_prompt.MessageBox(CannotWriteMessage(m_platform, path), kMbOk);
    *m_state = *m_committed;
    m_ops.clear();
    m_nStagedBytes = 0;
    return 1;
}

int CPortfolio::Commit(bool backup) {
    if (m_ops.empty()) return 0;
    State& s = *m_state;
    // An earlier commit of this run whose renames could not all be done
    // must be completed first: its journal may not be replaced.
    if (!FinishJournal(m_platform, m_strDirectory)) {
        m_prompt.MessageBox(JournalStaysMessage(m_platform, m_strDirectory), kMbOk);
        *m_state = *m_committed;
        m_ops.clear();
        m_nStagedBytes = 0;
        return 1;
    }
    auto bytesOf = [](const std::string& text) {
        return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    };
    CStagedFiles staged(m_platform);
    std::vector<JournalStep> steps;
    // Price files first: new ones are renamed into place before the commit
    // (no directory file lists them yet), appended ones replace theirs in
    // the journal.
    std::vector<std::pair<std::string, std::string>> newFiles;
    for (const Op& op : m_ops) {
        std::string temp = op.dataName + kTempSuffix;
        std::string tempPath = JoinPath(m_strDirectory, temp);
        staged.Add(tempPath);
        if (!WriteNewFile(m_platform, tempPath, op.data)) return FailWrite(JoinPath(m_strDirectory, op.dataName));
        if (op.append) {
            steps.push_back({true, temp, op.dataName});
            continue;
        }
        newFiles.emplace_back(temp, op.dataName);
        if (!op.dop.empty()) {
            std::string dopName = DescriptionFileName(op.fileNumber);
            std::string dopTemp = JoinPath(m_strDirectory, dopName + kTempSuffix);
            staged.Add(dopTemp);
            if (!WriteNewFile(m_platform, dopTemp, {bytesOf(op.dop)})) {
                return FailWrite(JoinPath(m_strDirectory, dopName));
            }
            newFiles.emplace_back(dopName + kTempSuffix, dopName);
        }
    }
    const std::string masterName = BaseName(m_strMasterPath);
    const std::string backupTemp = m_strMasterPath + ".BAK" + kTempSuffix;
    auto stageDirectoryFile = [&](const std::string& name, const Bytes& bytes, bool isNew) {
        std::string tempPath = JoinPath(m_strDirectory, name + kTempSuffix);
        staged.Add(tempPath);
        if (!WriteNewFile(m_platform, tempPath, bytes)) return false;
        std::string path = JoinPath(m_strDirectory, name);
        // The new file keeps the owner's choice of permissions.
        if (!isNew && !m_platform.CopyPermissions(path, tempPath)) return false;
        steps.push_back({!isNew, name + kTempSuffix, name});
        return true;
    };
    const State& before = *m_committed;
    if (s.xmasterChanged) {
        std::string name = m_platform.FindName(m_strDirectory, kXMasterName).value_or(kXMasterName);
        if (!stageDirectoryFile(name, s.xmaster, !before.hasXMaster)) return FailWrite(JoinPath(m_strDirectory, name));
    }
    if (s.emasterChanged) {
        std::string name = m_bNewMaster ? std::string(kEMasterName)
                                        : m_platform.FindName(m_strDirectory, kEMasterName).value_or(kEMasterName);
        if (!stageDirectoryFile(name, s.emaster, m_bNewMaster)) return FailWrite(JoinPath(m_strDirectory, name));
    }
    const bool backupMaster = backup && s.masterChanged && !m_bNewMaster;
    if (backupMaster) {
        staged.Add(backupTemp);
        if (!WriteNewFile(m_platform, backupTemp, before.master)) return FailWrite(m_strMasterPath + ".BAK");
    }
    if (s.masterChanged && !stageDirectoryFile(masterName, s.master, m_bNewMaster)) return FailWrite(m_strMasterPath);

    // Renamed files join the clean-up only once they are ours: a file that
    // appeared meanwhile under the name makes the rename fail and stays.
    // Their names become durable with the commit's rename, which syncs the
    // directory.
    for (const auto& [temp, name] : newFiles) {
        std::string tempPath = JoinPath(m_strDirectory, temp), path = JoinPath(m_strDirectory, name);
        if (!m_platform.RenameNoReplace(tempPath, path, false)) return FailWrite(path);
        staged.Forget(tempPath);
        staged.Add(path);
    }
    if (steps.size() == 1) {
        // One file to replace: its rename is the commit.
        const JournalStep& step = steps.front();
        std::string from = JoinPath(m_strDirectory, step.from), to = JoinPath(m_strDirectory, step.to);
        bool committed = step.replace ? m_platform.Rename(from, to) : m_platform.RenameNoReplace(from, to);
        if (!committed) {
            CKeepError keep(m_platform);
            if (!m_platform.FindName(m_strDirectory, step.from)) {
                // Renamed, but the directory could not be synced: put the old
                // file back so that it lists no security whose files go.
                if (!step.replace) {
                    m_platform.Remove(to);
                } else {
                    ReplaceFile(m_platform, to, from, step.to == masterName ? before.master : before.xmaster);
                }
            }
            return FailWrite(to);
        }
    } else {
        std::string journal = JoinPath(m_strDirectory, kJournalName);
        std::string text = JournalText(steps);
        staged.Add(journal + kTempSuffix);
        if (!WriteNewFile(m_platform, journal + kTempSuffix, {bytesOf(text)})) return FailWrite(journal);
        if (!m_platform.RenameNoReplace(journal + kTempSuffix, journal)) {
            CKeepError keep(m_platform);
            // Renamed, but the directory could not be synced: the journal is
            // ours and goes with the rest. Otherwise it was never ours.
            if (!m_platform.Examine(journal + kTempSuffix).exists) m_platform.Remove(journal);
            return FailWrite(journal);
        }
        // Committed: what follows only completes it, now or in the next run.
        staged.ForgetAll();
        // A step that failed is tried once more before the run gives up on it.
        if (RunJournal(m_platform, m_strDirectory, steps) || RunJournal(m_platform, m_strDirectory, steps)) {
            m_platform.Remove(journal);
        } else {
            m_prompt.MessageBox("The conversion is saved, but " + m_strDirectory + " could not be brought up to date: " +
                                    m_platform.LastError() + ". The next conversion into it completes it.",
                                kMbOk);
        }
    }
    staged.ForgetAll();
    if (backupMaster && !m_platform.Rename(backupTemp, m_strMasterPath + ".BAK")) {
        // The conversion stands; only the backup is older than it should be.
        m_platform.Remove(backupTemp);
    }
    m_bWroteBackup = m_bWroteBackup || backupMaster;
    s.masterChanged = s.emasterChanged = s.xmasterChanged = false;
    m_bNewMaster = false;
    *m_committed = s;
    m_ops.clear();
    m_nStagedBytes = 0;
    return 0;
}

}  // namespace tarvel
