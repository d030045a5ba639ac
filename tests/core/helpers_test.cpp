#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "platform/utf8.h"
#include "pricedb/coding.h"
#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

// Every row of tests/data/utf8.tsv: whether a text is valid UTF-8, whole or
// as the head of a longer text, and where a cut to a width falls.
TEST(Utf8, ValidatesTextsAndCutsThemAtACharacterBoundary) {
    const auto table = test::ReadTable(TARVEL_TEST_DATA_DIR "/utf8.tsv");
    for (const std::vector<std::string>& row : table) {
        SCOPED_TRACE(testing::PrintToString(row));
        if (row[0] == "valid") {
            EXPECT_EQ(IsValidUtf8(row[1]), row[2] == "1");
            EXPECT_EQ(IsValidUtf8Head(row[1]), row[3] == "1");
        } else {
            EXPECT_EQ(CutToCharBoundary(row[1], std::stoul(row[2])), row[3]);
        }
    }
    EXPECT_EQ(table.size(), 20u);
}

TEST(Coding, FixedWidthNumbersAreLittleEndian) {
    std::array<std::uint8_t, 4> bytes{};
    EncodeFixed16(bytes.data(), 0x1234);
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 4>{0x34, 0x12, 0, 0}));
    EXPECT_EQ(DecodeFixed16(bytes.data()), 0x1234);
    EncodeFixed32(bytes.data(), 0xFEDCBA98u);
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 4>{0x98, 0xBA, 0xDC, 0xFE}));
    EXPECT_EQ(DecodeFixed32(bytes.data()), 0xFEDCBA98u);
}

}  // namespace
}  // namespace tarvel
