// Whole-file helpers over CPlatform, shared by every rewrite of a portfolio.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace tarvel {

using Bytes = std::vector<std::uint8_t>;

// Appends at most `limit` - contents->size() further bytes of `file` to
// *contents. Returns non-OK when a read fails.
CStatus ReadMore(CFile& file, Bytes* contents, std::size_t limit);

// Reads at most `limit` bytes of the file into *contents. Returns non-OK
// when the file cannot be opened or a read fails.
CStatus ReadFileBytes(CPlatform& platform, const std::string& path, Bytes* contents,
                      std::size_t limit = SIZE_MAX);

// Writes `contents` to a file created at `path`, which must not exist (not
// even as a symbolic link), flushes and closes it. On failure the file is
// removed again and the status of the step that failed is returned.
CStatus WriteNewFile(CPlatform& platform, const std::string& path, const Bytes& contents);
// The same for contents given in pieces, written one after the other.
CStatus WriteNewFile(CPlatform& platform, const std::string& path,
                     std::initializer_list<std::span<const std::uint8_t>> pieces);

// Replaces the file at `path` by `contents`: writes them completely under
// `tempPath` (removing a stale file of that name first), flushes and closes
// that copy, then renames it over `path`. The old file is never deleted
// first, so on every failure it stays whole and the temporary copy is
// removed. Returns OK when the rename succeeded, else the status of the step
// that failed.
CStatus ReplaceFile(CPlatform& platform, const std::string& path, const std::string& tempPath,
                    const Bytes& contents);
CStatus ReplaceFile(CPlatform& platform, const std::string& path, const std::string& tempPath,
                    std::initializer_list<std::span<const std::uint8_t>> pieces);

// Why the file at `path` did not open, from the status of the failed open:
// "<path> is not a regular file." or "<action> <path>: <the system's reason>".
std::string OpenFailureMessage(const CStatus& status, const std::string& action, const std::string& path);

// Whether `a` and `b` are equal but for the case of ASCII letters.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

// The entry of `entries` named `name`, else the first in sorted order equal
// to it but for ASCII case (so that every look-up picks the same one), else
// none.
std::optional<std::string> MatchingName(const std::vector<std::string>& entries, const std::string& name);

// A path whose root is two separators: "\\server\share" or "\\?\" on
// Windows ("//" on POSIX systems, which may read it their own way). Such a
// root must not be normalized: folding the separators names another place.
bool HasDoubleSeparatorRoot(std::string_view path);
// The separator of path names in this system's messages and in the paths
// the core builds; "/" is read as one on Windows too.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif
bool IsPathSeparator(char c);
// Whether `name` holds a path separator, so is more than one name.
bool HoldsPathSeparator(std::string_view name);
// Whether `path` names a place without the current directory: "/..." on
// POSIX; "C:\...", "\\server\share\..." or "\\?\..." on Windows.
bool IsAbsolutePath(std::string_view path);
// `dir` ending in a separator ("" stays "", the current directory).
std::string WithSeparator(const std::string& dir);

// The last name of `path`, and that name without its last extension (as
// std::filesystem has them), read on the UTF-8 bytes: std::filesystem on
// Windows would take them in the ANSI code page.
std::string FileName(const std::string& path);
std::string FileStem(const std::string& path);

// A UTF-8 path as std::filesystem takes it, and back: a std::string there
// would be read in the ANSI code page on Windows.
std::filesystem::path PathOf(const std::string& utf8);
std::string Utf8Of(const std::filesystem::path& path);

// `path` made absolute against the current directory; an absolute path, as
// IsAbsolutePath tells (std::filesystem does not know "\\server\share" or
// "\\?\" on every Windows toolchain), and a path that cannot be resolved
// stay as given.
std::string AbsolutePath(const std::string& path);

// `dir` and `name` joined by one separator ("" joins to `name` alone).
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace tarvel
