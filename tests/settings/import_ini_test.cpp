#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tarvel
