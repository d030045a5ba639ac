#include "settings/settings_store.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <QSettings>
#include <filesystem>

#include "tests/support/settings_env.h"

namespace tarvel {
namespace {

TEST(SettingsStore, ScansIntegersAsPercentD) {
    test::CSettingsEnv env;
    CSettingsStore store;
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {{" 12", 12}, {"12abc", 12}, {"-3", -3},
                          {"+7", 7},   {"abc", 99},   {"", 99},
                          {"- 3", 99}, {"\t5", 5},    {"99999999999", 2147483647}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_EQ(store.WriteString("Setting", "DateCol", c.text), 1);
        EXPECT_EQ(store.GetInt("Setting", "DateCol", 99), c.expected);
    }
}

TEST(SettingsStore, WritesIntegersAsDecimalText) {
    test::CSettingsEnv env;
    CSettingsStore store;
    EXPECT_EQ(store.GetString("Setting", "DateFormat", "MMDDYY"), "MMDDYY");
    EXPECT_FALSE(test::FileExists(env.file()));  // a read creates nothing
    ASSERT_EQ(store.WriteInt("Screen", "x", -1), 1);
    EXPECT_EQ(store.GetString("Screen", "x", ""), "-1");
    EXPECT_EQ(store.GetInt("Screen", "x", 0), -1);
    // A section that did not exist is created by the write.
    EXPECT_NE(test::ReadFile(env.file()).find("[Screen]"), std::string::npos);
    EXPECT_EQ(store.GetInt("Screen", "y", 42), 42);
}

TEST(SettingsStore, ValuesLongerThan259BytesCountAsMissing) {
    test::CSettingsEnv env;
    CSettingsStore store;
    store.WriteString("Convert", "PathOut", std::string(259, 'p'));
    EXPECT_EQ(store.GetString("Convert", "PathOut", ""), std::string(259, 'p'));
    store.WriteString("Convert", "PathOut", std::string(260, 'p'));
    EXPECT_EQ(store.GetString("Convert", "PathOut", ""), "");
    store.WriteString("Convert", "PathOut", std::string(300, 'p'));
    EXPECT_EQ(store.GetString("Convert", "PathOut", "default"), "default");
}

TEST(SettingsStore, KeepsTextsAsTheyAre) {
    test::CSettingsEnv env;
    CSettingsStore store;
    for (std::string text :
         {"a, b", "@Variant(x)", " lead and trail ", "\xC3\x84pfel", "x=y;z", "\"quoted\""}) {
        SCOPED_TRACE(text);
        ASSERT_EQ(store.WriteString("Convert", "Name", text), 1);
        EXPECT_EQ(store.GetString("Convert", "Name", ""), text);
    }
}

TEST(SettingsStore, CreateKeyReportsANewKeyOnceAndLeavesATrace) {
    test::CSettingsEnv env;
    bool created = false;
    {
        CSettingsStore store;
        ASSERT_EQ(store.CreateKey(&created, "Software/Hollark Software/Tarvel"), 1);
        EXPECT_TRUE(created);
        EXPECT_EQ(store.m_strBasePath, "Software/Hollark Software/Tarvel");
    }
    EXPECT_TRUE(test::FileExists(env.file()));
    CSettingsStore again;
    ASSERT_EQ(again.CreateKey(&created, "Software/Hollark Software/Tarvel"), 1);
    EXPECT_FALSE(created);
}

TEST(SettingsStore, AStoreThatCannotBeWrittenFallsBackQuietly) {
    test::CSettingsEnv env;
    // The store's path names a directory: nothing can be written or read there.
    std::filesystem::create_directory(env.file());
    CSettingsStore store;
    bool created = true;
    EXPECT_EQ(store.CreateKey(&created, "k"), 0);
    EXPECT_EQ(store.WriteInt("Setting", "DateCol", 3), 0);
    EXPECT_EQ(store.GetInt("Setting", "DateCol", 1), 1);
}

#ifndef _WIN32  // the INI file's lock between processes; Windows keeps the registry
TEST(SettingsStore, TwoProcessesWritingAtOnceBothKeepTheirValues) {
    test::CSettingsEnv env;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            CSettingsStore store;
            int failures = 0;
            for (int i = 0; i < 40; ++i) {
                std::string name =
                    std::string("P").append(std::to_string(c)).append("V").append(std::to_string(i));
                failures += store.WriteInt("Setting", name.c_str(), i) == 1 ? 0 : 1;
            }
            ::_exit(failures);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    CSettingsStore store;
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < 40; ++i) {
            std::string name =
                std::string("P").append(std::to_string(c)).append("V").append(std::to_string(i));
            EXPECT_EQ(store.GetInt("Setting", name.c_str(), -1), i) << name;
        }
    }
}

#endif

#ifdef _WIN32
// Without $TARVEL_SETTINGS the store is the registry: writes go below
// HKEY_CURRENT_USER, and a value missing there is read from the same key
// below HKEY_LOCAL_MACHINE. (Run in a Wine prefix of its own, or on a test
// machine: it writes both keys and removes what it wrote.)
TEST(SettingsStore, OnWindowsTheUsersKeyFirstThenTheMachines) {
    const QString user = QStringLiteral("HKEY_CURRENT_USER\\Software\\Hollark Software\\Tarvel");
    const QString machine = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Hollark Software\\Tarvel");
    QSettings(machine, QSettings::NativeFormat).setValue("Setting/TestMachineOnly", "7");
    QSettings(machine, QSettings::NativeFormat).setValue("Setting/TestBoth", "8");
    CSettingsStore store;
    EXPECT_EQ(store.fileName(), user);
    EXPECT_EQ(store.GetInt("Setting", "TestMachineOnly", 0), 7);
    EXPECT_EQ(store.GetInt("Setting", "TestBoth", 0), 8);
    ASSERT_EQ(store.WriteInt("Setting", "TestBoth", 9), 1);
    EXPECT_EQ(store.GetInt("Setting", "TestBoth", 0), 9);
    EXPECT_EQ(QSettings(user, QSettings::NativeFormat).value("Setting/TestBoth").toString(), "9");
    EXPECT_EQ(QSettings(machine, QSettings::NativeFormat).value("Setting/TestBoth").toString(), "8");
    for (const QString& key : {user, machine}) {
        QSettings settings(key, QSettings::NativeFormat);
        settings.remove("Setting/TestBoth");
        settings.remove("Setting/TestMachineOnly");
    }
}
#endif

}  // namespace
}  // namespace tarvel
