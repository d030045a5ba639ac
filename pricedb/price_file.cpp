#include "pricedb/price_file.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <sstream>

#include "pricedb/layout.h"

namespace tarvel {

long ReadPriceFileRecordCount(CPlatform& platform, const std::string& dir, const std::string& fileName) {
    std::optional<std::string> name = platform.FindName(dir, fileName);
    Bytes header;
    if (!name || !ReadFileBytes(platform, dir + *name, &header, 4) || header.size() < 4) return -1;
    return ReadU16(header.data() + kDataHeaderRecordCount);
}

bool CPriceFile::Read(CPlatform& platform, const std::string& dir, const std::string& fileName,
                      std::size_t recordLength, std::string* error) {
    std::optional<std::string> name = platform.FindName(dir, fileName);
    m_data.clear();
    m_nRecordLength = recordLength;
    m_nRecords = 0;
    if (recordLength < 4 || recordLength > 28 || recordLength % 4 != 0) {
        *error = "records of " + std::to_string(recordLength) + " bytes are no price file's";
        return false;
    }
    if (!name) {
        *error = CStatus::Error(ENOENT).Text();
        return false;
    }
    if (CStatus status = ReadFileBytes(platform, dir + *name, &m_data); !status) {
        *error = status.Text();
        return false;
    }
    if (m_data.size() < recordLength) {
        *error = "the file is shorter than its header record";
        return false;
    }
    // Neither the header's count nor the file's length alone is trusted:
    // the smaller of the two bounds what is read.
    std::size_t records = m_data.size() / recordLength - 1;
    long count = ReadU16(m_data.data() + kDataHeaderRecordCount);
    m_nRecords = std::min(records, static_cast<std::size_t>(std::max(count - 1, 0L)));
    return true;
}

StoredNumber CPriceFile::Field(std::size_t record, std::size_t field) const {
    const std::uint8_t* v = m_data.data() + (record + 1) * m_nRecordLength + 4 * field;
    return {v[0], v[1], v[2], v[3]};
}

std::vector<std::string> ReadFieldLabels(CPlatform& platform, const std::string& dir, int fileNumber,
                                         std::size_t limit) {
    std::vector<std::string> labels;
    std::optional<std::string> name = platform.FindName(dir, DescriptionFileName(fileNumber));
    Bytes dop;
    if (!name || !ReadFileBytes(platform, dir + *name, &dop, 4096)) return labels;
    std::istringstream lines(std::string(dop.begin(), dop.end()));
    std::string line;
    while (std::getline(lines, line) && labels.size() < limit) {
        std::size_t open = line.find('"'), close = line.find('"', open + 1);
        if (open != std::string::npos && close != std::string::npos) labels.push_back(line.substr(open + 1, close - open - 1));
    }
    return labels;
}

}  // namespace tarvel
