// The conversion job: one delimited text file becomes one new security of a
// portfolio. The caller fills every field, calls Run() once and destroys the
// job; nothing of it outlives the run but its effects on disk and in the
// settings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "convert/row_store.h"
#include "platform/file_util.h"
#include "platform/platform.h"
#include "platform/prompt.h"
#include "pricedb/extended_masters.h"
#include "pricedb/layout.h"
#include "pricedb/portfolio.h"
#include "pricedb/stored_number.h"

namespace tarvel {

inline constexpr int kMaxColumns = 20;
// A column the input does not have.
inline constexpr int kNoColumn = -1;
// Path buffers hold any path the system can name (PATH_MAX with its NUL).
inline constexpr std::size_t kPathBufferSize = 4096;
// Names of up to 45 bytes fit EMASTER and XMASTER; MASTER keeps the first 16.
inline constexpr std::size_t kMaxNameBytes = kLongNameWidth;
// How long a conversion waits for another one into the same portfolio.
inline constexpr int kDefaultWaitSeconds = 30;

// Where the job records what it converted (section "Convert").
class CSettingsWriter {
public:
    virtual ~CSettingsWriter() = default;
    virtual void WriteString(const char* section, const char* name, const std::string& value) = 0;
};

// A writer that keeps nothing: for a job whose run must leave the settings
// as they are (a preview, a dry run, a command line not asked to save).
class CNoSettingsWriter : public CSettingsWriter {
public:
    void WriteString(const char*, const char*, const std::string&) override {}
};

class CConverter {
public:
    CConverter(CPlatform& platform, CPrompt& prompt, CSettingsWriter& settings);
    virtual ~CConverter();

    // 0 when the portfolio holds the new security with every converted row;
    // 1 when the conversion failed, after a message saying why, and then
    // the portfolio is as it was.
    int Run();

    // The steps of Run, in order. Each returns 0, or 1 after a message.
    int OpenInput();
    int CheckOutputPath();
    int CountFields();
    int CheckDuplicateSymbol();
    // Reads every row of the input into the staged security, sorted by date;
    // writes nothing. Refuses intraday data.
    int ParseInput();
    // Commits the staged securities to the portfolio that CheckOutputPath
    // claimed.
    int AddSecurity();
    // Stages what ParseInput (or DryRun) read into `portfolio`: each
    // security as a new one or, with m_bUpdate, appended to the one of its
    // symbol. All of the input or none of it is staged. 0, or 1 after a
    // message. Each security's records are let go once staged. A batch, which holds the portfolio's lock and
    // commits, reads each input with DryRun and stages it so.
    int StageInto(CPortfolio& portfolio);

    // Reads the input as Run() does, touching no portfolio: afterwards
    // Staged() and Securities() hold the records a conversion would store
    // and the skipped rows are counted. 0, or 1 after a message.
    int DryRun();
    const NewSecurity& Staged() const { return m_securities.front(); }
    // The securities read, one for each ticker of the input (one when it has
    // none).
    const std::vector<NewSecurity>& Securities() const { return m_securities; }
    int SkippedRows() const { return m_nSkipped; }
    int FirstSkippedLine() const { return m_nFirstSkippedLine; }
    const std::string& FirstSkipReason() const { return m_strFirstSkipReason; }

    // Copies `text` into a text buffer; false, leaving the buffer as it
    // was, when it does not fit whole or holds a zero byte.
    bool SetPathOut(std::string_view text);
    bool SetSymbol(std::string_view text);
    bool SetName(std::string_view text);
    void SetDelimiter(char delimiter);

    std::string m_strPathIn;
    int m_bUseExistingMaster = 0;
    int m_bFieldOn[kFieldCount] = {};
    int m_nFieldColumn[kFieldCount] = {};
    char m_szPathOut[kPathBufferSize] = {};
    char m_szMasterPath[kPathBufferSize] = {};
    char m_szSymbol[kMaxSymbolBytes + 1] = {};
    char m_szName[kMaxNameBytes + 1] = {};
    char m_szDelimiter[4] = {','};
    // Numbers are written with a decimal comma (and '.' between thousands).
    int m_bDecimalComma = 0;
    // Zero-based columns of the time of day, the period ("D" for daily) and
    // the ticker, or kNoColumn. A file with several different times on one
    // date, or a period other than D, is intraday data and refused; the
    // ticker is known but not read.
    int m_nTimeColumn = kNoColumn;
    int m_nPeriodColumn = kNoColumn;
    int m_nTickerColumn = kNoColumn;
    // The names of the header of a comma-delimited file, or 0 when unknown:
    // a row with a value past them has numbers with unquoted thousands
    // separators (4,763.54) and is skipped, never read shifted.
    int m_nHeaderFields = 0;
    StoredNumber m_record[kFieldCount] = {};
    int m_nDateFormat = 1;
    int m_bSkipOn = 0;
    int m_nSkipRows = 0;
    int m_nFieldCount = 0;
    // Any skipped row fails the conversion.
    int m_bStrict = 0;
    // Seconds to wait for another conversion into the portfolio (0: none).
    int m_nWaitSeconds = kDefaultWaitSeconds;
    // Told, once, when the run has to wait for the portfolio.
    std::function<void(const std::string&)> m_onWaiting;
    // A symbol the portfolio holds gets the rows dated after its last one.
    int m_bUpdate = 0;
    // The file number of the (first) security added by a successful run.
    int m_nFileNumber = 0;
    // What a successful run did: securities added and updated, price
    // records written, and records left out as not newer than a security's
    // last date.
    int m_nAdded = 0;
    int m_nUpdated = 0;
    long m_nRecordsWritten = 0;
    long m_nRecordsLeftOut = 0;
    // The dates of the first and the last record written, over every
    // security changed; zero when none was.
    StoredNumber m_firstDateWritten{};
    StoredNumber m_lastDateWritten{};
    // The symbols of the securities a successful run added or gave rows to,
    // each with true when it was added.
    std::vector<std::pair<std::string, bool>> m_changed;

private:
    int Fail(const std::string& message);
    int ScratchFailure(const CStatus& status);
    // Sorts `rows` (one security's, in file order) by date and stores their
    // records in *records, the latest row of each date only; with
    // `countSkipped` the others are counted as skipped.
    void BuildRecords(std::vector<PriceRow>& rows, bool countSkipped, Bytes* records);
    // Builds the records of security `index` again when ParseInput let them
    // go (a file too big to hold them all). Securities are loaded in order.
    // 0, or 1 after a message.
    int LoadRecords(std::size_t index);
    int Skip(int line, std::string reason);

    CPlatform& m_platform;
    CPrompt& m_prompt;
    CSettingsWriter& m_settings;
    std::unique_ptr<CFile> m_input;  // open from OpenInput to the end of Run()
    std::string m_strInputHead;      // the first bytes of the input, read by OpenInput
    std::unique_ptr<CPortfolio>
        m_portfolio;  // claimed, with its lock, from CheckOutputPath to the end of Run()
    bool m_bMasterExists = false;
    std::vector<NewSecurity> m_securities;
    // For each of m_securities, its ticker's index when its records are to
    // be read again from m_rowStore, or kNoColumn when they are held.
    std::vector<int> m_deferredTickers;
    std::unique_ptr<CRowStore> m_rowStore;
    int m_nSkipped = 0;
    int m_nFirstSkippedLine = 0;
    std::string m_strFirstSkipReason;
};

}  // namespace tarvel
