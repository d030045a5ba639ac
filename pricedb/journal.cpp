#include "pricedb/journal.h"

#include <optional>
#include <utility>

#include "pricedb/extended_masters.h"
#include "pricedb/layout.h"
#include "pricedb/master_check.h"

namespace tarvel {

bool IsKeptName(std::string_view name) {
    return name.size() > 4 && EqualIgnoringAsciiCase(name.substr(name.size() - 4), kKeptSuffix);
}

std::string JournalText(const std::vector<JournalStep>& steps) {
    std::string text;
    for (const JournalStep& step : steps) {
        if (step.remove) {
            text.append("D ").append(step.to + "\n");
        } else {
            text.append(step.replace ? "R " : "N ").append(step.from + " " + step.to + "\n");
        }
    }
    return text + "END\n";
}

bool ParseJournal(const Bytes& bytes, std::vector<JournalStep>* steps) {
    std::string text(bytes.begin(), bytes.end());
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) return false;
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line == "END") return at == text.size();
        if (line.starts_with("D ")) {
            std::string name = line.substr(2);
            if (name.empty() || name.find_first_of("/ ") != std::string::npos) return false;
            steps->push_back({false, "", std::move(name), true});
            continue;
        }
        std::size_t space = line.find(' ', 2);
        if (line.size() < 5 || (line[0] != 'N' && line[0] != 'R') || line[1] != ' ' ||
            space == std::string::npos) {
            return false;
        }
        JournalStep step{line[0] == 'R', line.substr(2, space - 2), line.substr(space + 1)};
        // Only our own renames inside the directory: a new file into place,
        // a file kept for undo, or a kept one brought back.
        if (step.to.empty() || HoldsPathSeparator(step.to) || HoldsPathSeparator(step.from) ||
            (step.from != step.to + kTempSuffix && step.from != step.to + kKeptSuffix &&
             step.to != step.from + kKeptSuffix)) {
            return false;
        }
        steps->push_back(std::move(step));
    }
    return false;
}

CStatus RunJournal(CPlatform& platform, const std::string& directory, const std::vector<JournalStep>& steps) {
    for (const JournalStep& step : steps) {
        std::string from = JoinPath(directory, step.from), to = JoinPath(directory, step.to);
        if (step.remove) {
            if (!platform.Examine(to).exists && !platform.Examine(to).symbolicLink) continue;
            if (CStatus status = platform.Remove(to); !status) return status;
            continue;
        }
        if (!platform.Examine(from).exists) continue;
        CStatus status = step.replace ? platform.Rename(from, to) : platform.RenameNoReplace(from, to);
        if (!status) return status;
    }
    return CStatus::Ok();
}

namespace {

// Whether `name` is one a commit may put in place or remove: a directory
// file, the backup of MASTER, a price or field file, the undo record, or a
// file of these kept for undo.
bool IsPortfolioFileName(const std::string& name) {
    std::string_view stem = name;
    if (IsKeptName(stem)) stem.remove_suffix(4);
    for (const char* file : {kMasterName, kEMasterName, kXMasterName, "MASTER.BAK", kUndoRecordName}) {
        if (EqualIgnoringAsciiCase(stem, file)) return true;
    }
    return FileNumberOf(stem, ".DAT") != 0 || FileNumberOf(stem, ".DOP") != 0 ||
           FileNumberOf(stem, ".MWD", 65535) != 0;
}

// The source of the step that puts `name` in place, when that step is still
// to be done; nullptr otherwise.
const JournalStep* PendingStepTo(CPlatform& platform, const std::string& directory,
                                 const std::vector<JournalStep>& steps, const char* name) {
    for (const JournalStep& step : steps) {
        if (!step.remove && EqualIgnoringAsciiCase(step.to, name) &&
            platform.Examine(JoinPath(directory, step.from)).exists) {
            return &step;
        }
    }
    return nullptr;
}

// What is wrong with the directory files the steps would put in place; ""
// when nothing is. A source that cannot be read is left to the reader of the
// file it becomes, so that a passing fault never costs a committed journal.
std::string CheckDirectoryFilesToPlace(CPlatform& platform, const std::string& directory,
                                       const std::vector<JournalStep>& steps) {
    Bytes master;
    bool masterKnown = false;
    if (const JournalStep* step = PendingStepTo(platform, directory, steps, kMasterName)) {
        std::string path = JoinPath(directory, step->from);
        if (ReadFileBytes(platform, path, &master, kMasterReadLimit)) {
            if (std::string problem = CheckMaster(master, path); !problem.empty()) return problem;
            masterKnown = true;
        }
    } else if (std::optional<std::string> name = platform.FindName(directory, kMasterName)) {
        masterKnown = ReadFileBytes(platform, JoinPath(directory, *name), &master, kMasterReadLimit).ok() &&
                      CheckMaster(master, *name).empty();
    }
    if (const JournalStep* step = PendingStepTo(platform, directory, steps, kEMasterName);
        step && masterKnown) {
        std::string path = JoinPath(directory, step->from);
        Bytes emaster;
        if (ReadFileBytes(platform, path, &emaster, kDirectoryFileReadLimit)) {
            if (std::string problem = CheckEMaster(emaster, master, path); !problem.empty()) return problem;
        }
    }
    if (const JournalStep* step = PendingStepTo(platform, directory, steps, kXMasterName)) {
        std::string path = JoinPath(directory, step->from);
        Bytes xmaster;
        if (ReadFileBytes(platform, path, &xmaster, kDirectoryFileReadLimit)) {
            if (std::string problem = CheckXMaster(xmaster, path); !problem.empty()) return problem;
        }
    }
    return {};
}

}  // namespace

JournalTrust ExamineJournal(CPlatform& platform, const std::string& directory,
                            std::vector<JournalStep>* steps, std::string* problem, CStatus* readFailure) {
    std::string path = JoinPath(directory, kJournalName);
    CPlatform::FileInfo info = platform.Examine(path);
    if (!info.exists) return JournalTrust::kNone;
    // A journal is renamed into place whole once written and synced, as a
    // regular file naming only our own files.
    if (!info.regular || info.symbolicLink) {
        *problem = "it is not a regular file.";
        return JournalTrust::kForeign;
    }
    Bytes bytes;
    // Unreadable now is not proof of a stranger's file: it stays, and the
    // failed read says why.
    if (CStatus status = ReadFileBytes(platform, path, &bytes, 1 << 20); !status) {
        *readFailure = status;
        return JournalTrust::kUnreadable;
    }
    if (!ParseJournal(bytes, steps)) {
        *problem = "it is not a whole journal of Tarvel's.";
        return JournalTrust::kForeign;
    }
    for (const JournalStep& step : *steps) {
        if (!IsPortfolioFileName(step.to)) {
            *problem = "it names " + step.to + ", which is no file of a portfolio.";
            return JournalTrust::kForeign;
        }
    }
    if (std::string damaged = CheckDirectoryFilesToPlace(platform, directory, *steps); !damaged.empty()) {
        *problem = "what it would put in place is damaged. " + damaged;
        return JournalTrust::kForeign;
    }
    return JournalTrust::kOurs;
}

CStatus FinishJournal(CPlatform& platform, const std::string& directory, std::string* message) {
    std::string path = JoinPath(directory, kJournalName);
    std::vector<JournalStep> steps;
    std::string problem, ignored;
    if (message == nullptr) message = &ignored;
    message->clear();
    CStatus status;
    switch (ExamineJournal(platform, directory, &steps, &problem, &status)) {
        case JournalTrust::kNone:
            return CStatus::Ok();
        case JournalTrust::kUnreadable:
            *message = JournalStaysMessage(status, directory);
            return status;
        case JournalTrust::kForeign:
            // A directory may hold files of the user's: it is theirs to remove.
            if (!platform.Examine(path).symbolicLink && platform.IsDirectory(path)) {
                *message = path +
                           " is a directory, not a journal of Tarvel's; remove it. Nothing more is converted "
                           "into " +
                           directory + " until it is gone.";
                return CStatus::NotRegular();
            }
            if (status = platform.Remove(path); !status) {
                *message = path + " is not a journal of Tarvel's and cannot be removed: " + status.Text() +
                           ". Remove it; nothing more is converted into " + directory + " until it is gone.";
                return status;
            }
            *message = "The journal " + path + " was not carried out and is removed: " + problem +
                       " Nothing it names was renamed.";
            return CStatus::Ok();
        case JournalTrust::kOurs:
            break;
    }
    status = RunJournal(platform, directory, steps);
    if (status) status = platform.Remove(path);
    if (!status) *message = JournalStaysMessage(status, directory);
    return status;
}

std::string JournalStaysMessage(const CStatus& status, const std::string& directory) {
    return "A conversion into " + directory + " was saved but could not be completed (" +
           JoinPath(directory, kJournalName) + "), and still cannot: " + status.Text() +
           ". Nothing more is converted until it can.";
}

}  // namespace tarvel
