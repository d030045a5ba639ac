// Builds MASTER files byte by byte for tests.
#pragma once

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

}  // namespace tarvel::test
