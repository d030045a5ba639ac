#include "pricedb/portfolio.h"

#include <bitset>
#include <cstring>
#include <filesystem>

namespace tarvel {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The n of a name F<n><rest> (any case), `rest` compared without regard to
// case; 0 when the name is not of that form or n is outside 1..255.
int FileNumberOf(std::string_view name, std::string_view rest) {
    if (name.size() <= rest.size() + 1 || (name[0] != 'F' && name[0] != 'f')) return 0;
    std::string_view digits = name.substr(1, name.size() - 1 - rest.size());
    if (digits.size() > 3 || digits[0] == '0' || !EqualIgnoringAsciiCase(name.substr(name.size() - rest.size()), rest)) {
        return 0;
    }
    int n = 0;
    for (char c : digits) {
        if (!IsDigit(c)) return 0;
        n = n * 10 + (c - '0');
    }
    return n <= kMaxSecurities ? n : 0;
}

std::string BaseName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// Undoes the steps of one AddSecurity that went wrong: removes the files it
// renamed into place and its temporaries, keeping the reason of the failure.
class CStagedFiles {
public:
    explicit CStagedFiles(CPlatform& platform) : m_platform(platform) {}
    ~CStagedFiles() {
        CKeepError keep(m_platform);
        for (const std::string& path : m_paths) m_platform.Remove(path);
    }
    void Add(const std::string& path) { m_paths.push_back(path); }
    void Forget(const std::string& path) { std::erase(m_paths, path); }
    void ForgetAll() { m_paths.clear(); }

private:
    CPlatform& m_platform;
    std::vector<std::string> m_paths;
};

}  // namespace

std::string CannotWriteMessage(CPlatform& platform, const std::string& path) {
    return "Cannot write to " + path + ": " + platform.LastError();
}

bool IsTemporaryName(const std::string& name) {
    for (const char* temp : {"MASTER.~NU", "MASTER.BAK.~NU", "MASTER.NEW"}) {
        if (EqualIgnoringAsciiCase(name, temp)) return true;
    }
    return FileNumberOf(name, ".DAT.~NU") != 0 || FileNumberOf(name, ".DOP.~NU") != 0 ||
           FileNumberOf(name, ".NEW") != 0;
}

std::string CheckMaster(const Bytes& master, const std::string& masterPath) {
    std::string damaged = "The Master file " + masterPath + " is damaged: ";
    if (master.size() < kMasterRecordSize || master.size() % kMasterRecordSize != 0) {
        return damaged + "it is " + std::to_string(master.size()) +
               " bytes long, not a whole number of 53-byte records.";
    }
    long records = static_cast<long>(master.size() / kMasterRecordSize) - 1;
    long count = DecodeMasterHeader(master.data()).securityCount;
    if (count != records) {
        return damaged + "it counts " + std::to_string(count) + " securities but holds " + std::to_string(records) +
               ".";
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

bool ReadCheckedMaster(CPlatform& platform, CPrompt& prompt, const std::string& masterPath, Bytes* master) {
    // A MASTER bigger than 256 records of 53 bytes cannot be a whole one.
    constexpr std::size_t kLimit = kMasterRecordSize * 1024;
    if (!ReadFileBytes(platform, masterPath, master, kLimit + 1)) {
        prompt.MessageBox(OpenFailureMessage(platform, "Cannot read the Master file", masterPath), kMbOk);
        return false;
    }
    std::string problem = CheckMaster(*master, masterPath);
    if (problem.empty()) return true;
    prompt.MessageBox(problem, kMbOk);
    return false;
}

void RemoveLeftovers(CPlatform& platform, const std::string& directory, const std::string& masterPath) {
    std::vector<std::string> names = platform.ListDirectory(directory);
    std::string pendingName = BaseName(masterPath) + kTempSuffix;
    Bytes pending, master;
    bool hasPending = false;
    for (const std::string& name : names) hasPending = hasPending || name == pendingName;
    if (hasPending && ReadFileBytes(platform, JoinPath(directory, pendingName), &pending) &&
        CheckMaster(pending, pendingName).empty()) {
        // A conversion killed between renaming its data files and replacing
        // MASTER: its files are those that MASTER.~NU lists and MASTER not.
        std::bitset<256> listed;
        if (ReadFileBytes(platform, masterPath, &master) && CheckMaster(master, masterPath).empty()) {
            for (std::size_t at = kMasterRecordSize; at < master.size(); at += kMasterRecordSize) {
                listed.set(master[at + kRecFileNumber]);
            }
        }
        for (std::size_t at = kMasterRecordSize; at < pending.size(); at += kMasterRecordSize) {
            int n = pending[at + kRecFileNumber];
            if (listed.test(static_cast<std::size_t>(n)) || IsDirectoryEntry(&pending[at])) continue;
            platform.Remove(JoinPath(directory, DataFileName(n)));
            platform.Remove(JoinPath(directory, DescriptionFileName(n)));
        }
    }
    for (const std::string& name : names) {
        if (IsTemporaryName(name)) platform.Remove(JoinPath(directory, name));
    }
}

int AddSecurity(CPlatform& platform, CPrompt& prompt, const std::string& directory,
                const std::string& masterPath, bool newMaster, const NewSecurity& security, int* fileNumber) {
    RemoveLeftovers(platform, directory, masterPath);
    Bytes master(kMasterRecordSize, 0), oldMaster;
    if (!newMaster) {
        if (!ReadCheckedMaster(platform, prompt, masterPath, &oldMaster)) return 1;
        master = oldMaster;
    }
    MasterHeader counters = DecodeMasterHeader(master.data());
    if (counters.securityCount >= kMaxSecurities || counters.fileNumberMark >= kMaxSecurities) {
        prompt.MessageBox(kFullPortfolioMessage, kMbOk);
        return 1;
    }
    // Numbers that records use or files of the directory hold, whatever put
    // them there: such a file is never overwritten.
    std::bitset<256> taken;
    taken.set(0);
    for (std::size_t at = kMasterRecordSize; at < master.size(); at += kMasterRecordSize) {
        taken.set(master[at + kRecFileNumber]);
    }
    for (const std::string& name : platform.ListDirectory(directory)) {
        taken.set(static_cast<std::size_t>(FileNumberOf(name, ".DAT")));
        taken.set(static_cast<std::size_t>(FileNumberOf(name, ".DOP")));
    }
    if (taken.all()) {
        prompt.MessageBox(kFullPortfolioMessage, kMbOk);
        return 1;
    }
    int n = 1;
    while (taken.test(static_cast<std::size_t>(n))) ++n;

    EncodeMasterHeader({static_cast<std::int16_t>(counters.securityCount + 1),
                        static_cast<std::int16_t>(counters.fileNumberMark + 1)},
                       master.data());
    MasterRecord record;
    record.fileNumber = static_cast<std::uint8_t>(n);
    record.fieldCount = static_cast<std::uint8_t>(security.fieldCount);
    record.name = security.name;
    record.symbol = security.symbol;
    record.firstDate = security.firstDate;
    record.lastDate = security.lastDate;
    MasterRecordBytes bytes = EncodeMasterRecord(record);
    master.insert(master.end(), bytes.begin(), bytes.end());

    std::string header = MakeDataHeader(security.fieldCount);
    WriteU16(reinterpret_cast<std::uint8_t*>(header.data()) + kDataHeaderRecordCount,
             static_cast<std::uint16_t>(security.recordCount + 1));
    std::string dop = MakeFieldDescription(security.fieldOn);
    const std::string dataPath = JoinPath(directory, DataFileName(n));
    const std::string dopPath = JoinPath(directory, DescriptionFileName(n));
    const std::string dataTemp = dataPath + kTempSuffix, dopTemp = dopPath + kTempSuffix;
    const std::string masterTemp = masterPath + kTempSuffix, backupTemp = masterPath + ".BAK" + kTempSuffix;

    CStagedFiles staged(platform);
    auto fail = [&](const std::string& path) {
        prompt.MessageBox(CannotWriteMessage(platform, path), kMbOk);
        return 1;
    };
    auto bytesOf = [](const std::string& text) {
        return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    };
    staged.Add(dataTemp);
    if (!WriteNewFile(platform, dataTemp, {bytesOf(header), std::span(security.records)})) return fail(dataPath);
    staged.Add(dopTemp);
    if (!WriteNewFile(platform, dopTemp, {bytesOf(dop)})) return fail(dopPath);
    if (!newMaster) {
        staged.Add(backupTemp);
        if (!WriteNewFile(platform, backupTemp, oldMaster)) return fail(masterPath + ".BAK");
    }
    staged.Add(masterTemp);
    if (!WriteNewFile(platform, masterTemp, master)) return fail(masterPath);
    // The new MASTER keeps the owner's choice of permissions.
    if (!newMaster && !platform.CopyPermissions(masterPath, masterTemp)) return fail(masterPath);

    // Renamed files join the clean-up only once they are ours: a file that
    // appeared meanwhile under the name makes the rename fail and stays.
    if (!platform.RenameNoReplace(dataTemp, dataPath)) return fail(dataPath);
    staged.Forget(dataTemp);
    staged.Add(dataPath);
    if (!platform.RenameNoReplace(dopTemp, dopPath)) return fail(dopPath);
    staged.Forget(dopTemp);
    staged.Add(dopPath);
    bool committed = newMaster ? platform.RenameNoReplace(masterTemp, masterPath)
                               : platform.Rename(masterTemp, masterPath);
    if (!committed) {
        CKeepError keep(platform);
        if (!platform.FindName(directory, BaseName(masterTemp))) {
            // Renamed, but the directory could not be synced: put the old
            // MASTER back so that it lists no security whose files go.
            if (newMaster) {
                platform.Remove(masterPath);
            } else {
                ReplaceFile(platform, masterPath, masterTemp, oldMaster);
            }
        }
        return fail(masterPath);
    }
    staged.ForgetAll();
    if (!newMaster && !platform.Rename(backupTemp, masterPath + ".BAK")) {
        // The conversion stands; only the backup is older than it should be.
        platform.Remove(backupTemp);
    }
    *fileNumber = n;
    return 0;
}

}  // namespace tarvel
