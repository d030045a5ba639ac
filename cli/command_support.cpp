#include "cli/command_support.h"

#include "platform/file_util.h"
#include "pricedb/portfolio.h"

namespace tarvel {

void CompleteACommittedConversion(CPlatform& platform, const std::string& dir) {
    if (!platform.Examine(JoinPath(dir, kJournalName)).exists) return;
    if (auto lock = platform.LockDirectory(dir, 0, [] {})) FinishJournal(platform, dir);
}

}  // namespace tarvel
