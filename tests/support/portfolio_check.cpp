#include "tests/support/portfolio_check.h"

#include <set>

#include "pricedb/layout.h"
#include "pricedb/portfolio.h"
#include "tests/support/temp_dir.h"

namespace tarvel::test {
namespace {

const std::uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

StoredNumber At(const std::uint8_t* p) { return {p[0], p[1], p[2], p[3]}; }

bool BadExponent(const std::uint8_t* p) { return p[3] == 1 || p[3] == 2; }

// The n of "F<n>.DAT" or "F<n>.DOP" exactly as the converter names them; 0 otherwise.
int DataFileNumber(const std::string& name) {
    for (int n = 1; n <= kMaxSecurities; ++n) {
        if (name == DataFileName(n) || name == DescriptionFileName(n)) return n;
    }
    return 0;
}

}  // namespace

std::string CheckPortfolio(const std::string& dir, bool afterKill) {
    std::string problems;
    auto problem = [&](const std::string& text) { problems += text + "\n"; };
    std::vector<std::string> names = ListDir(dir);
    // Data files that a pending MASTER.~NU lists: a killed run may have
    // renamed them into place before it could replace MASTER.
    std::set<int> pending;
    if (afterKill && FileExists(dir + "/MASTER.~NU")) {
        std::string next = ReadFile(dir + "/MASTER.~NU");
        for (std::size_t at = kMasterRecordSize; at + kMasterRecordSize <= next.size(); at += kMasterRecordSize) {
            pending.insert(static_cast<std::uint8_t>(next[at]));
        }
    }
    if (!FileExists(dir + "/MASTER")) {
        // A new portfolio whose first conversion was killed holds nothing
        // but such files.
        bool leftOver = afterKill;
        for (const std::string& name : names) {
            leftOver = leftOver && (IsTemporaryName(name) || pending.count(DataFileNumber(name)) != 0);
        }
        if (!leftOver) problem("no MASTER");
        return problems;
    }
    std::string master = ReadFile(dir + "/MASTER");
    if (master.size() < kMasterRecordSize || master.size() % kMasterRecordSize != 0) {
        problem("MASTER is " + std::to_string(master.size()) + " bytes");
        return problems;
    }
    MasterHeader header = DecodeMasterHeader(Bytes(master));
    long records = static_cast<long>(master.size() / kMasterRecordSize) - 1;
    if (header.securityCount != records) {
        problem("securityCount " + std::to_string(header.securityCount) + " for " + std::to_string(records) +
                " records");
    }
    if (header.fileNumberMark < header.securityCount) problem("fileNumberMark below securityCount");

    std::set<int> accounted;
    for (long i = 1; i <= records; ++i) {
        const std::uint8_t* r = Bytes(master) + kMasterRecordSize * static_cast<std::size_t>(i);
        int n = r[kRecFileNumber];
        if (n == 0 || !accounted.insert(n).second) problem("file number " + std::to_string(n) + " repeated or zero");
        if (IsDirectoryEntry(r)) continue;
        const std::string data = DataFileName(n);
        if (!FileExists(dir + "/" + DescriptionFileName(n))) problem("missing " + DescriptionFileName(n));
        if (!FileExists(dir + "/" + data)) {
            problem("missing " + data);
            continue;
        }
        std::string bytes = ReadFile(dir + "/" + data);
        std::size_t length = r[kRecRecordLength];
        if (length != 4u * r[kRecFieldCount] || length < 8 || length > 28) {
            problem(data + ": record length " + std::to_string(length));
            continue;
        }
        if (bytes.size() < length || bytes.size() % length != 0) {
            problem(data + " is " + std::to_string(bytes.size()) + " bytes");
            continue;
        }
        std::size_t held = bytes.size() / length;
        auto count = ReadU16(Bytes(bytes) + kDataHeaderRecordCount);
        if (count != held) problem(data + ": recordCount " + std::to_string(count) + " for " + std::to_string(held) + " records");
        if (held < 2) {
            problem(data + " holds no prices");
            continue;
        }
        for (std::size_t k = 1; k < held; ++k) {
            const std::uint8_t* record = Bytes(bytes) + k * length;
            for (std::size_t f = 0; f < length; f += 4) {
                if (BadExponent(record + f)) problem(data + ": exponent byte 1 or 2 in record " + std::to_string(k));
            }
            if (k > 1 && DecodeStoredNumber(At(record)) <= DecodeStoredNumber(At(record - length))) {
                problem(data + ": dates out of order at record " + std::to_string(k));
            }
        }
        if (BadExponent(r + kRecFirstDate) || BadExponent(r + kRecLastDate)) problem(data + ": bad date exponent");
        if (At(r + kRecFirstDate) != At(Bytes(bytes) + length) ||
            At(r + kRecLastDate) != At(Bytes(bytes) + (held - 1) * length)) {
            problem(data + ": MASTER dates disagree with the data file");
        }
    }

    for (const std::string& name : names) {
        if (IsTemporaryName(name)) {
            if (!afterKill) problem("left over: " + name);
            continue;
        }
        int n = DataFileNumber(name);
        if (n != 0 && !accounted.count(n) && !pending.count(n)) problem("no record accounts for " + name);
    }
    return problems;
}

}  // namespace tarvel::test
