#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#ifdef _WIN32
#include <windows.h>
#endif

#include "settings/settings_store.h"
#include "tests/support/settings_env.h"

namespace tarvel {
namespace {

class ImportIniTest : public ::testing::Test {
protected:
    void Import(const std::string& ini, const std::string& fileName = "Tarvel.INI") {
        test::WriteFile(m_env.legacy(fileName), ini);
        m_store.ImportIni();
    }
    test::CSettingsEnv m_env;
    CSettingsStore m_store;
};

TEST_F(ImportIniTest, CopiesSectionsAndValues) {
    Import("[Setting]\nDateCol=3\r\n[Screen]\nx=12\ncx = 800\n");
    EXPECT_EQ(m_store.GetInt("Setting", "DateCol", 1), 3);
    EXPECT_EQ(m_store.GetInt("Screen", "x", 0), 12);
    // Blanks around "=" stay in the name and the value: "cx" itself is not there.
    EXPECT_EQ(m_store.GetInt("Screen", "cx", 0), 0);
    EXPECT_EQ(m_store.GetString("Screen", "cx ", ""), " 800");
}

TEST_F(ImportIniTest, LineRules) {
    Import(
        "Orphan=1\n"
        "[ Setting ]\n"
        "  DateCol=4  \n"
        ";Comment=5\n"
        "no equals here\n"
        "[Setting] trailing\n"
        "Extra=6\n"
        "[Convert]\n"
        "Symbol=IBM\n"
        "[Setting]\n"
        "DateCol=7\n"
        "Name=a=b\n");
    EXPECT_EQ(m_store.GetString("", "Orphan", "none"), "none");
    EXPECT_EQ(m_store.GetInt("Setting", "DateCol", 1), 7);  // the later line wins
    EXPECT_EQ(m_store.GetInt("Setting", ";Comment", 0), 5);
    // The line with text after its bracket is a value line of the open section.
    EXPECT_EQ(m_store.GetString("Setting", "[Setting] trailing\nExtra", "-"), "-");
    EXPECT_EQ(m_store.GetInt("Setting", "Extra", 0), 6);
    EXPECT_EQ(m_store.GetString("Convert", "Symbol", ""), "IBM");
    EXPECT_EQ(m_store.GetString("Setting", "Name", ""), "a=b");
}

TEST_F(ImportIniTest, LongLinesArriveInPiecesOf519) {
    std::string value(600, 'v');
    Import("[Convert]\nName=" + value + "\n");
    // The first piece holds "Name=" and 514 characters, too long to read back;
    // the second piece has no "=" and is ignored.
    EXPECT_EQ(m_store.GetString("Convert", "Name", "default"), "default");
    Import("[Convert]\n" + std::string(519, 'x') + "PathOut=short\n");
    EXPECT_EQ(m_store.GetString("Convert", "PathOut", ""), "short");
}

TEST_F(ImportIniTest, FindsTheFileInAnyCaseAndDoesNothingWithoutOne) {
    m_store.ImportIni();
    EXPECT_FALSE(test::FileExists(m_env.file()));
    Import("[Setting]\nSkipRows=2\n", "tarvel.ini");
    EXPECT_EQ(m_store.GetInt("Setting", "SkipRows", 0), 2);
}

// Without $TARVEL_LEGACY_INI_DIR the file is looked for where programs of
// old kept theirs: the Windows directory on Windows, the user's
// configuration folder ($XDG_CONFIG_HOME) elsewhere.
TEST(ImportIniFromTheSystem, ReadsTheWindowsDirectoryOrTheConfigurationFolder) {
    test::CSettingsEnv env;
    qunsetenv("TARVEL_LEGACY_INI_DIR");
#ifdef _WIN32
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetWindowsDirectoryW(folder, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    const std::string dir = QString::fromWCharArray(folder, static_cast<qsizetype>(length)).toStdString();
#else
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    const std::string dir = env / "config";
    std::filesystem::create_directories(PathOf(dir));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir));
#endif
    const std::string ini = test::Join(dir, "tarvel.ini");
    bool written = true;
    try {
        test::WriteFile(ini, "[Convert]\nSymbol=OLD\n");
    } catch (const std::exception&) {
        written = false;
    }
    CSettingsStore store;
    if (written) store.ImportIni();
    std::error_code ignored;
    std::filesystem::remove(PathOf(ini), ignored);
#ifndef _WIN32
    qputenv("XDG_CONFIG_HOME", configHome);
    if (configHome.isEmpty()) qunsetenv("XDG_CONFIG_HOME");
#endif
    if (!written) GTEST_SKIP() << "only an administrator writes " << dir;
    EXPECT_EQ(store.GetString("Convert", "Symbol", ""), "OLD");
}

}  // namespace
}  // namespace tarvel
