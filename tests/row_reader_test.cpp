#include <gtest/gtest.h>

#include <cmath>

#include "convert/row_reader.h"
#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

std::vector<std::string> Pieces(const std::string& contents, std::size_t limit = 299) {
    test::CTempDir dir;
    test::WriteFile(dir / "in.txt", contents);
    auto platform = MakePosixPlatform();
    auto file = platform->Open(dir / "in.txt", OpenMode::kRead);
    CLineReader reader(*file, limit);
    std::vector<std::string> pieces;
    std::string_view piece;
    while (reader.Next(&piece)) pieces.emplace_back(piece);
    EXPECT_FALSE(reader.Failed());
    return pieces;
}

TEST(LineReader, ReadsLinesInPiecesOfAtMostTheLimit) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Pieces(""), V{});
    EXPECT_EQ(Pieces("a\nb\r\n\nlast"), (V{"a\n", "b\r\n", "\n", "last"}));
    // A carriage return alone ends a line too; inside CR LF it does not end two.
    EXPECT_EQ(Pieces("a\rb\r\rc\r\nd\r"), (V{"a\r", "b\r", "\r", "c\r\n", "d\r"}));
    std::string line700(700, 'x');
    EXPECT_EQ(Pieces(line700 + "\nz\n"),
              (V{std::string(299, 'x'), std::string(299, 'x'), std::string(102, 'x') + "\n", "z\n"}));
    // A line of exactly 299 characters leaves its line feed as a piece of its own.
    EXPECT_EQ(Pieces(std::string(299, 'y') + "\n"), (V{std::string(299, 'y'), "\n"}));
    // A CR LF pair split by the chunk boundary is still one line end.
    std::string split(65535, 'z');
    EXPECT_EQ(Pieces(split + "\r\nq", 1 << 20), (V{split + "\r\n", "q"}));
    // Lines cross the reader's internal chunks whole.
    std::string many;
    for (int i = 0; i < 20000; ++i) many += "0105" + std::to_string(i % 100) + ",1,2\n";
    auto pieces = Pieces(many);
    ASSERT_EQ(pieces.size(), 20000u);
    EXPECT_EQ(pieces[19999], "010599,1,2\n");
}

TEST(LineText, RemovesLineEndsAndStopsAtZeroBytes) {
    EXPECT_EQ(LineText("abc\n"), "abc");
    EXPECT_EQ(LineText("abc\r\n"), "abc");
    EXPECT_EQ(LineText("abc\r"), "abc");
    EXPECT_EQ(LineText(std::string_view("ab\0c\n", 5)), "ab");
}

TEST(SplitColumns, DelimiterRunsCountAsOne) {
    CTokenTable tokens;
    EXPECT_EQ(SplitColumns("1,,2", ',', tokens), 2);
    EXPECT_EQ(tokens[0], "1");
    EXPECT_EQ(tokens[1], "2");
    EXPECT_EQ(tokens[2], "123");
    EXPECT_EQ(SplitColumns(",,a,b,,", ',', tokens), 2);
    EXPECT_EQ(tokens[0], "a");
    EXPECT_EQ(SplitColumns(",,,", ',', tokens), 0);
    EXPECT_EQ(SplitColumns("", ',', tokens), 0);
    EXPECT_EQ(SplitColumns("x\t\ty", '\t', tokens), 2);
    EXPECT_EQ(tokens[1], "y");
    EXPECT_EQ(SplitColumns("\"a b\" c\r", ' ', tokens), 3);
    EXPECT_EQ(tokens[0], "\"a");
    EXPECT_EQ(tokens[2], "c\r");
    std::string wide;
    for (int i = 1; i <= 25; ++i) wide += std::to_string(i) + ",";
    EXPECT_EQ(SplitColumns(wide, ',', tokens), 20);
    EXPECT_EQ(tokens[19], "20");
}

TEST(ReadLeadingNumber, ReadsTheLongestDecimalPrefix) {
    struct Case {
        const char* text;
        float value;
    };
    const Case cases[] = {
        {"25.5", 25.5f},  {"  26.25", 26.25f}, {"\t-3", -3.0f},   {"+4.5", 4.5f},     {"12000", 12000.0f},
        {"1e3", 1000.0f}, {"1e", 1.0f},        {"1e+", 1.0f},     {"2.5E-1x", 0.25f}, {".5", 0.5f},
        {"5.", 5.0f},     {"12abc", 12.0f},    {"abc", 0.0f},     {"", 0.0f},         {"-", 0.0f},
        {".", 0.0f},      {"nan", 0.0f},       {"inf", 0.0f},     {"0x10", 0.0f},     {"1,5", 1.0f},
        {"1e-40", 1e-40f},  {"-0", 0.0f},        {"123\r", 123.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReadLeadingNumber(c.text), c.value);
    }
    EXPECT_TRUE(std::isinf(ReadLeadingNumber("1e39")));
    EXPECT_GT(ReadLeadingNumber("1e39"), 0.0f);
    EXPECT_LT(ReadLeadingNumber("-1e39"), 0.0f);
    EXPECT_TRUE(std::isinf(ReadLeadingNumber("1e999")));
    EXPECT_EQ(ReadLeadingNumber("1e-999"), 0.0f);
    EXPECT_EQ(ReadLeadingNumber("1e-45"), 1e-45f);  // the smallest denormal is in range
}

}  // namespace
}  // namespace tarvel
