// The journal of a commit that replaces more than one file of a portfolio.
//
// A commit writes every new file under its name with kTempSuffix added, then
// a journal listing the renames that put them in place, under
// MASTER.~JN.~NU; renaming that to MASTER.~JN is the commit point. The
// renames are then carried out and the journal removed, by the commit or,
// after a crash, by the next process that takes the portfolio's lock.
//
// Format: text lines ending in "\n", one per step, in the order they are
// carried out:
//   "N <from> <to>"  rename; <to> must not exist
//   "R <from> <to>"  rename over <to>
//   "D <name>"       remove <name>
// then "END" and nothing after it. A rename puts a new file in place (<from>
// is <to> followed by kTempSuffix), keeps a file for undo (<to> is <from>
// followed by kKeptSuffix) or brings a kept one back (<from> is <to>
// followed by kKeptSuffix). All names are inside the portfolio directory,
// holding no "/", blank or line end. A file that does not read so whole
// (cut short, or anything else) is not a journal of ours.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_util.h"
#include "platform/platform.h"

namespace tarvel {

// Temporary names get this suffix (MASTER.~NU, F3.DAT.~NU, MASTER.BAK.~NU).
inline constexpr const char* kTempSuffix = ".~NU";
// The journal of a commit that replaces more than one file.
inline constexpr const char* kJournalName = "MASTER.~JN";
// A file a change removed or replaced is kept under its name with this
// suffix until the next change, so that undo can bring it back.
inline constexpr const char* kKeptSuffix = ".~UN";
// Whether `name` (or a path ending in it) is a file kept for undo.
bool IsKeptName(std::string_view name);
// What undo needs to put back the last change (pricedb/undo.h).
inline constexpr const char* kUndoRecordName = "MASTER.~UR";

struct JournalStep {
    bool replace;  // "R": over an existing file; "N": to a name that must be free
    std::string from, to;
    bool remove = false;  // "D": removes `to`; `from` is empty
};

// The journal's text for `steps`, "END" line included.
std::string JournalText(const std::vector<JournalStep>& steps);

// Reads `bytes` as a journal into *steps (appended). False when they are not
// a whole journal of ours; *steps may then hold some of its lines.
bool ParseJournal(const Bytes& bytes, std::vector<JournalStep>* steps);

// The files a commit has written or renamed into place so far, removed
// again when it gives up before its commit point (the object goes without
// ForgetAll()).
class CStagedFiles {
public:
    explicit CStagedFiles(CPlatform& platform) : m_platform(platform) {}
    ~CStagedFiles() {
        for (const std::string& path : m_paths) m_platform.Remove(path);
    }
    CStagedFiles(const CStagedFiles&) = delete;
    CStagedFiles& operator=(const CStagedFiles&) = delete;
    void Add(const std::string& path) { m_paths.push_back(path); }
    void Forget(const std::string& path) { std::erase(m_paths, path); }
    void ForgetAll() { m_paths.clear(); }

private:
    CPlatform& m_platform;
    std::vector<std::string> m_paths;
};

// Carries out, in order, the renames whose source is still there and the
// removals of files that are; a step done before is skipped. Stops at the first rename that fails, so that
// MASTER, the last step, never goes ahead of the files it lists. Non-OK, with that rename's status, then.
CStatus RunJournal(CPlatform& platform, const std::string& directory, const std::vector<JournalStep>& steps);

// Whether the journal in `directory` may be carried out. kOurs fills *steps;
// kForeign sets *problem to a message that names the journal and says why it
// is none of ours: not a regular file, not a whole journal, a name that is no
// file of a portfolio, or a MASTER, EMASTER or XMASTER to put in place that
// is damaged (the checks a directory file read from disk passes).
// kUnreadable, with the failed read's status in *readFailure, when it could
// not be read: it may be ours, so it stays.
enum class JournalTrust { kNone, kOurs, kForeign, kUnreadable };
JournalTrust ExamineJournal(CPlatform& platform, const std::string& directory,
                            std::vector<JournalStep>* steps, std::string* problem, CStatus* readFailure);

// Carries out the renames of a committed journal in `directory`, if there is
// one of ours, and removes it; removes one that is none of ours without
// renaming anything. Non-OK, with the status of the step that failed, when a
// journal stays. *message, when given, receives what to show: why a journal
// was removed unused (the status is OK then), or why one stays, with what to
// do about it; it is left empty when a journal was carried out or none was
// there.
CStatus FinishJournal(CPlatform& platform, const std::string& directory, std::string* message = nullptr);

// Why nothing is converted while a committed journal cannot be carried out;
// `status` is what FinishJournal returned.
std::string JournalStaysMessage(const CStatus& status, const std::string& directory);

}  // namespace tarvel
