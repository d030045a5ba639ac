// Looking a symbol up in a portfolio tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "pricedb/extended_masters.h"
#include "pricedb/layout.h"

namespace tarvel {

inline constexpr std::int16_t kFindFound = 0;
inline constexpr std::int16_t kFindEndedEarly = -4;  // a MASTER ended while "<DIR>" entries were sought
inline constexpr std::int16_t kFindNotFound = -8;

// Deepest sub-directory level the walk enters (the portfolio is level 0).
inline constexpr int kMaxDirectoryDepth = 33;
// Longest "<directory>/master" path the walk opens; a level whose path would
// be longer is treated as one without a MASTER.
inline constexpr std::size_t kMaxWalkPath = 4095;

// Searches `directory`'s MASTER and, through its "<DIR>" entries, those of
// its sub-directories: the ordinary records of a MASTER in file order, then
// each sub-directory wholly, in the order of its entry. The first record whose
// name or symbol equals `symbol` without regard to ASCII case wins.
//
// Returns kFindFound and stores the record (its two dates decoded into
// little-endian single-precision values) in *record and the path of the
// directory holding it, ending in "/", in *recordDir. Otherwise returns
// kFindNotFound or kFindEndedEarly and leaves both untouched. Reads only
// whole records inside the file, never follows a "<DIR>" name holding "/" or
// naming "." or "..", never enters a directory twice and never goes below
// kMaxDirectoryDepth.
//
// A MASTER of the tree that is there but cannot be read, or that is damaged
// (see CheckMaster), is not searched; when `problem` is given, the reason for
// the first such one is stored there, so that a caller can tell a failed read
// from an absent symbol.
std::int16_t FindSecurity(CPlatform& platform, const std::string& directory, std::string_view symbol,
                          MasterRecordBytes* record, std::string* recordDir, std::string* problem = nullptr);

struct ListedSecurity {
    std::string directory;     // ends in "/"
    MasterRecordBytes record;  // as stored, dates not decoded; all zero for an XMASTER security
    bool inXMaster = false;
    // Number, symbol, name (the long one where EMASTER or XMASTER has it),
    // the fields where EMASTER or XMASTER names them, and the dates.
    SecurityEntry entry;
    int fieldCount = 0;
    bool fieldsKnown = false;
    std::string dataFile;  // F<n>.DAT or F<n>.MWD
};

// Every ordinary record of the portfolio tree in the look-up's order, with
// the same limits and checks as FindSecurity: a MASTER's records, then its
// XMASTER's, then each sub-directory wholly. An EMASTER or XMASTER that
// cannot be read or is damaged counts as a problem as a MASTER does.
std::vector<ListedSecurity> ListPortfolio(CPlatform& platform, const std::string& directory,
                                          std::string* problem = nullptr);

// The first security of ListPortfolio's list that FindSecurity's rule
// matches (for an XMASTER security: its symbol or name equal but for ASCII
// case). False when there is none.
bool FindListedSecurity(CPlatform& platform, const std::string& directory, std::string_view symbol,
                        ListedSecurity* found, std::string* problem = nullptr);

// The fields of security `s`'s records in their order, `fieldCount` of
// them: from EMASTER or XMASTER, else from F<n>.DOP, else the usual layout
// for the count (date, then closes when the count is unusual).
std::vector<int> RecordFields(CPlatform& platform, const ListedSecurity& s, int fieldCount);

// Whether FindSecurity's rule takes MASTER record `record` for `symbol`:
// its name, or its symbol up to as many words as `symbol` has, equal but for
// ASCII case.
bool MasterRecordMatches(const std::uint8_t* record, std::string_view symbol);

// Number of occurrences of `c` in `text`.
int CountChar(std::string_view text, char c);
// Characters of `field` (at most `width`, ending at a zero byte) before the
// k-th occurrence of `c`; the whole text when it holds fewer than k.
std::size_t WordSpanLength(const std::uint8_t* field, std::size_t width, char c, int k);

}  // namespace tarvel
