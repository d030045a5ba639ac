#include "convert/row_reader.h"

#include <charconv>
#include <cstdint>
#include <cstring>
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

bool CLineReader::Next(std::string_view* piece) {
    for (;;) {
        std::size_t available = m_buffer.size() - m_start;
        std::size_t window = std::min(available, m_limit);
        const char* begin = m_buffer.data() + m_start;
        const void* feed = std::memchr(begin, '\n', window);
        std::size_t end = feed ? static_cast<std::size_t>(static_cast<const char*>(feed) - begin) : window;
        if (const void* cr = std::memchr(begin, '\r', end)) end = static_cast<std::size_t>(static_cast<const char*>(cr) - begin);
        if (end < window) {
            std::size_t length = end + 1;
            if (begin[end] == '\r') {
                // CR LF is one line end; so is a CR alone, as old files have.
                if (end + 1 == available && !m_end && !m_failed) {
                    Fill();  // the next byte decides
                    continue;
                }
                if (end + 1 < available && begin[end + 1] == '\n' && end + 1 < m_limit) ++length;
            }
            *piece = std::string_view(begin, length);
            m_start += length;
            return true;
        }
        if (available >= m_limit || (m_end && available > 0)) {
            *piece = std::string_view(begin, window);
            m_start += window;
            return true;
        }
        if (m_end || m_failed) return false;
        Fill();
    }
}

CTokenTable::CTokenTable() {
    for (int i = 0; i < kSize; ++i) Set(i, "123");
}

void CTokenTable::Set(int column, std::string_view text) {
    std::size_t length = std::min(text.size(), sizeof m_text[column]);
    std::memcpy(m_text[column], text.data(), length);
    m_length[column] = length;
}

int SplitColumns(std::string_view line, char delimiter, CTokenTable& tokens) {
    const char* p = line.data();
    const char* const end = p + line.size();
    int n = 0;
    while (n < CTokenTable::kSize) {
        while (p < end && *p == delimiter) ++p;
        if (p >= end) break;
        const char* start = p;
        if (delimiter == '\0') {
            p = end;
        } else {
            while (p < end && *p != delimiter) ++p;
        }
        tokens.Set(n++, std::string_view(start, static_cast<std::size_t>(p - start)));
    }
    return n;
}

std::string_view LineText(std::string_view piece) {
    std::size_t zero = piece.find('\0');
    if (zero != std::string_view::npos) piece = piece.substr(0, zero);
    if (!piece.empty() && piece.back() == '\n') piece.remove_suffix(1);
    if (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
    return piece;
}

float ReadLeadingNumber(std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    const char* const numberStart = p;  // from_chars takes no sign; it is applied here
    std::uint64_t mantissa = 0;
    int digits = 0, fraction = 0;
    for (; p < end && IsDigit(*p); ++p, ++digits) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
    if (p < end && *p == '.') {
        for (++p; p < end && IsDigit(*p); ++p, ++digits, ++fraction) {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
        }
    }
    if (digits == 0) return 0.0f;
    bool exponent = false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* e = p + 1;
        if (e < end && (*e == '+' || *e == '-')) ++e;
        if (e < end && IsDigit(*e)) {
            exponent = true;
            for (p = e; p < end && IsDigit(*p); ++p) {
            }
        }
    }
    // Up to seven digits with up to ten after the point: both the digits and
    // the power of ten are exact floats, so one division gives the correctly
    // rounded value. Everything else goes the general way.
    static constexpr float kPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    float value = 0.0f;
    if (!exponent && digits <= 7 && fraction <= 10) {
        value = static_cast<float>(mantissa) / kPowersOfTen[fraction];
    } else {
        auto [parsed, error] = std::from_chars(numberStart, p, value, std::chars_format::general);
        (void)parsed;
        if (error == std::errc::result_out_of_range) {
            // Beyond single precision: huge or tiny. Read as double to tell
            // which; beyond double too, the exponent's sign tells.
            double wide = 0.0;
            auto [wideEnd, wideError] = std::from_chars(numberStart, p, wide, std::chars_format::general);
            (void)wideEnd;
            std::string_view number(numberStart, static_cast<std::size_t>(p - numberStart));
            bool huge = wideError == std::errc{} ? std::fabs(wide) >= 1.0
                                                 : number.find("e-") == std::string_view::npos &&
                                                       number.find("E-") == std::string_view::npos;
            value = huge ? INFINITY : 0.0f;
        }
    }
    return negative ? -value : value;
}

}  // namespace tarvel
