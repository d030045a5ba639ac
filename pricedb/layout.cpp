#include "pricedb/layout.h"

#include <algorithm>
#include <cstring>

#include "platform/file_util.h"

namespace tarvel {
namespace {

void PutText(std::uint8_t* field, std::string_view text) {
    std::string_view cut = CutToCharBoundary(text, kTextFieldWidth);
    std::memset(field, ' ', kTextFieldWidth);
    std::memcpy(field, cut.data(), cut.size());
}

}  // namespace

MasterHeader DecodeMasterHeader(const std::uint8_t* header) {
    return {static_cast<std::int16_t>(DecodeFixed16(header + kHeaderSecurityCount)),
            static_cast<std::int16_t>(DecodeFixed16(header + kHeaderFileNumberMark))};
}

void EncodeMasterHeader(const MasterHeader& header, std::uint8_t* bytes) {
    EncodeFixed16(bytes + kHeaderSecurityCount, static_cast<std::uint16_t>(header.securityCount));
    EncodeFixed16(bytes + kHeaderFileNumberMark, static_cast<std::uint16_t>(header.fileNumberMark));
}

MasterRecordBytes EncodeMasterRecord(const MasterRecord& record) {
    MasterRecordBytes bytes{};
    bytes[kRecFileNumber] = record.fileNumber;
    EncodeFixed16(&bytes[kRecFileType], kFileTypeSecurity);
    bytes[kRecRecordLength] = static_cast<std::uint8_t>(4 * record.fieldCount);
    bytes[kRecFieldCount] = record.fieldCount;
    PutText(&bytes[kRecName], record.name);
    std::copy(record.firstDate.begin(), record.firstDate.end(), &bytes[kRecFirstDate]);
    std::copy(record.lastDate.begin(), record.lastDate.end(), &bytes[kRecLastDate]);
    bytes[kRecTimeFrame] = kTimeFrameDaily;
    PutText(&bytes[kRecSymbol], record.symbol);
    return bytes;
}

std::string NameTextProblem(std::string_view text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) return "control characters";
    }
    for (std::size_t i = 0; i + 5 <= text.size(); ++i) {
        std::string mark(text.substr(i, 5));
        for (char& c : mark) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        if (mark == "<DIR>") return "\"<DIR>\" (it marks a sub-portfolio)";
    }
    return {};
}

bool IsDirectoryEntry(const std::uint8_t* record) {
    return std::memcmp(record + kRecDirMark, "<DIR>", 5) == 0 && record[kRecName] != ' ';
}

std::string FieldText(const std::uint8_t* field, std::size_t width) {
    const void* zero = std::memchr(field, 0, width);
    std::size_t length =
        zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - field) : width;
    while (length > 0 && field[length - 1] == ' ') --length;
    return std::string(reinterpret_cast<const char*>(field), length);
}

std::string MakeDataHeader(int fieldCount) {
    std::string header;
    for (int i = 0; i < fieldCount; ++i) header.append("\x00\x00\x01\x00", 4);
    return header;
}

std::string MakeFieldDescription(const bool (&fieldOn)[kFieldCount]) {
    std::string text;
    for (int i = 0; i < kFieldCount; ++i) {
        if (!fieldOn[i]) continue;
        text += '"';
        text += kFieldLabels[i];
        text += '"';
        text += i == 0 ? ",0,0" : ",4,4";
        text += "\r\n";
    }
    return text;
}

std::string DataFileName(int fileNumber) {
    return std::string("F").append(std::to_string(fileNumber)).append(".DAT");
}
std::string DescriptionFileName(int fileNumber) {
    return std::string("F").append(std::to_string(fileNumber)).append(".DOP");
}
int FileNumberOf(std::string_view name, std::string_view rest, int highest) {
    if (name.size() <= rest.size() + 1 || (name[0] != 'F' && name[0] != 'f')) return 0;
    std::string_view digits = name.substr(1, name.size() - 1 - rest.size());
    if (digits.size() > 5 || digits[0] == '0' ||
        !EqualIgnoringAsciiCase(name.substr(name.size() - rest.size()), rest)) {
        return 0;
    }
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n <= highest ? n : 0;
}

}  // namespace tarvel
