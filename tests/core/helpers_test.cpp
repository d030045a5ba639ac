#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/utf8.h"
#include "pricedb/coding.h"

namespace tarvel {
namespace {

TEST(Utf8, ValidatesWholeTextAndHeadsCutMidCharacter) {
    struct Case {
        std::string_view text;
        bool valid;
        bool validHead;
    };
    const Case cases[] = {
        {"", true, true},
        {"plain", true, true},
        {"\xc3\xbc\xe2\x82\xac", true, true},
        {"\xf4\x8f\xbf\xbf", true, true},
        {"ab\xe2\x82", false, true},
        {"ab\xf0", false, true},  // heads of longer texts
        {"\xe2\x82x", false, false},
        {"\xc0\xaf", false, false},  // overlong
        {"\xe0\x9f\xbf", false, false},
        {"\xed\xa0\x80", false, false},  // surrogate
        {"\xed\xa0", false, false},
        {"\xf4\x90\x80\x80", false, false},  // past U+10FFFF
        {"\x80", false, false},
        {"\xff", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(IsValidUtf8(c.text), c.valid);
        EXPECT_EQ(IsValidUtf8Head(c.text), c.validHead);
    }
}

TEST(Utf8, CutsAtACharacterBoundaryNeverPastTheWidth) {
    struct Case {
        std::string_view text;
        std::size_t width;
        std::string_view cut;
    };
    const Case cases[] = {
        {"ABC", 5, "ABC"},
        {"ABCDEF", 4, "ABCD"},
        {"A\xc3\xbc", 2, "A"},
        {"A\xc3\xbc", 3, "A\xc3\xbc"},
        {"\xe2\x82\xac\xe2\x82\xac", 5, "\xe2\x82\xac"},
        {"\xf0\x9d\x84\x9e", 3, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(CutToCharBoundary(c.text, c.width), c.cut);
    }
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
