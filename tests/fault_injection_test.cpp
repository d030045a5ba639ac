#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tests/support/conversion_fixture.h"
#include "tests/support/master_builder.h"

namespace tarvel {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const std::string& name : test::ListDir(dir)) files[name] = test::ReadFile(dir + "/" + name);
    return files;
}

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
        platform.FailAt(k);
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

TEST_F(FaultInjectionTest, EveryFailingOperationLeavesTheEarlierSecuritiesWhole) {
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
        EXPECT_EQ(test::CheckPortfolio(m_out), "");
        std::map<std::string, std::string> after = Snapshot(m_out);
        for (const char* name : {"F1.DAT", "F1.DOP", "F2.DAT", "F2.DOP", "F3.DAT", "F3.DOP"}) {
            EXPECT_EQ(after[name], m_before.at(name)) << name;
        }
        const std::string& master = after["MASTER"];
        bool unchanged = master == m_before.at("MASTER");
        bool added = master.size() == 5 * 53 && master.substr(53, 3 * 53) == m_before.at("MASTER").substr(53, 3 * 53);
        EXPECT_TRUE(unchanged || added);
        if (result == 1) {
            ++failedRuns;
            EXPECT_FALSE(prompt.shown.empty()) << "a failure without a message";
        } else {
            // A fault whose result nobody consults (the backup copy, a clean-up)
            // must not change what was converted.
            EXPECT_EQ(after["MASTER"], success.at("MASTER"));
            EXPECT_EQ(after["F4.DAT"], success.at("F4.DAT"));
            EXPECT_TRUE(prompt.shown.empty());
            std::printf("[ fault sweep ] %s (operation %ld) not consulted\n", operation.c_str(), k);
        }
        if (added && result == 0) {
            EXPECT_EQ(after["F4.DOP"], success.at("F4.DOP"));
        }
    }
    std::printf("[ fault sweep ] %ld operations, %ld faults injected, %d runs failed with a message, %ld succeeded\n",
                operations, operations, failedRuns, operations - failedRuns);
}

}  // namespace
}  // namespace tarvel
