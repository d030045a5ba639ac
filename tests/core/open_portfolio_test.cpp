// Taking a portfolio for a change: the lock, the journal, the choice of
// MASTER and its checks, each once, with the messages every caller shows.
#include "pricedb/open_portfolio.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/support/conversion_fixture.h"
#include "tests/support/master_builder.h"

namespace tarvel {
namespace {

using test::ConversionTest;

// Counts the reads of each file and the looks for a journal.
class CCountingPlatform : public test::CFaultyPlatform {
public:
    CStatus Open(const std::string& path, OpenMode mode, std::unique_ptr<CFile>* file) override {
        if (mode == OpenMode::kRead) ++reads[std::filesystem::path(path).filename().string()];
        return CFaultyPlatform::Open(path, mode, file);
    }
    FileInfo Examine(const std::string& path) override {
        if (path.ends_with(kJournalName) && path.size() > std::string_view(kJournalName).size() &&
            IsPathSeparator(path[path.size() - std::string_view(kJournalName).size() - 1]))
            ++journalLooks;
        return CFaultyPlatform::Examine(path);
    }
    std::map<std::string, int> reads;
    int journalLooks = 0;
};

class OpenPortfolioTest : public ConversionTest {
protected:
    PortfolioOpening OpenFor(MasterChoice choice, std::unique_ptr<CPortfolio>* portfolio) {
        PortfolioAccess access;
        access.master = choice;
        return OpenPortfolioForChange(m_platform, m_prompt, m_out, access, portfolio);
    }
};

TEST_F(OpenPortfolioTest, AConversionReadsMasterOnceAndLooksForAJournalOnce) {
    ASSERT_EQ(Convert("010500,1,2,3,4,5,6\n", *MakeJob("AAA", "AAA")), 0);
    test::WriteFile(m_input, "010500,1,2,3,4,5,6\n010600,2,3,4,5,6,7\n");
    CCountingPlatform platform;
    test::CRecordingSettings settings;
    CConverter job(platform, m_prompt, settings);
    SetUpJob(job, "BBB", "BBB");
    job.m_bUseExistingMaster = 1;
    ASSERT_EQ(job.Run(), 0);
    EXPECT_EQ(platform.reads["MASTER"], 1);
    EXPECT_EQ(platform.journalLooks, 1);
    ExpectConsistent();
}

TEST_F(OpenPortfolioTest, ADamagedMasterIsNamedAndTheLockReleased) {
    test::WriteFile(m_out + "/MASTER", test::MasterFile({test::SecurityRecord(1, "AAA")}, 3));
    std::unique_ptr<CPortfolio> portfolio;
    EXPECT_EQ(OpenFor(MasterChoice::kEither, &portfolio), PortfolioOpening::kNotOpened);
    EXPECT_EQ(Messages(), std::vector<std::string>{"The Master file " + test::Join(m_out, "MASTER") +
                                                   " is damaged: it counts 3 securities but holds 1."});
    // Released: the next one is not kept waiting.
    test::WriteFile(m_out + "/MASTER", test::MasterFile({}));
    EXPECT_EQ(OpenFor(MasterChoice::kExisting, &portfolio), PortfolioOpening::kOpened);
}

}  // namespace
}  // namespace tarvel
