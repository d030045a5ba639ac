#include "tests/support/temp_dir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/file_util.h"
#include "platform/platform.h"

namespace tarvel::test {

bool MakeLink(const std::string& target, const std::string& link) {
    std::error_code error;
    std::filesystem::create_symlink(PathOf(target), PathOf(link), error);
    return !error;
}

std::string Join(const std::string& dir, std::string rest) {
    return JoinPath(dir, NativeSlashes(std::move(rest)));
}

std::string NativeSlashes(std::string text) {
    std::ranges::replace(text, '/', kPathSeparator);
    return text;
}

std::string MakeUniqueDir(const std::string& base, const std::string& prefix) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", random());
        std::filesystem::path path = std::filesystem::path(base) / (prefix + suffix);
        std::error_code ec;
        // Made by this call, not found: a directory of the same name may exist.
        if (std::filesystem::create_directory(path, ec) && !ec) {
            std::filesystem::permissions(path, std::filesystem::perms::owner_all, ec);
            return path.string();
        }
    }
    throw std::runtime_error("cannot make a directory under " + base);
}

CTempDir::CTempDir()
    : m_path(MakeUniqueDir(std::filesystem::temp_directory_path().string(), "tarvel-test-")) {}

CTempDir::~CTempDir() {
    std::error_code ec;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

std::string MissingFileText() {
    CTempDir dir;
    std::unique_ptr<CFile> file;
    return MakeSystemPlatform()->Open(dir / "missing", OpenMode::kRead, &file).Text();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(PathOf(path), std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

bool FileExists(const std::string& path) { return std::filesystem::exists(PathOf(path)); }

std::vector<std::string> ListDir(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(PathOf(dir)))
        names.push_back(Utf8Of(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

Files Snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const std::string& name : ListDir(dir)) {
        const std::string path = JoinPath(dir, name);
        files[name] = std::filesystem::is_regular_file(std::filesystem::symlink_status(PathOf(path)))
                          ? ReadFile(path)
                          : "";
    }
    return files;
}

std::vector<std::vector<std::string>> ReadTable(const std::string& path) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(ReadFile(path));
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("#")) continue;
        std::vector<std::string> fields(1);
        for (std::size_t at = 0; at < line.size(); ++at) {
            if (line[at] == '\t') {
                fields.emplace_back();
            } else if (line[at] != '\\' || at + 1 == line.size()) {
                fields.back() += line[at];
            } else if (line[++at] == 'x') {
                fields.back() += static_cast<char>(std::stoi(line.substr(at + 1, 2), nullptr, 16));
                at += 2;
            } else {
                fields.back() += line[at] == 'n' ? '\n' : line[at] == 't' ? '\t' : line[at];
            }
        }
        rows.push_back(fields);
    }
    return rows;
}

std::string Hex(const std::string& bytes) {
    std::string text;
    char buffer[4];
    for (unsigned char c : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X ", c);
        text += buffer;
    }
    if (!text.empty()) text.pop_back();
    return text;
}

}  // namespace tarvel::test
