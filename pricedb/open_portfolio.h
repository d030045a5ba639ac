// Taking a portfolio directory for a change: every conversion, batch or
// update starts here, so that the lock, the completion of a committed
// journal, the removal of leftovers and the checks of MASTER happen once, in
// one order, with the same messages.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/prompt.h"
#include "pricedb/master_check.h"
#include "pricedb/portfolio.h"

namespace tarvel {

// Which MASTER a change is made to.
enum class MasterChoice {
    kExisting,  // the directory's own; refused when it has none
    kNew,       // a new one; refused when the directory has one already
    kEither,    // the directory's own, or a new one when it has none
};

struct PortfolioAccess {
    MasterChoice master = MasterChoice::kEither;
    // Seconds to wait for another process holding the directory (0: none).
    int waitSeconds = 0;
    // Told, once, "Waiting for another conversion into <directory>..." when
    // the lock has to be waited for.
    std::function<void(const std::string&)> onWaiting;
    // Longest path of MASTER the caller can keep (0: any); a longer one is
    // refused with "Path does not exist: <directory>/MASTER".
    std::size_t maxMasterPath = 0;
    // Bytes of MASTER read at most; a longer MASTER is judged by them.
    std::size_t masterReadLimit = kDirectoryFileReadLimit;
};

// Takes `directory` for a change, in this order, stopping at the first step
// that fails with a message box naming why:
//  - locks it, waiting as `access` says ("<directory> is busy with another
//    conversion." when the wait runs out, "Cannot lock the portfolio
//    <directory>: <reason>" otherwise);
//  - carries out a committed journal, once; when it stays, its message is
//    kept for CPortfolio::Open(), which refuses the portfolio with it;
//  - finds MASTER (in any case of letters) and refuses the choice of
//    `access` that does not fit: "Path specified does not point to a Master
//    file" or "New Master chosen but one already exists";
//  - reads and checks an existing MASTER: a symbolic link, one that does not
//    read, a damaged or a read-only one is refused.
// Returns the portfolio, holding the lock until it is destroyed, with MASTER
// read once; its Open() then removes leftovers and reads the rest. Returns
// nullptr after the message otherwise, with the lock released.
std::unique_ptr<CPortfolio> ClaimPortfolio(CPlatform& platform, CPrompt& prompt, const std::string& directory,
                                           const PortfolioAccess& access);

// How far OpenPortfolioForChange got.
enum class PortfolioOpening {
    kOpened,     // the portfolio is open, locked, for staging and commits
    kRefused,    // the lock was not taken, or the MASTER chosen is missing or there already
    kNotOpened,  // a directory file was refused or the journal stays; the lock is released again
};

// ClaimPortfolio, then CPortfolio::Open(): every message of either, in that
// order. Stores the open portfolio in *portfolio when the result is kOpened;
// otherwise a message said why.
PortfolioOpening OpenPortfolioForChange(CPlatform& platform, CPrompt& prompt, const std::string& directory,
                                        const PortfolioAccess& access,
                                        std::unique_ptr<CPortfolio>* portfolio);

}  // namespace tarvel
