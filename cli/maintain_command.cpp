// tarvel-cli remove, rename and undo: changes to a portfolio's securities
// that are no conversion, each in one commit under the portfolio's lock.
#include "cli/command_support.h"
#include "cli/commands.h"
#include "pricedb/maintain.h"
#include "pricedb/undo.h"

namespace tarvel {

int RunRemove(const std::string& dir, const std::vector<std::string>& symbols, std::ostream& out,
              std::ostream& err) {
    auto platform = MakeSystemPlatform();
    if (!platform->IsDirectory(dir)) {
        err << "tarvel-cli: " << dir << " is not a directory\n";
        return kExitUsage;
    }
    CCliPrompt prompt(err);
    std::vector<CPortfolio::Entry> removed;
    if (RemoveSecurities(*platform, prompt, dir, symbols, kDefaultWaitSeconds, &removed) != 0)
        return kExitFailed;
    for (const CPortfolio::Entry& e : removed) {
        const SecurityEntry& s = e.security;
        out << "Removed " << s.symbol << " (" << s.name << ", "
            << (e.inXMaster ? MwdFileName(s.fileNumber) : DataFileName(s.fileNumber)) << ") from " << dir
            << ".\n";
    }
    out << "tarvel-cli undo " << dir << " brings " << (removed.size() == 1 ? "it" : "them") << " back.\n";
    return 0;
}

int RunRename(const std::string& dir, const std::string& symbol, const std::optional<std::string>& newSymbol,
              const std::optional<std::string>& newName, std::ostream& out, std::ostream& err) {
    if (!newSymbol && !newName) {
        err << "tarvel-cli: rename: give --symbol NEW, --name NAME or both\n";
        return kExitUsage;
    }
    auto platform = MakeSystemPlatform();
    if (!platform->IsDirectory(dir)) {
        err << "tarvel-cli: " << dir << " is not a directory\n";
        return kExitUsage;
    }
    CCliPrompt prompt(err);
    CPortfolio::Entry old;
    if (RenameSecurity(*platform, prompt, dir, symbol, newSymbol, newName, kDefaultWaitSeconds, &old) != 0)
        return kExitFailed;
    out << "Renamed " << old.security.symbol << " (" << old.security.name << ") to "
        << newSymbol.value_or(old.security.symbol) << " (" << newName.value_or(old.security.name) << ") in "
        << dir << ".\n";
    return 0;
}

int RunUndo(const std::string& dir, std::ostream& out, std::ostream& err) {
    auto platform = MakeSystemPlatform();
    if (!platform->IsDirectory(dir)) {
        err << "tarvel-cli: " << dir << " is not a directory\n";
        return kExitUsage;
    }
    CCliPrompt prompt(err);
    std::string what;
    if (UndoLastChange(*platform, prompt, dir, kDefaultWaitSeconds, &what) != 0) return kExitFailed;
    out << "Undone in " << dir << ": " << what << ".\n";
    return 0;
}

}  // namespace tarvel
