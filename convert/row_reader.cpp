#include "convert/row_reader.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/ascii.h"

namespace tarvel {
namespace {

constexpr std::size_t kChunk = 1 << 16;

}  // namespace

CLineReader::CLineReader(CFile& file, std::string start) : m_file(file), m_buffer(std::move(start)) {}

bool CLineReader::Fill() {
    if (m_end) return false;
    m_buffer.erase(0, m_start);
    m_start = 0;
    std::size_t old = m_buffer.size();
    m_buffer.resize(old + kChunk);
    std::size_t got = 0;
    if (CStatus status = m_file.Read(m_buffer.data() + old, kChunk, &got); !status) {
        m_error = std::move(status);
        got = 0;
    }
    m_buffer.resize(old + got);
    if (got == 0) m_end = true;
    return got > 0;
}

void CLineReader::SkipRestOfLine() {
    for (;;) {
        const char* begin = m_buffer.data() + m_start;
        std::size_t available = m_buffer.size() - m_start;
        std::size_t i = 0;
        while (i < available && begin[i] != '\n' && begin[i] != '\r') ++i;
        if (i == available) {
            m_start += available;
            if (!Fill()) return;
            continue;
        }
        if (begin[i] == '\r' && i + 1 == available && !m_end && !Failed()) {
            m_start += i;  // keep the carriage return: the next byte decides
            Fill();
            continue;
        }
        m_start += i + 1 + (begin[i] == '\r' && i + 1 < available && begin[i + 1] == '\n' ? 1 : 0);
        return;
    }
}

bool CLineReader::Next(std::string_view* line, bool* tooLong) {
    *tooLong = false;
    for (;;) {
        std::size_t available = m_buffer.size() - m_start;
        std::size_t window = std::min(available, kMaxLineLength + 1);
        const char* begin = m_buffer.data() + m_start;
        const void* feed = std::memchr(begin, '\n', window);
        std::size_t end = feed ? static_cast<std::size_t>(static_cast<const char*>(feed) - begin) : window;
        if (const void* cr = std::memchr(begin, '\r', end)) {
            end = static_cast<std::size_t>(static_cast<const char*>(cr) - begin);
        }
        if (end < window && end <= kMaxLineLength) {
            std::size_t length = end + 1;
            if (begin[end] == '\r') {
                // CR LF is one line end; so is a CR alone.
                if (end + 1 == available && !m_end && !Failed()) {
                    Fill();  // the next byte decides
                    continue;
                }
                if (end + 1 < available && begin[end + 1] == '\n') ++length;
            }
            *line = std::string_view(begin, end);
            m_start += length;
            return true;
        }
        if (available > kMaxLineLength) {
            // Hand out the start, then drop the rest; the view stays valid
            // because the buffer is only compacted on the next call.
            m_long.assign(begin, kMaxLineLength);
            m_start += kMaxLineLength;
            SkipRestOfLine();
            *line = m_long;
            *tooLong = true;
            return true;
        }
        if (m_end && available > 0) {
            *line = std::string_view(begin, available);
            m_start += available;
            return true;
        }
        if (m_end || Failed()) return false;
        Fill();
    }
}

int CFieldSplitter::Split(std::string_view line, char delimiter, int maxFields) {
    const bool blanks = delimiter == ' ';
    const char* p = line.data();
    const char* const end = p + line.size();
    auto separates = [&](char c) { return blanks ? IsBlank(c) : c == delimiter; };
    if (blanks) {
        while (p < end && IsBlank(*p)) ++p;
    }
    m_fields.clear();
    // Sized before any view into it is taken: it must not move meanwhile.
    if (m_unquoted.size() < static_cast<std::size_t>(maxFields))
        m_unquoted.resize(static_cast<std::size_t>(maxFields));
    std::size_t quoted = 0;
    bool content = false;  // anything but delimiters and blanks
    while (p < end || (!blanks && !m_fields.empty() && separates(p[-1]))) {
        if (static_cast<int>(m_fields.size()) == maxFields) break;
        const char* q = p;
        while (q < end && *q == ' ' && !blanks) ++q;  // blanks before an opening quote
        if (q < end && *q == '"') {
            // A quoted field: its text without the quotes, a doubled quote
            // standing for one; whatever follows the closing quote up to the
            // delimiter is kept too.
            content = true;
            std::string& text = m_unquoted[quoted++];
            text.clear();
            for (p = q + 1; p < end;) {
                if (*p == '"') {
                    if (p + 1 < end && p[1] == '"') {
                        text += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                text += *p++;
            }
            const char* rest = p;
            while (p < end && !separates(*p)) ++p;
            text.append(rest, static_cast<std::size_t>(p - rest));
            m_fields.emplace_back(text);
        } else if (blanks) {
            const char* start = p;
            while (p < end && !IsBlank(*p)) ++p;
            content = content || p > start;
            m_fields.emplace_back(start, static_cast<std::size_t>(p - start));
        } else {
            // The delimiter is found with memchr: on long files this loop is
            // most of the time a conversion spends on a row.
            const char* start = p;
            const void* next = std::memchr(p, delimiter, static_cast<std::size_t>(end - p));
            p = next != nullptr ? static_cast<const char*>(next) : end;
            for (const char* c = start; !content && c < p; ++c) content = !IsBlank(*c);
            m_fields.emplace_back(start, static_cast<std::size_t>(p - start));
        }
        if (p == end) break;
        if (blanks) {
            while (p < end && IsBlank(*p)) ++p;
        } else {
            ++p;  // one delimiter; at the end of the line an empty field follows
        }
    }
    return content ? static_cast<int>(m_fields.size()) : 0;
}

bool ReadNumber(std::string_view text, float* result) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && IsBlank(*p)) ++p;
    while (end > p && IsBlank(end[-1])) --end;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    const char* const numberStart = p;  // from_chars takes no sign; it is applied here
    std::uint64_t mantissa = 0;
    int digits = 0, fraction = 0;
    for (; p < end && IsAsciiDigit(*p); ++p, ++digits) {
        if (digits < 19) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    if (p < end && *p == '.') {
        for (++p; p < end && IsAsciiDigit(*p); ++p, ++digits, ++fraction) {
            if (digits < 19) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
        }
    }
    if (digits == 0) return false;
    bool exponent = false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* e = p + 1;
        if (e < end && (*e == '+' || *e == '-')) ++e;
        if (e == end || !IsAsciiDigit(*e)) return false;
        exponent = true;
        for (p = e; p < end && IsAsciiDigit(*p); ++p) {
        }
    }
    if (p != end) return false;
    // Up to seven digits with up to ten after the point: both the digits and
    // the power of ten are exact floats, so one division gives the correctly
    // rounded value. Everything else goes the general way.
    static constexpr float kPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                             1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    float value = 0.0f;
    if (!exponent && digits <= 7 && fraction <= 10) {
        value = static_cast<float>(mantissa) / kPowersOfTen[fraction];
    } else {
        auto [parsed, error] = std::from_chars(numberStart, end, value, std::chars_format::general);
        (void)parsed;
        if (error == std::errc::result_out_of_range) {
            // Beyond single precision: huge or tiny. Read as double to tell
            // which; beyond double too, the exponent's sign tells.
            double wide = 0.0;
            auto [wideEnd, wideError] = std::from_chars(numberStart, end, wide, std::chars_format::general);
            (void)wideEnd;
            std::string_view number(numberStart, static_cast<std::size_t>(end - numberStart));
            bool huge = wideError == std::errc{} ? std::fabs(wide) >= 1.0
                                                 : number.find("e-") == std::string_view::npos &&
                                                       number.find("E-") == std::string_view::npos;
            value = huge ? INFINITY : 0.0f;
        }
    }
    *result = negative ? -value : value;
    return true;
}

namespace {

// The bytes of the thousands separator `text` starts with, or 0: `group`,
// a blank, an apostrophe or a right single quote (1'234.50), a no-break
// space (UTF-8 or Latin-1) or a narrow no-break space.
std::size_t GroupSeparatorWidth(std::string_view text, char group) {
    static constexpr std::string_view kWide[] = {"\xC2\xA0", "\xE2\x80\xAF", "\xE2\x80\x99"};
    if (text.empty()) return 0;
    if (text[0] == group || text[0] == ' ' || text[0] == '\'' || text[0] == '\xA0') return 1;
    for (std::string_view separator : kWide) {
        if (text.starts_with(separator)) return separator.size();
    }
    return 0;
}

}  // namespace

bool ReadWrittenNumber(std::string_view text, bool decimalComma, float* value) {
    static constexpr std::string_view kCurrencies[] = {"$", "\xE2\x82\xAC", "\xC2\xA3"};
    auto skipBlanks = [&] {
        while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
        while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    };
    auto dropCurrency = [&](bool atEnd) {
        for (std::string_view sign : kCurrencies) {
            if (atEnd ? text.ends_with(sign) : text.starts_with(sign)) {
                atEnd ? text.remove_suffix(sign.size()) : text.remove_prefix(sign.size());
                skipBlanks();
                return true;
            }
        }
        return false;
    };
    skipBlanks();
    bool currency = dropCurrency(false);
    char number[64];
    std::size_t n = 0;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        number[n++] = text.front();
        text.remove_prefix(1);
        if (!currency) currency = dropCurrency(false);
    }
    if (!currency) dropCurrency(true);

    const char group = decimalComma ? '.' : ',';
    const char point = decimalComma ? ',' : '.';
    std::size_t i = 0;
    std::size_t run = 0;  // digits since the start or the latest separator
    bool grouped = false;
    const std::size_t room = sizeof number - 4;  // for an exponent and the end
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (IsAsciiDigit(c)) {
            if (n == room) return false;
            number[n++] = c;
            ++run;
        } else if (std::size_t width = GroupSeparatorWidth(text.substr(i), group);
                   width != 0 && i + width < text.size() && IsAsciiDigit(text[i + width])) {
            // Groups of three digits after a first group of one to three.
            if (run == 0 || run > 3 || (grouped && run != 3)) return false;
            grouped = true;
            run = 0;
            i += width - 1;
        } else {
            break;
        }
    }
    if (run == 0 || (grouped && run != 3)) return false;
    if (i < text.size() && text[i] == point) {
        if (n == room) return false;
        number[n++] = '.';
        for (++i; i < text.size() && IsAsciiDigit(text[i]); ++i) {
            if (n == room) return false;
            number[n++] = text[i];
        }
    }
    if (i < text.size()) {
        const char* exponent = nullptr;
        switch (text[i]) {
            case 'K':
            case 'k':
                exponent = "e3";
                break;
            case 'M':
            case 'm':
                exponent = "e6";
                break;
            case 'B':
            case 'b':
                exponent = "e9";
                break;
            default:
                return false;
        }
        number[n++] = exponent[0];
        number[n++] = exponent[1];
        ++i;
    }
    if (i != text.size()) return false;
    return ReadNumber(std::string_view(number, n), value);
}

}  // namespace tarvel
