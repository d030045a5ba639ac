#include "pricedb/portfolio.h"

#include <algorithm>
#include <bitset>
#include <cstring>

namespace tarvel {
namespace {

// Reads MASTER whole; on failure shows why and returns false.
bool ReadMaster(CPlatform& platform, CPrompt& prompt, const std::string& masterPath, Bytes* master) {
    if (!ReadFileBytes(platform, masterPath, master)) {
        prompt.MessageBox("Cannot read the Master file " + masterPath, kMbOk);
        return false;
    }
    if (master->size() < kMasterRecordSize) {
        prompt.MessageBox(masterPath + " is not a valid Master file", kMbOk);
        return false;
    }
    // A partial record at the end is no record: drop it.
    master->resize(master->size() / kMasterRecordSize * kMasterRecordSize);
    return true;
}

}  // namespace

std::string CannotWriteMessage(const std::string& path) { return "Cannot write to " + path; }

int AddSecurity(CPlatform& platform, CPrompt& prompt, const std::string& directory,
                const std::string& masterPath, const NewSecurity& security, int* fileNumber) {
    Bytes master;
    if (!ReadMaster(platform, prompt, masterPath, &master)) return 1;

    auto counters = DecodeMasterHeader(master.data());
    auto securityCount = static_cast<std::uint16_t>(counters.securityCount);
    auto fileNumberMark = static_cast<std::uint16_t>(counters.fileNumberMark);
    std::bitset<256> taken;
    taken.set(0);
    for (std::size_t offset = kMasterRecordSize; offset < master.size(); offset += kMasterRecordSize) {
        taken.set(master[offset + kRecFileNumber]);
    }
    if (securityCount >= kMaxSecurities || fileNumberMark >= kMaxSecurities || taken.all()) {
        prompt.MessageBox(kFullPortfolioMessage, kMbOk);
        return 1;
    }
    int n = 1;
    while (taken.test(static_cast<std::size_t>(n))) ++n;

    EncodeMasterHeader({static_cast<std::int16_t>(securityCount + 1), static_cast<std::int16_t>(fileNumberMark + 1)},
                       master.data());
    MasterRecord record;
    record.fileNumber = static_cast<std::uint8_t>(n);
    record.fieldCount = static_cast<std::uint8_t>(security.fieldCount);
    record.name = security.name;
    record.symbol = security.symbol;
    record.firstDate = security.today;
    record.lastDate = security.today;
    MasterRecordBytes bytes = EncodeMasterRecord(record);
    master.insert(master.end(), bytes.begin(), bytes.end());

    std::string dataPath = JoinPath(directory, DataFileName(n));
    std::string dopPath = JoinPath(directory, DescriptionFileName(n));
    std::string header = MakeDataHeader(security.fieldCount);
    std::string dop = MakeFieldDescription(security.fieldOn);
    if (!WriteNewFile(platform, dataPath, Bytes(header.begin(), header.end()))) {
        prompt.MessageBox(CannotWriteMessage(dataPath), kMbOk);
        return 1;
    }
    if (!WriteNewFile(platform, dopPath, Bytes(dop.begin(), dop.end()))) {
        platform.Remove(dataPath);
        prompt.MessageBox(CannotWriteMessage(dopPath), kMbOk);
        return 1;
    }
    if (!ReplaceFile(platform, masterPath, masterPath + ".~NU", master)) {
        platform.Remove(dataPath);
        platform.Remove(dopPath);
        prompt.MessageBox(CannotWriteMessage(masterPath), kMbOk);
        return 1;
    }
    *fileNumber = n;
    return 0;
}

int UpdateMasterDates(CPlatform& platform, CPrompt& prompt, const std::string& masterPath,
                      const StoredNumber& firstDate, const StoredNumber& lastDate, int fileNumber) {
    Bytes master;
    if (!ReadMaster(platform, prompt, masterPath, &master)) return 1;
    for (std::size_t offset = kMasterRecordSize; offset < master.size(); offset += kMasterRecordSize) {
        if (master[offset + kRecFileNumber] != fileNumber) continue;
        std::copy(firstDate.begin(), firstDate.end(), master.begin() + static_cast<long>(offset + kRecFirstDate));
        std::copy(lastDate.begin(), lastDate.end(), master.begin() + static_cast<long>(offset + kRecLastDate));
    }
    if (!ReplaceFile(platform, masterPath, masterPath + ".NEW", master)) {
        prompt.MessageBox(CannotWriteMessage(masterPath), kMbOk);
        return 1;
    }
    return 0;
}

int UpdateRecordCount(CPlatform& platform, CPrompt& prompt, const std::string& dataPath,
                      const std::string& tempPath, int recordLength, std::uint16_t recordCount,
                      const Bytes& pending) {
    Bytes data;
    auto length = static_cast<std::size_t>(recordLength);
    if (!ReadFileBytes(platform, dataPath, &data) || length < 4 || data.size() < length) {
        prompt.MessageBox(CannotWriteMessage(dataPath), kMbOk);
        return 1;
    }
    data.resize(data.size() / length * length);
    WriteU16(data.data() + kDataHeaderRecordCount, static_cast<std::uint16_t>(recordCount + 1));
    if (!ReplaceFile(platform, dataPath, tempPath, {std::span<const std::uint8_t>(data), std::span(pending)})) {
        prompt.MessageBox(CannotWriteMessage(dataPath), kMbOk);
        return 1;
    }
    return 0;
}

}  // namespace tarvel
