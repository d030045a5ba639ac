#include "pricedb/find_security.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <functional>
#include <set>
#include <thread>
#include <vector>

#include "platform/file_util.h"
#include "pricedb/journal.h"
#include "pricedb/layout.h"
#include "pricedb/master_check.h"
#include "pricedb/price_file.h"

namespace tarvel {
namespace {}  // namespace

bool MasterRecordMatches(const std::uint8_t* record, std::string_view symbol) {
    if (EqualIgnoringAsciiCase(symbol, FieldText(record + kRecName, kTextFieldWidth))) return true;
    int k = CountChar(symbol, ' ');
    std::size_t span = WordSpanLength(record + kRecSymbol, kTextFieldWidth, ' ', k + 1);
    std::string_view symbolText(reinterpret_cast<const char*>(record + kRecSymbol), span);
    return EqualIgnoringAsciiCase(symbol, symbolText);
}

namespace {

// A sub-directory name that stays inside the directory it stands in.
bool IsSafeName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && !HoldsPathSeparator(name);
}

struct Level {
    std::string path;  // ends in "/" unless it is "" (the current directory)
    bool enterable = true;
    long position = 0;  // 0: not searched; 1..count: seek "<DIR>" from here; count + 1: done
};

struct OpenedMaster {
    Bytes bytes;
    long count = 0;
    long RecordsPresent() const { return static_cast<long>(bytes.size() / kMasterRecordSize) - 1; }
    const std::uint8_t* Record(long i) const {
        return bytes.data() + kMasterRecordSize * static_cast<std::size_t>(i);
    }
};

// Reads the level's MASTER whole and checks it. When it is there but cannot
// be read or is damaged, stores why in *problem (the first such reason only).
bool OpenMaster(CPlatform& platform, const Level& level, OpenedMaster* master, std::string* problem) {
    if (!level.enterable) return false;
    std::optional<std::string> name = platform.FindName(level.path, kMasterName);
    if (!name) return false;
    std::string path = level.path + *name;
    if (path.size() > kMaxWalkPath) return false;
    auto note = [&](std::string text) {
        if (problem != nullptr && problem->empty()) *problem = std::move(text);
        return false;
    };
    // More than 1024 records cannot be a whole MASTER; reading stops there.
    if (CStatus status = ReadFileBytes(platform, path, &master->bytes, kMasterRecordSize * 1024 + 1);
        !status) {
        return note(OpenFailureMessage(status, "Cannot read the Master file", path));
    }
    std::string damage = CheckMaster(master->bytes, path);
    if (!damage.empty()) return note(std::move(damage));
    master->count = DecodeMasterHeader(master->bytes.data()).securityCount;
    return true;
}

// The level of the sub-directory that "<DIR>" entry `record` of `parent`
// names; not enterable when it is too deep, names no safe sub-directory, its
// path would be too long or it was visited before.
Level SubLevel(CPlatform& platform, const Level& parent, const std::uint8_t* record, std::size_t depth,
               std::set<std::string>& visited) {
    Level sub;
    sub.enterable = false;
    std::string name = FieldText(record + kRecName, kDirNameLength);
    if (depth >= static_cast<std::size_t>(kMaxDirectoryDepth) || !IsSafeName(name)) return sub;
    std::optional<std::string> actual = platform.FindName(parent.path, name);
    if (!actual) return sub;
    sub.path = parent.path + *actual + kPathSeparator;
    std::string canonical;
    platform.CanonicalPath(sub.path, &canonical);
    sub.enterable =
        sub.path.size() + 6 <= kMaxWalkPath && !canonical.empty() && visited.insert(canonical).second;
    return sub;
}

// Times the directory files of a level are read before they count as damaged.
constexpr int kReadAttempts = 10;

// Reads EMASTER or XMASTER of the level, when it has one, and checks it.
// False when it is there but unreadable or damaged, after noting why.
bool ReadExtendedMaster(CPlatform& platform, const Level& level, const char* name, Bytes* bytes, bool* has,
                        const std::function<std::string(const Bytes&, const std::string&)>& check,
                        std::string* problem) {
    std::optional<std::string> found = platform.FindName(level.path, name);
    *has = found.has_value();
    if (!found) return true;
    std::string path = level.path + *found;
    std::string text;
    if (CStatus status = ReadFileBytes(platform, path, bytes, 1 << 24); !status) {
        text = OpenFailureMessage(status, "Cannot read the Master file", path);
    } else {
        text = check(*bytes, path);
    }
    if (text.empty()) return true;
    if (problem != nullptr && problem->empty()) *problem = std::move(text);
    return false;
}

void ListLevel(CPlatform& platform, const Level& level, int depth, std::set<std::string>& visited,
               std::vector<ListedSecurity>& out, std::string* problem) {
    OpenedMaster master;
    Bytes emaster, xmaster;
    bool hasE = false, hasX = false;
    // A conversion replaces MASTER and EMASTER one after the other; a reader
    // between the two sees them disagree for a moment, and reads them again.
    Bytes lastMaster, lastEMaster;
    for (int attempt = 1;; ++attempt) {
        std::string seen;
        const std::string journal = level.path + kJournalName;
        bool committing = platform.Examine(journal).exists;
        master = OpenedMaster();
        if (!OpenMaster(platform, level, &master, problem)) return;
        if (ReadExtendedMaster(
                platform, level, kEMasterName, &emaster, &hasE,
                [&](const Bytes& b, const std::string& p) { return CheckEMaster(b, master.bytes, p); },
                &seen) &&
            ReadExtendedMaster(platform, level, kXMasterName, &xmaster, &hasX, CheckXMaster, &seen)) {
            break;
        }
        // Damaged, or caught between two renames: read again while a
        // commit's journal was there before or after the reads, or the files
        // changed since the previous reads; a file that reads the same
        // twice with no commit under way is damaged.
        committing = committing || platform.Examine(journal).exists;
        const bool changed = attempt == 1 || master.bytes != lastMaster || emaster != lastEMaster;
        if (attempt == kReadAttempts || (!committing && !changed)) {
            if (problem != nullptr && problem->empty()) *problem = seen;
            return;
        }
        lastMaster = master.bytes;
        lastEMaster = emaster;
        if (attempt > 1) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    long last = std::min(master.count, master.RecordsPresent());
    for (long i = 1; i <= last; ++i) {
        const std::uint8_t* r = master.Record(i);
        if (IsDirectoryEntry(r)) continue;
        ListedSecurity listed;
        listed.directory = level.path;
        std::memcpy(listed.record.data(), r, kMasterRecordSize);
        const std::uint8_t* er =
            hasE ? emaster.data() + kEMasterRecordSize * static_cast<std::size_t>(i) : nullptr;
        listed.entry = DecodeMasterRecord(r, er, &listed.fieldsKnown);
        listed.fieldCount = r[kRecFieldCount];
        listed.dataFile = DataFileName(listed.entry.fileNumber);
        out.push_back(std::move(listed));
    }
    for (std::size_t at = kXMasterRecordSize; hasX && at + kXMasterRecordSize <= xmaster.size();
         at += kXMasterRecordSize) {
        ListedSecurity listed;
        listed.directory = level.path;
        listed.inXMaster = true;
        listed.record.fill(0);
        listed.entry = DecodeXMasterRecord(&xmaster[at]);
        listed.fieldsKnown = FieldsOfBits(xmaster[at + kXRecFieldBits], listed.entry.fieldOn);
        for (bool on : listed.entry.fieldOn) listed.fieldCount += on ? 1 : 0;
        listed.dataFile = MwdFileName(listed.entry.fileNumber);
        out.push_back(std::move(listed));
    }
    for (long i = 1; i <= last; ++i) {
        const std::uint8_t* r = master.Record(i);
        if (!IsDirectoryEntry(r)) continue;
        Level sub = SubLevel(platform, level, r, static_cast<std::size_t>(depth), visited);
        if (sub.enterable) ListLevel(platform, sub, depth + 1, visited, out, problem);
    }
}

}  // namespace

std::vector<ListedSecurity> ListPortfolio(CPlatform& platform, const std::string& directory,
                                          std::string* problem) {
    std::vector<ListedSecurity> out;
    Level top;
    top.path = WithSeparator(directory);
    std::set<std::string> visited;
    std::string canonical;
    platform.CanonicalPath(directory.empty() ? "." : directory, &canonical);
    if (canonical.empty()) return out;
    visited.insert(canonical);
    ListLevel(platform, top, 0, visited, out, problem);
    return out;
}

bool FindListedSecurity(CPlatform& platform, const std::string& directory, std::string_view symbol,
                        ListedSecurity* found, std::string* problem) {
    for (ListedSecurity& s : ListPortfolio(platform, directory, problem)) {
        bool match = s.inXMaster ? EqualIgnoringAsciiCase(symbol, s.entry.symbol) ||
                                       EqualIgnoringAsciiCase(symbol, s.entry.name)
                                 : MasterRecordMatches(s.record.data(), symbol);
        if (match) {
            *found = std::move(s);
            return true;
        }
    }
    return false;
}

int CountChar(std::string_view text, char c) {
    int n = 0;
    for (char x : text) n += x == c ? 1 : 0;
    return n;
}

std::size_t WordSpanLength(const std::uint8_t* field, std::size_t width, char c, int k) {
    int seen = 0;
    for (std::size_t i = 0; i < width; ++i) {
        if (field[i] == 0) return i;
        if (field[i] == static_cast<std::uint8_t>(c) && ++seen == k) return i;
    }
    return width;
}

std::int16_t FindSecurity(CPlatform& platform, const std::string& directory, std::string_view symbol,
                          MasterRecordBytes* record, std::string* recordDir, std::string* problem) {
    std::vector<Level> levels(1);
    levels[0].path = WithSeparator(directory);
    std::set<std::string> visited;
    std::string canonical;
    platform.CanonicalPath(directory.empty() ? "." : directory, &canonical);
    levels[0].enterable = !canonical.empty() && visited.insert(canonical).second;

    for (;;) {
        Level& level = levels.back();
        OpenedMaster master;
        // A MASTER is read for its records, and again each time the walk
        // comes back to it for its next "<DIR>" entry.
        if (!OpenMaster(platform, level, &master, level.position == 0 ? problem : nullptr)) {
            // Gone or damaged since its records were searched.
            if (level.position > 0 && level.enterable) return kFindEndedEarly;
            level.position = 1;
            master.count = 0;
        } else {
            bool readable = true;
            if (level.position == 0) {
                long i = 1;
                for (; i <= master.count; ++i) {
                    if (i > master.RecordsPresent()) {
                        readable = false;
                        break;
                    }
                    const std::uint8_t* r = master.Record(i);
                    if (IsDirectoryEntry(r)) {
                        if (level.position == 0) level.position = i;
                    } else if (MasterRecordMatches(r, symbol)) {
                        std::memcpy(record->data(), r, kMasterRecordSize);
                        for (std::size_t offset : {kRecFirstDate, kRecLastDate}) {
                            StoredNumber stored;
                            std::memcpy(stored.data(), r + offset, 4);
                            EncodeFixed32(&(*record)[offset],
                                          std::bit_cast<std::uint32_t>(DecodeStoredNumber(stored)));
                        }
                        *recordDir = level.path;
                        return kFindFound;
                    }
                }
                if (!readable) {
                    level.position = 1;
                    master.count = 0;
                } else if (level.position == 0) {
                    level.position = master.count + 1;
                }
            }
            if (readable && level.position <= master.count) {
                bool entered = false;
                while (level.position <= master.count) {
                    if (level.position > master.RecordsPresent()) return kFindEndedEarly;
                    const std::uint8_t* r = master.Record(level.position);
                    ++level.position;
                    if (!IsDirectoryEntry(r)) continue;
                    Level sub = SubLevel(platform, level, r, levels.size() - 1, visited);
                    levels.push_back(std::move(sub));
                    entered = true;
                    break;
                }
                if (entered) continue;
            }
        }
        Level& current = levels.back();
        if (current.position >= master.count + 1) {
            if (levels.size() == 1) return kFindNotFound;
            levels.pop_back();
        }
    }
}

std::vector<int> RecordFields(CPlatform& platform, const ListedSecurity& s, int fieldCount) {
    std::vector<int> fields;
    if (s.fieldsKnown) {
        for (int f = 0; f < kFieldCount; ++f) {
            if (s.entry.fieldOn[f]) fields.push_back(f);
        }
        if (static_cast<int>(fields.size()) == fieldCount) return fields;
    }
    fields.clear();
    for (const std::string& label :
         ReadFieldLabels(platform, s.directory, s.entry.fileNumber, static_cast<std::size_t>(fieldCount))) {
        for (int f = 0; f < kFieldCount; ++f) {
            if (EqualIgnoringAsciiCase(label, kFieldLabels[f])) fields.push_back(f);
        }
    }
    if (static_cast<int>(fields.size()) == fieldCount) return fields;
    switch (fieldCount) {
        case 5:
            return {kDate, kHigh, kLow, kClose, kVolume};
        case 6:
            return {kDate, kOpen, kHigh, kLow, kClose, kVolume};
        case 7:
            return {kDate, kOpen, kHigh, kLow, kClose, kVolume, kOpenInt};
        default:
            fields.clear();
            for (int f = 0; f < fieldCount; ++f) fields.push_back(f == 0 ? kDate : kClose);
            return fields;
    }
}

}  // namespace tarvel
