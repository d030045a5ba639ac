// remove, rename and undo through tarvel-cli: each change undone byte for
// byte, the refusals, and the layout a removal leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tests/cli/cli_runner.h"
#include "tests/support/settings_env.h"
#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

namespace fs = std::filesystem;
using test::Cli;
using test::Files;
using test::Outcome;

std::string Rows(int first, int count, int seed = 0) {
    std::string text = "Date,Open,High,Low,Close,Volume\n";
    for (int day = first; day < first + count; ++day) {
        char date[32];
        std::snprintf(date, sizeof date, "2024-%02d-%02d", 1 + day / 28, 1 + day % 28);
        text += std::string(date) + "," + std::to_string(10 + seed) + "," + std::to_string(12 + seed) +
                ",9," + std::to_string(11 + seed) + "," + std::to_string(100 + day) + "\n";
    }
    return text;
}

// S000, S001, ...: the batch converts them in this order, into F1, F2, ...
std::string Symbol(int i) {
    char text[16];
    std::snprintf(text, sizeof text, "S%03d", i);
    return text;
}

// The portfolio's files without the undo record and the files it keeps,
// which the change before an undone one takes with it.
Files Portfolio(const std::string& dir) {
    Files files = test::Snapshot(dir);
    std::erase_if(files, [](const auto& f) { return f.first == "MASTER.~UR" || f.first.ends_with(".~UN"); });
    return files;
}

class MaintainTest : public ::testing::Test {
protected:
    // 253 securities S000..S252 in F1..F253: MASTER has room for two more.
    static void SetUpTestSuite() {
        s_env = new test::CSettingsEnv;
        const std::string folder = *s_env / "base-input";
        fs::create_directories(folder);
        for (int i = 0; i < 253; ++i) test::WriteFile(folder + "/" + Symbol(i) + ".csv", Rows(0, 20, i));
        s_made = Cli({"convert", folder, "--out", *s_env / "base"}).status == 0;
        for (int i = 0; i < 4; ++i) s_env->Write("batch/X" + std::to_string(i) + ".csv", Rows(5, 9, i));
    }
    static void TearDownTestSuite() { delete s_env; }
    void SetUp() override {
        // A failure here fails each test; one in SetUpTestSuite would skip them.
        ASSERT_TRUE(s_made) << "the portfolio of 253 securities could not be made";
        fs::remove_all(m_pf);
        fs::copy(*s_env / "base", m_pf);
    }
    std::string Input(const std::string& name, const std::string& text) const {
        return s_env->Write(name, text);
    }

    static test::CSettingsEnv* s_env;
    static bool s_made;
    const std::string m_pf = *s_env / "pf";
};
test::CSettingsEnv* MaintainTest::s_env = nullptr;
bool MaintainTest::s_made = false;

TEST_F(MaintainTest, UndoPutsBackEveryByteOfEachKindOfChange) {
    const std::string batch = *s_env / "batch";
    struct Case {
        const char* name;
        std::vector<std::string> before;  // a change made first, which undo keeps
        std::vector<std::string> change;
    };
    const std::vector<Case> cases = {
        {"a conversion", {}, {"convert", Input("NEW.csv", Rows(0, 30)), "--out", m_pf}},
        {"an update", {}, {"convert", Input("S007.csv", Rows(0, 40, 7)), "--out", m_pf, "--update"}},
        {"a batch crossing into XMASTER", {}, {"convert", batch, "--out", m_pf}},
        {"an update of XMASTER securities",
         {"convert", batch, "--out", m_pf},
         {"convert", Input("X3.csv", Rows(5, 30, 3)), "--out", m_pf, "--update"}},
        {"removing MASTER securities", {}, {"remove", m_pf, "S003", "S250"}},
        {"removing an XMASTER security", {"convert", batch, "--out", m_pf}, {"remove", m_pf, "X2", "S000"}},
        {"renaming",
         {},
         {"rename", m_pf, "S005", "--symbol", "NEWSYM", "--name", "A much longer name than 16"}},
        {"renaming an XMASTER security",
         {"convert", batch, "--out", m_pf},
         {"rename", m_pf, "X3", "--name", "Ex"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (!c.before.empty()) {
            ASSERT_EQ(Cli(c.before).status, 0);
        }
        const Files before = Portfolio(m_pf);
        Outcome changed = Cli(c.change);
        ASSERT_EQ(changed.status, 0) << changed.err;
        EXPECT_NE(Portfolio(m_pf), before);
        Outcome check = Cli({"check", m_pf});
        EXPECT_EQ(check.status, 0) << check.out;
        Outcome undo = Cli({"undo", m_pf});
        ASSERT_EQ(undo.status, 0) << undo.err;
        EXPECT_EQ(Portfolio(m_pf), before);
        EXPECT_EQ(Cli({"check", m_pf}).status, 0);
        Outcome again = Cli({"undo", m_pf});
        EXPECT_EQ(again.status, 1);
        EXPECT_EQ(again.err, "Tarvel: There is nothing to undo in " + m_pf + ".\n");
    }
}

TEST_F(MaintainTest, UndoRefusesWhenTheChangedFilesChangedSince) {
    const std::vector<std::pair<const char*, std::function<void()>>> edits = {
        {"F254.DAT",
         [&] {
             test::WriteFile(test::Join(m_pf, "F254.DAT"),
                             test::ReadFile(test::Join(m_pf, "F254.DAT")) + "x");
         }},
        {"MASTER",
         [&] {
             std::string master = test::ReadFile(test::Join(m_pf, "MASTER"));
             master[53 + 7] = 'Z';
             test::WriteFile(test::Join(m_pf, "MASTER"), master);
         }},
        {"MASTER.BAK", [&] { fs::remove(test::Join(m_pf, "MASTER.BAK")); }},
    };
    for (const auto& [file, edit] : edits) {
        SCOPED_TRACE(file);
        SetUp();
        ASSERT_EQ(Cli({"convert", Input("NEW.csv", Rows(0, 30)), "--out", m_pf}).status, 0);
        edit();
        const Files before = test::Snapshot(m_pf);
        Outcome undo = Cli({"undo", m_pf});
        EXPECT_EQ(undo.status, 1);
        EXPECT_EQ(undo.err, "Tarvel: " + test::Join(m_pf, file) +
                                " is not as the last change (Conversion of NEW) left it; undoing that change "
                                "would lose what changed it since. Nothing was undone.\n");
        EXPECT_EQ(test::Snapshot(m_pf), before);
    }
}

// A removal takes the records out and moves the later ones up, each with
// its file number; the counts and the mark go down by one.
TEST_F(MaintainTest, RemoveTakesOutTheRecordsAndKeepsTheOthersFileNumbers) {
    const std::string master = test::ReadFile(test::Join(m_pf, "MASTER")),
                      emaster = test::ReadFile(test::Join(m_pf, "EMASTER"));
    Outcome o = Cli({"remove", m_pf, "S003"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "Removed S003 (S003, F4.DAT) from " + m_pf + ".\ntarvel-cli undo " + m_pf +
                         " brings it back.\n");
    std::string expected = master.substr(0, 4 * 53) + master.substr(5 * 53);
    expected[0] = expected[2] = static_cast<char>(252);
    EXPECT_EQ(test::Hex(test::ReadFile(test::Join(m_pf, "MASTER"))), test::Hex(expected));
    std::string expectedE = emaster.substr(0, 4 * 192) + emaster.substr(5 * 192);
    expectedE[0] = expectedE[2] = static_cast<char>(252);
    EXPECT_EQ(test::Hex(test::ReadFile(test::Join(m_pf, "EMASTER"))), test::Hex(expectedE));
    EXPECT_FALSE(test::FileExists(test::Join(m_pf, "F4.DAT")));
    EXPECT_FALSE(test::FileExists(test::Join(m_pf, "F4.DOP")));
    // The number is free again for the next conversion.
    ASSERT_EQ(Cli({"convert", Input("NEW.csv", Rows(0, 3)), "--out", m_pf}).status, 0);
    EXPECT_TRUE(test::FileExists(test::Join(m_pf, "F4.DAT")));
    EXPECT_EQ(Cli({"check", m_pf}).status, 0);
}

TEST_F(MaintainTest, RenameAndRemoveRefuseAsAConversionWouldAndChangeNothing) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"rename", "PF", "S001", "--symbol", "s002"},
         "s002 is taken: S002 (S002) has it. S001 was not renamed."},
        {{"rename", "PF", "S001", "--symbol", " "}, "A symbol may not be blank. S001 was not renamed."},
        {{"rename", "PF", "S001", "--symbol", "FIFTEEN-BYTES-X"},
         "The symbol FIFTEEN-BYTES-X is longer than 14 bytes. S001 was not renamed."},
        {{"rename", "PF", "S001", "--name", "a <dir> here"},
         "A name may not hold \"<DIR>\" (it marks a sub-portfolio). S001 was not renamed."},
        {{"rename", "PF", "S001", "--name", std::string(46, 'n')},
         "The name nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn is longer than 45 bytes, the most that "
         "PF/EMASTER "
         "holds. S001 was not renamed."},
        {{"rename", "PF", "NOPE", "--name", "x"},
         "PF holds no security with the symbol NOPE. Nothing was renamed."},
        {{"remove", "PF", "S001", "NOPE"}, "PF holds no security with the symbol NOPE. Nothing was removed."},
        {{"rename", "PF", "S001", "--symbol", "S001"},
         "S001 has that symbol and name already. S001 was not renamed."},
        {{"rename", "PF", "S001", "--name", "s002"},
         "The name s002 would find S002 (S002) as well. S001 was not renamed."},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args[1] = m_pf;
        std::string message = test::NativeSlashes(c.message);
        for (std::size_t at; (at = message.find("PF")) != std::string::npos;) message.replace(at, 2, m_pf);
        SCOPED_TRACE(message);
        const Files before = test::Snapshot(m_pf);
        Outcome o = Cli(args);
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, "Tarvel: " + message + "\n");
        EXPECT_EQ(test::Snapshot(m_pf), before);
    }
    // A price file that is a link is not taken away: undo could not bring it back.
    fs::rename(test::Join(m_pf, "F2.DAT"), test::Join(m_pf, "real.DAT"));
    if (test::MakeLink(test::Join(m_pf, "real.DAT"), test::Join(m_pf, "F2.DAT"))) {
        Outcome linked = Cli({"remove", m_pf, "S001"});
        EXPECT_EQ(linked.err, "Tarvel: The price file " + test::Join(m_pf, "F2.DAT") +
                                  " is a symbolic link; Tarvel does not remove it. S001 was not removed.\n");
        fs::remove(test::Join(m_pf, "F2.DAT"));
    }
    fs::rename(test::Join(m_pf, "real.DAT"), test::Join(m_pf, "F2.DAT"));
    // Something else where Tarvel keeps its undo record stops a conversion
    // before its commit.
    fs::remove(test::Join(m_pf, "MASTER.~UR"));
    fs::create_directory(test::Join(m_pf, "MASTER.~UR"));
    const Files kept = test::Snapshot(m_pf);
    Outcome blocked = Cli({"convert", Input("NEW.csv", Rows(0, 3)), "--out", m_pf});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_EQ(blocked.err, "Tarvel: " + test::Join(m_pf, "MASTER.~UR") +
                               " is in the way: Tarvel keeps a file of its own under that name, and it "
                               "is not a regular file. Remove or rename it; nothing was changed.\n");
    EXPECT_EQ(test::Snapshot(m_pf), kept);
    fs::remove(test::Join(m_pf, "MASTER.~UR"));
    // A damaged portfolio is not changed further.
    fs::remove(test::Join(m_pf, "F9.DAT"));
    Outcome o = Cli({"remove", m_pf, "S001"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "Tarvel: " + m_pf + " is damaged (" + test::Join(m_pf, "F9.DAT") +
                         ": missing; tarvel-cli check " + m_pf +
                         " lists every problem). Nothing was changed.\n");
    EXPECT_EQ(Cli({"rename", m_pf, "S001"}).status, 2);
}

}  // namespace
}  // namespace tarvel
