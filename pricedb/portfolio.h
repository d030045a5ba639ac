// Adding a security to a portfolio and writing its prices. Every change to
// MASTER or to a data file's header replaces the whole file through a
// temporary copy (ReplaceFile), so a failure leaves the old file whole.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_util.h"
#include "platform/platform.h"
#include "platform/prompt.h"
#include "pricedb/layout.h"

namespace tarvel {

inline constexpr const char* kFullPortfolioMessage =
    "This portfolio already has the\nmaximum number of symbols (255).\nChoose a different or new portfolio.";

struct NewSecurity {
    std::string name;
    std::string symbol;
    bool fieldOn[kFieldCount] = {};
    int fieldCount = 0;
    StoredNumber today{};  // first and last date until the prices are written
};

// Adds `security` to the MASTER at `masterPath` under the lowest free file
// number and creates its F<n>.DAT (header only) and F<n>.DOP in `directory`.
// The data files are written before MASTER is replaced, so MASTER never lists
// a security whose files are missing.
//
// Returns 0 and stores the file number in *fileNumber. Returns 1 after
// showing a message when the portfolio is full, MASTER cannot be read or a
// file cannot be written; MASTER is then unchanged and no new file is left.
int AddSecurity(CPlatform& platform, CPrompt& prompt, const std::string& directory,
                const std::string& masterPath, const NewSecurity& security, int* fileNumber);

// Sets the first and last date of every MASTER record whose file number is
// `fileNumber`; every other byte stays. Returns 0, or 1 after a message when
// MASTER cannot be read or replaced (it is then unchanged).
int UpdateMasterDates(CPlatform& platform, CPrompt& prompt, const std::string& masterPath,
                      const StoredNumber& firstDate, const StoredNumber& lastDate, int fileNumber);

// Rewrites the data file at `dataPath`: its header with recordCount set to
// `recordCount` + 1, its whole records of `recordLength` bytes (a partial
// record at the end is dropped), then `pending`, the records not yet on disk.
// Returns 0, or 1 after a message when the file cannot be read or replaced
// (it is then unchanged).
int UpdateRecordCount(CPlatform& platform, CPrompt& prompt, const std::string& dataPath,
                      const std::string& tempPath, int recordLength, std::uint16_t recordCount,
                      const Bytes& pending);

// "Cannot write to <path>".
std::string CannotWriteMessage(const std::string& path);

}  // namespace tarvel
