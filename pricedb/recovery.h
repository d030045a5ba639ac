// Clearing what an interrupted conversion left in a portfolio directory, so
// that the next one finds the old portfolio or the new one and nothing else
// under names of ours.
#pragma once

#include <string>

#include "platform/platform.h"
#include "platform/prompt.h"

namespace tarvel {

// Whether `name` is a temporary file name of ours: MASTER.~NU,
// MASTER.BAK.~NU, EMASTER.~NU, XMASTER.~NU, MASTER.~JN.~NU, F<n>.DAT.~NU,
// F<n>.DOP.~NU, F<n>.MWD.~NU, and the older MASTER.NEW and F<n>.NEW.
bool IsTemporaryName(const std::string& name);

// Removes what an interrupted conversion left in `directory`: a committed
// journal is carried out first; then the price files of securities that a
// pending MASTER.~NU or XMASTER.~NU lists but the file itself does not are
// removed, and every temporary file of ours. Failures are ignored; what stays is never
// read as data. A journal that is none of ours is removed unused, and
// `prompt`, when given, shows why (as it shows why one stays).
void RemoveLeftovers(CPlatform& platform, const std::string& directory, const std::string& masterPath,
                     CPrompt* prompt = nullptr);

// RemoveLeftovers for a directory whose committed journal, if there was one,
// has been carried out already: the caller checked that FinishJournal
// succeeded, and holds the lock that keeps another journal from appearing.
void RemoveUncommittedFiles(CPlatform& platform, const std::string& directory, const std::string& masterPath);

}  // namespace tarvel
