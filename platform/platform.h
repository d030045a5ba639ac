// The operating-system services the conversion needs: files, directories,
// the process's current directory, an advisory lock and the local date.
//
// The conversion engine and the price database never call the system
// directly; they take a CPlatform& so that tests can substitute a platform
// that records calls or fails any single operation.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace tarvel {

enum class OpenMode {
    kRead,    // existing file, read only
    kWrite,   // created, or truncated when it exists
};

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

    // Returns nullptr when the file cannot be opened in that mode. A
    // directory never opens as a file.
    virtual std::unique_ptr<CFile> Open(const std::string& path, OpenMode mode) = 0;
    // Replaces `to` atomically when it exists.
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    virtual bool Remove(const std::string& path) = 0;
    // Copies `from` over `to`, replacing it when it exists.
    virtual bool Copy(const std::string& from, const std::string& to) = 0;

    virtual bool SetCurrentDirectory(const std::string& path) = 0;
    // Stores the absolute path of the current directory, never truncated.
    virtual bool GetCurrentDirectory(std::string* path) = 0;
    // Creates one directory level; its parent must exist.
    virtual bool MakeDirectory(const std::string& path) = 0;
    virtual bool IsDirectory(const std::string& path) = 0;

    // Takes an exclusive advisory lock on a directory, waiting while another
    // process holds it. Returns nullptr on failure.
    virtual std::unique_ptr<CDirectoryLock> LockDirectory(const std::string& path) = 0;

    // Looks `name` up in directory `dir` ("" is the current directory): the
    // exact name first, then one that differs only in the case of ASCII
    // letters. Returns the name as it stands in the directory.
    virtual std::optional<std::string> FindName(const std::string& dir, const std::string& name) = 0;
    // The path with every link and "." or ".." resolved; empty on failure.
    virtual std::string CanonicalPath(const std::string& path) = 0;

    // Today's local date as MM/DD/YY.
    virtual std::string LocalDate() = 0;
};

// The real platform over POSIX; one instance serves the whole process.
std::unique_ptr<CPlatform> MakePosixPlatform();

}  // namespace tarvel
