#include "convert/row_reader.h"

#include <charconv>
#include <cmath>
#include <string>

namespace tarvel {
namespace {

constexpr std::size_t kChunk = 1 << 16;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

CLineReader::CLineReader(CFile& file, std::size_t limit) : m_file(file), m_limit(limit) {}

bool CLineReader::Fill() {
    if (m_end) return false;
    m_buffer.erase(0, m_start);
    m_start = 0;
    std::size_t old = m_buffer.size();
    m_buffer.resize(old + kChunk);
    std::size_t got = 0;
    if (!m_file.Read(m_buffer.data() + old, kChunk, &got)) {
        m_failed = true;
        got = 0;
    }
    m_buffer.resize(old + got);
    if (got == 0) m_end = true;
    return got > 0;
}

bool CLineReader::Next(std::string* piece) {
    for (;;) {
        std::size_t available = m_buffer.size() - m_start;
        std::size_t window = std::min(available, m_limit);
        std::size_t feed = m_buffer.find('\n', m_start);
        if (feed != std::string::npos && feed - m_start < window) {
            piece->assign(m_buffer, m_start, feed - m_start + 1);
            m_start = feed + 1;
            return true;
        }
        if (available >= m_limit || (m_end && available > 0)) {
            piece->assign(m_buffer, m_start, window);
            m_start += window;
            return true;
        }
        if (m_end || m_failed) return false;
        Fill();
    }
}

std::string_view LineText(std::string_view piece) {
    std::size_t zero = piece.find('\0');
    if (zero != std::string_view::npos) piece = piece.substr(0, zero);
    if (!piece.empty() && piece.back() == '\n') {
        piece.remove_suffix(1);
        if (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
    }
    return piece;
}

float ReadLeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    std::size_t start = i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::size_t digitsStart = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    std::size_t digits = i - digitsStart;
    if (i < text.size() && text[i] == '.') {
        ++i;
        std::size_t fractionStart = i;
        while (i < text.size() && IsDigit(text[i])) ++i;
        digits += i - fractionStart;
    }
    if (digits == 0) return 0.0f;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t e = i + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
        if (e < text.size() && IsDigit(text[e])) {
            i = e;
            while (i < text.size() && IsDigit(text[i])) ++i;
        }
    }
    // from_chars takes no '+' and no leading white space; the sign is applied here.
    std::size_t numberStart = start + (i > start && (text[start] == '+' || text[start] == '-') ? 1 : 0);
    float value = 0.0f;
    auto [end, error] = std::from_chars(text.data() + numberStart, text.data() + i, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Beyond single precision: huge or tiny. Read as double to tell which;
        // beyond double too, the exponent's sign tells.
        double wide = 0.0;
        auto [wideEnd, wideError] =
            std::from_chars(text.data() + numberStart, text.data() + i, wide, std::chars_format::general);
        (void)wideEnd;
        bool huge = wideError == std::errc{} ? std::fabs(wide) >= 1.0
                                             : text.substr(numberStart, i - numberStart).find("e-") == std::string_view::npos &&
                                                   text.substr(numberStart, i - numberStart).find("E-") == std::string_view::npos;
        value = huge ? INFINITY : 0.0f;
    }
    (void)end;
    return negative ? -value : value;
}

}  // namespace tarvel
