#include "cli/command_support.h"

#include "platform/file_util.h"
#include "pricedb/portfolio.h"

namespace tarvel {

void CompleteACommittedConversion(CPlatform& platform, const std::string& dir) {
    if (!platform.Examine(JoinPath(dir, kJournalName)).exists) return;
    std::unique_ptr<CDirectoryLock> lock;
    if (platform.LockDirectory(dir, 0, [] {}, &lock)) FinishJournal(platform, dir);
}

}  // namespace tarvel
