// The portfolio object's staging and commits, where a batch relies on them:
// going back over a file that failed, and a commit whose last renames keep
// failing.
#include "pricedb/portfolio.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "pricedb/recovery.h"
#include "tests/support/fake_platform.h"
#include "tests/support/portfolio_check.h"
#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

using test::CTempDir;

// Two fields a day: the date and a close.
NewSecurity Daily(const std::string& symbol, std::initializer_list<int> days) {
    NewSecurity s;
    s.symbol = s.name = symbol;
    s.fieldCount = 2;
    s.fieldOn[0] = s.fieldOn[4] = true;
    for (int day : days) {
        StoredNumber date = StoredDateOfDay(day), close = EncodeStoredNumber(static_cast<float>(day % 100));
        s.records.insert(s.records.end(), date.begin(), date.end());
        s.records.insert(s.records.end(), close.begin(), close.end());
    }
    s.recordCount = static_cast<std::uint16_t>(days.size());
    s.firstDate = StoredDateOfDay(*days.begin());
    s.lastDate = StoredDateOfDay(*(days.end() - 1));
    return s;
}

// Fails every rename onto a name that ends in `name`.
class CRenameFailing : public test::CFaultyPlatform {
public:
    explicit CRenameFailing(std::string name) : m_name(std::move(name)) {}
    CStatus Rename(const std::string& from, const std::string& to) override {
        return to.ends_with(m_name) ? CStatus::Error(5) : CFaultyPlatform::Rename(from, to);
    }

private:
    std::string m_name;
};

// A new portfolio, open for staging.
class PortfolioTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(portfolio.Open(), 0); }
    CTempDir dir;
    test::CFaultyPlatform platform;
    test::CRecordingPrompt prompt;
    CPortfolio portfolio{platform, prompt, dir.path(), dir / "MASTER", true};
};

TEST_F(PortfolioTest, GoingBackOverAFileUndoesItsRowsAppendedToAnEarlierOne) {
    int n = 0, added = 0, leftOut = 0;
    ASSERT_EQ(portfolio.StageNew(Daily("XX", {20240102, 20240103}), &n), 0);
    // The next file appends to XX, then fails: all of it goes.
    auto mark = portfolio.MarkStaged();
    ASSERT_EQ(portfolio.StageAppend(*portfolio.FindSymbol("XX"), Daily("XX", {20240104, 20240105}), &added,
                                    &leftOut),
              0);
    EXPECT_EQ(added, 2);
    portfolio.RollBack(*mark);
    // In a portfolio without EMASTER, a security staged new takes rows too.
    std::filesystem::remove(dir / "EMASTER");
    ASSERT_EQ(portfolio.StageAppend(*portfolio.FindSymbol("XX"), Daily("XX", {20240108}), &added, &leftOut),
              0);
    ASSERT_EQ(portfolio.Commit(true), 0);
    EXPECT_EQ(test::CheckPortfolio(dir.path()), "");
    EXPECT_EQ(test::ReadFile(dir / "F1.DAT").size(), 4u * 8);
}

// Past the limit of bytes held, the price files staged so far are written
// before the next is staged: going back removes those written, a failed
// write stages nothing more, a file written takes no more rows, and the
// commit puts new and appended files in place.
TEST_F(PortfolioTest, PriceFilesPastTheLimitAreWrittenBeforeTheNextIsStaged) {
    portfolio.SetHeldBytesLimit(0);
    int n = 0, added = 0, leftOut = 0;
    ASSERT_EQ(portfolio.StageNew(Daily("AAA", {20240102}), &n), 0);
    auto mark = portfolio.MarkStaged();
    ASSERT_EQ(portfolio.StageNew(Daily("BBB", {20240102}), &n), 0);
    ASSERT_EQ(portfolio.StageNew(Daily("CCC", {20240102}), &n), 0);
    EXPECT_EQ(test::ListDir(dir.path()), (std::vector<std::string>{"F1.DAT.~NU", "F2.DAT.~NU"}));
    portfolio.RollBack(*mark);
    EXPECT_EQ(test::ListDir(dir.path()), std::vector<std::string>{"F1.DAT.~NU"});

    ASSERT_EQ(portfolio.StageNew(Daily("DDD", {20240103, 20240104}), &n), 0);
    platform.FailAt(platform.operations() + 1, 28);
    EXPECT_EQ(portfolio.StageNew(Daily("EEE", {20240102}), &n), 1);
    EXPECT_EQ(prompt.shown.at(0).text, "Cannot write to " + (dir / "F2.DAT") + ": No space left on device");
    EXPECT_EQ(portfolio.FindSymbol("EEE"), nullptr);
    EXPECT_EQ(portfolio.StageAppend(*portfolio.FindSymbol("AAA"), Daily("AAA", {20240105}), &added, &leftOut),
              1);
    EXPECT_EQ(prompt.shown.at(1).text, "AAA was given rows twice in one run. It was not updated.");
    ASSERT_EQ(portfolio.Commit(true), 0);
    EXPECT_EQ(test::CheckPortfolio(dir.path()), "");
    EXPECT_EQ(test::ReadFile(dir / "F2.DAT").size(), 3u * 8);

    CPortfolio next(platform, prompt, dir.path(), dir / "MASTER", false);
    next.SetHeldBytesLimit(0);
    ASSERT_EQ(next.Open(), 0);
    ASSERT_EQ(next.StageAppend(*next.FindSymbol("AAA"), Daily("AAA", {20240103}), &added, &leftOut), 0);
    ASSERT_EQ(next.StageAppend(*next.FindSymbol("DDD"), Daily("DDD", {20240105}), &added, &leftOut), 0);
    EXPECT_TRUE(test::FileExists(dir / "F1.DAT.~NU"));
    ASSERT_EQ(next.Commit(true), 0);
    EXPECT_EQ(test::CheckPortfolio(dir.path()), "");
    EXPECT_EQ(test::ReadFile(dir / "F1.DAT").size(), 3u * 8);
    EXPECT_EQ(test::ReadFile(dir / "F2.DAT").size(), 4u * 8);
}

TEST(Portfolio, ACommitWhoseRenamesKeepFailingHoldsEverythingUntilItIsCompleted) {
    CTempDir dir;
    {
        test::CFaultyPlatform platform;
        test::CRecordingPrompt prompt;
        CPortfolio first(platform, prompt, dir.path(), dir / "MASTER", true);
        int n = 0;
        ASSERT_EQ(first.Open(), 0);
        ASSERT_EQ(first.StageNew(Daily("AAA", {20240102}), &n), 0);
        ASSERT_EQ(first.Commit(true), 0);
    }
    // A price file named in lower case, by another program.
    std::filesystem::rename(dir / "F1.DAT", dir / "f1.dat");
    const auto before = test::Snapshot(dir.path());

    CRenameFailing platform(dir / "MASTER");
    test::CRecordingPrompt prompt;
    CPortfolio portfolio(platform, prompt, dir.path(), dir / "MASTER", false);
    int n = 0, added = 0, leftOut = 0;
    ASSERT_EQ(portfolio.Open(), 0);
    ASSERT_EQ(portfolio.StageAppend(*portfolio.FindSymbol("AAA"), Daily("AAA", {20240102, 20240103}), &added,
                                    &leftOut),
              0);
    ASSERT_EQ(portfolio.StageNew(Daily("BBB", {20240103}), &n), 0);
    // Committed: the journal stands; only MASTER's rename failed.
    EXPECT_EQ(portfolio.Commit(true), 0);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text,
              "The conversion is saved, but " + dir.path() +
                  " could not be brought up to date: Input/output error. The next conversion "
                  "into it completes it.");
    EXPECT_TRUE(test::FileExists(dir / kJournalName));
    EXPECT_EQ(test::CheckPortfolio(dir.path(), true), "");

    // Nothing more is staged, committed or cleaned up while it stays.
    prompt.shown.clear();
    EXPECT_EQ(portfolio.StageAppend(*portfolio.FindSymbol("AAA"), Daily("AAA", {20240104}), &added, &leftOut),
              1);
    RemoveLeftovers(platform, dir.path(), dir / "MASTER");
    CPortfolio next(platform, prompt, dir.path(), dir / "MASTER", false);
    EXPECT_EQ(next.Open(), 1);
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[1].text,
              "A conversion into " + dir.path() + " was saved but could not be completed (" +
                  (dir / kJournalName) +
                  "), and still cannot: Input/output error. Nothing more is converted until it "
                  "can.");
    EXPECT_NE(test::Snapshot(dir.path()), before);

    // Once renames work again the commit is completed whole.
    auto real = MakeSystemPlatform();
    ASSERT_TRUE(FinishJournal(*real, dir.path()));
    EXPECT_EQ(test::CheckPortfolio(dir.path()), "");
    EXPECT_EQ(test::ReadFile(dir / "f1.dat").size(), 3u * 8);
    EXPECT_EQ(test::ReadFile(dir / "MASTER").size(), 3u * 53);
}

}  // namespace
}  // namespace tarvel
