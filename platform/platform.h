// The operating-system services the conversion needs: files, directories,
// the process's current directory, an advisory lock and the local date.
//
// The conversion engine and the price database never call the system
// directly; they take a CPlatform& so that tests can substitute a platform
// that records calls or fails any single operation.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarvel {

enum class OpenMode {
    kRead,       // an existing regular file, read only; never blocks on a FIFO or device
    kWrite,      // created, or truncated when it exists
    kCreateNew,  // created; fails when any file, link included, has the name
};

// Errors a platform call can leave in CPlatform::LastError().
inline constexpr int kErrorNotRegular = -1;  // the name is no regular file

// An open file. Destroying it closes it without reporting; call Close() to
// learn whether the close succeeded.
class CFile {
public:
    virtual ~CFile() = default;

    // Reads up to `size` bytes into `buffer`. Stores the number read in
    // *bytesRead (0 at the end of the file). Returns false on an error.
    virtual bool Read(void* buffer, std::size_t size, std::size_t* bytesRead) = 0;
    // Writes all `size` bytes or returns false.
    virtual bool Write(const void* data, std::size_t size) = 0;
    // Makes everything written so far durable.
    virtual bool Flush() = 0;
    virtual bool Close() = 0;
};

// Held while a directory is locked; destroying it releases the lock.
class CDirectoryLock {
public:
    virtual ~CDirectoryLock() = default;
};

class CPlatform {
public:
    virtual ~CPlatform() = default;

    // The reason of the latest failed call, on this platform or a file it
    // opened: the system's text for an errno value, or "not a regular file".
    const std::string& LastError() const { return m_strLastError; }
    // The errno value of that failure, or kErrorNotRegular.
    int LastErrorNumber() const { return m_nLastError; }
    // Records a failure; returns false so that a call can end with it.
    bool SetError(int number);
    bool SetError(int number, std::string text);

    // Returns nullptr when the file cannot be opened in that mode. A
    // directory, FIFO, device or socket never opens as a file. Files opened
    // for writing never follow a symbolic link at `path`.
    virtual std::unique_ptr<CFile> Open(const std::string& path, OpenMode mode) = 0;
    // Replaces `to` atomically when it exists, then makes the new name
    // durable by syncing the directory; false when either step fails.
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    // As Rename, but fails when `to` exists, so that no file that appeared
    // meanwhile is ever replaced. Without `syncDirectory` the new name is
    // made durable only by a later sync of the same directory (a commit
    // renames many files, then syncs the directory once).
    virtual bool RenameNoReplace(const std::string& from, const std::string& to, bool syncDirectory) = 0;
    bool RenameNoReplace(const std::string& from, const std::string& to) { return RenameNoReplace(from, to, true); }
    // Gives `path` the permission bits, owner and group of `model` (owner and
    // group only where the process may set them). False when `model` cannot
    // be examined or the bits cannot be set.
    virtual bool CopyPermissions(const std::string& model, const std::string& path) = 0;
    // The names in directory `dir` ("" is the current directory), without
    // "." and "..". Empty when it cannot be read.
    virtual std::vector<std::string> ListDirectory(const std::string& dir) = 0;
    virtual bool Remove(const std::string& path) = 0;

    virtual bool SetCurrentDirectory(const std::string& path) = 0;
    // Stores the absolute path of the current directory, never truncated.
    virtual bool GetCurrentDirectory(std::string* path) = 0;
    // Creates one directory level; its parent must exist.
    virtual bool MakeDirectory(const std::string& path) = 0;
    virtual bool IsDirectory(const std::string& path) = 0;

    struct FileInfo {
        bool exists = false;
        bool regular = false;
        bool symbolicLink = false;
        bool writable = false;  // the process may write it and it has a write bit
    };
    // What `path` names, without following a symbolic link there.
    virtual FileInfo Examine(const std::string& path) = 0;

    // Takes an exclusive advisory lock on a directory, waiting while another
    // process holds it, at most `waitSeconds` (0: not at all). Calls `waiting`
    // once when it has to wait. Returns nullptr on failure; LastErrorNumber()
    // is EWOULDBLOCK when the wait ran out.
    virtual std::unique_ptr<CDirectoryLock> LockDirectory(const std::string& path, int waitSeconds,
                                                          const std::function<void()>& waiting) = 0;

    // Looks `name` up in directory `dir` ("" is the current directory): the
    // exact name first, then one that differs only in the case of ASCII
    // letters. Returns the name as it stands in the directory.
    virtual std::optional<std::string> FindName(const std::string& dir, const std::string& name) = 0;
    // The path with every link and "." or ".." resolved; empty on failure.
    virtual std::string CanonicalPath(const std::string& path) = 0;

protected:
    int m_nLastError = 0;
    std::string m_strLastError;
};

// Restores the platform's latest failure when it goes out of scope, so that
// clean-up calls after a failure do not hide its reason.
class CKeepError {
public:
    explicit CKeepError(CPlatform& platform)
        : m_platform(platform), m_nNumber(platform.LastErrorNumber()), m_strText(platform.LastError()) {}
    ~CKeepError() { m_platform.SetError(m_nNumber, m_strText); }
    CKeepError(const CKeepError&) = delete;
    CKeepError& operator=(const CKeepError&) = delete;

private:
    CPlatform& m_platform;
    int m_nNumber;
    std::string m_strText;
};

// The real platform over POSIX; one instance serves the whole process.
std::unique_ptr<CPlatform> MakePosixPlatform();

}  // namespace tarvel
