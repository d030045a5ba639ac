#include "cli/command_support.h"

#include <filesystem>

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

bool CMadeDirectory::Make(const std::string& directory, std::error_code* error) {
    m_made.clear();
    std::error_code ignored;
    std::filesystem::path deepest = PathOf(AbsolutePath(directory));
    if (!HasDoubleSeparatorRoot(directory)) deepest = deepest.lexically_normal();
    if (deepest.filename().empty()) deepest = deepest.parent_path();  // "pf/" names pf
    for (std::filesystem::path level = deepest; !level.empty() && !std::filesystem::exists(level, ignored);
         level = level.parent_path()) {
        m_made.push_back(Utf8Of(level));
        if (level == level.parent_path()) break;
    }
    if (!std::filesystem::create_directories(PathOf(directory), *error) && *error) {
        m_made.clear();
        return false;
    }
    return true;
}

void CMadeDirectory::RemoveIfEmpty() const {
    std::error_code ignored;
    for (const std::string& level : m_made) {
        const std::filesystem::path path = PathOf(level);
        if (!std::filesystem::is_empty(path, ignored) || !std::filesystem::remove(path, ignored)) return;
    }
}

}  // namespace tarvel
