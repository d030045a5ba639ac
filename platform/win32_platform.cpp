// The platform over Win32. Paths cross into the system as UTF-16 converted
// from UTF-8 explicitly, never through the ANSI code page.
#include <windows.h>
// windows.h names these as macros; the platform's methods carry the names.
#undef GetCurrentDirectory
#undef SetCurrentDirectory

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

#include "platform/console.h"
#include "platform/file_util.h"
#include "platform/platform.h"

namespace tarvel {

namespace {

// The errno value that stands for a Win32 error, so that callers that look at
// Number() (EEXIST, ENOENT, EWOULDBLOCK, ...) behave alike on both systems.
int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_DIR_NOT_EMPTY:
            return ENOTEMPTY;
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_CANT_RESOLVE_FILENAME:
            return ELOOP;
        default:
            return EIO;
    }
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int count =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), count);
    return wide;
}

std::string Narrow(const wchar_t* wide, std::size_t length) {
    if (length == 0) return {};
    const int count =
        ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(count), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), utf8.data(), count, nullptr, nullptr);
    return utf8;
}

// The failure of the last call: its errno counterpart, told in the system's
// own words (without the closing period, as the messages add their own).
CStatus LastError() {
    const DWORD error = ::GetLastError();
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::string message = length > 0 ? Narrow(text, length) : std::string();
    if (text != nullptr) ::LocalFree(text);
    while (!message.empty() && (message.back() == '.' || static_cast<unsigned char>(message.back()) <= ' '))
        message.pop_back();
    if (message.empty()) return CStatus::Error(ErrnoOf(error));
    return CStatus::Error(ErrnoOf(error), message);
}

// `path` as the file system calls take it: the current directory for "",
// and a path too long for MAX_PATH in the "\\?\" form, which takes any
// length but only a full path with backslashes alone.
std::wstring WidePath(const std::string& path) {
    if (path.empty()) return L".";
    std::wstring wide = Wide(path);
    if (wide.size() < MAX_PATH - 12 || wide.starts_with(L"\\\\?\\")) return wide;
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return wide;
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return wide;
    full.resize(length);
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

class CWin32File final : public CFile {
public:
    explicit CWin32File(HANDLE handle) : m_handle(handle) {}
    ~CWin32File() override {
        if (m_handle != INVALID_HANDLE_VALUE) ::CloseHandle(m_handle);
    }

    CStatus Read(void* buffer, std::size_t size, std::size_t* bytesRead) override {
        DWORD read = 0;
        const DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        if (!::ReadFile(m_handle, buffer, want, &read, nullptr)) return LastError();
        *bytesRead = read;
        return CStatus::Ok();
    }

    CStatus Write(const void* data, std::size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            DWORD written = 0;
            const DWORD piece = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
            if (!::WriteFile(m_handle, p, piece, &written, nullptr)) return LastError();
            p += written;
            size -= written;
        }
        return CStatus::Ok();
    }

    CStatus Flush() override { return ::FlushFileBuffers(m_handle) ? CStatus::Ok() : LastError(); }

    CStatus Close() override {
        HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        if (handle == INVALID_HANDLE_VALUE) return CStatus::Error(EBADF);
        return ::CloseHandle(handle) ? CStatus::Ok() : LastError();
    }

    CStatus Seek(std::uint64_t offset) override {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(offset);
        if (offset > static_cast<std::uint64_t>(INT64_MAX)) return CStatus::Error(EOVERFLOW);
        return ::SetFilePointerEx(m_handle, to, nullptr, FILE_BEGIN) ? CStatus::Ok() : LastError();
    }

private:
    HANDLE m_handle;
};

class CWin32Lock final : public CDirectoryLock {
public:
    explicit CWin32Lock(HANDLE mutex) : m_mutex(mutex) {}
    ~CWin32Lock() override {
        ::ReleaseMutex(m_mutex);
        ::CloseHandle(m_mutex);
    }

private:
    HANDLE m_mutex;
};

// A rename that another program's open handle holds up (a charting program
// reading MASTER) is tried again for a while before it fails.
// Replacing a file that another program holds open fails as "access denied"
// (sharing violation under some systems); a read-only file or folder fails
// the same way and is not waited for.
bool MoveWithRetry(const std::wstring& from, const std::wstring& to, DWORD flags) {
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(from.c_str(), to.c_str(), flags | MOVEFILE_WRITE_THROUGH)) return true;
        DWORD error = ::GetLastError();
        const DWORD target = ::GetFileAttributesW(to.c_str());
        const bool held = error == ERROR_SHARING_VIOLATION ||
                          (error == ERROR_ACCESS_DENIED && target != INVALID_FILE_ATTRIBUTES &&
                           (target & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0);
        if (held) error = ERROR_SHARING_VIOLATION;
        if (!held || attempt == 50) {
            ::SetLastError(error);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
}

class CWin32Platform final : public CPlatform {
public:
    CStatus Open(const std::string& path, OpenMode mode, std::unique_ptr<CFile>* file) override {
        file->reset();
        const std::wstring wide = WidePath(path);
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return CStatus::NotRegular();
        DWORD access = GENERIC_READ, disposition = OPEN_EXISTING, flags = FILE_ATTRIBUTE_NORMAL;
        if (mode != OpenMode::kRead) {
            // Never write through a link at the name.
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
                return CStatus::Error(ELOOP);
            access = GENERIC_WRITE;
            disposition = mode == OpenMode::kWrite ? CREATE_ALWAYS : CREATE_NEW;
            flags |= FILE_FLAG_OPEN_REPARSE_POINT;
        }
        HANDLE handle =
            ::CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, disposition, flags, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return LastError();
        if (::GetFileType(handle) != FILE_TYPE_DISK) {
            ::CloseHandle(handle);
            return CStatus::NotRegular();
        }
        *file = std::make_unique<CWin32File>(handle);
        return CStatus::Ok();
    }

    CStatus Rename(const std::string& from, const std::string& to) override {
        return MoveWithRetry(WidePath(from), WidePath(to), MOVEFILE_REPLACE_EXISTING) ? CStatus::Ok()
                                                                                      : LastError();
    }

    using CPlatform::RenameNoReplace;
    CStatus RenameNoReplace(const std::string& from, const std::string& to, bool /*syncDirectory*/) override {
        // MOVEFILE_WRITE_THROUGH makes the new name durable; there is no
        // directory to sync on this system.
        return MoveWithRetry(WidePath(from), WidePath(to), 0) ? CStatus::Ok() : LastError();
    }

    CStatus CopyPermissions(const std::string& model, const std::string& path) override {
        // A file's permissions here are its read-only attribute (and the
        // folder's access list, which a new file inherits).
        const DWORD from = ::GetFileAttributesW(WidePath(model).c_str());
        if (from == INVALID_FILE_ATTRIBUTES) return LastError();
        const std::wstring target = WidePath(path);
        const DWORD to = ::GetFileAttributesW(target.c_str());
        if (to == INVALID_FILE_ATTRIBUTES) return LastError();
        const DWORD bits = (to & ~DWORD{FILE_ATTRIBUTE_READONLY}) | (from & FILE_ATTRIBUTE_READONLY);
        if (bits == to) return CStatus::Ok();
        return ::SetFileAttributesW(target.c_str(), bits) ? CStatus::Ok() : LastError();
    }

    CStatus ListDirectory(const std::string& dir, std::vector<std::string>* names) override {
        names->clear();
        WIN32_FIND_DATAW found;
        // "\\?\" paths take no doubled separator.
        std::wstring pattern = WidePath(dir);
        pattern += pattern.ends_with(L'\\') || pattern.ends_with(L'/') ? L"*" : L"\\*";
        HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            return ::GetLastError() == ERROR_FILE_NOT_FOUND ? CStatus::Ok() : LastError();
        }
        do {
            std::string name = Narrow(found.cFileName, wcslen(found.cFileName));
            if (name != "." && name != "..") names->push_back(std::move(name));
        } while (::FindNextFileW(search, &found));
        const DWORD error = ::GetLastError();
        ::FindClose(search);
        if (error != ERROR_NO_MORE_FILES) {
            names->clear();
            return CStatus::Error(ErrnoOf(error));
        }
        return CStatus::Ok();
    }

    CStatus Remove(const std::string& path) override {
        return ::DeleteFileW(WidePath(path).c_str()) ? CStatus::Ok() : LastError();
    }

    CStatus GetCurrentDirectory(std::string* path) override {
        std::wstring buffer(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
            if (length == 0) return LastError();
            if (length < buffer.size()) {
                *path = Narrow(buffer.data(), length);
                return CStatus::Ok();
            }
            buffer.resize(length);  // the size it needs, its end included
        }
    }

    CStatus MakeDirectory(const std::string& path) override {
        return ::CreateDirectoryW(WidePath(path).c_str(), nullptr) ? CStatus::Ok() : LastError();
    }

    bool IsDirectory(const std::string& path) override {
        const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

    FileInfo Examine(const std::string& path) override {
        FileInfo info;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!::GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) return info;
        info.exists = true;
        info.symbolicLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        info.regular = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && !info.symbolicLink;
        if (info.regular) info.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        info.writable = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0;
        return info;
    }

    CStatus LockDirectory(const std::string& path, int waitSeconds, const std::function<void()>& waiting,
                          std::unique_ptr<CDirectoryLock>* lock) override {
        lock->reset();
        // A named mutex for the folder, by its canonical path in one case: it
        // leaves no file behind, and a killed holder's lock passes on.
        std::string canonical;
        if (CStatus status = CanonicalPath(path, &canonical); !status) return status;
        if (!IsDirectory(canonical)) return CStatus::Error(ENOTDIR);
        std::uint64_t hash = 14695981039346656037u;
        for (char c : canonical) {
            hash ^= static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c == '/' ? '\\' : c);
            hash *= 1099511628211u;
        }
        wchar_t name[64];
        swprintf(name, 64, L"Local\\tarvel-portfolio-%016llx", static_cast<unsigned long long>(hash));
        HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
        if (mutex == nullptr) return LastError();
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(waitSeconds);
        bool told = false;
        for (;;) {
            const DWORD result = ::WaitForSingleObject(mutex, 0);
            if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
                *lock = std::make_unique<CWin32Lock>(mutex);
                return CStatus::Ok();
            }
            if (result == WAIT_FAILED) {
                CStatus status = LastError();
                ::CloseHandle(mutex);
                return status;
            }
            if (Clock::now() >= deadline) {
                ::CloseHandle(mutex);
                return CStatus::Error(EWOULDBLOCK);
            }
            if (!told && waiting) waiting();
            told = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::optional<std::string> FindName(const std::string& dir, const std::string& name) override {
        std::vector<std::string> entries;
        ListDirectory(dir, &entries);
        return MatchingName(entries, name);
    }

    CStatus CanonicalPath(const std::string& path, std::string* canonical) override {
        canonical->clear();
        HANDLE handle =
            ::CreateFileW(WidePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return LastError();
        std::wstring buffer(MAX_PATH, L'\0');
        DWORD length = 0;
        // A buffer too small gives the size needed, or (under Wine) only
        // ERROR_MORE_DATA: it grows until the path fits, up to the longest
        // path the system has.
        for (;;) {
            length = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                 FILE_NAME_NORMALIZED);
            if (length != 0 && length < buffer.size()) break;
            if (length == 0 && ::GetLastError() != ERROR_MORE_DATA) break;
            if (buffer.size() >= 32768) {
                // Wine gives no final path past MAX_PATH: the full path, in
                // the form long paths take, stands in for it.
                buffer = WidePath(path);
                length = static_cast<DWORD>(buffer.size());
                break;
            }
            buffer.resize(std::max<std::size_t>(length + 1, buffer.size() * 2));
        }
        CStatus status = length == 0 ? LastError() : CStatus::Ok();
        ::CloseHandle(handle);
        if (!status) return status;
        buffer.resize(length);
        // "\\?\C:\..." is C:\...; "\\?\UNC\server\share" is \\server\share.
        if (buffer.starts_with(L"\\\\?\\UNC\\")) {
            buffer = L"\\" + buffer.substr(7);
        } else if (buffer.starts_with(L"\\\\?\\")) {
            buffer = buffer.substr(4);
        }
        *canonical = Narrow(buffer.data(), buffer.size());
        return CStatus::Ok();
    }

    CStatus OpenScratch(std::unique_ptr<CFile>* file) override {
        file->reset();
        wchar_t folder[MAX_PATH + 1];
        const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
        if (length == 0 || length > MAX_PATH) return LastError();
        wchar_t name[MAX_PATH + 1];
        if (::GetTempFileNameW(folder, L"trv", 0, name) == 0) return LastError();
        // Gone when closed, even when the process is killed; no one else
        // may open it meanwhile.
        HANDLE handle = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            CStatus status = LastError();
            ::DeleteFileW(name);
            return status;
        }
        *file = std::make_unique<CWin32File>(handle);
        return CStatus::Ok();
    }
};

}  // namespace

std::unique_ptr<CPlatform> MakeSystemPlatform() { return std::make_unique<CWin32Platform>(); }

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return {argv, argv + argc};
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(Narrow(wide[i], std::wcslen(wide[i])));
    ::LocalFree(wide);
    return arguments;
}

void PrepareConsole() {
    // Lines end in "\n" on every system, so that what a script reads from
    // list --json or export is the same bytes wherever it ran.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    ::SetConsoleOutputCP(CP_UTF8);
    HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (error != INVALID_HANDLE_VALUE && ::GetConsoleMode(error, &mode))
        ::SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

bool StandardErrorIsConsole() {
    DWORD mode = 0;
    HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    return error != INVALID_HANDLE_VALUE && ::GetConsoleMode(error, &mode) != 0;
}

}  // namespace tarvel
