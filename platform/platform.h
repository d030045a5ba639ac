// The operating-system services the conversion needs: files, directories,
// the process's current directory, an advisory lock and the local date.
//
// The conversion engine and the price database never call the system
// directly; they take a CPlatform& so that tests can substitute a platform
// that records calls or fails any single operation.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/status.h"

namespace tarvel {

enum class OpenMode {
    kRead,       // an existing regular file, read only; never blocks on a FIFO or device
    kWrite,      // created, or truncated when it exists
    kCreateNew,  // created; fails when any file, link included, has the name
};

// An open file. Destroying it closes it without reporting; call Close() to
// learn whether the close succeeded.
class CFile {
public:
    virtual ~CFile() = default;

    // Reads up to `size` bytes into `buffer`. Stores the number read in
    // *bytesRead (0 at the end of the file). Returns non-OK on an error.
    virtual CStatus Read(void* buffer, std::size_t size, std::size_t* bytesRead) = 0;
    // Writes all `size` bytes or returns non-OK (part of them may be written).
    virtual CStatus Write(const void* data, std::size_t size) = 0;
    // Makes everything written so far durable.
    virtual CStatus Flush() = 0;
    virtual CStatus Close() = 0;
    // Moves the position of the next Read or Write to `offset` bytes from the
    // start. Files that cannot move (a transcoding reader, say) refuse.
    virtual CStatus Seek(std::uint64_t /*offset*/) { return CStatus::Error(ESPIPE); }
};

// Held while a directory is locked; destroying it releases the lock.
class CDirectoryLock {
public:
    virtual ~CDirectoryLock() = default;
};

class CPlatform {
public:
    virtual ~CPlatform() = default;

    // Opens `path` in that mode and stores the file in *file. On failure
    // stores nullptr in *file and returns non-OK. A directory, FIFO, device
    // or socket never opens as a file (CStatus::NotRegular()). Files opened
    // for writing never follow a symbolic link at `path`.
    virtual CStatus Open(const std::string& path, OpenMode mode, std::unique_ptr<CFile>* file) = 0;
    // Replaces `to` atomically when it exists, then makes the new name
    // durable by syncing the directory; non-OK when either step fails.
    virtual CStatus Rename(const std::string& from, const std::string& to) = 0;
    // As Rename, but fails when `to` exists, so that no file that appeared
    // meanwhile is ever replaced. Without `syncDirectory` the new name is
    // made durable only by a later sync of the same directory (a commit
    // renames many files, then syncs the directory once).
    virtual CStatus RenameNoReplace(const std::string& from, const std::string& to, bool syncDirectory) = 0;
    CStatus RenameNoReplace(const std::string& from, const std::string& to) {
        return RenameNoReplace(from, to, true);
    }
    // Gives `path` the permission bits, owner and group of `model` (owner and
    // group only where the process may set them). Non-OK when `model` cannot
    // be examined or the bits cannot be set.
    virtual CStatus CopyPermissions(const std::string& model, const std::string& path) = 0;
    // Stores the names in directory `dir` ("" is the current directory),
    // without "." and "..", in *names. On failure *names is empty.
    virtual CStatus ListDirectory(const std::string& dir, std::vector<std::string>* names) = 0;
    virtual CStatus Remove(const std::string& path) = 0;

    // Stores the absolute path of the current directory, never truncated.
    virtual CStatus GetCurrentDirectory(std::string* path) = 0;
    // Creates one directory level; its parent must exist.
    virtual CStatus MakeDirectory(const std::string& path) = 0;
    virtual bool IsDirectory(const std::string& path) = 0;

    struct FileInfo {
        bool exists = false;
        bool regular = false;
        bool symbolicLink = false;
        bool writable = false;   // the process may write it and it has a write bit
        std::uint64_t size = 0;  // bytes of a regular file
    };
    // What `path` names, without following a symbolic link there.
    virtual FileInfo Examine(const std::string& path) = 0;

    // Takes an exclusive advisory lock on a directory, waiting while another
    // process holds it, at most `waitSeconds` (0: not at all). Calls `waiting`
    // once when it has to wait. Stores the held lock in *lock; on failure
    // stores nullptr there and returns non-OK, whose Number() is EWOULDBLOCK
    // when the wait ran out.
    virtual CStatus LockDirectory(const std::string& path, int waitSeconds,
                                  const std::function<void()>& waiting,
                                  std::unique_ptr<CDirectoryLock>* lock) = 0;

    // Looks `name` up in directory `dir` ("" is the current directory): the
    // exact name first, then one that differs only in the case of ASCII
    // letters. Returns the name as it stands in the directory.
    virtual std::optional<std::string> FindName(const std::string& dir, const std::string& name) = 0;
    // Stores the path with every link and "." or ".." resolved in
    // *canonical. On failure *canonical is empty.
    virtual CStatus CanonicalPath(const std::string& path, std::string* canonical) = 0;
    // Opens a new file of no name in the system's folder for temporary files,
    // for reading and writing, and stores it in *file: it is gone when
    // closed, even by a killed process, and no other process can open it.
    virtual CStatus OpenScratch(std::unique_ptr<CFile>* file) = 0;
};

// The real platform, over POSIX or Win32; one instance serves the whole
// process and may be used from several threads at once (it keeps no state of
// its own).
std::unique_ptr<CPlatform> MakeSystemPlatform();

}  // namespace tarvel
