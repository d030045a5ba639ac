#include "cli/command_support.h"

#include "platform/file_util.h"
#include "pricedb/portfolio.h"

namespace tarvel {

void CompleteACommittedConversion(CPlatform& platform, const std::string& dir, std::ostream* err) {
    if (!platform.Examine(JoinPath(dir, kJournalName)).exists) return;
    std::unique_ptr<CDirectoryLock> lock;
    if (!platform.LockDirectory(
            dir, 0, [] {}, &lock))
        return;
    // One that is none of ours is removed unused, as a conversion removes
    // it: while it stands no reader sees one state of the portfolio.
    std::string message;
    FinishJournal(platform, dir, &message);
    if (err != nullptr && !message.empty()) *err << "tarvel-cli: " << message << "\n";
}

}  // namespace tarvel
