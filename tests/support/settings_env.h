// Points the settings store at a file in a temporary directory for one test,
// and the legacy INI look-up at a folder of its own there (on a file system
// that ignores case, Tarvel.INI beside Tarvel.ini would be the store itself).
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <filesystem>
#include <string>

#include "platform/file_util.h"
#include "tests/support/temp_dir.h"

namespace tarvel::test {

class CSettingsEnv {
public:
    CSettingsEnv() {
        qputenv("TARVEL_SETTINGS", QByteArray::fromStdString(m_dir / "Tarvel.ini"));
        std::filesystem::create_directory(PathOf(legacy("")));
        qputenv("TARVEL_LEGACY_INI_DIR", QByteArray::fromStdString(legacy("")));
    }
    ~CSettingsEnv() {
        qunsetenv("TARVEL_SETTINGS");
        qunsetenv("TARVEL_LEGACY_INI_DIR");
    }
    std::string file() const { return m_dir / "Tarvel.ini"; }
    // `name` in the folder where the legacy INI is looked for.
    std::string legacy(const std::string& name) const { return m_dir / ("legacy/" + name); }
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
