#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>

#include "platform/file_util.h"
#include "pricedb/extended_masters.h"
#include "pricedb/journal.h"
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
        test::WriteFile(
            m_input,
            "010500,10,11,9,10.5,1000,50\n010600,11,12,10,11.5,1100,51\n010700,12,13,11,12.5,1200,52\n");
    }

    // Two securities in XMASTER beside the three in MASTER and EMASTER, then
    // the input of an update run: newer rows of AAA and XXA (and a row
    // each that is not newer), and a new security.
    void AddXMasterSecurities() {
        std::vector<std::string> records;
        for (int n : {256, 257}) {
            std::string name = n == 256 ? "XXA" : "XXB";
            records.push_back(test::XMasterRecord(n, name, name + " LONG NAME OF MORE THAN SIXTEEN BYTES",
                                                  127, 20000105, 20000106));
            std::string data;
            for (int i = 0; i < 7; ++i) data += std::string("\0\0\3\0", 4);
            for (float day : {1000105.0f, 1000106.0f}) {
                data += test::Stored(day);
                for (int f = 1; f < 7; ++f) data += test::Stored(static_cast<float>(f));
            }
            test::WriteFile(m_out + "/" + MwdFileName(n), data);
        }
        test::WriteFile(m_out + "/XMASTER", test::XMasterFile(records, 258));
        ASSERT_EQ(test::CheckPortfolio(m_out), "");
        m_before = Snapshot(m_out);
        test::WriteFile(
            m_input,
            "XXA,20000106,9,9,9,9,9,9\nAAA,20000106,8,8,8,8,8,8\nAAA,20000107,2,3,1,2.5,100,7\n"
            "XXA,20000107,5,6,4,5.5,500,8\nXXA,20000110,6,7,5,6.5,600,9\nNEW,20000107,1,2,1,1.5,10,1\n");
        m_bUpdate = true;
    }

    // One conversion of a fourth security (or the update run) into a fresh
    // copy of the portfolio.
    int RunWithFault(long k, test::CFaultyPlatform& platform, test::CRecordingPrompt& prompt) {
        fs::remove_all(m_out);
        fs::create_directory(m_out);
        for (const auto& [name, bytes] : m_before) test::WriteFile(m_out + "/" + name, bytes);
        if (k != 0) platform.FailAt(k, platform.injected());
        test::CRecordingSettings settings;
        CConverter job(platform, prompt, settings);
        SetUpJob(job, "NEW", "NEW");
        job.m_bUseExistingMaster = 1;
        if (m_bUpdate) {
            for (int f = 0; f < kFieldCount; ++f) job.m_nFieldColumn[f] = f + 1;
            job.m_bUpdate = 1;
            job.m_nTickerColumn = 0;
            job.m_nDateFormat = 8;
        }
        return job.Run();
    }

    // Fails each operation of the run in turn: every run fails with the
    // fault's reason and leaves the portfolio byte for byte as it was, or
    // succeeds (the fault hit what nobody consults) with the same portfolio
    // as a run without faults.
    void Sweep() {
        test::CFaultyPlatform clean;
        test::CRecordingPrompt cleanPrompt;
        ASSERT_EQ(RunWithFault(0, clean, cleanPrompt), 0);
        ASSERT_EQ(test::CheckPortfolio(m_out), "");
        const std::map<std::string, std::string> success = Snapshot(m_out);
        const long operations = clean.operations();
        ASSERT_GT(operations, 20);

        for (long k = 1; k <= operations; ++k) {
            test::CFaultyPlatform platform;
            test::CRecordingPrompt prompt;
            int result = RunWithFault(k, platform, prompt);
            const std::string operation = clean.log()[static_cast<std::size_t>(k - 1)];
            SCOPED_TRACE(testing::Message() << "operation " << k << " (" << operation << ")");
            ASSERT_TRUE(result == 0 || result == 1);
            std::map<std::string, std::string> after = Snapshot(m_out);
            if (result == 1) {
                EXPECT_EQ(after, m_before);
                ASSERT_EQ(prompt.shown.size(), 1u);
                EXPECT_NE(prompt.shown[0].text.find("Input/output error"), std::string::npos)
                    << prompt.shown[0].text;
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
            }
        }
    }

    std::map<std::string, std::string> m_before;
    bool m_bUpdate = false;
};

TEST_F(FaultInjectionTest, EveryFailingOperationLeavesThePortfolioAsItWasOrAddsTheSecurityWhole) { Sweep(); }

TEST_F(FaultInjectionTest, EveryFailingOperationOfAnUpdateLeavesEverySecurityOldOrNew) {
    AddXMasterSecurities();
    test::CFaultyPlatform platform;
    test::CRecordingPrompt prompt;
    ASSERT_EQ(RunWithFault(0, platform, prompt), 0);
    // AAA and XXA got their newer rows, NEW was added, the rest is as it was.
    std::map<std::string, std::string> after = Snapshot(m_out);
    for (const char* same : {"F2.DAT", "F3.DAT", "F257.MWD"}) EXPECT_EQ(after[same], m_before[same]) << same;
    EXPECT_EQ(after["F1.DAT"].size(), m_before["F1.DAT"].size() + 28);
    EXPECT_EQ(after["F256.MWD"].size(), m_before["F256.MWD"].size() + 2 * 28);
    EXPECT_EQ(after["F4.DAT"].size(), 2u * 28);
    EXPECT_EQ(after["XMASTER"].substr(150 + kXRecLastDay, 4), test::Le(20000110, 4));
    Sweep();
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
    const long at = static_cast<long>(write - log.begin()) + 1;
    platform.FailAt(at, ENOSPC);
    EXPECT_EQ(RunWithFault(at, platform, prompt), 1);
    platform.FailAt(at, ENOSPC);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Cannot write to " +
                                        test::Join(std::filesystem::canonical(m_out).string(), "F4.DAT") +
                                        ": No space left on device");
    EXPECT_EQ(Snapshot(m_out), m_before);
}

// MASTER held open by another program (a reader on Windows), so that it
// cannot be replaced: the conversion is saved with a journal and says so,
// MASTER stays as it was, and the next run, once MASTER is free, completes it.
TEST_F(FaultInjectionTest, AHeldMasterIsReplacedByTheNextRun) {
    struct CHeldMaster : test::CFaultyPlatform {
        CStatus Rename(const std::string& from, const std::string& to) override {
            if (held && FileName(to) == "MASTER") return CStatus::Error(EBUSY);
            return CFaultyPlatform::Rename(from, to);
        }
        bool held = true;
    } platform;
    test::CRecordingPrompt prompt;
    EXPECT_EQ(RunWithFault(0, platform, prompt), 0);
    ASSERT_EQ(prompt.shown.size(), 1u);
    const std::string dir = std::filesystem::canonical(m_out).string();
    EXPECT_EQ(prompt.shown[0].text, "The conversion is saved, but " + dir +
                                        " could not be brought up to date: " + std::strerror(EBUSY) +
                                        ". The next conversion into it completes it.");
    EXPECT_EQ(test::ReadFile(test::Join(m_out, "MASTER")), m_before["MASTER"]);
    EXPECT_TRUE(test::FileExists(test::Join(m_out, kJournalName)));
    EXPECT_EQ(test::CheckPortfolio(m_out, true), "");

    platform.held = false;
    test::CRecordingSettings settings;
    CConverter next(platform, prompt, settings);
    SetUpJob(next, "LATER", "LATER");
    next.m_bUseExistingMaster = 1;
    EXPECT_EQ(next.Run(), 0);
    EXPECT_EQ(prompt.shown.size(), 1u);
    EXPECT_FALSE(test::FileExists(test::Join(m_out, kJournalName)));
    EXPECT_EQ(test::CheckPortfolio(m_out), "");
    const std::string master = test::ReadFile(test::Join(m_out, "MASTER"));
    EXPECT_NE(master.find("NEW"), std::string::npos);
    EXPECT_NE(master.find("LATER"), std::string::npos);
}

}  // namespace
}  // namespace tarvel
