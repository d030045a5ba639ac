#include "platform/file_util.h"

#include <algorithm>

#include "platform/ascii.h"

namespace tarvel {

CStatus ReadMore(CFile& file, Bytes* contents, std::size_t limit) {
    std::uint8_t chunk[65536];
    while (contents->size() < limit) {
        std::size_t want = std::min(sizeof chunk, limit - contents->size());
        std::size_t got = 0;
        if (CStatus status = file.Read(chunk, want, &got); !status) return status;
        if (got == 0) break;
        contents->insert(contents->end(), chunk, chunk + got);
    }
    return CStatus::Ok();
}

CStatus ReadFileBytes(CPlatform& platform, const std::string& path, Bytes* contents, std::size_t limit) {
    contents->clear();
    std::unique_ptr<CFile> file;
    CStatus status = platform.Open(path, OpenMode::kRead, &file);
    if (status) status = ReadMore(*file, contents, limit);
    if (status) status = file->Close();
    return status;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
}

CStatus WriteNewFile(CPlatform& platform, const std::string& path, const Bytes& contents) {
    return WriteNewFile(platform, path, {std::span<const std::uint8_t>(contents)});
}

CStatus WriteNewFile(CPlatform& platform, const std::string& path,
                     std::initializer_list<std::span<const std::uint8_t>> pieces) {
    std::unique_ptr<CFile> file;
    if (CStatus status = platform.Open(path, OpenMode::kCreateNew, &file); !status) return status;
    CStatus status;
    for (std::span<const std::uint8_t> piece : pieces) {
        if (status) status = file->Write(piece.data(), piece.size());
    }
    if (status) status = file->Flush();
    // Closed whatever happened before; the first failure is the one reported.
    CStatus closed = file->Close();
    if (status) status = closed;
    if (!status) platform.Remove(path);
    return status;
}

CStatus ReplaceFile(CPlatform& platform, const std::string& path, const std::string& tempPath,
                    const Bytes& contents) {
    return ReplaceFile(platform, path, tempPath, {std::span<const std::uint8_t>(contents)});
}

CStatus ReplaceFile(CPlatform& platform, const std::string& path, const std::string& tempPath,
                    std::initializer_list<std::span<const std::uint8_t>> pieces) {
    platform.Remove(tempPath);
    if (CStatus status = WriteNewFile(platform, tempPath, pieces); !status) return status;
    if (CStatus status = platform.Rename(tempPath, path); !status) {
        platform.Remove(tempPath);
        return status;
    }
    return CStatus::Ok();
}

std::string OpenFailureMessage(const CStatus& status, const std::string& action, const std::string& path) {
    if (status.IsNotRegular()) return path + " is not a regular file.";
    return action + " " + path + ": " + status.Text();
}

std::optional<std::string> MatchingName(const std::vector<std::string>& entries, const std::string& name) {
    std::optional<std::string> found;
    for (const std::string& entry : entries) {
        if (entry == name) return entry;
        if (EqualIgnoringAsciiCase(name, entry) && (!found || entry < *found)) found = entry;
    }
    return found;
}

bool IsPathSeparator(char c) { return c == '/' || (kPathSeparator == '\\' && c == '\\'); }

bool HoldsPathSeparator(std::string_view name) { return std::ranges::any_of(name, IsPathSeparator); }

bool IsAbsolutePath(std::string_view path) {
    if (kPathSeparator == '/') return path.starts_with('/');
    const bool drive = path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') &&
                       path[1] == ':' && IsPathSeparator(path[2]);
    return drive || HasDoubleSeparatorRoot(path);
}

bool HasDoubleSeparatorRoot(std::string_view path) {
    return path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]);
}

std::string AbsolutePath(const std::string& path) {
    if (IsAbsolutePath(path)) return path;
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(PathOf(path), error);
    return error ? path : Utf8Of(absolute);
}

std::string WithSeparator(const std::string& dir) {
    return dir.empty() || IsPathSeparator(dir.back()) ? dir : dir + kPathSeparator;
}

std::string FileName(const std::string& path) {
    const auto last = std::find_if(path.rbegin(), path.rend(), IsPathSeparator);
    return std::string(last.base(), path.end());
}

std::string FileStem(const std::string& path) {
    std::string name = FileName(path);
    const std::size_t dot = name.rfind('.');
    if (name == ".." || dot == std::string::npos || dot == 0) return name;
    return name.substr(0, dot);
}

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string JoinPath(const std::string& dir, const std::string& name) { return WithSeparator(dir) + name; }

}  // namespace tarvel
