// The consistency check every portfolio test ends with.
#pragma once

#include <string>

namespace tarvel::test {

// Checks the portfolio at `dir`: MASTER is a whole number of 53-byte records,
// its header counts agree with them and its file numbers are distinct and not
// 0; every security's F<n>.DAT and F<n>.DOP exist, the data file is a whole
// number of records of the security's record length, its recordCount equals
// its records + 1, it holds at least one price record, its dates ascend, and
// MASTER's first and last date are those of its first and last record; no
// stored number has an exponent byte of 1 or 2; no F<n>.DAT, F<n>.DOP or
// temporary file is left that no record accounts for.
//
// With `afterKill`, temporary files may remain (the next conversion removes
// them), and data files that a pending MASTER.~NU lists count as accounted
// for: a killed run may have renamed them before it could replace MASTER.
// Returns every problem found, one per line; empty when there is none.
std::string CheckPortfolio(const std::string& dir, bool afterKill = false);

}  // namespace tarvel::test
