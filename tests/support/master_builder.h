// Builds MASTER files byte by byte for tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pricedb/layout.h"

namespace tarvel::test {

// A security's 53-byte record as the converter writes it.
inline std::string SecurityRecord(int fileNumber, const std::string& symbol, const std::string& name = "",
                                  int fieldCount = 7) {
    MasterRecord record;
    record.fileNumber = static_cast<std::uint8_t>(fileNumber);
    record.fieldCount = static_cast<std::uint8_t>(fieldCount);
    record.symbol = symbol;
    record.name = name;
    MasterRecordBytes bytes = EncodeMasterRecord(record);
    return std::string(bytes.begin(), bytes.end());
}

// A "<DIR>" entry for sub-directory `name` (at most 8 characters).
inline std::string DirectoryRecord(int fileNumber, const std::string& name) {
    std::string record(kMasterRecordSize, '\0');
    record[kRecFileNumber] = static_cast<char>(fileNumber);
    std::string field = name;
    field.resize(11, ' ');
    field += "<DIR>";
    record.replace(kRecName, 16, field);
    return record;
}

// A header counting `count` records (the number given when -1) and the records.
inline std::string MasterFile(const std::vector<std::string>& records, int count = -1, int mark = -1) {
    std::string file(kMasterRecordSize, '\0');
    int n = count < 0 ? static_cast<int>(records.size()) : count;
    int m = mark < 0 ? n : mark;
    file[0] = static_cast<char>(n & 0xFF);
    file[1] = static_cast<char>(n >> 8);
    file[2] = static_cast<char>(m & 0xFF);
    file[3] = static_cast<char>(m >> 8);
    for (const std::string& r : records) file += r;
    return file;
}

// Little-endian bytes, laid out by hand rather than by the encoders under
// test.
inline std::string Le(std::uint32_t value, int bytes) {
    std::string text;
    for (int i = 0; i < bytes; ++i) text += static_cast<char>((value >> (8 * i)) & 0xFF);
    return text;
}
inline std::string IeeeFloat(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return Le(bits, 4);
}
inline std::string Zeros(std::size_t n) { return std::string(n, '\0'); }
inline std::string ZeroPadded(std::string text, std::size_t width) {
    text.resize(width, '\0');
    return text;
}

// A 192-byte EMASTER record of a daily security (`bits`: date 1, high 2,
// low 4, close 8, volume 16, open 32, open interest 64); days are YYYYMMDD.
inline std::string EMasterRecord(int fileNumber, const std::string& symbol, const std::string& shortName,
                                 const std::string& longName, int fieldCount, int bits, int firstDay,
                                 int lastDay) {
    std::string r =
        std::string("66").append(Le(static_cast<std::uint32_t>(fileNumber), 1)) + Zeros(3) +
        Le(static_cast<std::uint32_t>(fieldCount), 1) + Le(static_cast<std::uint32_t>(bits), 1) + Zeros(1) +
        " " + Zeros(1) + ZeroPadded(symbol, 14) + Zeros(7) + ZeroPadded(shortName, 16) + Zeros(12) + "D" +
        Zeros(3) + IeeeFloat(static_cast<float>(firstDay - 19000000)) + Zeros(4) +
        IeeeFloat(static_cast<float>(lastDay - 19000000)) + Zeros(50) +
        Le(static_cast<std::uint32_t>(firstDay), 4) + Zeros(9) + ZeroPadded(longName, 45) + Zeros(8);
    return r;
}
inline std::string EMasterFile(const std::vector<std::string>& records, int mark = -1) {
    auto n = static_cast<std::uint32_t>(records.size());
    std::string file = Le(n, 2) + Le(mark < 0 ? n : static_cast<std::uint32_t>(mark), 2) + Zeros(188);
    for (const std::string& r : records) file += r;
    return file;
}

// A 150-byte XMASTER record of a daily security.
inline std::string XMasterRecord(int fileNumber, const std::string& symbol, const std::string& name, int bits,
                                 int firstDay, int lastDay) {
    return std::string("\x01").append(ZeroPadded(symbol, 14)) + Zeros(1) + ZeroPadded(name, 45) + Zeros(1) +
           "D" + Zeros(2) + Le(static_cast<std::uint32_t>(fileNumber), 2) + Zeros(3) +
           Le(static_cast<std::uint32_t>(bits), 1) + Zeros(33) + Le(static_cast<std::uint32_t>(firstDay), 4) +
           Le(static_cast<std::uint32_t>(firstDay), 4) + Zeros(4) +
           Le(static_cast<std::uint32_t>(lastDay), 4) + Zeros(30);
}
inline std::string XMasterFile(const std::vector<std::string>& records, int next) {
    auto n = static_cast<std::uint32_t>(records.size());
    std::string file = std::string("\x5D\xFEXM").append(Zeros(6)) + Le(n, 2) + Zeros(2) + Le(n, 2) +
                       Zeros(2) + Le(static_cast<std::uint32_t>(next), 2) + Zeros(130);
    for (const std::string& r : records) file += r;
    return file;
}

}  // namespace tarvel::test
