// Reading a portfolio while another process may commit to it. A commit
// changes MASTER, EMASTER or XMASTER, and while it renames more files than
// MASTER alone its journal stands in the directory; so a read that finds no
// journal and the same directory files before and after it saw no commit
// midway.
#pragma once

#include <functional>
#include <string>

#include "platform/platform.h"

namespace tarvel {

// Calls `read` until one call saw one state of the portfolio in `directory`:
// no journal there, and MASTER, EMASTER and XMASTER the same bytes before and
// after the call. Between tries it waits a little, as a commit takes a moment.
// Returns false when the portfolio was still changing after `maxWaitMs`
// milliseconds (the last call's results are then not of one state).
bool ReadOneState(CPlatform& platform, const std::string& directory, const std::function<void()>& read,
                  int maxWaitMs = 10000);

}  // namespace tarvel
