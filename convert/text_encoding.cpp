#include "convert/text_encoding.h"

#include <algorithm>
#include <cstring>

#include "platform/utf8.h"

namespace tarvel {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr std::size_t kRawChunk = 1 << 15;

void AppendUtf8(char32_t code, std::string* out) {
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (code >> 6)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (code >> 12)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (code >> 18)));
        out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

}  // namespace

const char* EncodingName(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::kUtf8:
            return "UTF-8";
        case TextEncoding::kUtf8Bom:
            return "UTF-8 with byte order mark";
        case TextEncoding::kLatin1:
            return "Latin-1";
        case TextEncoding::kUtf16Le:
            return "UTF-16 LE";
        case TextEncoding::kUtf16Be:
            return "UTF-16 BE";
    }
    return "";
}

TextEncoding SniffEncoding(std::string_view head) {
    if (head.starts_with("\xEF\xBB\xBF")) return TextEncoding::kUtf8Bom;
    if (head.starts_with("\xFF\xFE")) return TextEncoding::kUtf16Le;
    if (head.starts_with("\xFE\xFF")) return TextEncoding::kUtf16Be;
    return IsValidUtf8Head(head) ? TextEncoding::kUtf8 : TextEncoding::kLatin1;
}

void CUtf16Decoder::Emit(char32_t code, std::string* out) {
    if (!m_bStarted) {
        m_bStarted = true;
        if (code == 0xFEFF) return;
    }
    AppendUtf8(code, out);
}

void CUtf16Decoder::Feed(std::string_view bytes, std::string* out) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        unsigned first, second;
        if (m_nHeldByte >= 0) {
            first = static_cast<unsigned>(m_nHeldByte);
            second = static_cast<unsigned char>(bytes[i++]);
            m_nHeldByte = -1;
        } else if (i + 1 < bytes.size()) {
            first = static_cast<unsigned char>(bytes[i]);
            second = static_cast<unsigned char>(bytes[i + 1]);
            i += 2;
        } else {
            m_nHeldByte = static_cast<unsigned char>(bytes[i++]);
            break;
        }
        auto unit = static_cast<char16_t>(m_bBigEndian ? first << 8 | second : second << 8 | first);
        if (m_nHighSurrogate != 0) {
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                Emit(0x10000 + ((static_cast<char32_t>(m_nHighSurrogate) - 0xD800) << 10) + (unit - 0xDC00u),
                     out);
                m_nHighSurrogate = 0;
                continue;
            }
            Emit(kReplacement, out);
            m_nHighSurrogate = 0;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            m_nHighSurrogate = unit;
        } else {
            Emit(unit >= 0xDC00 && unit <= 0xDFFF ? kReplacement : unit, out);
        }
    }
}

void CUtf16Decoder::Finish(std::string* out) {
    if (m_nHeldByte >= 0 || m_nHighSurrogate != 0) Emit(kReplacement, out);
    m_nHeldByte = -1;
    m_nHighSurrogate = 0;
}

std::string TextAsUtf8(std::string_view bytes, TextEncoding encoding) {
    std::string text;
    switch (encoding) {
        case TextEncoding::kUtf8:
            text.assign(bytes);
            break;
        case TextEncoding::kUtf8Bom:
            text.assign(bytes.substr(std::min<std::size_t>(3, bytes.size())));
            break;
        case TextEncoding::kLatin1:
            text.reserve(bytes.size());
            for (char c : bytes) AppendUtf8(static_cast<unsigned char>(c), &text);
            break;
        case TextEncoding::kUtf16Le:
        case TextEncoding::kUtf16Be: {
            // A cut-off unit at the end of a file's head is left out, not replaced.
            CUtf16Decoder decoder(encoding == TextEncoding::kUtf16Be);
            text.reserve(bytes.size());
            decoder.Feed(bytes, &text);
            break;
        }
    }
    return text;
}

CUtf16File::CUtf16File(std::unique_ptr<CFile> file, bool bigEndian, std::string start)
    : m_file(std::move(file)), m_decoder(bigEndian), m_strRaw(std::move(start)) {}

CStatus CUtf16File::Read(void* buffer, std::size_t size, std::size_t* bytesRead) {
    *bytesRead = 0;
    while (m_strText.size() - m_nTextStart < size && !m_bEnd) {
        m_strText.erase(0, m_nTextStart);
        m_nTextStart = 0;
        if (m_strRaw.empty()) {
            m_strRaw.resize(kRawChunk);
            std::size_t got = 0;
            if (CStatus status = m_file->Read(m_strRaw.data(), kRawChunk, &got); !status) {
                m_strRaw.clear();
                return status;
            }
            m_strRaw.resize(got);
            if (got == 0) {
                m_bEnd = true;
                m_decoder.Finish(&m_strText);
                break;
            }
        }
        m_decoder.Feed(m_strRaw, &m_strText);
        m_strRaw.clear();
    }
    std::size_t n = std::min(size, m_strText.size() - m_nTextStart);
    std::memcpy(buffer, m_strText.data() + m_nTextStart, n);
    m_nTextStart += n;
    *bytesRead = n;
    return CStatus::Ok();
}

}  // namespace tarvel
