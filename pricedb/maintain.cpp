#include "pricedb/maintain.h"

#include <algorithm>

#include "pricedb/journal.h"
#include "pricedb/open_portfolio.h"
#include "pricedb/portfolio_check.h"

namespace tarvel {

std::unique_ptr<CPortfolio> OpenWholePortfolio(CPlatform& platform, CPrompt& prompt, const std::string& dir,
                                               int waitSeconds) {
    PortfolioAccess access;
    access.master = MasterChoice::kExisting;
    access.waitSeconds = waitSeconds;
    std::unique_ptr<CPortfolio> portfolio;
    if (OpenPortfolioForChange(platform, prompt, dir, access, &portfolio) != PortfolioOpening::kOpened)
        return nullptr;
    // A change to a damaged portfolio could bury the damage deeper.
    PortfolioCheck check = CheckPortfolioFiles(platform, dir);
    // Kept files that no record names are no damage: the commit removes them.
    auto problem = std::find_if(check.findings.begin(), check.findings.end(),
                                [](const PortfolioFinding& f) { return !f.warning && !IsKeptName(f.file); });
    if (problem != check.findings.end()) {
        prompt.MessageBox(dir + " is damaged (" + problem->file + ": " + problem->text +
                              "; tarvel-cli check " + dir + " lists every problem). Nothing was changed.",
                          kMbOk);
        return nullptr;
    }
    return portfolio;
}

int RemoveSecurities(CPlatform& platform, CPrompt& prompt, const std::string& dir,
                     const std::vector<std::string>& symbols, int waitSeconds,
                     std::vector<CPortfolio::Entry>* removed) {
    std::unique_ptr<CPortfolio> portfolio = OpenWholePortfolio(platform, prompt, dir, waitSeconds);
    if (!portfolio) return 1;
    removed->clear();
    std::string names;
    for (const std::string& symbol : symbols) {
        const CPortfolio::Entry* entry = portfolio->FindSymbol(symbol);
        if (entry == nullptr) {
            if (std::any_of(removed->begin(), removed->end(), [&](const CPortfolio::Entry& e) {
                    return EqualIgnoringAsciiCase(e.security.symbol, symbol);
                })) {
                continue;
            }
            prompt.MessageBox(dir + " holds no security with the symbol " + symbol + ". Nothing was removed.",
                              kMbOk);
            return 1;
        }
        CPortfolio::Entry copy = *entry;
        if (portfolio->StageRemove(*entry) != 0) return 1;
        names.append(names.empty() ? "" : ", ").append(copy.security.symbol);
        removed->push_back(std::move(copy));
    }
    portfolio->SetChangeName("Removal of " + names);
    return portfolio->Commit(false);
}

int RenameSecurity(CPlatform& platform, CPrompt& prompt, const std::string& dir, const std::string& symbol,
                   const std::optional<std::string>& newSymbol, const std::optional<std::string>& newName,
                   int waitSeconds, CPortfolio::Entry* old) {
    std::unique_ptr<CPortfolio> portfolio = OpenWholePortfolio(platform, prompt, dir, waitSeconds);
    if (!portfolio) return 1;
    const CPortfolio::Entry* entry = portfolio->FindSymbol(symbol);
    if (entry == nullptr) {
        prompt.MessageBox(dir + " holds no security with the symbol " + symbol + ". Nothing was renamed.",
                          kMbOk);
        return 1;
    }
    *old = *entry;
    if (portfolio->StageRename(*entry, newSymbol.value_or(old->security.symbol),
                               newName.value_or(old->security.name)) != 0) {
        return 1;
    }
    portfolio->SetChangeName("Renaming of " + old->security.symbol);
    return portfolio->Commit(false);
}

}  // namespace tarvel
