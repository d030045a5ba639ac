// Changing a portfolio in one step. New securities' files are written whole
// under temporary names and renamed into place; then one rename is the
// commit point (MASTER's, or a journal's when more files are replaced). Until
// it, the portfolio is the old one; a failure, or a process killed at any
// instant, leaves nothing that the next conversion does not remove or
// complete.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_util.h"
#include "platform/platform.h"
#include "platform/prompt.h"
#include "pricedb/extended_masters.h"
#include "pricedb/journal.h"
#include "pricedb/layout.h"
#include "pricedb/undo.h"

namespace tarvel {

inline constexpr const char* kFullPortfolioMessage =
    "This portfolio already has the\nmaximum number of symbols (255).\nChoose a different or new portfolio.";

inline constexpr const char* kFullXMasterMessage =
    "This portfolio already has the\nmaximum number of symbols (2000).\nChoose a different or new portfolio.";

struct NewSecurity {
    std::string name;
    std::string symbol;
    bool fieldOn[kFieldCount] = {};
    int fieldCount = 0;
    StoredNumber firstDate{};
    StoredNumber lastDate{};
    std::string ticker;             // as the input wrote it, in a file of several tickers
    std::uint16_t recordCount = 0;  // price records in `records`
    Bytes records;                  // recordCount records of 4 * fieldCount bytes, oldest first
};

// A portfolio directory opened for changes by one process holding its lock:
// MASTER, and EMASTER and XMASTER where the directory has them, read and
// checked once, then any number of new securities and appended rows staged
// in memory and written by Commit() in one step. The commit point is one
// rename: of MASTER when it is the only existing file replaced, otherwise of
// a journal (MASTER.~JN) listing the renames that complete the commit, which
// the commit and, after a crash, the next conversion carry out.
class CPortfolio {
public:
    struct Entry {
        bool inXMaster = false;
        int index = 0;  // record number in its directory file (1..count)
        SecurityEntry security;
    };

    CPortfolio(CPlatform& platform, CPrompt& prompt, std::string directory, std::string masterPath,
               bool newMaster);

    // What ClaimPortfolio (open_portfolio.h) did before the portfolio is
    // opened: the directory's lock, which this object then holds until it
    // is destroyed; why a committed journal could not be carried out (the
    // message, or empty when none stays); and MASTER as read and checked,
    // empty for a new MASTER.
    struct Claim {
        std::unique_ptr<CDirectoryLock> lock;
        std::string journalStays;
        Bytes master;
    };
    CPortfolio(CPlatform& platform, CPrompt& prompt, std::string directory, std::string masterPath,
               bool newMaster, Claim claim);
    ~CPortfolio();

    // Completes or removes what an interrupted conversion left, then reads
    // and checks the directory files (MASTER only when it was not claimed
    // with it). 0, or 1 after a message.
    int Open();

    const std::string& MasterPath() const { return m_strMasterPath; }

    // The security whose symbol is `symbol` but for ASCII case, staged ones
    // included; nullptr when there is none.
    const Entry* FindSymbol(std::string_view symbol) const;
    // Whether a MASTER record (staged ones included) is taken for `symbol`
    // by FindSecurity's rule, and whether MASTER names sub-portfolios, which
    // only FindSecurity searches. Both answer from a claimed portfolio's
    // MASTER before Open() too.
    bool MasterMatches(std::string_view symbol) const;
    bool HasSubPortfolios() const;

    // Stages `security` as a new one: in MASTER (and EMASTER) while MASTER
    // has room, else in XMASTER with an F<n>.MWD. 0 with the number in
    // *fileNumber, or 1 after a message, nothing staged.
    int StageNew(const NewSecurity& security, int* fileNumber);
    // Stages appending the records of `newer` (oldest first) dated after the
    // last record of `entry`'s price file. *added and *leftOut count the
    // records taken and those on or before that date. 0, or 1 after a
    // message (fields that differ, a damaged price file, too many records),
    // nothing staged.
    int StageAppend(const Entry& entry, const NewSecurity& newer, int* added, int* leftOut);

    // Stages the removal of `entry`: its record leaves MASTER (and EMASTER)
    // or XMASTER, the records after it move up with their file numbers, and
    // its price and description files are kept for undo. 0, or 1 after a
    // message (a file that cannot be read), nothing staged.
    int StageRemove(const Entry& entry);
    // Stages a new symbol and name for `entry`, refused as a conversion
    // refuses them: a blank symbol, one longer than 14 bytes, text no record
    // may hold, a name longer than the directory file keeps, or a symbol
    // another security has. 0, or 1 after a message, nothing staged.
    int StageRename(const Entry& entry, const std::string& symbol, const std::string& name);
    // What the next commit is, for undo ("Conversion of ACME"); a commit
    // names "Conversion" when it is not told.
    void SetChangeName(std::string what) { m_strChangeName = std::move(what); }

    // What is staged so far, to go back to when a later step for the same
    // input fails.
    struct Mark;
    std::shared_ptr<const Mark> MarkStaged() const;
    void RollBack(const Mark& mark);
    // Bytes of price records staged but not yet committed.
    std::size_t StagedBytes() const { return m_nStagedBytes; }
    // Price files staged (new or appended to) are written to their
    // temporary files before the next is staged once those held in memory
    // pass `bytes`, so that a commit of any size holds a bounded amount of
    // memory. A security whose price file is written so takes no further
    // rows before the commit.
    void SetHeldBytesLimit(std::size_t bytes) { m_nHeldBytesLimit = bytes; }
    static constexpr std::size_t kHeldBytesLimit = 32u << 20;
    // Whether a commit of this object wrote MASTER.BAK.
    bool WroteBackup() const { return m_bWroteBackup; }

    // Writes everything staged in one commit. With `backup`, MASTER.BAK holds
    // MASTER as it was before. The undo record (pricedb/undo.h) goes in the
    // same commit; the files kept for the undo of an earlier change go with
    // it. 0; or 1 after a message, and then the files and this object are as
    // they were before the staging.
    int Commit(bool backup);

private:
    struct Op;
    struct State;
    // Shows CannotWriteMessage for `path` and `status`, drops everything
    // staged and returns 1.
    int FailWrite(const std::string& path, const CStatus& status);
    // Drops the ops from `from` on, with the temporary files written for them.
    void DropOps(std::size_t from);
    // Writes the price files staged so far to their temporary files while
    // those held in memory pass m_nHeldBytesLimit, before another is staged.
    // False after a message when one cannot be written; what was staged
    // stays staged.
    bool WriteHeldOps();
    // Carries out a journal that a commit of this object could not; OK when
    // none stays.
    CStatus FinishPendingJournal();
    // The undo record of this object's commits with this one's added, and the
    // steps that go with it; false when it cannot be made.
    bool RecordUndo(UndoRecord* undo, std::vector<JournalStep>* first, bool backup);
    int NewMasterNumber() const;
    int NewXMasterNumber() const;
    bool ExistingFields(const Entry& entry, bool (&fieldOn)[kFieldCount]) const;

    CPlatform& m_platform;
    CPrompt& m_prompt;
    std::unique_ptr<CDirectoryLock> m_lock;  // of a claimed portfolio
    std::string m_strJournalStays;           // of a claimed portfolio
    std::string m_strDirectory;
    std::string m_strMasterPath;
    std::unique_ptr<State> m_state;      // as staged
    std::unique_ptr<State> m_committed;  // as on disk
    std::vector<Op> m_ops;
    std::size_t m_nStagedBytes = 0;
    std::size_t m_nHeldBytesLimit = kHeldBytesLimit;
    // How to undo every commit of this object so far: one change, however
    // many commits it took. m_bUndoLost once a commit could not record it.
    std::unique_ptr<UndoRecord> m_undo;
    std::string m_strChangeName;
    bool m_bUndoLost = false;
    bool m_bClaimed = false;
    bool m_bJournalPending = false;
    bool m_bNewMaster;
    bool m_bWroteBackup = false;
};

// Why a directory file that is a symbolic link is not replaced.
std::string SymbolicLinkMessage(const std::string& path);

// "Cannot write to <path>: <the system's reason>".
std::string CannotWriteMessage(const CStatus& status, const std::string& path);

}  // namespace tarvel
