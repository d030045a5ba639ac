// A check of a whole portfolio directory, written by Tarvel or any other
// program: every directory file, price file and description file read and
// held against each other, nothing changed.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace tarvel {

// One thing the check found about one file.
struct PortfolioFinding {
    std::string file;  // the path of the file it is about
    std::string text;  // what is wrong, or, for a warning, what some readers will not read right
    bool warning = false;
};

struct PortfolioCheck {
    int securities = 0;  // records of MASTER and XMASTER read, sub-portfolio entries left out
    std::vector<PortfolioFinding> findings;  // in the order found
    int Problems() const;
    int Warnings() const;
};

// Checks the portfolio in `directory`:
// - MASTER, EMASTER and XMASTER pass the checks a conversion makes before it
//   trusts them, and EMASTER's records agree with MASTER's;
// - every security's price file is there, is whole records that its header
//   counts, its dates are calendar days that ascend, its first and last
//   dates are the directory's, and no stored number has an exponent byte of
//   1 or 2, which no reader decodes;
// - every F<n>.DOP names the fields of its security;
// - no two securities have one symbol (ASCII case aside);
// - no price, description or temporary file is left that no security
//   accounts for, and no journal of an unfinished commit stands;
// - the undo record reads, and names every file kept for it.
// Warnings: a field layout that readers going by the field count alone
// misread (five fields other than date, high, low, close, volume; six other
// than date, open, high, low, close, volume), fewer than five fields, and a
// symbol that is not plain ASCII. Sub-portfolios are not entered.
PortfolioCheck CheckPortfolioFiles(CPlatform& platform, const std::string& directory);

}  // namespace tarvel
