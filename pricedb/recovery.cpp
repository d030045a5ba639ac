#include "pricedb/recovery.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <vector>

#include "platform/file_util.h"
#include "pricedb/extended_masters.h"
#include "pricedb/journal.h"
#include "pricedb/layout.h"
#include "pricedb/master_check.h"

namespace tarvel {
namespace {

// The file numbers a directory file lists: MASTER's (53-byte records, one
// byte) or XMASTER's (150-byte records, two bytes).
std::set<int> ListedNumbers(const Bytes& file, bool xmaster) {
    std::set<int> numbers;
    std::size_t size = xmaster ? kXMasterRecordSize : kMasterRecordSize;
    for (std::size_t at = size; at + size <= file.size(); at += size) {
        if (xmaster) {
            numbers.insert(DecodeFixed16(&file[at + kXRecFileNumber]));
        } else if (!IsDirectoryEntry(&file[at])) {
            numbers.insert(file[at + kRecFileNumber]);
        }
    }
    return numbers;
}

}  // namespace

bool IsTemporaryName(const std::string& name) {
    for (const char* temp : {"MASTER.~NU", "MASTER.BAK.~NU", "MASTER.NEW", "EMASTER.~NU", "XMASTER.~NU",
                             "MASTER.~JN.~NU", "MASTER.~UR.~NU"}) {
        if (EqualIgnoringAsciiCase(name, temp)) return true;
    }
    return FileNumberOf(name, ".DAT.~NU") != 0 || FileNumberOf(name, ".DOP.~NU") != 0 ||
           FileNumberOf(name, ".MWD.~NU", 65535) != 0 || FileNumberOf(name, ".NEW") != 0;
}

void RemoveLeftovers(CPlatform& platform, const std::string& directory, const std::string& masterPath,
                     CPrompt* prompt) {
    // While a committed journal stays, the temporary files are its sources
    // and nothing may go.
    std::string journalMessage;
    CStatus status = FinishJournal(platform, directory, &journalMessage);
    if (prompt != nullptr && !journalMessage.empty()) prompt->MessageBox(journalMessage, kMbOk);
    if (!status) return;
    RemoveUncommittedFiles(platform, directory, masterPath);
}

void RemoveUncommittedFiles(CPlatform& platform, const std::string& directory,
                            const std::string& masterPath) {
    std::vector<std::string> names;
    platform.ListDirectory(directory, &names);
    // A conversion killed between renaming its new price files into place
    // and its commit: those files are the ones that a pending MASTER.~NU
    // (XMASTER.~NU) lists and the directory file itself does not. When that
    // file is there but unreadable or damaged nothing is removed.
    auto removeUnlisted = [&](const std::string& fileName, bool xmaster) {
        std::string pendingName = fileName + kTempSuffix;
        if (std::find(names.begin(), names.end(), pendingName) == names.end()) return;
        Bytes pending, current;
        std::string pendingPath = JoinPath(directory, pendingName), path = JoinPath(directory, fileName);
        if (!ReadFileBytes(platform, pendingPath, &pending)) return;
        if (xmaster ? !CheckXMaster(pending, pendingPath).empty()
                    : !CheckMaster(pending, pendingPath).empty())
            return;
        std::set<int> listed;
        if (platform.Examine(path).exists) {
            if (!ReadFileBytes(platform, path, &current)) return;
            if (xmaster ? !CheckXMaster(current, path).empty() : !CheckMaster(current, path).empty()) return;
            listed = ListedNumbers(current, xmaster);
        }
        for (int n : ListedNumbers(pending, xmaster)) {
            if (listed.count(n) != 0) continue;
            if (xmaster) {
                platform.Remove(JoinPath(directory, MwdFileName(n)));
            } else {
                platform.Remove(JoinPath(directory, DataFileName(n)));
                platform.Remove(JoinPath(directory, DescriptionFileName(n)));
            }
        }
    };
    removeUnlisted(FileName(masterPath), false);
    removeUnlisted(platform.FindName(directory, kXMasterName).value_or(kXMasterName), true);
    for (const std::string& name : names) {
        if (IsTemporaryName(name)) platform.Remove(JoinPath(directory, name));
    }
}

}  // namespace tarvel
