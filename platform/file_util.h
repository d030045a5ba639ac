// Whole-file helpers over CPlatform, shared by every rewrite of a portfolio.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace tarvel {

using Bytes = std::vector<std::uint8_t>;

// Appends at most `limit` - contents->size() further bytes of `file` to
// *contents. Returns false when a read fails.
bool ReadMore(CFile& file, Bytes* contents, std::size_t limit);

// Reads at most `limit` bytes of the file into *contents. Returns false when
// the file cannot be opened or a read fails.
bool ReadFileBytes(CPlatform& platform, const std::string& path, Bytes* contents,
                   std::size_t limit = SIZE_MAX);

// Writes `contents` to a file created at `path`, which must not exist (not
// even as a symbolic link), flushes and closes it. On failure the file is
// removed again.
bool WriteNewFile(CPlatform& platform, const std::string& path, const Bytes& contents);
// The same for contents given in pieces, written one after the other.
bool WriteNewFile(CPlatform& platform, const std::string& path,
                  std::initializer_list<std::span<const std::uint8_t>> pieces);

// Replaces the file at `path` by `contents`: writes them completely under
// `tempPath` (removing a stale file of that name first), flushes and closes
// that copy, then renames it over `path`. The old file is never deleted
// first, so on every failure it stays whole and the temporary copy is
// removed. Returns true when the rename succeeded.
bool ReplaceFile(CPlatform& platform, const std::string& path, const std::string& tempPath,
                 const Bytes& contents);
bool ReplaceFile(CPlatform& platform, const std::string& path, const std::string& tempPath,
                 std::initializer_list<std::span<const std::uint8_t>> pieces);

// Why the file at `path` did not open, from the platform's latest failure:
// "<path> is not a regular file." or "<action> <path>: <the system's reason>".
std::string OpenFailureMessage(const CPlatform& platform, const std::string& action, const std::string& path);

// Whether `a` and `b` are equal but for the case of ASCII letters.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

// `dir` and `name` joined by one "/" ("" joins to `name` alone).
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace tarvel
