#include "pricedb/portfolio.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <set>

#include "pricedb/find_security.h"
#include "pricedb/master_check.h"
#include "pricedb/portfolio_state.h"
#include "pricedb/price_file.h"
#include "pricedb/recovery.h"

namespace tarvel {

std::string SymbolicLinkMessage(const std::string& path) {
    return "The Master file " + path +
           " is a symbolic link; Tarvel does not replace it. Convert into the directory it points to.";
}

std::string CannotWriteMessage(const CStatus& status, const std::string& path) {
    return "Cannot write to " + path + ": " + status.Text();
}

// --- CPortfolio -------------------------------------------------------------

CPortfolio::CPortfolio(CPlatform& platform, CPrompt& prompt, std::string directory, std::string masterPath,
                       bool newMaster)
    : m_platform(platform),
      m_prompt(prompt),
      m_strDirectory(std::move(directory)),
      m_strMasterPath(std::move(masterPath)),
      m_state(std::make_unique<State>()),
      m_committed(std::make_unique<State>()),
      m_bNewMaster(newMaster) {}

CPortfolio::CPortfolio(CPlatform& platform, CPrompt& prompt, std::string directory, std::string masterPath,
                       bool newMaster, Claim claim)
    : CPortfolio(platform, prompt, std::move(directory), std::move(masterPath), newMaster) {
    m_lock = std::move(claim.lock);
    m_bClaimed = true;
    m_strJournalStays = std::move(claim.journalStays);
    m_state->master = std::move(claim.master);
}

CPortfolio::~CPortfolio() { DropOps(0); }

int CPortfolio::Open() {
    // A claimed portfolio tried its journal when it took the lock; the
    // message says why that failed, from the moment it did.
    if (m_bClaimed) {
        if (!m_strJournalStays.empty()) {
            m_prompt.MessageBox(m_strJournalStays, kMbOk);
            return 1;
        }
    } else {
        std::string journalMessage;
        CStatus status = FinishJournal(m_platform, m_strDirectory, &journalMessage);
        if (!journalMessage.empty()) m_prompt.MessageBox(journalMessage, kMbOk);
        if (!status) return 1;
    }
    RemoveUncommittedFiles(m_platform, m_strDirectory, m_strMasterPath);
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
        } else if (CStatus status = ReadFileBytes(m_platform, path, bytes, kDirectoryFileReadLimit);
                   !status) {
            problem = OpenFailureMessage(status, "Cannot read the Master file", path);
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
                m_prompt.MessageBox(
                    JoinPath(m_strDirectory, *found) + " is there but no MASTER; Tarvel does not replace it.",
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
        // A claimed portfolio's MASTER was read and checked when it was
        // claimed.
        if ((!m_bClaimed && !readChecked(m_strMasterPath, &s.master, CheckMaster)) ||
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
        e.security =
            DecodeMasterRecord(r, s.hasEMaster ? &s.emaster[i * kEMasterRecordSize] : nullptr, &fieldsKnown);
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
    std::vector<std::string> names;
    m_platform.ListDirectory(m_strDirectory, &names);
    for (const std::string& name : names) {
        for (int n :
             {FileNumberOf(name, ".DAT"), FileNumberOf(name, ".DOP"), FileNumberOf(name, ".MWD", 65535)}) {
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
    for (std::size_t at = kMasterRecordSize; at + kMasterRecordSize <= master.size();
         at += kMasterRecordSize) {
        if (!IsDirectoryEntry(&master[at]) && MasterRecordMatches(&master[at], symbol)) return true;
    }
    return false;
}

bool CPortfolio::HasSubPortfolios() const {
    const Bytes& master = m_state->master;
    for (std::size_t at = kMasterRecordSize; at + kMasterRecordSize <= master.size();
         at += kMasterRecordSize) {
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
    if (!WriteHeldOps()) return 1;
    State& s = *m_state;
    int n = NewMasterNumber();
    const bool inMaster = n != 0;
    if (!inMaster) n = NewXMasterNumber();
    if (n == 0) {
        m_prompt.MessageBox(s.hasXMaster ? kFullXMasterMessage : kFullPortfolioMessage, kMbOk);
        return 1;
    }
    if (inMaster && !s.hasEMaster && security.name.size() > kTextFieldWidth) {
        m_prompt.MessageBox("The name " + security.name + " is longer than 16 bytes, the most that " +
                                m_strMasterPath + " holds (a portfolio with an EMASTER file holds 45).",
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
    EncodeFixed16(reinterpret_cast<std::uint8_t*>(header.data()) + kDataHeaderRecordCount,
                  static_cast<std::uint16_t>(security.recordCount + 1));
    op.data.assign(header.begin(), header.end());
    op.data.insert(op.data.end(), security.records.begin(), security.records.end());
    if (inMaster) op.dop = MakeFieldDescription(security.fieldOn);
    if (inMaster) {
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
        int count = DecodeFixed16(&s.xmaster[kXHeaderCount]) + 1;
        int next = std::max<int>(DecodeFixed16(&s.xmaster[kXHeaderNextNumber]), n + 1);
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
    if (entry.inXMaster)
        return FieldsOfBits(s.xmaster[entry.index * kXMasterRecordSize + kXRecFieldBits], fieldOn);
    if (s.hasEMaster)
        return FieldsOfBits(s.emaster[entry.index * kEMasterRecordSize + kERecFieldBits], fieldOn);
    // MASTER alone says how many fields, F<n>.DOP which.
    Bytes dop;
    std::optional<std::string> name =
        m_platform.FindName(m_strDirectory, DescriptionFileName(entry.security.fileNumber));
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
    if (CStatus status = FinishPendingJournal(); !status) {
        m_prompt.MessageBox(JournalStaysMessage(status, m_strDirectory), kMbOk);
        return 1;
    }
    if (!WriteHeldOps()) return 1;
    State& s = *m_state;
    const SecurityEntry& existing = entry.security;
    auto fieldList = [](const bool(&on)[kFieldCount]) {
        std::string text;
        for (int i = 0; i < kFieldCount; ++i) {
            if (on[i]) text.append(text.empty() ? "" : ", ").append(kFieldNames[i]);
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
        m_prompt.MessageBox(
            "Which fields " + existing.symbol +
                " holds is not known (its F<n>.DOP is missing or in other words, or it has times of "
                "day). It was not updated.",
            kMbOk);
        return 1;
    }
    bool sameFields = true;
    for (int i = 0; sameFields && i < kFieldCount; ++i) sameFields = fieldOn[i] == newer.fieldOn[i];
    if (!sameFields || fieldCount != newer.fieldCount) {
        // The message shows where the two differ: the fields, or the count
        // the record keeps beside the same fields.
        std::string held = fieldList(fieldOn);
        std::string portfolioSide = held.empty() ? "its record in the portfolio names no fields"
                                                 : "the security in the portfolio has " + held;
        if (sameFields) {
            portfolioSide += ", though its record counts " + std::to_string(fieldCount) + " fields";
        }
        m_prompt.MessageBox("The rows for " + existing.symbol + " have the fields " +
                                fieldList(newer.fieldOn) + ", but " + portfolioSide + ". It was not updated.",
                            kMbOk);
        return 1;
    }
    // The price file as it is now, staged or on disk.
    const std::size_t length = 4 * static_cast<std::size_t>(fieldCount);
    Op* staged = nullptr;
    for (Op& op : m_ops) {
        if (op.fileNumber == existing.fileNumber) staged = &op;
    }
    Op op;
    std::string path;
    if (staged != nullptr && staged->written) {
        // Inputs of one run never give one security rows twice; this stays
        // refused rather than read back.
        m_prompt.MessageBox(existing.symbol + " was given rows twice in one run. It was not updated.", kMbOk);
        return 1;
    }
    if (staged != nullptr) {
        op = *staged;
    } else {
        std::string wanted =
            entry.inXMaster ? MwdFileName(existing.fileNumber) : DataFileName(existing.fileNumber);
        op.dataName = m_platform.FindName(m_strDirectory, wanted).value_or(wanted);
        path = JoinPath(m_strDirectory, op.dataName);
        // Replacing a link would cut it from the file it points to.
        if (m_platform.Examine(path).symbolicLink) {
            m_prompt.MessageBox("The price file " + path +
                                    " is a symbolic link; Tarvel does not replace it. " + existing.symbol +
                                    " was not updated.",
                                kMbOk);
            return 1;
        }
        if (CStatus status = ReadFileBytes(m_platform, path, &op.data, length * (kMaxPriceRecords + 2));
            !status) {
            m_prompt.MessageBox(OpenFailureMessage(status, "Cannot read the price file", path), kMbOk);
            return 1;
        }
    }
    path = JoinPath(m_strDirectory, op.dataName);
    // Rows go on the end of a price file only when the file is as its
    // directory record says: whole records, as many as its header counts,
    // dates ascending to the directory's last date. Appending to anything
    // else would bury the damage under good rows.
    if (std::string problem = PriceFileProblem(op.data, length, existing.lastDay); !problem.empty()) {
        m_prompt.MessageBox("The price file " + path + " is damaged: " + problem + ". " + existing.symbol +
                                " was not updated.",
                            kMbOk);
        return 1;
    }
    if (staged == nullptr) {
        // What undo puts back: the length and the header as they are now.
        op.oldSize = op.data.size();
        op.oldHeader.assign(op.data.begin(),
                            op.data.begin() + static_cast<long>(std::min(length, op.data.size())));
    }
    const long count = DecodeFixed16(op.data.data() + kDataHeaderRecordCount);
    int lastDay =
        count > 1
            ? DayOfStoredDate({op.data[op.data.size() - length], op.data[op.data.size() - length + 1],
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
        m_prompt.MessageBox(
            existing.symbol + " would hold more than 65534 price records. It was not updated.", kMbOk);
        return 1;
    }
    op.data.insert(op.data.end(), newer.records.begin() + static_cast<long>(firstNew * length),
                   newer.records.end());
    EncodeFixed16(op.data.data() + kDataHeaderRecordCount, static_cast<std::uint16_t>(count + *added));
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
    DropOps(mark.ops);
    // Rows appended since to a price file staged before go again, with its
    // count.
    for (std::size_t i = 0; i < m_ops.size(); ++i) {
        Op& op = m_ops[i];
        if (op.written || op.data.size() == mark.opSizes[i]) continue;
        op.data.resize(mark.opSizes[i]);
        EncodeFixed16(op.data.data() + kDataHeaderRecordCount,
                      static_cast<std::uint16_t>(op.data.size() / op.recordLength));
    }
    m_nStagedBytes = mark.stagedBytes;
}

}  // namespace tarvel
