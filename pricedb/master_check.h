// Whether the bytes of a MASTER can be trusted before anything reads its
// records or replaces it.
#pragma once

#include <cstddef>
#include <string>

#include "platform/file_util.h"
#include "platform/platform.h"
#include "platform/prompt.h"
#include "pricedb/layout.h"

namespace tarvel {

// A MASTER bigger than 1024 records of 53 bytes cannot be a whole one:
// reading one byte more than those is enough to refuse it.
inline constexpr std::size_t kMasterReadLimit = kMasterRecordSize * 1024 + 1;
// The most bytes of any directory file read, more than a whole one holds.
inline constexpr std::size_t kDirectoryFileReadLimit = std::size_t{1} << 24;

// What is wrong with the bytes of a MASTER: not a whole number of 53-byte
// records, a header count that differs from the records that follow, a
// file-number mark of 255 or more while fewer records are held, or a file
// number that is 0 or used twice. Empty when nothing is; otherwise a
// message naming `masterPath`.
std::string CheckMaster(const Bytes& master, const std::string& masterPath);

// Reads at most `limit` bytes of the MASTER at `masterPath` and checks them.
// Returns false after showing why when it cannot be read or is damaged.
bool ReadCheckedMaster(CPlatform& platform, CPrompt& prompt, const std::string& masterPath, Bytes* master,
                       std::size_t limit = kMasterReadLimit);

}  // namespace tarvel
