#include "pricedb/master_check.h"

#include <bitset>

namespace tarvel {

std::string CheckMaster(const Bytes& master, const std::string& masterPath) {
    std::string damaged = "The Master file " + masterPath + " is damaged: ";
    if (master.size() < kMasterRecordSize || master.size() % kMasterRecordSize != 0) {
        return damaged + "it is " + std::to_string(master.size()) +
               " bytes long, not a whole number of 53-byte records.";
    }
    long records = static_cast<long>(master.size() / kMasterRecordSize) - 1;
    long count = DecodeMasterHeader(master.data()).securityCount;
    if (count != records) {
        return damaged + "it counts " + std::to_string(count) + " securities but holds " +
               std::to_string(records) + ".";
    }
    // The mark counts the file numbers handed out; at 255 new securities go
    // to XMASTER, which only a full MASTER may send them to.
    int mark = DecodeMasterHeader(master.data()).fileNumberMark;
    if (mark >= kMaxSecurities && records < kMaxSecurities) {
        return damaged + "its file-number mark (header bytes 2 and 3) is " + std::to_string(mark) +
               " but it holds only " + std::to_string(records) + " securities.";
    }
    std::bitset<256> seen;
    for (long i = 1; i <= records; ++i) {
        int n = master[kMasterRecordSize * static_cast<std::size_t>(i) + kRecFileNumber];
        if (n == 0) return damaged + "record " + std::to_string(i) + " has file number 0.";
        if (seen.test(static_cast<std::size_t>(n))) {
            return damaged + "file number " + std::to_string(n) + " is used twice.";
        }
        seen.set(static_cast<std::size_t>(n));
    }
    return {};
}

bool ReadCheckedMaster(CPlatform& platform, CPrompt& prompt, const std::string& masterPath, Bytes* master,
                       std::size_t limit) {
    if (CStatus status = ReadFileBytes(platform, masterPath, master, limit); !status) {
        prompt.MessageBox(OpenFailureMessage(status, "Cannot read the Master file", masterPath), kMbOk);
        return false;
    }
    std::string problem = CheckMaster(*master, masterPath);
    if (problem.empty()) return true;
    prompt.MessageBox(problem, kMbOk);
    return false;
}

}  // namespace tarvel
