#include "convert/row_store.h"

#include <algorithm>

namespace tarvel {

CRowStore::CRowStore(CPlatform& platform, std::size_t budgetRows)
    : m_platform(platform), m_nBudget(std::max<std::size_t>(budgetRows, 1)) {}

CStatus CRowStore::Add(const PriceRow& row) {
    if (m_held.size() == m_nBudget) {
        if (CStatus status = Spill(); !status) return status;
    }
    if (m_held.capacity() == 0) m_held.reserve(std::min<std::size_t>(m_nBudget, 1u << 16));
    m_held.push_back(row);
    ++m_nAdded;
    return CStatus::Ok();
}

void CRowStore::SortHeld() {
    // By ticker, then line: rows arrive in line order, so this is the order
    // a stable sort by ticker gives, but in place.
    std::sort(m_held.begin(), m_held.end(), [](const PriceRow& a, const PriceRow& b) {
        return a.ticker != b.ticker ? a.ticker < b.ticker : a.line < b.line;
    });
}

CStatus CRowStore::Spill() {
    if (!m_scratch) {
        if (CStatus status = m_platform.OpenScratch(&m_scratch); !status) return status;
    }
    SortHeld();
    for (std::size_t begin = 0; begin < m_held.size();) {
        std::size_t end = begin;
        while (end < m_held.size() && m_held[end].ticker == m_held[begin].ticker) ++end;
        m_segments.push_back({m_held[begin].ticker, m_nScratchBytes, end - begin});
        m_nScratchBytes += (end - begin) * sizeof(PriceRow);
        begin = end;
    }
    if (CStatus status = m_scratch->Write(m_held.data(), m_held.size() * sizeof(PriceRow)); !status)
        return status;
    m_held.clear();
    return CStatus::Ok();
}

CStatus CRowStore::Take(int ticker, std::vector<PriceRow>* rows) {
    rows->clear();
    if (!m_bTaking) {
        m_bTaking = true;
        SortHeld();
        // Each ticker's segments in the order of their runs, which is file
        // order.
        std::stable_sort(m_segments.begin(), m_segments.end(),
                         [](const Segment& a, const Segment& b) { return a.ticker < b.ticker; });
    }
    for (; m_nNextSegment < m_segments.size() && m_segments[m_nNextSegment].ticker <= ticker;
         ++m_nNextSegment) {
        const Segment& segment = m_segments[m_nNextSegment];
        if (segment.ticker < ticker) continue;
        const std::size_t start = rows->size();
        rows->resize(start + segment.count);
        if (CStatus status = m_scratch->Seek(segment.offset); !status) return status;
        auto* into = reinterpret_cast<std::uint8_t*>(rows->data() + start);
        std::size_t want = segment.count * sizeof(PriceRow);
        while (want > 0) {
            std::size_t got = 0;
            if (CStatus status = m_scratch->Read(into, want, &got); !status) return status;
            if (got == 0) return CStatus::Error(EIO);  // the scratch file is shorter than written
            into += got;
            want -= got;
        }
    }
    for (; m_nNextHeld < m_held.size() && m_held[m_nNextHeld].ticker <= ticker; ++m_nNextHeld) {
        if (m_held[m_nNextHeld].ticker == ticker) rows->push_back(m_held[m_nNextHeld]);
    }
    return CStatus::Ok();
}

void CRowStore::Rewind() {
    m_nNextSegment = 0;
    m_nNextHeld = 0;
}

}  // namespace tarvel
