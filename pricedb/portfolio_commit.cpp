#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_util.h"
#include "pricedb/journal.h"
#include "pricedb/portfolio.h"
#include "pricedb/portfolio_state.h"

namespace tarvel {
namespace {

UndoFile UndoEntry(char kind, std::string name, std::uint64_t size = 0, std::uint64_t hash = 0) {
    UndoFile f;
    f.kind = kind;
    f.name = std::move(name);
    f.size = size;
    f.hash = hash;
    return f;
}

std::string BaseName(const std::string& path) { return FileName(path); }

}  // namespace

CStatus CPortfolio::FinishPendingJournal() {
    // Under the lock only a commit of this object leaves a journal behind.
    if (!m_bJournalPending) return CStatus::Ok();
    CStatus status = FinishJournal(m_platform, m_strDirectory);
    m_bJournalPending = !status.ok();
    return status;
}

void CPortfolio::DropOps(std::size_t from) {
    for (std::size_t i = from; i < m_ops.size(); ++i) {
        if (m_ops[i].written) m_platform.Remove(JoinPath(m_strDirectory, m_ops[i].dataName + kTempSuffix));
    }
    m_ops.resize(std::min(from, m_ops.size()));
}

bool CPortfolio::WriteHeldOps() {
    std::size_t held = 0;
    for (const Op& op : m_ops) held += op.data.size();
    for (Op& op : m_ops) {
        if (held <= m_nHeldBytesLimit) break;
        if (op.written) continue;
        const std::string temp = JoinPath(m_strDirectory, op.dataName + kTempSuffix);
        if (CStatus status = WriteNewFile(m_platform, temp, op.data); !status) {
            m_prompt.MessageBox(CannotWriteMessage(status, JoinPath(m_strDirectory, op.dataName)), kMbOk);
            return false;
        }
        op.written = true;
        op.size = op.data.size();
        op.hash = HashBytes(op.data);
        held -= op.data.size();
        Bytes().swap(op.data);
    }
    return true;
}

int CPortfolio::FailWrite(const std::string& path, const CStatus& status) {
    m_prompt.MessageBox(CannotWriteMessage(status, path), kMbOk);
    *m_state = *m_committed;
    DropOps(0);
    m_nStagedBytes = 0;
    return 1;
}

bool CPortfolio::RecordUndo(UndoRecord* undo, std::vector<JournalStep>* first, bool backup) {
    const State& s = *m_state;
    const State& before = *m_committed;
    if (m_bUndoLost) return false;
    if (m_undo) {
        *undo = *m_undo;
        if (!m_strChangeName.empty()) undo->what = m_strChangeName;
    } else {
        undo->what = m_strChangeName.empty() ? "Conversion" : m_strChangeName;
        // The undo of the change before this one goes: its record is
        // replaced, and the files it kept are removed.
        if (std::optional<std::string> name = m_platform.FindName(m_strDirectory, kUndoRecordName)) {
            Bytes bytes;
            UndoRecord previous;
            if (ReadFileBytes(m_platform, JoinPath(m_strDirectory, *name), &bytes, kUndoRecordReadLimit) &&
                ParseUndoRecord(bytes, &previous)) {
                for (const UndoFile& f : previous.files) {
                    if (f.kind == 'K') first->push_back({false, "", f.name + kKeptSuffix, true});
                }
            }
        }
        // Kept files that no record names any more (the record lost) go too.
        std::vector<std::string> names;
        m_platform.ListDirectory(m_strDirectory, &names);
        for (const std::string& name : names) {
            if (!IsKeptName(name)) continue;
            const std::string stem = name.substr(0, name.size() - 4);
            const bool priceFile = FileNumberOf(stem, ".DAT") != 0 || FileNumberOf(stem, ".DOP") != 0 ||
                                   FileNumberOf(stem, ".MWD", 65535) != 0;
            const bool listed = std::any_of(first->begin(), first->end(),
                                            [&](const JournalStep& step) { return step.to == name; });
            if (priceFile && !listed) first->push_back({false, "", name, true});
        }
    }
    for (const State::Removed& removed : s.removed) {
        first->push_back({true, removed.name, removed.name + kKeptSuffix});
        undo->files.push_back(UndoEntry('K', removed.name, removed.size, removed.hash));
    }
    for (const Op& op : m_ops) {
        const std::uint64_t size = op.written ? op.size : op.data.size();
        const std::uint64_t hash = op.written ? op.hash : HashBytes(op.data);
        if (UndoFile* f = undo->Find(op.dataName)) {
            f->size = size;
            f->hash = hash;
        } else if (op.append) {
            undo->files.push_back(UndoEntry('C', op.dataName, size, hash));
            undo->files.back().oldSize = op.oldSize;
            undo->files.back().old = op.oldHeader;
        } else {
            undo->files.push_back(UndoEntry('A', op.dataName, size, hash));
        }
        if (!op.dop.empty()) {
            auto dop = std::span(reinterpret_cast<const std::uint8_t*>(op.dop.data()), op.dop.size());
            undo->files.push_back(
                UndoEntry('A', DescriptionFileName(op.fileNumber), dop.size(), HashBytes(dop)));
        }
    }
    // A directory file is put back whole, or removed when the change made
    // it; one it left must still be as it is now.
    auto directoryFile = [&](const std::string& name, bool existed, const Bytes& old, bool changed,
                             const Bytes& now) {
        UndoFile* f = undo->Find(name);
        if (f == nullptr) {
            undo->files.push_back(UndoEntry(changed ? (existed ? 'R' : 'A') : (existed ? 'S' : 'Z'), name));
            f = &undo->files.back();
            if (f->kind == 'R') f->old = old;
        } else if (changed && f->kind == 'S') {
            f->kind = 'R';
            f->old = old;
        } else if (changed && f->kind == 'Z') {
            f->kind = 'A';
        }
        if (f->kind != 'Z') {
            f->size = now.size();
            f->hash = HashBytes(now);
        }
    };
    const std::string masterName = BaseName(m_strMasterPath);
    directoryFile(m_platform.FindName(m_strDirectory, kXMasterName).value_or(kXMasterName), before.hasXMaster,
                  before.xmaster, s.xmasterChanged, s.xmaster);
    directoryFile(m_bNewMaster ? std::string(kEMasterName)
                               : m_platform.FindName(m_strDirectory, kEMasterName).value_or(kEMasterName),
                  before.hasEMaster && !m_bNewMaster, before.emaster, s.emasterChanged, s.emaster);
    const std::string backupName = masterName + ".BAK";
    // MASTER.BAK only when the change writes it: undo leaves it alone else.
    if (backup) {
        const std::string path = JoinPath(m_strDirectory, backupName);
        CPlatform::FileInfo info = m_platform.Examine(path);
        Bytes old;
        // A backup that is no plain file of ours, or cannot be read, could
        // not be put back as it is.
        if (info.symbolicLink || (info.exists && !info.regular)) return false;
        if (info.exists &&
            (!ReadFileBytes(m_platform, path, &old, kUndoRecordReadLimit) || old.size() != info.size)) {
            return false;
        }
        directoryFile(backupName, info.exists, old, backup, backup ? before.master : old);
    }
    directoryFile(masterName, !m_bNewMaster, before.master, s.masterChanged, s.master);
    return true;
}

int CPortfolio::Commit(bool backup) {
    State& s = *m_state;
    if (m_ops.empty() && !s.maintained) return 0;
    // An earlier commit of this run whose renames could not all be done
    // must be completed first: its journal may not be replaced.
    if (CStatus status = FinishPendingJournal(); !status) {
        m_prompt.MessageBox(JournalStaysMessage(status, m_strDirectory), kMbOk);
        *m_state = *m_committed;
        DropOps(0);
        m_nStagedBytes = 0;
        return 1;
    }
    auto bytesOf = [](const std::string& text) {
        return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    };
    CStagedFiles staged(m_platform);
    std::vector<JournalStep> steps;
    // Price files first: new ones are renamed into place before the commit
    // (no directory file lists them yet), appended ones replace theirs in
    // the journal.
    std::vector<std::pair<std::string, std::string>> newFiles;
    for (const Op& op : m_ops) {
        std::string temp = op.dataName + kTempSuffix;
        std::string tempPath = JoinPath(m_strDirectory, temp);
        staged.Add(tempPath);
        if (CStatus status = op.written ? CStatus::Ok() : WriteNewFile(m_platform, tempPath, op.data);
            !status) {
            return FailWrite(JoinPath(m_strDirectory, op.dataName), status);
        }
        if (op.append) {
            steps.push_back({true, temp, op.dataName});
            continue;
        }
        newFiles.emplace_back(temp, op.dataName);
        if (!op.dop.empty()) {
            std::string dopName = DescriptionFileName(op.fileNumber);
            std::string dopTemp = JoinPath(m_strDirectory, dopName + kTempSuffix);
            staged.Add(dopTemp);
            if (CStatus status = WriteNewFile(m_platform, dopTemp, {bytesOf(op.dop)}); !status) {
                return FailWrite(JoinPath(m_strDirectory, dopName), status);
            }
            newFiles.emplace_back(dopName + kTempSuffix, dopName);
        }
    }
    const std::string masterName = BaseName(m_strMasterPath);
    const std::string backupTemp = m_strMasterPath + ".BAK" + kTempSuffix;
    auto stageDirectoryFile = [&](const std::string& name, const Bytes& bytes, bool isNew) {
        std::string tempPath = JoinPath(m_strDirectory, name + kTempSuffix);
        staged.Add(tempPath);
        if (CStatus status = WriteNewFile(m_platform, tempPath, bytes); !status) return status;
        std::string path = JoinPath(m_strDirectory, name);
        // The new file keeps the owner's choice of permissions.
        if (!isNew) {
            if (CStatus status = m_platform.CopyPermissions(path, tempPath); !status) return status;
        }
        steps.push_back({!isNew, name + kTempSuffix, name});
        return CStatus::Ok();
    };
    const State& before = *m_committed;
    if (s.xmasterChanged) {
        std::string name = m_platform.FindName(m_strDirectory, kXMasterName).value_or(kXMasterName);
        if (CStatus status = stageDirectoryFile(name, s.xmaster, !before.hasXMaster); !status) {
            return FailWrite(JoinPath(m_strDirectory, name), status);
        }
    }
    if (s.emasterChanged) {
        std::string name = m_bNewMaster
                               ? std::string(kEMasterName)
                               : m_platform.FindName(m_strDirectory, kEMasterName).value_or(kEMasterName);
        if (CStatus status = stageDirectoryFile(name, s.emaster, m_bNewMaster); !status) {
            return FailWrite(JoinPath(m_strDirectory, name), status);
        }
    }
    const bool backupMaster = backup && s.masterChanged && !m_bNewMaster;
    if (backupMaster) {
        staged.Add(backupTemp);
        if (CStatus status = WriteNewFile(m_platform, backupTemp, before.master); !status) {
            return FailWrite(m_strMasterPath + ".BAK", status);
        }
        CPlatform::FileInfo old = m_platform.Examine(m_strMasterPath + ".BAK");
        steps.push_back(
            {old.exists || old.symbolicLink, masterName + ".BAK" + kTempSuffix, masterName + ".BAK"});
    }
    UndoRecord undo;
    std::vector<JournalStep> first;
    const bool undoable = RecordUndo(&undo, &first, backupMaster);
    const std::string recordName =
        m_platform.FindName(m_strDirectory, kUndoRecordName).value_or(kUndoRecordName);
    const bool hadRecord = m_platform.Examine(JoinPath(m_strDirectory, recordName)).exists;
    if (undoable) {
        // A new record: it keeps no permissions of the old one, which may
        // have been made unreadable.
        const std::string recordTemp = JoinPath(m_strDirectory, recordName + kTempSuffix);
        staged.Add(recordTemp);
        if (CStatus status = WriteNewFile(m_platform, recordTemp, EncodeUndoRecord(undo)); !status)
            return FailWrite(JoinPath(m_strDirectory, recordName), status);
        steps.push_back({hadRecord, recordName + kTempSuffix, recordName});
    } else if (hadRecord) {
        // An older record would undo the wrong change.
        steps.push_back({false, "", recordName, true});
    }
    steps.insert(steps.begin(), first.begin(), first.end());
    // The undo record and kept files are replaced or removed by the journal:
    // something else under those names (a directory, a link) would stop it
    // after its commit point, so it stops the commit now.
    for (const JournalStep& step : steps) {
        const bool ours = EqualIgnoringAsciiCase(step.to, recordName) || IsKeptName(step.to);
        CPlatform::FileInfo info = m_platform.Examine(JoinPath(m_strDirectory, step.to));
        if (ours && (info.symbolicLink || (info.exists && !info.regular))) {
            m_prompt.MessageBox(
                JoinPath(m_strDirectory, step.to) +
                    " is in the way: Tarvel keeps a file of its own under that name, and it is "
                    "not a regular file. Remove or rename it; nothing was changed.",
                kMbOk);
            *m_state = *m_committed;
            DropOps(0);
            m_nStagedBytes = 0;
            return 1;
        }
    }
    if (s.masterChanged) {
        if (CStatus status = stageDirectoryFile(masterName, s.master, m_bNewMaster); !status) {
            return FailWrite(m_strMasterPath, status);
        }
    }

    // Renamed files join the clean-up only once they are ours: a file that
    // appeared meanwhile under the name makes the rename fail and stays.
    // Their names become durable with the commit's rename, which syncs the
    // directory.
    for (const auto& [temp, name] : newFiles) {
        std::string tempPath = JoinPath(m_strDirectory, temp), path = JoinPath(m_strDirectory, name);
        if (CStatus status = m_platform.RenameNoReplace(tempPath, path, false); !status)
            return FailWrite(path, status);
        staged.Forget(tempPath);
        staged.Add(path);
    }
    bool journaled = steps.size() != 1;
    if (!journaled) {
        // One file to replace: its rename is the commit.
        const JournalStep& step = steps.front();
        std::string from = JoinPath(m_strDirectory, step.from), to = JoinPath(m_strDirectory, step.to);
        CStatus committed = step.replace ? m_platform.Rename(from, to) : m_platform.RenameNoReplace(from, to);
        if (!committed && committed.Number() == EBUSY && m_platform.FindName(m_strDirectory, step.from)) {
            // Another program holds the file open (on Windows, a reader of
            // MASTER): the conversion is saved by a journal, and the rename
            // is left to it, now or in the next run.
            journaled = true;
        } else if (!committed) {
            if (!m_platform.FindName(m_strDirectory, step.from)) {
                // Renamed, but the directory could not be synced: put the old
                // file back so that it lists no security whose files go.
                if (!step.replace) {
                    m_platform.Remove(to);
                } else {
                    ReplaceFile(m_platform, to, from, step.to == masterName ? before.master : before.xmaster);
                }
            }
            return FailWrite(to, committed);
        }
    }
    if (journaled) {
        std::string journal = JoinPath(m_strDirectory, kJournalName);
        std::string text = JournalText(steps);
        staged.Add(journal + kTempSuffix);
        if (CStatus status = WriteNewFile(m_platform, journal + kTempSuffix, {bytesOf(text)}); !status) {
            return FailWrite(journal, status);
        }
        if (CStatus status = m_platform.RenameNoReplace(journal + kTempSuffix, journal); !status) {
            // Renamed, but the directory could not be synced: the journal is
            // ours and goes with the rest. Otherwise it was never ours.
            if (!m_platform.Examine(journal + kTempSuffix).exists) m_platform.Remove(journal);
            return FailWrite(journal, status);
        }
        // Committed: what follows only completes it, now or in the next run.
        staged.ForgetAll();
        // A step that failed is tried once more before the run gives up on it.
        CStatus completed = RunJournal(m_platform, m_strDirectory, steps);
        if (!completed) completed = RunJournal(m_platform, m_strDirectory, steps);
        if (completed) {
            m_platform.Remove(journal);
        } else {
            m_bJournalPending = true;
            m_prompt.MessageBox("The conversion is saved, but " + m_strDirectory +
                                    " could not be brought up to date: " + completed.Text() +
                                    ". The next conversion into it completes it.",
                                kMbOk);
        }
    }
    staged.ForgetAll();
    if (undoable) {
        m_undo = std::make_unique<UndoRecord>(std::move(undo));
    } else {
        m_undo.reset();
        m_bUndoLost = true;
    }
    s.removed.clear();
    s.maintained = false;
    m_bWroteBackup = m_bWroteBackup || backupMaster;
    s.masterChanged = s.emasterChanged = s.xmasterChanged = false;
    m_bNewMaster = false;
    *m_committed = s;
    m_ops.clear();
    m_nStagedBytes = 0;
    return 0;
}

}  // namespace tarvel
