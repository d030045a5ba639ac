#include "platform/file_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tests/support/fake_platform.h"
#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

using test::CFaultyPlatform;
using test::CTempDir;

TEST(ReplaceFile, ReplacesWithoutLeavingTheTemporaryOrWritingThroughALink) {
    CTempDir dir, outside;
    test::WriteFile(dir / "MASTER", "old");
    test::WriteFile(outside / "victim", "keep");
    if (!test::MakeLink(outside / "victim", dir / "MASTER.NEW")) GTEST_SKIP() << "no symbolic links here";
    CFaultyPlatform platform;
    ASSERT_TRUE(ReplaceFile(platform, dir / "MASTER", dir / "MASTER.NEW", Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(test::ReadFile(dir / "MASTER"), "new");
    EXPECT_EQ(test::ListDir(dir.path()), std::vector<std::string>{"MASTER"});
    EXPECT_EQ(test::ReadFile(outside / "victim"), "keep");
    // The stale temporary goes first; the old file is never deleted.
    EXPECT_EQ(platform.log(),
              (std::vector<std::string>{"remove", "open", "write", "flush", "close", "rename"}));
}

TEST(ReplaceFile, AnyFailingStepLeavesTheOldFileWhole) {
    CFaultyPlatform counter;
    {
        CTempDir dir;
        test::WriteFile(dir / "MASTER", "old contents");
        ASSERT_TRUE(ReplaceFile(counter, dir / "MASTER", dir / "MASTER.NEW", Bytes(1000, 'x')));
    }
    for (long k = 1; k <= counter.operations(); ++k) {
        SCOPED_TRACE(counter.log()[static_cast<std::size_t>(k - 1)]);
        CTempDir dir;
        test::WriteFile(dir / "MASTER", "old contents");
        CFaultyPlatform platform;
        platform.FailAt(k);
        // Removing a stale temporary that is not there may fail unnoticed.
        bool replaced = ReplaceFile(platform, dir / "MASTER", dir / "MASTER.NEW", Bytes(1000, 'x')).ok();
        EXPECT_EQ(replaced, k == 1);
        EXPECT_EQ(test::ReadFile(dir / "MASTER"), replaced ? std::string(1000, 'x') : "old contents");
        EXPECT_EQ(test::ListDir(dir.path()), std::vector<std::string>{"MASTER"});
    }
}

TEST(PosixPlatform, FindsNamesExactlyFirstThenInAnyCase) {
    CTempDir dir;
    test::WriteFile(dir / "master", "a");
    auto platform = MakeSystemPlatform();
    EXPECT_EQ(platform->FindName(dir.path(), "MASTER"), "master");
#ifndef _WIN32  // one file there, whatever the case of its name
    test::WriteFile(dir / "MASTER", "b");
    EXPECT_EQ(platform->FindName(dir.path(), "MASTER"), "MASTER");
#endif
    EXPECT_EQ(platform->FindName(dir.path(), "F1.DAT"), std::nullopt);
}

// Paths as the user of each system writes them, spelled out literally.
TEST(PathText, ReadsAndJoinsTheSystemsOwnPaths) {
#ifdef _WIN32
    EXPECT_EQ(JoinPath("C:\\MetaStock Data\\Stocks", "MASTER"), "C:\\MetaStock Data\\Stocks\\MASTER");
    EXPECT_EQ(WithSeparator("C:\\"), "C:\\");
    for (const char* path : {"C:\\pf", "c:/pf", "\\\\server\\share\\pf", "\\\\?\\C:\\pf"})
        EXPECT_TRUE(IsAbsolutePath(path)) << path;
    for (const char* path : {"pf", "C:pf", "..\\pf"}) EXPECT_FALSE(IsAbsolutePath(path)) << path;
    EXPECT_TRUE(HoldsPathSeparator("..\\x"));
#else
    EXPECT_EQ(JoinPath("/home/me/Stocks", "MASTER"), "/home/me/Stocks/MASTER");
    EXPECT_EQ(WithSeparator("/"), "/");
    EXPECT_TRUE(IsAbsolutePath("/pf"));
    for (const char* path : {"pf", "C:\\pf", "..\\pf"}) EXPECT_FALSE(IsAbsolutePath(path)) << path;
    EXPECT_FALSE(HoldsPathSeparator("..\\x"));
#endif
}

TEST(PosixPlatform, ADirectoryDoesNotOpenAsAFile) {
    CTempDir dir;
    auto platform = MakeSystemPlatform();
    std::unique_ptr<CFile> file;
    EXPECT_TRUE(platform->Open(dir.path(), OpenMode::kRead, &file).IsNotRegular());
    EXPECT_EQ(file, nullptr);
    EXPECT_TRUE(platform->IsDirectory(dir.path()));
}

TEST(PosixPlatform, AFailedCallReturnsTheSystemsReason) {
    CTempDir dir;
    auto platform = MakeSystemPlatform();
    std::unique_ptr<CFile> file;
    CStatus missing = platform->Open(dir / "missing.txt", OpenMode::kRead, &file);
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(missing.Number(), ENOENT);
#ifdef _WIN32  // the system's own words, without a closing period
    EXPECT_FALSE(missing.Text().empty());
    EXPECT_FALSE(missing.Text().ends_with('.'));
#else
    EXPECT_EQ(missing.Text(), std::strerror(ENOENT));
#endif
    EXPECT_EQ(file, nullptr);
    // Directories are made one level at a time.
    CStatus made = platform->MakeDirectory(dir / "a/b");
    EXPECT_EQ(made.Number(), ENOENT);
    EXPECT_TRUE(platform->MakeDirectory(dir / "a"));
    EXPECT_TRUE(platform->IsDirectory(dir / "a"));
    EXPECT_EQ(OpenFailureMessage(missing, "Cannot open", "x"), "Cannot open x: " + missing.Text());
    EXPECT_EQ(OpenFailureMessage(CStatus::NotRegular(), "Cannot open", "x"), "x is not a regular file.");
    EXPECT_TRUE(CStatus().ok());
    EXPECT_EQ(CStatus().Text(), "");
}

TEST(FaultyPlatform, AnInjectedFailureIsTheStatusReturned) {
    CTempDir dir;
    CFaultyPlatform platform;
    platform.FailAt(2, ENOSPC);
    CStatus written = WriteNewFile(platform, dir / "F1.DAT", Bytes{'x'});  // open, then the write fails
    EXPECT_EQ(written.Number(), ENOSPC);
    EXPECT_EQ(written.Text(), std::strerror(ENOSPC));
    EXPECT_EQ(test::ListDir(dir.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace tarvel
