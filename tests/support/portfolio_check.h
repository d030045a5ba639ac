// The consistency check every portfolio test ends with.
#pragma once

#include <string>

namespace tarvel::test {

// Checks the portfolio at `dir`: MASTER is a whole number of 53-byte records
// and its header counts agree with them; every security's F<n>.DAT exists, is
// a whole number of records of its record length and its recordCount equals
// its records + 1; file numbers are distinct; no temporary file is left.
// Returns every problem found, one per line; empty when there is none.
std::string CheckPortfolio(const std::string& dir);

}  // namespace tarvel::test
