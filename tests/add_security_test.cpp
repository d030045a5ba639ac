#include <gtest/gtest.h>

#include "pricedb/portfolio.h"
#include "tests/support/fake_platform.h"
#include "tests/support/master_builder.h"
#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

using test::CTempDir;

TEST(AddSecurity, CopiesEveryRecordAndTheHeaderBytesItDoesNotCount) {
    CTempDir dir;
    std::string master = test::MasterFile({test::SecurityRecord(1, "A"), test::DirectoryRecord(2, "SUB"),
                                           test::SecurityRecord(5, "PAST")},
                                          2, 7);
    for (std::size_t i = 4; i < 53; ++i) master[i] = static_cast<char>(i);
    test::WriteFile(dir / "MASTER", master + "partial");
    test::CFaultyPlatform platform;
    test::CRecordingPrompt prompt;
    NewSecurity security;
    security.symbol = "NEW";
    security.fieldCount = 2;
    security.fieldOn[0] = security.fieldOn[4] = true;
    int n = 0;
    ASSERT_EQ(AddSecurity(platform, prompt, dir.path(), dir / "MASTER", security, &n), 0);
    EXPECT_EQ(n, 3);  // 1, 2 (the directory entry) and 5 are taken
    std::string after = test::ReadFile(dir / "MASTER");
    ASSERT_EQ(after.size(), 5u * 53);  // the partial record is gone
    EXPECT_EQ(test::Hex(after.substr(0, 4)), "03 00 08 00");
    EXPECT_EQ(after.substr(4, 49), master.substr(4, 49));
    EXPECT_EQ(after.substr(53, 3 * 53), master.substr(53, 3 * 53));
    EXPECT_EQ(test::ReadFile(dir / "F3.DAT"), std::string("\0\0\1\0\0\0\1\0", 8));
    EXPECT_EQ(test::ReadFile(dir / "F3.DOP"), "\"DATE\",0,0\r\n\"CLOSE\",4,4\r\n");
}

TEST(AddSecurity, RefusesAMasterWithoutAWholeHeader) {
    for (std::size_t size : {0u, 52u}) {
        SCOPED_TRACE(size);
        CTempDir dir;
        test::WriteFile(dir / "MASTER", std::string(size, '\0'));
        test::CFaultyPlatform platform;
        test::CRecordingPrompt prompt;
        NewSecurity security;
        security.fieldCount = 2;
        int n = 0;
        EXPECT_EQ(AddSecurity(platform, prompt, dir.path(), dir / "MASTER", security, &n), 1);
        ASSERT_EQ(prompt.shown.size(), 1u);
        EXPECT_EQ(prompt.shown[0].text, dir / "MASTER" + " is not a valid Master file");
        EXPECT_EQ(test::ListDir(dir.path()), std::vector<std::string>{"MASTER"});
    }
}

TEST(UpdateMasterDates, ChangesOnlyTheDatesOfItsFileNumber) {
    CTempDir dir;
    std::string header(53, '\0');
    for (std::size_t i = 0; i < 53; ++i) header[i] = static_cast<char>(i * 3);
    std::string records = test::SecurityRecord(1, "A") + test::SecurityRecord(2, "B") + test::SecurityRecord(3, "C");
    test::WriteFile(dir / "MASTER", header + records);
    test::CFaultyPlatform platform;
    test::CRecordingPrompt prompt;
    ASSERT_EQ(UpdateMasterDates(platform, prompt, dir / "MASTER", {1, 2, 3, 4}, {5, 6, 7, 8}, 2), 0);
    std::string expected = header + records;
    expected.replace(106 + kRecFirstDate, 8, "\x01\x02\x03\x04\x05\x06\x07\x08");
    EXPECT_EQ(test::Hex(test::ReadFile(dir / "MASTER")), test::Hex(expected));
    EXPECT_EQ(test::ListDir(dir.path()), std::vector<std::string>{"MASTER"});
}

TEST(UpdateRecordCount, DropsAPartialRecordAndSetsTheCount) {
    CTempDir dir;
    std::string data = std::string("\0\0\1\0\0\0\1\0", 8) + std::string(8, 'r') + "par";
    test::WriteFile(dir / "F1.DAT", data);
    test::CFaultyPlatform platform;
    test::CRecordingPrompt prompt;
    ASSERT_EQ(UpdateRecordCount(platform, prompt, dir / "F1.DAT", dir / "F1.NEW", 8, 2, Bytes(8, 'p')), 0);
    EXPECT_EQ(test::ReadFile(dir / "F1.DAT"),
              std::string("\0\0\3\0\0\0\1\0", 8) + std::string(8, 'r') + std::string(8, 'p'));
    EXPECT_EQ(test::ListDir(dir.path()), std::vector<std::string>{"F1.DAT"});
}

}  // namespace
}  // namespace tarvel
