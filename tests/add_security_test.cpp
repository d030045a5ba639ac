#include <gtest/gtest.h>
#include <filesystem>

#include "pricedb/portfolio.h"
#include "tests/support/fake_platform.h"
#include "tests/support/master_builder.h"
#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

using test::CTempDir;

TEST(CheckMaster, NamesWhatIsDamaged) {
    struct Case {
        std::string master;
        const char* problem;  // after "The Master file M is damaged: "; "" for a sound one
    };
    const std::string a = test::SecurityRecord(1, "A"), b = test::SecurityRecord(2, "B");
    const Case cases[] = {
        {test::MasterFile({a, b}), ""},
        {test::MasterFile({a, test::DirectoryRecord(2, "SUB")}), ""},
        {"", "it is 0 bytes long, not a whole number of 53-byte records."},
        {test::MasterFile({a}).substr(0, 60), "it is 60 bytes long, not a whole number of 53-byte records."},
        {test::MasterFile({a}, 3), "it counts 3 securities but holds 1."},
        {test::MasterFile({a, b}, 1), "it counts 1 securities but holds 2."},
        {test::MasterFile({a, test::SecurityRecord(0, "Z")}), "record 2 has file number 0."},
        {test::MasterFile({a, test::SecurityRecord(1, "Z")}), "file number 1 is used twice."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.problem);
        std::string problem = CheckMaster(Bytes(c.master.begin(), c.master.end()), "M");
        EXPECT_EQ(problem, *c.problem ? std::string("The Master file M is damaged: ") + c.problem : "");
    }
}

TEST(AddSecurity, EveryFailingStepLeavesTheDirectoryAsItWas) {
    CTempDir dir;
    std::string master = test::MasterFile({test::SecurityRecord(1, "A")});
    test::WriteFile(dir / "MASTER", master);
    NewSecurity security;
    security.symbol = "NEW";
    security.fieldCount = 2;
    security.fieldOn[0] = security.fieldOn[4] = true;
    security.recordCount = 1;
    security.records = Bytes(8, 7);
    test::CFaultyPlatform clean;
    test::CRecordingPrompt quiet;
    int n = 0;
    ASSERT_EQ(AddSecurity(clean, quiet, dir.path(), dir / "MASTER", false, security, &n), 0);
    const std::map<std::string, std::string> added = test::Snapshot(dir.path());
    const std::vector<std::string>& operations = clean.log();
    for (long k = 1; k <= static_cast<long>(operations.size()); ++k) {
        SCOPED_TRACE(testing::Message() << "operation " << k << " (" << operations[k - 1] << ")");
        for (const std::string& name : test::ListDir(dir.path())) std::filesystem::remove(dir / name);
        test::WriteFile(dir / "MASTER", master);
        const std::map<std::string, std::string> before = test::Snapshot(dir.path());
        test::CFaultyPlatform platform;
        test::CRecordingPrompt prompt;
        platform.FailAt(k);
        int result = AddSecurity(platform, prompt, dir.path(), dir / "MASTER", false, security, &n);
        if (result == 1) {
            EXPECT_EQ(test::Snapshot(dir.path()), before);
            ASSERT_EQ(prompt.shown.size(), 1u);
            EXPECT_TRUE(prompt.shown[0].text.ends_with(": Input/output error")) << prompt.shown[0].text;
        } else {
            // Only the backup may be missing: it is renamed after the commit.
            std::map<std::string, std::string> after = test::Snapshot(dir.path());
            after.erase("MASTER.BAK");
            std::map<std::string, std::string> expected = added;
            expected.erase("MASTER.BAK");
            EXPECT_EQ(after, expected);
        }
    }
}

}  // namespace
}  // namespace tarvel
