// Price files made from known rows in the many ways exports write them, and
// the check that what detection reads of one is those rows or nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvel::test {

// One day's true values: the date as YYYYMMDD, then open, high, low, close
// and volume.
struct TrueRow {
    int day = 0;
    std::string text[5];  // as the sidecar writes them
};

struct CPriceVariant {
    std::string text;
    bool named = false;  // a header names the columns
    // Names, or the usual order with nothing beside it, say what each
    // column holds: detection must accept the file.
    bool clear = false;
};

// The rows of an expected sidecar ("YYYY-MM-DD open high low close volume"
// a line).
std::vector<TrueRow> ReadTrueRows(const std::string& path);

// A file holding `rows`, shaped by `seed`: its columns in any order under
// names as sources spell them, or without a header and in the usual order
// (the date column anywhere); with columns no field may be taken from
// (change, percent change, trades, adjusted close, VWAP, turnover), one of
// several date spellings, oldest or newest first, one of three delimiters,
// and title, comment, blank and footer lines around the rows.
CPriceVariant MakePriceVariant(const std::vector<TrueRow>& rows, std::uint32_t seed);

// Detects the layout of `text` and reads every line under it. Empty when
// detection refuses the file, or when every row read holds exactly the true
// values of its date in every field taken and the close is among them, and
// every true row is read; otherwise what went wrong. `*accepted` says
// whether detection accepted the file.
std::string NothingInventedProblem(const std::vector<TrueRow>& rows, const std::string& text,
                                   bool* accepted = nullptr);

}  // namespace tarvel::test
