// The commit journal on its own: its text, what is read as one of ours, and
// carrying it out.
#include "pricedb/journal.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"
#include "tests/support/master_builder.h"
#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

using test::CTempDir;

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(Journal, TextReadsBackAsTheSameSteps) {
    const std::vector<JournalStep> steps = {{false, "F3.DAT.~NU", "F3.DAT"}, {true, "MASTER.~NU", "MASTER"}};
    const std::string text = JournalText(steps);
    EXPECT_EQ(text, "N F3.DAT.~NU F3.DAT\nR MASTER.~NU MASTER\nEND\n");
    std::vector<JournalStep> read;
    ASSERT_TRUE(ParseJournal(BytesOf(text), &read));
    ASSERT_EQ(read.size(), 2u);
    for (std::size_t i = 0; i < read.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(read[i].replace, steps[i].replace);
        EXPECT_EQ(read[i].from, steps[i].from);
        EXPECT_EQ(read[i].to, steps[i].to);
    }
}

TEST(Journal, AnythingButAWholeJournalOfOurRenamesIsNone) {
    const std::string whole = "R MASTER.~NU MASTER\nEND\n";
    for (const std::string& text : {whole.substr(0, whole.size() - 1),  // cut in its last line
                                    whole.substr(0, 20),                // no END
                                    whole + "R MASTER.~NU MASTER\n",    // a line after END
                                    std::string("X MASTER.~NU MASTER\nEND\n"),
                                    std::string("R MASTER.NEW MASTER\nEND\n"),  // not <name>.~NU
                                    std::string("R ../M.~NU ../M\nEND\n"),      // outside the directory
                                    std::string("R .~NU \nEND\n"), std::string("")}) {
        SCOPED_TRACE(text);
        std::vector<JournalStep> steps;
        EXPECT_FALSE(ParseJournal(BytesOf(text), &steps));
    }
}

}  // namespace
}  // namespace tarvel
