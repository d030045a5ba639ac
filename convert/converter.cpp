#include "convert/converter.h"

#include <cstring>

#include "convert/date_text.h"
#include "pricedb/find_security.h"
#include "pricedb/portfolio.h"

namespace tarvel {
namespace {

template <std::size_t N>
bool CopyWhole(char (&buffer)[N], std::string_view text) {
    if (text.size() >= N || text.find('\0') != std::string_view::npos) return false;
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return true;
}

template <std::size_t N>
void CopyCut(char (&buffer)[N], std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::string_view cut = CutToCharBoundary(text, N - 1);
    std::memcpy(buffer, cut.data(), cut.size());
    buffer[cut.size()] = '\0';
}

}  // namespace

CConverter::CConverter(CPlatform& platform, CPrompt& prompt, CSettingsWriter& settings)
    : m_platform(platform), m_prompt(prompt), m_settings(settings) {}

CConverter::~CConverter() = default;

bool CConverter::SetPathOut(std::string_view text) { return CopyWhole(m_szPathOut, text); }
void CConverter::SetSymbol(std::string_view text) { CopyCut(m_szSymbol, text); }
void CConverter::SetName(std::string_view text) { CopyCut(m_szName, text); }
void CConverter::SetDelimiter(char delimiter) {
    m_szDelimiter[0] = delimiter;
    m_szDelimiter[1] = '\0';
}

int CConverter::Fail(const std::string& message) {
    m_prompt.MessageBox(message, kMbOk);
    return 1;
}

std::string CConverter::DataPath(int fileNumber) const { return JoinPath(m_szPathOut, DataFileName(fileNumber)); }

int CConverter::Run() {
    // The run changes the current directory; a relative input path must keep
    // naming the file the user meant.
    if (!m_strPathIn.empty() && m_strPathIn.front() != '/') {
        std::string cwd;
        if (m_platform.GetCurrentDirectory(&cwd)) m_strPathIn = JoinPath(cwd, m_strPathIn);
    }
    int result = CheckOutputPath();
    if (result == 0) result = CountFields();
    if (result == 0) result = CheckDuplicateSymbol();
    if (result == 0) result = AddSecurity();
    if (result == 0) {
        m_settings.WriteString("Convert", "PathIn", m_strPathIn);
        m_settings.WriteString("Convert", "PathOut", m_szPathOut);
        m_settings.WriteString("Convert", "Symbol", m_szSymbol);
        m_settings.WriteString("Convert", "Name", m_szName);
        if (m_bUseExistingMaster) m_platform.Copy(m_szMasterPath, std::string(m_szMasterPath) + ".BAK");
        result = ParseInput();
    }
    m_lock.reset();
    m_pendingRecords.clear();
    return result;
}

int CConverter::CheckOutputPath() {
    if (!m_platform.SetCurrentDirectory(m_szPathOut)) return Fail("Path does not exist");
    std::string cwd;
    if (!m_platform.GetCurrentDirectory(&cwd) || !CopyWhole(m_szPathOut, cwd)) return Fail("Path does not exist");
    // Two conversions into one portfolio take turns: the lock is on the
    // directory, which stays the same while MASTER is replaced.
    m_lock = m_platform.LockDirectory(m_szPathOut);
    if (!m_lock) return Fail("Cannot lock the portfolio " + std::string(m_szPathOut));

    std::optional<std::string> existing = m_platform.FindName(m_szPathOut, kMasterName);
    std::string masterName = existing.value_or(kMasterName);
    if (!CopyWhole(m_szMasterPath, JoinPath(m_szPathOut, masterName))) return Fail("Path does not exist");

    bool opens = existing && m_platform.Open(m_szMasterPath, OpenMode::kRead) != nullptr;
    if (m_bUseExistingMaster) {
        if (!opens) return Fail("Path specified does not point to a Master file");
        return 0;
    }
    // Any file of that name counts, even one that does not open: creating the
    // new MASTER would truncate it.
    if (existing) return Fail("New Master chosen but one already exists");
    if (!WriteNewFile(m_platform, m_szMasterPath, Bytes(kMasterRecordSize, 0))) {
        return Fail("Cannot create a Master file in " + std::string(m_szPathOut));
    }
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
    MasterRecordBytes record;
    std::string directory;
    bool unreadable = false;
    if (FindSecurity(m_platform, m_szPathOut, m_szSymbol, &record, &directory, &unreadable) == kFindFound) {
        return Fail("Duplicate Symbol Failure");
    }
    // A MASTER that could not be read proves nothing about duplicates.
    if (unreadable) return Fail("Cannot read the Master file " + std::string(m_szMasterPath));
    return 0;
}

int CConverter::AddSecurity() {
    NewSecurity security;
    security.name = m_szName;
    security.symbol = m_szSymbol;
    for (int i = 0; i < kFieldCount; ++i) security.fieldOn[i] = m_bFieldOn[i] != 0;
    security.fieldCount = m_nFieldCount;
    security.today = MakeStoredDate(ParseDateText(m_platform.LocalDate(), 3));
    int fileNumber = 0;
    return tarvel::AddSecurity(m_platform, m_prompt, m_szPathOut, m_szMasterPath, security, &fileNumber);
}

void CConverter::AppendPriceRecord(std::uint8_t /*fileNumber*/) {
    // Records collect in memory and reach F<n>.DAT whole, with their count,
    // in UpdateRecordCount: the file on disk never holds a count that
    // disagrees with its records.
    std::uint8_t record[4 * kFieldCount];
    std::size_t length = 0;
    for (int i = 0; i < kFieldCount; ++i) {
        if (!m_bFieldOn[i]) continue;
        std::memcpy(record + length, m_record[i].data(), 4);
        length += 4;
    }
    m_pendingRecords.insert(m_pendingRecords.end(), record, record + length);
}

int CConverter::UpdateMasterDates(const StoredNumber& firstDate, const StoredNumber& lastDate,
                                  std::uint8_t fileNumber) {
    return tarvel::UpdateMasterDates(m_platform, m_prompt, m_szMasterPath, firstDate, lastDate, fileNumber);
}

int CConverter::UpdateRecordCount(std::uint16_t recordCount, std::uint8_t fileNumber) {
    int result = tarvel::UpdateRecordCount(m_platform, m_prompt, DataPath(fileNumber),
                                           JoinPath(m_szPathOut, DataTempName(fileNumber)), 4 * m_nFieldCount,
                                           recordCount, m_pendingRecords);
    m_pendingRecords.clear();
    return result;
}

}  // namespace tarvel
