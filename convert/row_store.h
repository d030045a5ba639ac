// The rows of an input file between reading and sorting: held in memory up
// to a budget and, past it, written in runs to a scratch file, so that a
// file of any size costs a bounded amount of memory while it is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/platform.h"
#include "pricedb/layout.h"

namespace tarvel {

// One price row as read: its date as a number that orders by date, its line
// for messages, its ticker, and its stored record (4 bytes per field on).
struct PriceRow {
    std::int32_t day;  // year * 10000 + month * 100 + day
    int line;
    int ticker;  // index into the file's tickers; 0 when it has none
    std::uint8_t bytes[4 * kFieldCount];
};

class CRowStore {
public:
    // Rows held in memory at most: 32 MB of them.
    static constexpr std::size_t kBudgetRows = (32u << 20) / sizeof(PriceRow);

    explicit CRowStore(CPlatform& platform, std::size_t budgetRows = kBudgetRows);

    // Adds a row; rows come in file order. Non-OK when a run cannot be
    // written to the scratch file.
    CStatus Add(const PriceRow& row);
    // Rows added so far.
    std::size_t size() const { return m_nAdded; }
    // Whether rows went to the scratch file.
    bool Spilled() const { return m_scratch != nullptr; }

    // Replaces *rows with the rows of `ticker`, in file order. Tickers are
    // taken in increasing order, after the last Add, and again after Rewind. Non-OK when
    // the scratch file cannot be read back.
    CStatus Take(int ticker, std::vector<PriceRow>* rows);
    // Starts taking again from the first ticker.
    void Rewind();

private:
    // Writes the rows held, grouped by ticker, to the scratch file as a run.
    CStatus Spill();
    void SortHeld();

    struct Segment {
        int ticker;
        std::uint64_t offset;  // in the scratch file
        std::size_t count;
    };

    CPlatform& m_platform;
    const std::size_t m_nBudget;
    std::size_t m_nAdded = 0;
    std::vector<PriceRow> m_held;  // added since the last run was written
    std::unique_ptr<CFile> m_scratch;
    std::uint64_t m_nScratchBytes = 0;
    std::vector<Segment> m_segments;  // of the runs written, each run's by ticker
    bool m_bTaking = false;
    std::size_t m_nNextSegment = 0;
    std::size_t m_nNextHeld = 0;
};

}  // namespace tarvel
