// Changes to a portfolio's securities that are no conversion: removing and
// renaming, each in one commit under the portfolio's lock, on a portfolio
// that the check finds whole.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/prompt.h"
#include "pricedb/portfolio.h"

namespace tarvel {

// Opens `dir` for such a change: locked (waiting `waitSeconds`), with what
// an interrupted conversion left completed or removed, and refused after a
// message when CheckPortfolioFiles finds a problem. nullptr after a message.
std::unique_ptr<CPortfolio> OpenWholePortfolio(CPlatform& platform, CPrompt& prompt, const std::string& dir,
                                               int waitSeconds);

// Removes the securities `symbols` (a symbol given twice counts once) in one
// commit; *removed receives them as they were. 0, or 1 after a message,
// nothing changed.
int RemoveSecurities(CPlatform& platform, CPrompt& prompt, const std::string& dir,
                     const std::vector<std::string>& symbols, int waitSeconds,
                     std::vector<CPortfolio::Entry>* removed);

// Gives the security `symbol` a new symbol, name or both; *old receives it
// as it was. 0, or 1 after a message, nothing changed.
int RenameSecurity(CPlatform& platform, CPrompt& prompt, const std::string& dir, const std::string& symbol,
                   const std::optional<std::string>& newSymbol, const std::optional<std::string>& newName,
                   int waitSeconds, CPortfolio::Entry* old);

}  // namespace tarvel
