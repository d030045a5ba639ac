#include "pricedb/journal.h"

#include <utility>

namespace tarvel {

std::string JournalText(const std::vector<JournalStep>& steps) {
    std::string text;
    for (const JournalStep& step : steps) text.append(step.replace ? "R " : "N ").append(step.from + " " + step.to + "\n");
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
        std::size_t space = line.find(' ', 2);
        if (line.size() < 5 || (line[0] != 'N' && line[0] != 'R') || line[1] != ' ' || space == std::string::npos) {
            return false;
        }
        JournalStep step{line[0] == 'R', line.substr(2, space - 2), line.substr(space + 1)};
        // Only our own renames: <name>.~NU to <name>, inside the directory.
        if (step.to.empty() || step.to.find('/') != std::string::npos || step.from != step.to + kTempSuffix) {
            return false;
        }
        steps->push_back(std::move(step));
    }
    return false;
}

CStatus RunJournal(CPlatform& platform, const std::string& directory, const std::vector<JournalStep>& steps) {
    for (const JournalStep& step : steps) {
        std::string from = JoinPath(directory, step.from), to = JoinPath(directory, step.to);
        if (!platform.Examine(from).exists) continue;
        CStatus status = step.replace ? platform.Rename(from, to) : platform.RenameNoReplace(from, to);
        if (!status) return status;
    }
    return CStatus::Ok();
}

CStatus FinishJournal(CPlatform& platform, const std::string& directory) {
    std::string path = JoinPath(directory, kJournalName);
    CPlatform::FileInfo info = platform.Examine(path);
    if (!info.exists) return CStatus::Ok();
    Bytes bytes;
    std::vector<JournalStep> steps;
    // A journal is renamed into place whole once written and synced; one
    // that is no regular file or does not parse is none of ours and is
    // removed like any other leftover under our names.
    if (!info.regular || info.symbolicLink) return platform.Remove(path);
    if (CStatus status = ReadFileBytes(platform, path, &bytes, 1 << 20); !status) return status;
    if (!ParseJournal(bytes, &steps)) return platform.Remove(path);
    if (CStatus status = RunJournal(platform, directory, steps); !status) return status;
    return platform.Remove(path);
}

std::string JournalStaysMessage(const CStatus& status, const std::string& directory) {
    return "A conversion into " + directory + " was saved but could not be completed (" +
           JoinPath(directory, kJournalName) + "), and still cannot: " + status.Text() +
           ". Nothing more is converted until it can.";
}

}  // namespace tarvel
