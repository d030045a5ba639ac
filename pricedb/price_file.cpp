#include "pricedb/price_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <sstream>

#include "pricedb/extended_masters.h"
#include "pricedb/layout.h"

namespace tarvel {

long ReadPriceFileRecordCount(CPlatform& platform, const std::string& dir, const std::string& fileName) {
    std::optional<std::string> name = platform.FindName(dir, fileName);
    Bytes header;
    if (!name || !ReadFileBytes(platform, dir + *name, &header, 4) || header.size() < 4) return -1;
    return DecodeFixed16(header.data() + kDataHeaderRecordCount);
}

long CountPriceRecords(CPlatform& platform, const std::string& dir, const std::string& fileName,
                       std::size_t recordLength) {
    const long count = ReadPriceFileRecordCount(platform, dir, fileName);
    if (count < 0) return count;
    const std::optional<std::string> name = platform.FindName(dir, fileName);
    const std::uint64_t size = name ? platform.Examine(dir + *name).size : 0;
    if (recordLength == 0 || count < 1 || size != static_cast<std::uint64_t>(count) * recordLength) return -2;
    return count - 1;
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
    if (m_data.size() < recordLength) return true;  // no records; Problem() says why
    // Neither the header's count nor the file's length alone is trusted:
    // the smaller of the two bounds what is read.
    std::size_t records = m_data.size() / recordLength - 1;
    long count = DecodeFixed16(m_data.data() + kDataHeaderRecordCount);
    m_nRecords = std::min(records, static_cast<std::size_t>(std::max(count - 1, 0L)));
    return true;
}

std::string DayText(int day) {
    if (day < 19000101 || day > 99991231) return std::to_string(day);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", day / 10000, day / 100 % 100, day % 100);
    return text;
}

std::string PriceFileProblem(const Bytes& data, std::size_t recordLength, int lastDay) {
    if (recordLength < 4 || recordLength > 28 || recordLength % 4 != 0) {
        return "its records of " + std::to_string(recordLength) + " bytes are no whole number of fields";
    }
    if (data.size() < recordLength || data.size() % recordLength != 0) {
        return "its size, " + std::to_string(data.size()) + " bytes, is no whole number of " +
               std::to_string(recordLength) + "-byte records";
    }
    const std::size_t records = data.size() / recordLength - 1;
    const long count = DecodeFixed16(data.data() + kDataHeaderRecordCount);
    if (count < 1 || static_cast<std::size_t>(count - 1) != records) {
        return "its header counts " + std::to_string(std::max(count - 1, 0L)) + " records but it holds " +
               std::to_string(records);
    }
    int previous = 0;
    for (std::size_t r = 1; r <= records; ++r) {
        const std::uint8_t* d = data.data() + r * recordLength;
        const int day = DayOfStoredDate({d[0], d[1], d[2], d[3]});
        if (day == 0 || !IsStorableDay({day / 10000, day / 100 % 100, day % 100})) {
            return "the date of record " + std::to_string(r) + " is no calendar day";
        }
        if (day == previous) {
            return "record " + std::to_string(r) + " repeats the date of record " + std::to_string(r - 1) +
                   ", " + DayText(day);
        }
        if (day < previous) {
            return "its dates do not ascend: record " + std::to_string(r) + " is dated " + DayText(day) +
                   ", record " + std::to_string(r - 1) + " " + DayText(previous);
        }
        previous = day;
    }
    if (records == 0 && lastDay > 0) {
        return "it holds no records but the portfolio lists " + DayText(lastDay) + " as its last date";
    }
    if (records > 0 && previous != lastDay) {
        return "its last record is dated " + DayText(previous) + " but the portfolio lists " +
               (lastDay > 0 ? DayText(lastDay) : std::string("no date")) + " as its last date";
    }
    return {};
}

std::string CPriceFile::Problem(int lastDay) const {
    return PriceFileProblem(m_data, m_nRecordLength, lastDay);
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
        if (open != std::string::npos && close != std::string::npos)
            labels.push_back(line.substr(open + 1, close - open - 1));
    }
    return labels;
}

}  // namespace tarvel
