// Points the settings store and the legacy INI look-up at a temporary
// directory for one test.
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace tarvel::test {

class CSettingsEnv {
public:
    CSettingsEnv() {
        qputenv("TARVEL_SETTINGS", QByteArray::fromStdString(m_dir / "Tarvel.ini"));
        qputenv("TARVEL_LEGACY_INI_DIR", QByteArray::fromStdString(m_dir.path()));
    }
    ~CSettingsEnv() {
        qunsetenv("TARVEL_SETTINGS");
        qunsetenv("TARVEL_LEGACY_INI_DIR");
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
