// A temporary directory for one test, removed with everything in it.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tarvel::test {

// Makes a new directory of a name no other has, `prefix` and a random
// suffix, in `base`, that only its owner may enter; returns its path.
std::string MakeUniqueDir(const std::string& base, const std::string& prefix);

// `dir` and `rest` joined, each "/" of `rest` written as the separator of
// the paths this system's messages show.
std::string Join(const std::string& dir, std::string rest);

// `text` with each "/" written as that separator: for expected messages
// whose every slash separates the names of a path.
std::string NativeSlashes(std::string text);

class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& path() const { return m_path; }
    // `name` below the directory, "/" in it read as the system's separator.
    std::string operator/(const std::string& name) const { return Join(m_path, name); }

private:
    std::string m_path;
};

// Makes `link` a symbolic link to `target`; false where the system makes
// none (Wine; Windows without the privilege).
bool MakeLink(const std::string& target, const std::string& link);

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
// Sorted names of the entries of `dir`.
std::vector<std::string> ListDir(const std::string& dir);
// Files by name, with their bytes.
using Files = std::map<std::string, std::string>;
// Every entry of `dir` with its bytes ("" for what is no regular file).
Files Snapshot(const std::string& dir);
// The rows of a table file, each a list of its tab-separated fields with the
// \n, \t, \\ and \xHH escapes read; lines that begin with "#" are left out.
std::vector<std::vector<std::string>> ReadTable(const std::string& path);
// What the system says of a file that is not there ("No such file or
// directory" on POSIX; Windows has words of its own).
std::string MissingFileText();
// Space-separated hex of `bytes`, for readable failures.
std::string Hex(const std::string& bytes);

}  // namespace tarvel::test
