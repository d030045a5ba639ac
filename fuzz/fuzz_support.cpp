#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/temp_dir.h"

namespace tarvel::fuzz {

const std::string& ScratchDir() {
    // Never destroyed: the exit handler below still needs it.
    static const std::string& dir = *new std::string([] {
        std::string base = std::filesystem::exists("/dev/shm")
                               ? "/dev/shm"
                               : std::filesystem::temp_directory_path().string();
        std::string made = test::MakeUniqueDir(base, "tarvel-fuzz-");
        std::atexit([] { std::filesystem::remove_all(ScratchDir()); });
        return made;
    }());
    return dir;
}

void Reset() {
    std::filesystem::current_path("/");
    for (const auto& entry : std::filesystem::directory_iterator(ScratchDir())) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add);
        std::filesystem::remove_all(entry.path());
    }
}

void Write(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void Require(bool condition, const std::string& what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
    std::abort();
}

}  // namespace tarvel::fuzz
