#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>
#include <thread>

#include "platform/console.h"
#include "platform/file_util.h"
#include "platform/platform.h"

namespace tarvel {

namespace {

class CPosixFile final : public CFile {
public:
    explicit CPosixFile(int fd) : m_fd(fd) {}
    ~CPosixFile() override {
        if (m_fd >= 0) ::close(m_fd);
    }

    CStatus Read(void* buffer, std::size_t size, std::size_t* bytesRead) override {
        for (;;) {
            ssize_t n = ::read(m_fd, buffer, size);
            if (n >= 0) {
                *bytesRead = static_cast<std::size_t>(n);
                return CStatus::Ok();
            }
            if (errno != EINTR) return CStatus::Error(errno);
        }
    }

    CStatus Write(const void* data, std::size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            ssize_t n = ::write(m_fd, p, size);
            if (n < 0) {
                if (errno == EINTR) continue;
                return CStatus::Error(errno);
            }
            p += n;
            size -= static_cast<std::size_t>(n);
        }
        return CStatus::Ok();
    }

    CStatus Flush() override {
        if (::fdatasync(m_fd) == 0 || errno == EINVAL) return CStatus::Ok();
        return CStatus::Error(errno);
    }

    CStatus Close() override {
        int fd = m_fd;
        m_fd = -1;
        if (fd < 0) return CStatus::Error(EBADF);
        return ::close(fd) == 0 ? CStatus::Ok() : CStatus::Error(errno);
    }

    CStatus Seek(std::uint64_t offset) override {
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
            return CStatus::Error(EOVERFLOW);
        }
        if (::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) < 0) return CStatus::Error(errno);
        return CStatus::Ok();
    }

private:
    int m_fd;
};

class CPosixLock final : public CDirectoryLock {
public:
    explicit CPosixLock(int fd) : m_fd(fd) {}
    ~CPosixLock() override { ::close(m_fd); }  // closing releases the flock

private:
    int m_fd;
};

// Makes the entries of the directory holding `path` durable.
CStatus SyncParent(const std::string& path) {
    std::string dir = std::filesystem::path(path).parent_path().string();
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return CStatus::Error(errno);
    CStatus status = ::fsync(fd) == 0 || errno == EINVAL ? CStatus::Ok() : CStatus::Error(errno);
    ::close(fd);
    return status;
}

class CPosixPlatform final : public CPlatform {
public:
    CStatus Open(const std::string& path, OpenMode mode, std::unique_ptr<CFile>* file) override {
        file->reset();
        int flags = O_CLOEXEC;
        switch (mode) {
            // Non-blocking, so that a FIFO opens at once and is refused below.
            case OpenMode::kRead:
                flags |= O_RDONLY | O_NONBLOCK;
                break;
            case OpenMode::kWrite:
                flags |= O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK;
                break;
            case OpenMode::kCreateNew:
                flags |= O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
                break;
        }
        int fd;
        do {
            fd = ::open(path.c_str(), flags, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            // O_NOFOLLOW reports a link at the name as ELOOP.
            return errno == EISDIR ? CStatus::NotRegular() : CStatus::Error(errno);
        }
        struct stat st;
        if (::fstat(fd, &st) != 0) {
            CStatus status = CStatus::Error(errno);
            ::close(fd);
            return status;
        }
        if (!S_ISREG(st.st_mode)) {
            ::close(fd);
            return CStatus::NotRegular();
        }
        if ((flags & O_NONBLOCK) != 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        *file = std::make_unique<CPosixFile>(fd);
        return CStatus::Ok();
    }

    CStatus Rename(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) return CStatus::Error(errno);
        return SyncParent(to);
    }

    using CPlatform::RenameNoReplace;
    CStatus RenameNoReplace(const std::string& from, const std::string& to, bool syncDirectory) override {
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
            if (errno != EINVAL && errno != ENOSYS) return CStatus::Error(errno);
            // A file system without the flag: a hard link fails as well when
            // `to` exists.
            if (::link(from.c_str(), to.c_str()) != 0) return CStatus::Error(errno);
            ::unlink(from.c_str());
        }
        return syncDirectory ? SyncParent(to) : CStatus::Ok();
    }

    CStatus CopyPermissions(const std::string& model, const std::string& path) override {
        struct stat st;
        if (::stat(model.c_str(), &st) != 0) return CStatus::Error(errno);
        // Owner and group first: chown may clear the set-id bits that chmod
        // then restores. Another owner's file keeps what the process may set.
        if (::chown(path.c_str(), st.st_uid, st.st_gid) != 0) {
            [[maybe_unused]] int ignored = ::chown(path.c_str(), static_cast<uid_t>(-1), st.st_gid);
        }
        return ::chmod(path.c_str(), st.st_mode & 07777) == 0 ? CStatus::Ok() : CStatus::Error(errno);
    }

    CStatus ListDirectory(const std::string& dir, std::vector<std::string>* names) override {
        names->clear();
        DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
        if (d == nullptr) return CStatus::Error(errno);
        while (dirent* entry = ::readdir(d)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names->push_back(std::move(name));
        }
        ::closedir(d);
        return CStatus::Ok();
    }

    CStatus Remove(const std::string& path) override {
        return ::unlink(path.c_str()) == 0 ? CStatus::Ok() : CStatus::Error(errno);
    }

    CStatus GetCurrentDirectory(std::string* path) override {
        char* cwd = ::getcwd(nullptr, 0);  // sized by the system: never truncated
        if (cwd == nullptr) return CStatus::Error(errno);
        *path = cwd;
        std::free(cwd);
        return CStatus::Ok();
    }

    CStatus MakeDirectory(const std::string& path) override {
        return ::mkdir(path.c_str(), 0777) == 0 ? CStatus::Ok() : CStatus::Error(errno);
    }

    bool IsDirectory(const std::string& path) override {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    FileInfo Examine(const std::string& path) override {
        FileInfo info;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) return info;
        info.exists = true;
        info.regular = S_ISREG(st.st_mode);
        info.symbolicLink = S_ISLNK(st.st_mode);
        if (info.regular) info.size = static_cast<std::uint64_t>(st.st_size);
        // A file without any write bit is read-only even to root, who may
        // write anything: the owner marked it so.
        info.writable = ::access(path.c_str(), W_OK) == 0 && (st.st_mode & 0222) != 0;
        return info;
    }

    CStatus LockDirectory(const std::string& path, int waitSeconds, const std::function<void()>& waiting,
                          std::unique_ptr<CDirectoryLock>* lock) override {
        lock->reset();
        int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return CStatus::Error(errno);
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(waitSeconds);
        bool told = false;
        for (;;) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                *lock = std::make_unique<CPosixLock>(fd);
                return CStatus::Ok();
            }
            int error = errno;
            if (error != EWOULDBLOCK && error != EINTR) {
                ::close(fd);
                return CStatus::Error(error);
            }
            if (error == EWOULDBLOCK && Clock::now() >= deadline) {
                ::close(fd);
                return CStatus::Error(EWOULDBLOCK);
            }
            if (!told && waiting) waiting();
            told = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::optional<std::string> FindName(const std::string& dir, const std::string& name) override {
        std::string exact = JoinPath(dir, name);
        struct stat st;
        if (::lstat(exact.c_str(), &st) == 0) return name;
        std::vector<std::string> entries;
        ListDirectory(dir, &entries);
        return MatchingName(entries, name);
    }

    CStatus CanonicalPath(const std::string& path, std::string* canonical) override {
        canonical->clear();
        char* resolved = ::realpath(path.empty() ? "." : path.c_str(), nullptr);
        if (resolved == nullptr) return CStatus::Error(errno);
        *canonical = resolved;
        std::free(resolved);
        return CStatus::Ok();
    }

    CStatus OpenScratch(std::unique_ptr<CFile>* file) override {
        file->reset();
        const char* tmp = std::getenv("TMPDIR");
        const std::string dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
        // A file with no name from the start where the file system allows
        // it; elsewhere one whose name is removed at once.
        int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0) {
            std::string name = JoinPath(dir, "tarvel-XXXXXX");
            fd = ::mkostemp(name.data(), O_CLOEXEC);
            if (fd < 0) return CStatus::Error(errno);
            ::unlink(name.c_str());
        }
        *file = std::make_unique<CPosixFile>(fd);
        return CStatus::Ok();
    }
};

}  // namespace

std::unique_ptr<CPlatform> MakeSystemPlatform() { return std::make_unique<CPosixPlatform>(); }

std::vector<std::string> ProgramArguments(int argc, char** argv) { return {argv, argv + argc}; }

void PrepareConsole() {}

bool StandardErrorIsConsole() { return ::isatty(2) == 1; }

}  // namespace tarvel
