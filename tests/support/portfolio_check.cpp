#include "tests/support/portfolio_check.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

#include "platform/file_util.h"
#include "platform/platform.h"
#include "pricedb/extended_masters.h"
#include "pricedb/layout.h"
#include "pricedb/portfolio.h"
#include "pricedb/recovery.h"
#include "tests/support/temp_dir.h"

namespace tarvel::test {
namespace {

const std::uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

StoredNumber At(const std::uint8_t* p) { return {p[0], p[1], p[2], p[3]}; }

bool BadExponent(const std::uint8_t* p) { return p[3] == 1 || p[3] == 2; }

// The n of "F<n>.DAT", "F<n>.DOP" or "F<n>.MWD" exactly as the converter
// names them; 0 otherwise.
int DataFileNumber(const std::string& name) {
    if (name.size() < 6 || name[0] != 'F') return 0;
    std::string suffix = name.substr(name.size() - 4);
    int n = std::atoi(name.c_str() + 1);
    if (n < 1 || n > 65535) return 0;
    if (suffix == ".MWD" ? name == MwdFileName(n) : name == DataFileName(n) || name == DescriptionFileName(n))
        return n;
    return 0;
}

int U32(const std::uint8_t* p) { return static_cast<int>(DecodeFixed32(p)); }

int FloatDay(const std::uint8_t* p) {
    return static_cast<int>(std::bit_cast<float>(DecodeFixed32(p))) + 19000000;
}

}  // namespace

std::string CheckPortfolio(const std::string& dir, bool afterKill) {
    if (afterKill && FileExists(JoinPath(dir, kJournalName))) {
        // Committed: what the journal says is done by the next conversion.
        // The portfolio is checked as that leaves it, in a copy.
        CTempDir copy;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            std::filesystem::copy(entry.path(), copy / entry.path().filename().string(),
                                  std::filesystem::copy_options::recursive);
        auto platform = MakeSystemPlatform();
        FinishJournal(*platform, copy.path());
        if (FileExists(copy / kJournalName)) return "the journal cannot be carried out\n";
        return CheckPortfolio(copy.path(), true);
    }
    std::string problems;
    auto problem = [&](const std::string& text) { problems += text + "\n"; };
    std::vector<std::string> names = ListDir(dir);
    // Data files that a pending MASTER.~NU lists: a killed run may have
    // renamed them into place before it could replace MASTER.
    std::set<int> pending;
    if (afterKill && FileExists(dir + "/MASTER.~NU")) {
        std::string next = ReadFile(dir + "/MASTER.~NU");
        for (std::size_t at = kMasterRecordSize; at + kMasterRecordSize <= next.size();
             at += kMasterRecordSize) {
            pending.insert(static_cast<std::uint8_t>(next[at]));
        }
    }
    if (afterKill && FileExists(dir + "/XMASTER.~NU")) {
        std::string next = ReadFile(dir + "/XMASTER.~NU");
        for (std::size_t at = kXMasterRecordSize; at + kXMasterRecordSize <= next.size();
             at += kXMasterRecordSize) {
            pending.insert(DecodeFixed16(Bytes(next) + at + kXRecFileNumber));
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

    const std::string emaster = FileExists(dir + "/EMASTER") ? ReadFile(dir + "/EMASTER") : std::string();
    std::vector<std::string> held;  // price files read, kept while their records are looked at
    // Checks a price file of records of `length` bytes; points *first and
    // *last at its first and last record.
    auto checkData = [&](const std::string& data, std::size_t length, const std::uint8_t** first,
                         const std::uint8_t** last) {
        // Other programs may name a price file in another case.
        const std::string* actual = nullptr;
        for (const std::string& name : names) {
            if (EqualIgnoringAsciiCase(name, data) && (actual == nullptr || name == data)) actual = &name;
        }
        if (actual == nullptr) {
            problem("missing " + data);
            return false;
        }
        if (length < 8 || length > 28) {
            problem(data + ": record length " + std::to_string(length));
            return false;
        }
        const std::string& bytes = held.emplace_back(ReadFile(dir + "/" + *actual));
        if (bytes.size() < length || bytes.size() % length != 0) {
            problem(data + " is " + std::to_string(bytes.size()) + " bytes");
            return false;
        }
        std::size_t count = bytes.size() / length;
        auto recordCount = DecodeFixed16(Bytes(bytes) + kDataHeaderRecordCount);
        if (recordCount != count) {
            problem(data + ": recordCount " + std::to_string(recordCount) + " for " + std::to_string(count) +
                    " records");
        }
        if (count < 2) {
            problem(data + " holds no prices");
            return false;
        }
        for (std::size_t k = 1; k < count; ++k) {
            const std::uint8_t* record = Bytes(bytes) + k * length;
            for (std::size_t f = 0; f < length; f += 4) {
                if (BadExponent(record + f))
                    problem(data + ": exponent byte 1 or 2 in record " + std::to_string(k));
            }
            if (k > 1 && DecodeStoredNumber(At(record)) <= DecodeStoredNumber(At(record - length))) {
                problem(data + ": dates out of order at record " + std::to_string(k));
            }
        }
        *first = Bytes(bytes) + length;
        *last = Bytes(bytes) + (count - 1) * length;
        return true;
    };
    held.reserve(70000);

    std::set<int> accounted;
    for (long i = 1; i <= records; ++i) {
        const std::uint8_t* r = Bytes(master) + kMasterRecordSize * static_cast<std::size_t>(i);
        int n = r[kRecFileNumber];
        if (n == 0 || !accounted.insert(n).second)
            problem("file number " + std::to_string(n) + " repeated or zero");
        if (IsDirectoryEntry(r)) continue;
        const std::string data = DataFileName(n);
        if (!FileExists(dir + "/" + DescriptionFileName(n))) problem("missing " + DescriptionFileName(n));
        std::size_t length = r[kRecRecordLength];
        if (length != 4u * r[kRecFieldCount]) problem(data + ": record length " + std::to_string(length));
        if (BadExponent(r + kRecFirstDate) || BadExponent(r + kRecLastDate))
            problem(data + ": bad date exponent");
        const std::uint8_t* first = nullptr;
        const std::uint8_t* last = nullptr;
        if (!checkData(data, length, &first, &last)) continue;
        if (At(r + kRecFirstDate) != At(first) || At(r + kRecLastDate) != At(last)) {
            problem(data + ": MASTER dates disagree with the data file");
        }
        if (!emaster.empty() &&
            emaster.size() == (static_cast<std::size_t>(records) + 1) * kEMasterRecordSize) {
            const std::uint8_t* e = Bytes(emaster) + kEMasterRecordSize * static_cast<std::size_t>(i);
            int firstDay = DayOfStoredDate(At(first)), lastDay = DayOfStoredDate(At(last));
            if (e[kERecFileNumber] != n)
                problem("EMASTER record " + std::to_string(i) + " is not file number " + std::to_string(n));
            if (FloatDay(e + kERecFirstDate) != firstDay || FloatDay(e + kERecLastDate) != lastDay ||
                U32(e + kERecFirstDay) != firstDay) {
                problem(data + ": EMASTER dates disagree with the data file");
            }
            if (4u * static_cast<unsigned>(std::popcount(e[kERecFieldBits])) != length ||
                e[kERecFieldCount] != r[kRecFieldCount]) {
                problem(data + ": EMASTER fields disagree with MASTER");
            }
            if (FieldText(e + kERecSymbol, 14) != FieldText(r + kRecSymbol, 14))
                problem(data + ": EMASTER symbol differs");
        }
    }
    if (!emaster.empty()) {
        if (emaster.size() % kEMasterRecordSize != 0 ||
            emaster.size() / kEMasterRecordSize != static_cast<std::size_t>(records) + 1 ||
            DecodeFixed16(Bytes(emaster)) != records) {
            problem("EMASTER does not hold MASTER's " + std::to_string(records) + " securities");
        }
    }
    if (FileExists(dir + "/XMASTER")) {
        std::string xmaster = ReadFile(dir + "/XMASTER");
        long xrecords = static_cast<long>(xmaster.size() / kXMasterRecordSize) - 1;
        if (xmaster.size() % kXMasterRecordSize != 0 || xrecords < 0 ||
            xmaster.compare(0, 4, "\x5D\xFEXM") != 0 ||
            DecodeFixed16(Bytes(xmaster) + kXHeaderCount) != xrecords ||
            DecodeFixed16(Bytes(xmaster) + kXHeaderCountAgain) != xrecords) {
            problem("XMASTER header or size wrong");
            xrecords = 0;
        }
        int highest = 0;
        for (long i = 1; i <= xrecords; ++i) {
            const std::uint8_t* x = Bytes(xmaster) + kXMasterRecordSize * static_cast<std::size_t>(i);
            int n = DecodeFixed16(x + kXRecFileNumber);
            highest = std::max(highest, n);
            if (n < 256 || !accounted.insert(n).second)
                problem("XMASTER file number " + std::to_string(n) + " repeated or below 256");
            const std::string data = MwdFileName(n);
            std::size_t length = 4u * static_cast<unsigned>(std::popcount(x[kXRecFieldBits]));
            const std::uint8_t* first = nullptr;
            const std::uint8_t* last = nullptr;
            if (!checkData(data, length, &first, &last)) continue;
            if (U32(x + kXRecFirstDay) != DayOfStoredDate(At(first)) ||
                U32(x + kXRecLastDay) != DayOfStoredDate(At(last))) {
                problem(data + ": XMASTER dates disagree with the data file");
            }
        }
        if (xrecords > 0 && DecodeFixed16(Bytes(xmaster) + kXHeaderNextNumber) <= highest)
            problem("XMASTER next number too low");
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
