// The text encodings an input file may come in, and their reading as UTF-8.
#pragma once

#include <cerrno>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace tarvel {

enum class TextEncoding {
    kUtf8,     // UTF-8 without a byte order mark, plain ASCII included
    kUtf8Bom,  // UTF-8 that begins with a byte order mark
    kLatin1,   // bytes that are no UTF-8: each byte is one character
    kUtf16Le,  // UTF-16 with a little-endian byte order mark
    kUtf16Be,  // UTF-16 with a big-endian byte order mark
};

// "UTF-8", "UTF-8 with byte order mark", "Latin-1", "UTF-16 LE", "UTF-16 BE".
const char* EncodingName(TextEncoding encoding);

// The encoding of a file that begins with `head`. A UTF-16 file needs its byte
// order mark; without one it is taken for bytes. UTF-8 is valid UTF-8 as
// platform/utf8.h has it; a character cut off at the end of `head` still
// counts as UTF-8.
TextEncoding SniffEncoding(std::string_view head);

// How much of a file decides whether it is text: detection reads this much
// to propose a layout, and a conversion refuses a file whose first
// kTextHeadBytes, read as text, hold a NUL, so that both say the same of
// every file.
inline constexpr std::size_t kTextHeadBytes = std::size_t{64} * 1024;
// Whether `utf8`, the head of a file read as text, is text: no NUL in it.
inline bool IsTextHead(std::string_view utf8) { return utf8.find('\0') == std::string_view::npos; }

// Turns UTF-16 code units, given in pieces of any size, into UTF-8. A byte
// order mark at the very start is dropped; a surrogate without its partner
// becomes U+FFFD.
class CUtf16Decoder {
public:
    explicit CUtf16Decoder(bool bigEndian) : m_bBigEndian(bigEndian) {}
    // Appends the UTF-8 of every unit completed by `bytes` to *out; an odd
    // byte or a leading surrogate at the end waits for the next piece.
    void Feed(std::string_view bytes, std::string* out);
    // Appends U+FFFD for anything left waiting at the end of the input.
    void Finish(std::string* out);

private:
    void Emit(char32_t code, std::string* out);

    bool m_bBigEndian;
    bool m_bStarted = false;
    int m_nHeldByte = -1;  // the first byte of an incomplete unit
    char16_t m_nHighSurrogate = 0;
};

// The UTF-8 text of `bytes` in `encoding`: UTF-16 decoded, Latin-1 widened,
// UTF-8 as it is (its byte order mark dropped).
std::string TextAsUtf8(std::string_view bytes, TextEncoding encoding);

// A file read as UTF-8 that holds UTF-16: every Read transcodes. Writing is
// refused.
class CUtf16File : public CFile {
public:
    // `start` holds the bytes already read from `file`, which come first.
    CUtf16File(std::unique_ptr<CFile> file, bool bigEndian, std::string start);

    CStatus Read(void* buffer, std::size_t size, std::size_t* bytesRead) override;
    CStatus Write(const void*, std::size_t) override { return CStatus::Error(EBADF); }
    CStatus Flush() override { return CStatus::Error(EBADF); }
    CStatus Close() override { return m_file->Close(); }

private:
    std::unique_ptr<CFile> m_file;
    CUtf16Decoder m_decoder;
    std::string m_strRaw;   // bytes read but not yet decoded
    std::string m_strText;  // decoded text not yet handed out
    std::size_t m_nTextStart = 0;
    bool m_bEnd = false;
};

}  // namespace tarvel
