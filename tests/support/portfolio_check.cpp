#include "tests/support/portfolio_check.h"

#include <set>

#include "pricedb/layout.h"
#include "tests/support/temp_dir.h"

namespace tarvel::test {

std::string CheckPortfolio(const std::string& dir) {
    std::string problems;
    auto problem = [&](const std::string& text) { problems += text + "\n"; };
    for (const std::string& name : ListDir(dir)) {
        if (name == "MASTER.~NU" || name == "MASTER.NEW" || name.ends_with(".NEW")) problem("left over: " + name);
    }
    if (!FileExists(dir + "/MASTER")) {
        problem("no MASTER");
        return problems;
    }
    std::string master = ReadFile(dir + "/MASTER");
    if (master.size() < kMasterRecordSize || master.size() % kMasterRecordSize != 0) {
        problem("MASTER is " + std::to_string(master.size()) + " bytes");
        return problems;
    }
    auto bytes = reinterpret_cast<const std::uint8_t*>(master.data());
    MasterHeader header = DecodeMasterHeader(bytes);
    long records = static_cast<long>(master.size() / kMasterRecordSize) - 1;
    if (header.securityCount != records) problem("securityCount " + std::to_string(header.securityCount) +
                                                 " for " + std::to_string(records) + " records");
    if (header.fileNumberMark < header.securityCount) problem("fileNumberMark below securityCount");
    std::set<int> numbers;
    for (long i = 1; i <= records; ++i) {
        const std::uint8_t* r = bytes + kMasterRecordSize * static_cast<std::size_t>(i);
        int n = r[kRecFileNumber];
        if (n == 0 || !numbers.insert(n).second) problem("file number " + std::to_string(n) + " repeated or zero");
        if (IsDirectoryEntry(r)) continue;
        std::string dataPath = dir + "/" + DataFileName(n);
        if (!FileExists(dataPath)) {
            problem("missing " + DataFileName(n));
            continue;
        }
        std::string data = ReadFile(dataPath);
        std::size_t length = r[kRecRecordLength];
        if (length != 4u * r[kRecFieldCount] || length < 8 || length > 28) {
            problem(DataFileName(n) + ": record length " + std::to_string(length));
            continue;
        }
        if (data.size() < length || data.size() % length != 0) {
            problem(DataFileName(n) + " is " + std::to_string(data.size()) + " bytes");
            continue;
        }
        auto count = ReadU16(reinterpret_cast<const std::uint8_t*>(data.data()) + kDataHeaderRecordCount);
        if (count != data.size() / length) {
            problem(DataFileName(n) + ": recordCount " + std::to_string(count) + " for " +
                    std::to_string(data.size() / length) + " records");
        }
        if (!FileExists(dir + "/" + DescriptionFileName(n))) problem("missing " + DescriptionFileName(n));
    }
    return problems;
}

}  // namespace tarvel::test
