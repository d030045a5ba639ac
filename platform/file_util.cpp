#include "platform/file_util.h"

#include <algorithm>

#include "platform/ascii.h"

namespace tarvel {

bool ReadMore(CFile& file, Bytes* contents, std::size_t limit) {
    std::uint8_t chunk[65536];
    while (contents->size() < limit) {
        std::size_t want = std::min(sizeof chunk, limit - contents->size());
        std::size_t got = 0;
        if (!file.Read(chunk, want, &got)) return false;
        if (got == 0) break;
        contents->insert(contents->end(), chunk, chunk + got);
    }
    return true;
}

bool ReadFileBytes(CPlatform& platform, const std::string& path, Bytes* contents, std::size_t limit) {
    contents->clear();
    std::unique_ptr<CFile> file = platform.Open(path, OpenMode::kRead);
    return file && ReadMore(*file, contents, limit) && file->Close();
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return AsciiUpper(x) == AsciiUpper(y);
           });
}

bool WriteNewFile(CPlatform& platform, const std::string& path, const Bytes& contents) {
    return WriteNewFile(platform, path, {std::span<const std::uint8_t>(contents)});
}

bool WriteNewFile(CPlatform& platform, const std::string& path,
                  std::initializer_list<std::span<const std::uint8_t>> pieces) {
    std::unique_ptr<CFile> file = platform.Open(path, OpenMode::kCreateNew);
    if (!file) return false;
    bool ok = true;
    for (std::span<const std::uint8_t> piece : pieces) ok = ok && file->Write(piece.data(), piece.size());
    ok = ok && file->Flush();
    ok = file->Close() && ok;
    if (!ok) {
        CKeepError keep(platform);
        platform.Remove(path);
    }
    return ok;
}

bool ReplaceFile(CPlatform& platform, const std::string& path, const std::string& tempPath,
                 const Bytes& contents) {
    return ReplaceFile(platform, path, tempPath, {std::span<const std::uint8_t>(contents)});
}

bool ReplaceFile(CPlatform& platform, const std::string& path, const std::string& tempPath,
                 std::initializer_list<std::span<const std::uint8_t>> pieces) {
    platform.Remove(tempPath);
    if (!WriteNewFile(platform, tempPath, pieces)) return false;
    if (!platform.Rename(tempPath, path)) {
        CKeepError keep(platform);
        platform.Remove(tempPath);
        return false;
    }
    return true;
}

std::string OpenFailureMessage(const CPlatform& platform, const std::string& action, const std::string& path) {
    if (platform.LastErrorNumber() == kErrorNotRegular) return path + " is not a regular file.";
    return action + " " + path + ": " + platform.LastError();
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

}  // namespace tarvel
