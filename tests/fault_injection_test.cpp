#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <cerrno>
#include <map>

#include "tests/support/conversion_fixture.h"
#include "tests/support/master_builder.h"

namespace tarvel {
namespace {

namespace fs = std::filesystem;

using test::Snapshot;

class FaultInjectionTest : public test::ConversionTest {
protected:
    // A portfolio of three securities made by real conversions.
    void SetUp() override {
        for (const char* symbol : {"AAA", "BBB", "CCC"}) {
            auto job = MakeJob(symbol, symbol);
            job->m_bUseExistingMaster = test::FileExists(m_out + "/MASTER");
            ASSERT_EQ(Convert("010500,1,2,3,4,5,6\n010600,2,3,4,5,6,7\n", *job), 0);
        }
        fs::remove(m_out + "/MASTER.BAK");
        m_before = Snapshot(m_out);
        test::WriteFile(m_input, "010500,10,11,9,10.5,1000,50\n010600,11,12,10,11.5,1100,51\n010700,12,13,11,12.5,1200,52\n");
    }

    // One conversion of a fourth security into a fresh copy of the portfolio.
    int RunWithFault(long k, test::CFaultyPlatform& platform, test::CRecordingPrompt& prompt) {
        fs::remove_all(m_out);
        fs::create_directory(m_out);
        for (const auto& [name, bytes] : m_before) test::WriteFile(m_out + "/" + name, bytes);
        if (k != 0) platform.FailAt(k, platform.injected());
        test::CRecordingSettings settings;
        CConverter job(platform, prompt, settings);
        job.m_strPathIn = m_input;
        job.SetPathOut(m_out);
        job.SetSymbol("NEW");
        job.SetName("NEW");
        job.SetDelimiter(',');
        job.m_nDateFormat = 9;
        job.m_bUseExistingMaster = 1;
        for (int f = 0; f < kFieldCount; ++f) {
            job.m_bFieldOn[f] = 1;
            job.m_nFieldColumn[f] = f;
        }
        return job.Run();
    }

    std::map<std::string, std::string> m_before;
};

TEST_F(FaultInjectionTest, EveryFailingOperationLeavesThePortfolioAsItWasOrAddsTheSecurityWhole) {
    test::CFaultyPlatform clean;
    test::CRecordingPrompt cleanPrompt;
    ASSERT_EQ(RunWithFault(0, clean, cleanPrompt), 0);
    const std::map<std::string, std::string> success = Snapshot(m_out);
    const long operations = clean.operations();
    ASSERT_GT(operations, 20);

    int failedRuns = 0;
    for (long k = 1; k <= operations; ++k) {
        test::CFaultyPlatform platform;
        test::CRecordingPrompt prompt;
        int result = RunWithFault(k, platform, prompt);
        const std::string operation = clean.log()[static_cast<std::size_t>(k - 1)];
        SCOPED_TRACE(testing::Message() << "operation " << k << " (" << operation << ")");
        ASSERT_TRUE(result == 0 || result == 1);
        std::map<std::string, std::string> after = Snapshot(m_out);
        if (result == 1) {
            ++failedRuns;
            EXPECT_EQ(after, m_before);
            ASSERT_EQ(prompt.shown.size(), 1u);
            EXPECT_NE(prompt.shown[0].text.find("Input/output error"), std::string::npos) << prompt.shown[0].text;
        } else {
            // A fault whose result nobody consults (a clean-up, the backup
            // taken after the commit, removing a journal that is carried
            // out whole) changes nothing that was converted.
            EXPECT_EQ(test::CheckPortfolio(m_out), "");
            after.erase("MASTER.BAK");
            after.erase(kJournalName);
            std::map<std::string, std::string> expected = success;
            expected.erase("MASTER.BAK");
            EXPECT_EQ(after, expected);
            EXPECT_TRUE(prompt.shown.empty());
            std::printf("[ fault sweep ] %s (operation %ld) not consulted\n", operation.c_str(), k);
        }
    }
    std::printf("[ fault sweep ] %ld operations, %ld faults injected, %d runs failed with a message, %ld succeeded\n",
                operations, operations, failedRuns, operations - failedRuns);
}

TEST_F(FaultInjectionTest, AFullDiskIsNamedInTheMessage) {
    test::CFaultyPlatform clean;
    test::CRecordingPrompt quiet;
    ASSERT_EQ(RunWithFault(0, clean, quiet), 0);
    const std::vector<std::string>& log = clean.log();
    auto write = std::find(log.begin(), log.end(), "write");
    ASSERT_NE(write, log.end());
    test::CFaultyPlatform platform;
    test::CRecordingPrompt prompt;
    platform.FailAt(write - log.begin() + 1, ENOSPC);
    EXPECT_EQ(RunWithFault(write - log.begin() + 1, platform, prompt), 1);
    platform.FailAt(write - log.begin() + 1, ENOSPC);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Cannot write to " + std::filesystem::canonical(m_out).string() +
                                        "/F4.DAT: No space left on device");
    EXPECT_EQ(Snapshot(m_out), m_before);
}

}  // namespace
}  // namespace tarvel
