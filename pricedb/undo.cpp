#include "pricedb/undo.h"

#include <charconv>
#include <optional>

#include "pricedb/journal.h"
#include "pricedb/open_portfolio.h"

namespace tarvel {
namespace {

constexpr const char* kUndoMagic = "TARVEL UNDO 1";

bool ParseNumber(std::string_view text, std::uint64_t* value, int base = 10) {
    if (text.empty()) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value, base);
    return error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    while (!line.empty()) {
        std::size_t space = line.find(' ');
        words.push_back(line.substr(0, space));
        if (space == std::string_view::npos) break;
        line.remove_prefix(space + 1);
    }
    return words;
}

std::string Hex(std::uint64_t value) {
    char text[17];
    auto [end, error] = std::to_chars(text, text + sizeof text, value, 16);
    return std::string(text, end);
}

// Whether the file at `path` is a regular file of `size` bytes hashing to
// `hash`; *bytes, when given, receives them. A failed read is a difference.
bool FileIs(CPlatform& platform, const std::string& path, std::uint64_t size, std::uint64_t hash,
            Bytes* bytes = nullptr) {
    CPlatform::FileInfo info = platform.Examine(path);
    if (!info.exists || !info.regular || info.symbolicLink) return false;
    Bytes read;
    if (!ReadFileBytes(platform, path, &read, size + 1)) return false;
    if (read.size() != size || HashBytes(read) != hash) return false;
    if (bytes != nullptr) *bytes = std::move(read);
    return true;
}

}  // namespace

std::uint64_t HashBytes(std::span<const std::uint8_t> bytes, std::uint64_t hash) {
    for (std::uint8_t b : bytes) hash = (hash ^ b) * 0x100000001b3ULL;
    return hash;
}

UndoFile* UndoRecord::Find(const std::string& name) {
    for (UndoFile& f : files) {
        if (f.name == name) return &f;
    }
    return nullptr;
}

Bytes EncodeUndoRecord(const UndoRecord& record) {
    std::string text = std::string(kUndoMagic) + "\nWHAT " + record.what + "\n";
    Bytes bytes;
    auto flush = [&] {
        bytes.insert(bytes.end(), text.begin(), text.end());
        text.clear();
    };
    for (const UndoFile& f : record.files) {
        text.push_back(f.kind);
        text.append(" ").append(f.name);
        if (f.kind != 'Z') text.append(" ").append(std::to_string(f.size)).append(" ").append(Hex(f.hash));
        if (f.kind == 'R') text.append(" ").append(std::to_string(f.old.size()));
        if (f.kind == 'C') {
            text.append(" ")
                .append(std::to_string(f.oldSize))
                .append(" ")
                .append(std::to_string(f.old.size()));
        }
        text.push_back('\n');
        if (f.kind == 'R' || f.kind == 'C') {
            flush();
            bytes.insert(bytes.end(), f.old.begin(), f.old.end());
        }
    }
    text.append("END\n");
    flush();
    return bytes;
}

bool ParseUndoRecord(const Bytes& bytes, UndoRecord* record) {
    std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::size_t at = 0;
    auto nextLine = [&](std::string_view* line) {
        std::size_t end = all.find('\n', at);
        if (end == std::string_view::npos) return false;
        *line = all.substr(at, end - at);
        at = end + 1;
        return true;
    };
    std::string_view line;
    if (!nextLine(&line) || line != kUndoMagic || !nextLine(&line) || !line.starts_with("WHAT "))
        return false;
    record->what = std::string(line.substr(5));
    record->files.clear();
    while (nextLine(&line)) {
        if (line == "END") return at == all.size();
        std::vector<std::string_view> w = Words(line);
        if (w.size() < 2 || w[0].size() != 1 || w[1].empty() || HoldsPathSeparator(w[1]) || w[1] == "." ||
            w[1] == "..") {
            return false;
        }
        UndoFile f;
        f.kind = w[0][0];
        f.name = std::string(w[1]);
        const std::size_t expected = f.kind == 'Z' ? 2 : f.kind == 'R' ? 5 : f.kind == 'C' ? 6 : 4;
        if (std::string_view("ASZRCK").find(f.kind) == std::string_view::npos || w.size() != expected)
            return false;
        if (f.kind != 'Z' && (!ParseNumber(w[2], &f.size) || !ParseNumber(w[3], &f.hash, 16))) return false;
        std::uint64_t blob = 0;
        if (f.kind == 'R' && !ParseNumber(w[4], &blob)) return false;
        if (f.kind == 'C' &&
            (!ParseNumber(w[4], &f.oldSize) || !ParseNumber(w[5], &blob) || blob > f.oldSize))
            return false;
        if (blob > all.size() - at) return false;
        f.old.assign(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + blob));
        at += blob;
        record->files.push_back(std::move(f));
    }
    return false;
}

std::string UndoableChange(CPlatform& platform, const std::string& directory) {
    std::optional<std::string> name = platform.FindName(directory, kUndoRecordName);
    Bytes bytes;
    UndoRecord record;
    if (!name || !ReadFileBytes(platform, JoinPath(directory, *name), &bytes, kUndoRecordReadLimit) ||
        !ParseUndoRecord(bytes, &record)) {
        return {};
    }
    return record.what;
}

int UndoLastChange(CPlatform& platform, CPrompt& prompt, const std::string& directory, int waitSeconds,
                   std::string* what) {
    PortfolioAccess access;
    access.master = MasterChoice::kExisting;
    access.waitSeconds = waitSeconds;
    std::unique_ptr<CPortfolio> portfolio;
    // The lock keeps every other change out until the undo is committed.
    if (OpenPortfolioForChange(platform, prompt, directory, access, &portfolio) != PortfolioOpening::kOpened)
        return 1;
    auto refuse = [&](const std::string& text) {
        prompt.MessageBox(text, kMbOk);
        return 1;
    };
    std::optional<std::string> recordName = platform.FindName(directory, kUndoRecordName);
    if (!recordName) return refuse("There is nothing to undo in " + directory + ".");
    const std::string recordPath = JoinPath(directory, *recordName);
    Bytes bytes;
    if (CStatus status = ReadFileBytes(platform, recordPath, &bytes, kUndoRecordReadLimit); !status)
        return refuse(OpenFailureMessage(status, "Cannot read the undo record", recordPath));
    UndoRecord record;
    if (!ParseUndoRecord(bytes, &record))
        return refuse(recordPath + " is not an undo record Tarvel can read. Nothing was undone.");

    // Every file must be as the change left it: anything else was changed
    // since, and undoing would throw that away.
    std::vector<Bytes> current(record.files.size());
    for (std::size_t i = 0; i < record.files.size(); ++i) {
        const UndoFile& f = record.files[i];
        const std::string path = JoinPath(directory, f.name);
        CPlatform::FileInfo info = platform.Examine(path);
        bool same = false;
        switch (f.kind) {
            case 'Z':
                same = !info.exists && !info.symbolicLink;
                break;
            case 'K':
                same = !info.exists && !info.symbolicLink &&
                       FileIs(platform, path + kKeptSuffix, f.size, f.hash);
                break;
            default:
                same = FileIs(platform, path, f.size, f.hash, f.kind == 'C' ? &current[i] : nullptr);
        }
        if (!same) {
            // A kept file that is gone or changed is the one to name.
            const std::string named =
                f.kind == 'K' && !info.exists && !info.symbolicLink ? path + kKeptSuffix : path;
            return refuse(named + " is not as the last change (" + record.what +
                          ") left it; undoing that change would lose what changed it since. Nothing was "
                          "undone.");
        }
    }

    CStagedFiles temporaries(platform);
    std::vector<JournalStep> steps, removals;
    for (std::size_t i = 0; i < record.files.size(); ++i) {
        const UndoFile& f = record.files[i];
        const std::string path = JoinPath(directory, f.name), temp = f.name + kTempSuffix;
        switch (f.kind) {
            case 'A':
                removals.push_back({false, "", f.name, true});
                break;
            case 'K':
                steps.push_back({false, f.name + kKeptSuffix, f.name});
                break;
            case 'R':
            case 'C': {
                Bytes old = f.old;
                if (f.kind == 'C') {
                    old = std::move(current[i]);
                    old.resize(std::min<std::size_t>(old.size(), f.oldSize));
                    std::copy(f.old.begin(), f.old.end(), old.begin());
                }
                const std::string tempPath = JoinPath(directory, temp);
                temporaries.Add(tempPath);
                CStatus status = WriteNewFile(platform, tempPath, old);
                if (status) status = platform.CopyPermissions(path, tempPath);
                if (!status) return refuse(CannotWriteMessage(status, path) + " Nothing was undone.");
                steps.push_back({true, temp, f.name});
                break;
            }
            default:
                break;
        }
    }
    steps.insert(steps.end(), removals.begin(), removals.end());
    steps.push_back({false, "", *recordName, true});

    const std::string journal = JoinPath(directory, kJournalName);
    const std::string text = JournalText(steps);
    temporaries.Add(journal + kTempSuffix);
    CStatus status =
        WriteNewFile(platform, journal + kTempSuffix,
                     {std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())});
    if (status) status = platform.RenameNoReplace(journal + kTempSuffix, journal);
    if (!status) {
        if (!platform.Examine(journal + kTempSuffix).exists) platform.Remove(journal);
        return refuse(CannotWriteMessage(status, journal) + " Nothing was undone.");
    }
    // Committed: what follows completes it, now or in the next run.
    temporaries.ForgetAll();
    *what = record.what;
    CStatus completed = RunJournal(platform, directory, steps);
    if (!completed) completed = RunJournal(platform, directory, steps);
    if (completed) completed = platform.Remove(journal);
    if (!completed) {
        prompt.MessageBox("The undo is saved, but " + directory + " could not be brought up to date: " +
                              completed.Text() + ". The next change to it completes it.",
                          kMbOk);
    }
    return 0;
}

}  // namespace tarvel
