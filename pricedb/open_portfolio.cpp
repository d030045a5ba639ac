#include "pricedb/open_portfolio.h"

#include <cerrno>
#include <optional>
#include <utility>

#include "pricedb/journal.h"
#include "pricedb/layout.h"

namespace tarvel {
namespace {

// ClaimPortfolio, telling in *failure, when it returns nullptr, whether the
// directory was refused before its MASTER was looked at.
std::unique_ptr<CPortfolio> Claim(CPlatform& platform, CPrompt& prompt, const std::string& directory,
                                  const PortfolioAccess& access, PortfolioOpening* failure) {
    auto refuse = [&](const std::string& message, PortfolioOpening how) {
        prompt.MessageBox(message, kMbOk);
        *failure = how;
        return nullptr;
    };
    CPortfolio::Claim claim;
    // Two conversions into one portfolio take turns: the lock is on the
    // directory, which stays the same while MASTER is replaced.
    CStatus locked = platform.LockDirectory(
        directory, access.waitSeconds,
        [&] {
            if (access.onWaiting)
                access.onWaiting("Waiting for another conversion into " + directory + "...");
        },
        &claim.lock);
    if (!locked) {
        if (locked.Number() == EWOULDBLOCK) {
            return refuse(directory + " is busy with another conversion.", PortfolioOpening::kRefused);
        }
        return refuse("Cannot lock the portfolio " + directory + ": " + locked.Text(),
                      PortfolioOpening::kRefused);
    }
    // A commit that a killed run left half done is completed before MASTER
    // is looked at: it may be what makes MASTER. One that is none of ours is
    // removed unused, and the user told why.
    std::string journalMessage;
    if (CStatus status = FinishJournal(platform, directory, &journalMessage); !status) {
        claim.journalStays = journalMessage;
    } else if (!journalMessage.empty()) {
        prompt.MessageBox(journalMessage, kMbOk);
    }
    std::optional<std::string> existing = platform.FindName(directory, kMasterName);
    std::string masterPath = JoinPath(directory, existing.value_or(kMasterName));
    if (access.maxMasterPath != 0 && masterPath.size() > access.maxMasterPath) {
        return refuse("Path does not exist: " + JoinPath(directory, kMasterName), PortfolioOpening::kRefused);
    }
    // Any file of that name counts, even one that does not open.
    if (access.master == MasterChoice::kExisting && !existing) {
        return refuse("Path specified does not point to a Master file", PortfolioOpening::kRefused);
    }
    if (access.master == MasterChoice::kNew && existing) {
        return refuse("New Master chosen but one already exists", PortfolioOpening::kRefused);
    }
    *failure = PortfolioOpening::kNotOpened;
    if (existing) {
        CPlatform::FileInfo info = platform.Examine(masterPath);
        // Replacing a link would turn it into a file and cut it from what it
        // points to.
        if (info.symbolicLink) return refuse(SymbolicLinkMessage(masterPath), PortfolioOpening::kNotOpened);
        if (!ReadCheckedMaster(platform, prompt, masterPath, &claim.master, access.masterReadLimit))
            return nullptr;
        if (!info.writable) {
            return refuse("The Master file " + masterPath + " is read-only.", PortfolioOpening::kNotOpened);
        }
    }
    return std::make_unique<CPortfolio>(platform, prompt, directory, std::move(masterPath), !existing,
                                        std::move(claim));
}

}  // namespace

std::unique_ptr<CPortfolio> ClaimPortfolio(CPlatform& platform, CPrompt& prompt, const std::string& directory,
                                           const PortfolioAccess& access) {
    PortfolioOpening failure = PortfolioOpening::kRefused;
    return Claim(platform, prompt, directory, access, &failure);
}

PortfolioOpening OpenPortfolioForChange(CPlatform& platform, CPrompt& prompt, const std::string& directory,
                                        const PortfolioAccess& access,
                                        std::unique_ptr<CPortfolio>* portfolio) {
    PortfolioOpening failure = PortfolioOpening::kRefused;
    std::unique_ptr<CPortfolio> claimed = Claim(platform, prompt, directory, access, &failure);
    if (!claimed) return failure;
    if (claimed->Open() != 0) return PortfolioOpening::kNotOpened;
    *portfolio = std::move(claimed);
    return PortfolioOpening::kOpened;
}

}  // namespace tarvel
