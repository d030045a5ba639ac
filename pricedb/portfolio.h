// Adding a security to a portfolio in one step. The new security's files are
// written whole under temporary names, renamed into place, and MASTER is
// replaced last: that rename is the commit point. Until it, the portfolio is
// the old one; a failure, or a process killed at any instant, leaves nothing
// that the next conversion does not remove.
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

// Temporary names get this suffix (MASTER.~NU, F3.DAT.~NU, MASTER.BAK.~NU).
inline constexpr const char* kTempSuffix = ".~NU";

struct NewSecurity {
    std::string name;
    std::string symbol;
    bool fieldOn[kFieldCount] = {};
    int fieldCount = 0;
    StoredNumber firstDate{};
    StoredNumber lastDate{};
    std::uint16_t recordCount = 0;  // price records in `records`
    Bytes records;                  // recordCount records of 4 * fieldCount bytes, oldest first
};

// Whether `name` is a temporary file name of ours: MASTER.~NU,
// MASTER.BAK.~NU, F<n>.DAT.~NU, F<n>.DOP.~NU, and the older MASTER.NEW and
// F<n>.NEW.
bool IsTemporaryName(const std::string& name);

// What is wrong with the bytes of a MASTER: not a whole number of 53-byte
// records, a header count that differs from the records that follow, or a
// file number that is 0 or used twice. Empty when nothing is; otherwise a
// message naming `masterPath`.
std::string CheckMaster(const Bytes& master, const std::string& masterPath);

// Reads the MASTER at `masterPath` and checks it. Returns false after showing
// why when it cannot be read or is damaged.
bool ReadCheckedMaster(CPlatform& platform, CPrompt& prompt, const std::string& masterPath, Bytes* master);

// Removes what an interrupted conversion left in `directory`: the data files
// of a security that its pending MASTER.~NU lists but MASTER does not, then
// every temporary file of ours. Failures are ignored; what stays is never
// read as data.
void RemoveLeftovers(CPlatform& platform, const std::string& directory, const std::string& masterPath);

// Adds `security` under the lowest file number that no record uses and no
// F<n>.DAT or F<n>.DOP (in any case) holds, as described at the top. With
// `newMaster` the MASTER at `masterPath` must not exist and is created;
// otherwise the existing one is checked first, and after the commit
// MASTER.BAK holds it as it was.
//
// Returns 0 and stores the file number in *fileNumber. Returns 1 after
// showing a message when MASTER is damaged or unreadable, the portfolio is
// full or a step fails; the portfolio is then as it was.
int AddSecurity(CPlatform& platform, CPrompt& prompt, const std::string& directory,
                const std::string& masterPath, bool newMaster, const NewSecurity& security, int* fileNumber);

// "Cannot write to <path>: <the system's reason>".
std::string CannotWriteMessage(CPlatform& platform, const std::string& path);

}  // namespace tarvel
