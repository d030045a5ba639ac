#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

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

    bool Read(void* buffer, std::size_t size, std::size_t* bytesRead) override {
        for (;;) {
            ssize_t n = ::read(m_fd, buffer, size);
            if (n >= 0) {
                *bytesRead = static_cast<std::size_t>(n);
                return true;
            }
            if (errno != EINTR) return false;
        }
    }

    bool Write(const void* data, std::size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            ssize_t n = ::write(m_fd, p, size);
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            p += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool Flush() override { return ::fdatasync(m_fd) == 0 || errno == EINVAL; }

    bool Close() override {
        int fd = m_fd;
        m_fd = -1;
        return fd >= 0 && ::close(fd) == 0;
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

class CPosixPlatform final : public CPlatform {
public:
    std::unique_ptr<CFile> Open(const std::string& path, OpenMode mode) override {
        int flags = O_CLOEXEC;
        switch (mode) {
            case OpenMode::kRead: flags |= O_RDONLY; break;
            case OpenMode::kWrite: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
        }
        int fd;
        do {
            fd = ::open(path.c_str(), flags, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) return nullptr;
        struct stat st;
        if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<CPosixFile>(fd);
    }

    bool Rename(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) return false;
        // Make the new name durable too: sync the directory that holds it.
        std::string dir = std::filesystem::path(to).parent_path().string();
        int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
        return true;
    }

    bool Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

    bool Copy(const std::string& from, const std::string& to) override {
        std::error_code ec;
        return std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    }

    bool SetCurrentDirectory(const std::string& path) override { return ::chdir(path.c_str()) == 0; }

    bool GetCurrentDirectory(std::string* path) override {
        char* cwd = ::getcwd(nullptr, 0);  // sized by the system: never truncated
        if (cwd == nullptr) return false;
        *path = cwd;
        std::free(cwd);
        return true;
    }

    bool MakeDirectory(const std::string& path) override { return ::mkdir(path.c_str(), 0777) == 0; }

    bool IsDirectory(const std::string& path) override {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    std::unique_ptr<CDirectoryLock> LockDirectory(const std::string& path) override {
        int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return nullptr;
        int rc;
        do {
            rc = ::flock(fd, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<CPosixLock>(fd);
    }

    std::optional<std::string> FindName(const std::string& dir, const std::string& name) override {
        std::string exact = JoinPath(dir, name);
        struct stat st;
        if (::lstat(exact.c_str(), &st) == 0) return name;
        DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
        if (d == nullptr) return std::nullopt;
        std::optional<std::string> found;
        while (dirent* entry = ::readdir(d)) {
            if (EqualIgnoringAsciiCase(name, entry->d_name)) {
                found = entry->d_name;
                break;
            }
        }
        ::closedir(d);
        return found;
    }

    std::string CanonicalPath(const std::string& path) override {
        char* resolved = ::realpath(path.empty() ? "." : path.c_str(), nullptr);
        if (resolved == nullptr) return {};
        std::string result = resolved;
        std::free(resolved);
        return result;
    }

    std::string LocalDate() override {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        ::localtime_r(&now, &local);
        char text[40];
        std::snprintf(text, sizeof text, "%02d/%02d/%02d", local.tm_mon + 1, local.tm_mday, local.tm_year % 100);
        return text;
    }
};

}  // namespace

std::unique_ptr<CPlatform> MakePosixPlatform() { return std::make_unique<CPosixPlatform>(); }

}  // namespace tarvel
