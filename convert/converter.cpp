#include "convert/converter.h"

#include <cerrno>
#include <cstring>

#include "convert/text_encoding.h"
#include "pricedb/find_security.h"
#include "pricedb/open_portfolio.h"

namespace tarvel {
namespace {

template <std::size_t N>
bool CopyWhole(char (&buffer)[N], std::string_view text) {
    if (text.size() >= N || text.find('\0') != std::string_view::npos) return false;
    if (!text.empty()) std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return true;
}

}  // namespace

CConverter::CConverter(CPlatform& platform, CPrompt& prompt, CSettingsWriter& settings)
    : m_platform(platform), m_prompt(prompt), m_settings(settings) {}

CConverter::~CConverter() = default;

bool CConverter::SetPathOut(std::string_view text) { return CopyWhole(m_szPathOut, text); }
bool CConverter::SetSymbol(std::string_view text) { return CopyWhole(m_szSymbol, text); }
bool CConverter::SetName(std::string_view text) { return CopyWhole(m_szName, text); }
void CConverter::SetDelimiter(char delimiter) {
    m_szDelimiter[0] = delimiter;
    m_szDelimiter[1] = '\0';
}

int CConverter::Fail(const std::string& message) {
    m_prompt.MessageBox(message, kMbOk);
    return 1;
}

int CConverter::Run() {
    // Messages name the input by its full path.
    if (!m_strPathIn.empty() && !IsAbsolutePath(m_strPathIn)) {
        std::string cwd;
        if (m_platform.GetCurrentDirectory(&cwd).ok()) m_strPathIn = JoinPath(cwd, m_strPathIn);
    }
    int result = OpenInput();
    if (result == 0) result = CheckOutputPath();
    if (result == 0) result = CountFields();
    // Without a ticker column the symbol is known before the rows are read.
    if (result == 0 && !m_bUpdate && m_nTickerColumn == kNoColumn) result = CheckDuplicateSymbol();
    if (result == 0) result = ParseInput();
    if (result == 0) result = AddSecurity();
    m_input.reset();
    m_portfolio.reset();
    m_securities.clear();
    m_deferredTickers.clear();
    m_rowStore.reset();
    // Settings are written with the portfolio free again, so that a slow
    // settings file never holds up another conversion.
    if (result == 0) {
        m_settings.WriteString("Convert", "PathIn", m_strPathIn);
        m_settings.WriteString("Convert", "PathOut", m_szPathOut);
        m_settings.WriteString("Convert", "Symbol", m_szSymbol);
        m_settings.WriteString("Convert", "Name", m_szName);
    }
    return result;
}

int CConverter::DryRun() {
    int result = OpenInput();
    if (result == 0) result = CountFields();
    if (result == 0) result = ParseInput();
    m_input.reset();
    return result;
}

int CConverter::OpenInput() {
    if (CStatus status = m_platform.Open(m_strPathIn, OpenMode::kRead, &m_input); !status) {
        return Fail(OpenFailureMessage(status, "Cannot open the input file", m_strPathIn));
    }
    Bytes head;
    if (CStatus status = ReadMore(*m_input, &head, kTextHeadBytes); !status) {
        return Fail("Cannot read the input file " + m_strPathIn + ": " + status.Text());
    }
    TextEncoding encoding =
        SniffEncoding(std::string_view(reinterpret_cast<const char*>(head.data()), head.size()));
    if (encoding == TextEncoding::kUtf16Le || encoding == TextEncoding::kUtf16Be) {
        // From here on the file reads as UTF-8; its head is read again so.
        m_input = std::make_unique<CUtf16File>(std::move(m_input), encoding == TextEncoding::kUtf16Be,
                                               std::string(head.begin(), head.end()));
        head.clear();
        if (CStatus status = ReadMore(*m_input, &head, kTextHeadBytes); !status) {
            return Fail("Cannot read the input file " + m_strPathIn + ": " + status.Text());
        }
    }
    if (!IsTextHead(std::string_view(reinterpret_cast<const char*>(head.data()), head.size()))) {
        return Fail(m_strPathIn + " is not a text file.");
    }
    m_strInputHead.assign(head.begin(), head.end());
    return 0;
}

int CConverter::CheckOutputPath() {
    auto noDirectory = [&](const std::string& path, const CStatus& status) {
        if (status.Number() == ENOENT || status.Number() == ENOTDIR)
            return Fail("Path does not exist: " + path);
        return Fail("Cannot use the directory " + path + ": " + status.Text());
    };
    // The portfolio by its full path, links resolved; the process's current
    // directory is left alone.
    std::string full;
    if (m_szPathOut[0] == '\0') return noDirectory(m_szPathOut, CStatus::Error(ENOENT));
    if (CStatus status = m_platform.CanonicalPath(m_szPathOut, &full); !status)
        return noDirectory(m_szPathOut, status);
    if (!m_platform.IsDirectory(full)) return noDirectory(m_szPathOut, CStatus::Error(ENOTDIR));
    if (!CopyWhole(m_szPathOut, full)) return Fail("Path does not exist: " + full);
    PortfolioAccess access;
    access.master = m_bUseExistingMaster ? MasterChoice::kExisting : MasterChoice::kNew;
    access.waitSeconds = m_nWaitSeconds;
    access.onWaiting = m_onWaiting;
    access.maxMasterPath = sizeof m_szMasterPath - 1;
    access.masterReadLimit = kMasterReadLimit;
    // MASTER is read and checked here, once: the duplicate check and the
    // commit use these bytes.
    m_portfolio = ClaimPortfolio(m_platform, m_prompt, m_szPathOut, access);
    if (!m_portfolio) return 1;
    CopyWhole(m_szMasterPath, m_portfolio->MasterPath());
    m_bMasterExists = m_bUseExistingMaster != 0;
    return 0;
}

int CConverter::CountFields() {
    m_nFieldCount = 0;
    for (int on : m_bFieldOn) m_nFieldCount += on != 0 ? 1 : 0;
    if (m_nFieldCount > 1) return 0;
    m_prompt.MessageBox("You need to select more columns", kMbIconInformation);
    return 1;
}

int CConverter::CheckDuplicateSymbol() {
    if (!m_bUseExistingMaster) return 0;
    // The MASTER held open, and sub-portfolios only when it names some.
    if (m_portfolio->MasterMatches(m_szSymbol)) return Fail("Duplicate Symbol Failure");
    if (!m_portfolio->HasSubPortfolios()) return 0;
    MasterRecordBytes record;
    std::string directory, problem;
    if (FindSecurity(m_platform, m_szPathOut, m_szSymbol, &record, &directory, &problem) == kFindFound) {
        return Fail("Duplicate Symbol Failure");
    }
    // A MASTER that could not be read proves nothing about duplicates.
    if (!problem.empty()) return Fail(problem);
    return 0;
}

int CConverter::AddSecurity() {
    if (m_portfolio->Open() != 0 || StageInto(*m_portfolio) != 0) return 1;
    const char* kind = m_bUpdate != 0 ? "Update of " : "Conversion of ";
    m_portfolio->SetChangeName(kind + (m_securities.size() == 1
                                           ? std::string(m_szSymbol)
                                           : std::to_string(m_securities.size()) + " securities"));
    return m_portfolio->Commit(true);
}

int CConverter::StageInto(CPortfolio& portfolio) {
    std::shared_ptr<const CPortfolio::Mark> mark = portfolio.MarkStaged();
    int added = 0, updated = 0, firstNumber = 0;
    long written = 0, leftOut = 0;
    std::vector<std::pair<std::string, bool>> changed;
    StoredNumber firstDate{}, lastDate{};
    auto wrote = [&](const StoredNumber& first, const StoredNumber& last) {
        if (written == 0 || DecodeStoredNumber(first) < DecodeStoredNumber(firstDate)) firstDate = first;
        if (written == 0 || DecodeStoredNumber(last) > DecodeStoredNumber(lastDate)) lastDate = last;
    };
    auto fail = [&](const std::string& message) {
        portfolio.RollBack(*mark);
        if (!message.empty()) m_prompt.MessageBox(message, kMbOk);
        return 1;
    };
    if (m_rowStore) m_rowStore->Rewind();
    for (std::size_t index = 0; index < m_securities.size(); ++index) {
        NewSecurity& security = m_securities[index];
        if (LoadRecords(index) != 0) return fail("");
        if (m_securities.size() == 1) {
            security.symbol = m_szSymbol;
            security.name = m_szName;
        }
        for (int i = 0; i < kFieldCount; ++i) security.fieldOn[i] = m_bFieldOn[i] != 0;
        security.fieldCount = m_nFieldCount;
        const std::string duplicate = m_securities.size() == 1
                                          ? "Duplicate Symbol Failure"
                                          : "Duplicate Symbol Failure: " + security.symbol;
        if (const CPortfolio::Entry* entry = portfolio.FindSymbol(security.symbol)) {
            if (!m_bUpdate) return fail(duplicate);
            int taken = 0, old = 0;
            if (portfolio.StageAppend(*entry, security, &taken, &old) != 0) return fail("");
            if (taken > 0) {
                // The rows taken are the newest, at the end of the records.
                const std::size_t width = 4 * static_cast<std::size_t>(security.fieldCount);
                const std::size_t first = (static_cast<std::size_t>(security.recordCount) - taken) * width;
                StoredNumber date{};
                std::copy_n(security.records.begin() + static_cast<std::ptrdiff_t>(first), 4, date.begin());
                wrote(date, security.lastDate);
            }
            Bytes().swap(security.records);  // the portfolio holds what it needs of them
            updated += taken > 0 ? 1 : 0;
            if (taken > 0) changed.emplace_back(security.symbol, false);
            written += taken;
            leftOut += old;
            continue;
        }
        // The symbol, or a name, elsewhere in the portfolio: in the MASTER
        // held open, and in sub-portfolios only when it names some.
        if (portfolio.MasterMatches(security.symbol)) return fail(duplicate);
        if (portfolio.HasSubPortfolios()) {
            MasterRecordBytes record;
            std::string directory, problem;
            if (FindSecurity(m_platform, m_szPathOut, security.symbol, &record, &directory, &problem) ==
                kFindFound) {
                // An update changes the portfolio's own securities only; one
                // kept below it is left alone, and the message says where.
                if (!m_bUpdate) return fail(duplicate);
                while (directory.size() > 1 && IsPathSeparator(directory.back())) directory.pop_back();
                return fail(duplicate + (m_securities.size() == 1 ? ": " : ", ") + security.symbol +
                            " is kept in the sub-portfolio " + directory +
                            ", which an update (--update) does not reach. It was not updated.");
            }
            if (!problem.empty()) return fail(problem);
        }
        int n = 0;
        if (portfolio.StageNew(security, &n) != 0) return fail("");
        Bytes().swap(security.records);
        if (firstNumber == 0) firstNumber = n;
        ++added;
        changed.emplace_back(security.symbol, true);
        wrote(security.firstDate, security.lastDate);
        written += security.recordCount;
    }
    m_nFileNumber = firstNumber;
    m_nAdded = added;
    m_nUpdated = updated;
    m_nRecordsWritten = written;
    m_nRecordsLeftOut = leftOut;
    m_firstDateWritten = firstDate;
    m_lastDateWritten = lastDate;
    m_changed = std::move(changed);
    return 0;
}

}  // namespace tarvel
