// The conversion job: one delimited text file becomes one new security of a
// portfolio. The caller fills every field, calls Run() once and destroys the
// job; nothing of it outlives the run but its effects on disk and in the
// settings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_util.h"
#include "platform/platform.h"
#include "platform/prompt.h"
#include "pricedb/layout.h"
#include "pricedb/stored_number.h"

namespace tarvel {

// Field order shared by every per-field list.
enum Field : int { kDate = 0, kOpen, kHigh, kLow, kClose, kVolume, kOpenInt };

inline constexpr int kMaxColumns = 20;
// A line is read in pieces of at most this many bytes.
inline constexpr std::size_t kMaxLinePiece = 299;
// Path buffers hold any path the system can name (PATH_MAX with its NUL).
inline constexpr std::size_t kPathBufferSize = 4096;

// Where the job records what it converted (section "Convert").
class CSettingsWriter {
public:
    virtual ~CSettingsWriter() = default;
    virtual void WriteString(const char* section, const char* name, const std::string& value) = 0;
};

class CConverter {
public:
    CConverter(CPlatform& platform, CPrompt& prompt, CSettingsWriter& settings);
    virtual ~CConverter();

    // 0 when the new security holds the converted prices, 1 when the
    // conversion failed; the user has then been told why by a message.
    int Run();

    int CheckOutputPath();
    int CountFields();
    int CheckDuplicateSymbol();
    int AddSecurity();
    int ParseInput();
    void AppendPriceRecord(std::uint8_t fileNumber);
    int UpdateMasterDates(const StoredNumber& firstDate, const StoredNumber& lastDate, std::uint8_t fileNumber);
    int UpdateRecordCount(std::uint16_t recordCount, std::uint8_t fileNumber);

    // Copies `text` into a text buffer. Paths must fit whole (false when one
    // does not); symbol and name are cut at the buffer's width on a UTF-8
    // character boundary.
    bool SetPathOut(std::string_view text);
    void SetSymbol(std::string_view text);
    void SetName(std::string_view text);
    void SetDelimiter(char delimiter);

    std::string m_strPathIn;
    int m_bUseExistingMaster = 0;
    int m_bFieldOn[kFieldCount] = {};
    int m_nFieldColumn[kFieldCount] = {};
    char m_szPathOut[kPathBufferSize] = {};
    char m_szMasterPath[kPathBufferSize] = {};
    char m_szSymbol[17] = {};
    char m_szName[17] = {};
    char m_szDelimiter[4] = {','};
    StoredNumber m_record[kFieldCount] = {};
    int m_nDateFormat = 1;
    int m_bSkipOn = 0;
    int m_nSkipRows = 0;
    int m_nFieldCount = 0;

private:
    std::string DataPath(int fileNumber) const;
    int Fail(const std::string& message);

    CPlatform& m_platform;
    CPrompt& m_prompt;
    CSettingsWriter& m_settings;
    std::unique_ptr<CDirectoryLock> m_lock;  // held for the whole of Run()
    Bytes m_pendingRecords;  // price records appended but not yet on disk
};

}  // namespace tarvel
