// What a CPortfolio holds between its steps, shared by the files that
// implement it (portfolio.cpp: opening and staging; portfolio_commit.cpp:
// the commit). Not for other code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "pricedb/portfolio.h"

namespace tarvel {

struct CPortfolio::State {
    Bytes master, emaster, xmaster;
    bool hasEMaster = false, hasXMaster = false;
    bool masterChanged = false, emasterChanged = false, xmasterChanged = false;
    std::vector<Entry> entries;
    std::set<int> takenNumbers;  // by records, staged securities or files of the directory
    // Files of securities staged for removal, with their size and hash.
    struct Removed {
        std::string name;
        std::uint64_t size = 0, hash = 0;
    };
    std::vector<Removed> removed;
    bool maintained = false;  // a removal or rename is staged
};

struct CPortfolio::Op {
    int fileNumber = 0;
    bool mwd = false;
    bool append = false;
    std::string dataName;  // the price file's name in the directory
    Bytes data;            // its whole new contents, unless written
    bool written = false;  // a new price file already written to its temporary file
    std::size_t recordLength = 0;
    std::string dop;                   // F<n>.DOP of a new MASTER security
    std::uint64_t size = 0, hash = 0;  // of `data`, once written
    std::size_t oldSize = 0;           // an appended file's length before
    Bytes oldHeader;                   // and its header record then
};

struct CPortfolio::Mark {
    State state;
    std::size_t ops = 0;
    std::vector<std::size_t> opSizes;  // of the price file of each op staged before: appends only extend it
    std::size_t stagedBytes = 0;
};

}  // namespace tarvel
