// Points the settings store and the legacy INI look-up at a temporary
// directory for one test.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace tarvel::test {

class CSettingsEnv {
public:
    CSettingsEnv() {
        ::setenv("TARVEL_SETTINGS", (m_dir / "Tarvel.ini").c_str(), 1);
        ::setenv("TARVEL_LEGACY_INI_DIR", m_dir.path().c_str(), 1);
    }
    ~CSettingsEnv() {
        ::unsetenv("TARVEL_SETTINGS");
        ::unsetenv("TARVEL_LEGACY_INI_DIR");
    }
    std::string file() const { return m_dir / "Tarvel.ini"; }
    std::string operator/(const std::string& name) const { return m_dir / name; }
    // The path of `name` in the directory, its parent folders made.
    std::string Path(const std::string& name) const {
        std::string path = m_dir / name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        return path;
    }
    // Writes `text` to `name` in the directory; returns its path.
    std::string Write(const std::string& name, const std::string& text) const {
        std::string path = Path(name);
        WriteFile(path, text);
        return path;
    }

private:
    CTempDir m_dir;
};

}  // namespace tarvel::test
