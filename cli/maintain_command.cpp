// tarvel-cli remove, rename and undo: changes to a portfolio's securities
// that are no conversion, each in one commit under the portfolio's lock.
#include <algorithm>
#include <memory>
#include <optional>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "pricedb/open_portfolio.h"
#include "pricedb/portfolio_check.h"
#include "pricedb/undo.h"

namespace tarvel {
namespace {

// Opens `dir` for a change to the securities it holds: locked, with what an
// interrupted conversion left completed or removed, and whole, as the check
// finds it. nullptr after saying why not; *status is then the exit status.
std::unique_ptr<CPortfolio> OpenWhole(CPlatform& platform, CPrompt& prompt, const std::string& dir,
                                      int waitSeconds, std::ostream& err, int* status) {
    *status = kExitFailed;
    if (!platform.IsDirectory(dir)) {
        err << "tarvel-cli: " << dir << " is not a directory\n";
        *status = kExitUsage;
        return nullptr;
    }
    PortfolioAccess access;
    access.master = MasterChoice::kExisting;
    access.waitSeconds = waitSeconds;
    access.onWaiting = [&err](const std::string& text) { err << "Tarvel: " << text << std::endl; };
    std::unique_ptr<CPortfolio> portfolio;
    if (OpenPortfolioForChange(platform, prompt, dir, access, &portfolio) != PortfolioOpening::kOpened)
        return nullptr;
    // A change to a damaged portfolio could bury the damage deeper.
    PortfolioCheck check = CheckPortfolioFiles(platform, dir);
    if (check.Problems() > 0) {
        const PortfolioFinding& first = *std::find_if(check.findings.begin(), check.findings.end(),
                                                      [](const auto& f) { return !f.warning; });
        prompt.MessageBox(dir + " is damaged (" + first.file + ": " + first.text + "; tarvel-cli check " +
                              dir + " lists every problem). Nothing was changed.",
                          kMbOk);
        return nullptr;
    }
    return portfolio;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words) text.append(text.empty() ? "" : ", ").append(w);
    return text;
}

}  // namespace

int RunRemove(const std::string& dir, const std::vector<std::string>& symbols, std::ostream& out,
              std::ostream& err) {
    auto platform = MakePosixPlatform();
    CCliPrompt prompt(err);
    int status = 0;
    std::unique_ptr<CPortfolio> portfolio =
        OpenWhole(*platform, prompt, dir, kDefaultWaitSeconds, err, &status);
    if (!portfolio) return status;
    std::vector<std::string> removed, lines;
    for (const std::string& symbol : symbols) {
        const CPortfolio::Entry* entry = portfolio->FindSymbol(symbol);
        if (entry == nullptr) {
            // The same symbol twice names one security.
            if (std::any_of(removed.begin(), removed.end(),
                            [&](const std::string& s) { return EqualIgnoringAsciiCase(s, symbol); })) {
                continue;
            }
            prompt.MessageBox(dir + " holds no security with the symbol " + symbol + ". Nothing was removed.",
                              kMbOk);
            return kExitFailed;
        }
        const SecurityEntry security = entry->security;
        const bool inXMaster = entry->inXMaster;
        if (portfolio->StageRemove(*entry) != 0) return kExitFailed;
        removed.push_back(security.symbol);
        lines.push_back("Removed " + security.symbol + " (" + security.name + ", " +
                        (inXMaster ? MwdFileName(security.fileNumber) : DataFileName(security.fileNumber)) +
                        ") from " + dir + ".");
    }
    portfolio->SetChangeName("Removal of " + Joined(removed));
    if (portfolio->Commit(false) != 0) return kExitFailed;
    for (const std::string& line : lines) out << line << "\n";
    out << "tarvel-cli undo " << dir << " brings " << (removed.size() == 1 ? "it" : "them") << " back.\n";
    return 0;
}

int RunRename(const std::string& dir, const std::string& symbol, const std::optional<std::string>& newSymbol,
              const std::optional<std::string>& newName, std::ostream& out, std::ostream& err) {
    if (!newSymbol && !newName) {
        err << "tarvel-cli: rename: give --symbol NEW, --name NAME or both\n";
        return kExitUsage;
    }
    auto platform = MakePosixPlatform();
    CCliPrompt prompt(err);
    int status = 0;
    std::unique_ptr<CPortfolio> portfolio =
        OpenWhole(*platform, prompt, dir, kDefaultWaitSeconds, err, &status);
    if (!portfolio) return status;
    const CPortfolio::Entry* entry = portfolio->FindSymbol(symbol);
    if (entry == nullptr) {
        prompt.MessageBox(dir + " holds no security with the symbol " + symbol + ". Nothing was renamed.",
                          kMbOk);
        return kExitFailed;
    }
    const SecurityEntry old = entry->security;
    const std::string toSymbol = newSymbol.value_or(old.symbol), toName = newName.value_or(old.name);
    if (portfolio->StageRename(*entry, toSymbol, toName) != 0) return kExitFailed;
    portfolio->SetChangeName("Renaming of " + old.symbol);
    if (portfolio->Commit(false) != 0) return kExitFailed;
    out << "Renamed " << old.symbol << " (" << old.name << ") to " << toSymbol << " (" << toName << ") in "
        << dir << ".\n";
    return 0;
}

int RunUndo(const std::string& dir, std::ostream& out, std::ostream& err) {
    auto platform = MakePosixPlatform();
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
