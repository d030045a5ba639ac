#include <gtest/gtest.h>

#include <cmath>

#include "convert/row_reader.h"
#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

using V = std::vector<std::string>;

// Each line as read, with "!" after one that was too long.
V Lines(const std::string& contents) {
    test::CTempDir dir;
    test::WriteFile(dir / "in.txt", contents);
    auto platform = MakePosixPlatform();
    std::unique_ptr<CFile> file;
    platform->Open(dir / "in.txt", OpenMode::kRead, &file);
    CLineReader reader(*file);
    V lines;
    std::string_view line;
    bool tooLong = false;
    while (reader.Next(&line, &tooLong)) lines.push_back(std::string(line) + (tooLong ? "!" : ""));
    EXPECT_FALSE(reader.Failed());
    return lines;
}

TEST(LineReader, EndsLinesAtAnyLineEndAndDropsTheRestOfOverLongOnes) {
    EXPECT_EQ(Lines(""), V{});
    EXPECT_EQ(Lines("a\nb\r\n\nlast"), (V{"a", "b", "", "last"}));
    EXPECT_EQ(Lines("a\rb\r\rc\r\nd\r"), (V{"a", "b", "", "c", "d"}));
    const std::string limit(kMaxLineLength, 'x');
    EXPECT_EQ(Lines(limit + "\nz"), (V{limit, "z"}));
    // The rest of a longer line is discarded, never read as further lines.
    EXPECT_EQ(Lines(limit + std::string(300000, 'y') + "\r\nz\n"), (V{limit + "!", "z"}));
    EXPECT_EQ(Lines(limit + "y\r"), (V{limit + "!"}));
    // A CR LF pair split by the reader's chunk boundary is one line end.
    std::string split(65535, 'z');
    EXPECT_EQ(Lines(split + "\r\nq"), (V{split, "q"}));
}

TEST(FieldSplitter, KeepsEveryFieldInItsPlace) {
    struct Case {
        const char* line;
        char delimiter;
        V fields;
    };
    const Case cases[] = {
        {"1,,2", ',', {"1", "", "2"}},
        {",a,", ',', {"", "a", ""}},
        {",,,", ',', {}},
        {"", ',', {}},
        {"x\t\ty", '\t', {"x", "", "y"}},
        {"  a  b\t c ", ' ', {"a", "b", "c"}},
        {"\"4,763.54\",\"a \"\"b\"\"\", \"c\"", ',', {"4,763.54", "a \"b\"", "c"}},
        {"\"open", ',', {"open"}},
        {"1;2|3", ';', {"1", "2|3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        CFieldSplitter fields;
        int n = fields.Split(c.line, c.delimiter, 20);
        V got;
        for (int i = 0; i < n; ++i) got.emplace_back(fields[i]);
        EXPECT_EQ(got, c.fields);
    }
    CFieldSplitter fields;
    EXPECT_EQ(fields.Split(std::string(1000, ','), ',', 20), 0);
    EXPECT_EQ(fields.Split("1,2,3,4", ',', 2), 2);
}

TEST(ReadNumber, ReadsWholeDecimalNumbersOnly) {
    struct Case {
        const char* text;
        bool read;
        float value;
    };
    const Case cases[] = {
        {"25.5", true, 25.5f},   {"  26.25 ", true, 26.25f}, {"-3", true, -3.0f},     {"+4.5", true, 4.5f},
        {"1e3", true, 1000.0f},  {".5", true, 0.5f},         {"5.", true, 5.0f},      {"-0", true, 0.0f},
        {"1e-40", true, 1e-40f}, {"12abc", false, 0},        {"abc", false, 0},       {"", false, 0},
        {"-", false, 0},         {".", false, 0},            {"nan", false, 0},       {"inf", false, 0},
        {"0x10", false, 0},      {"1,5", false, 0},          {"1e", false, 0},        {"$181.18", false, 0},
        {"2.41B", false, 0},     {"null", false, 0},         {"123\r", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        float value = -1.0f;
        EXPECT_EQ(ReadNumber(c.text, &value), c.read);
        if (c.read) {
            EXPECT_EQ(value, c.value);
        }
    }
    float value = 0.0f;
    ASSERT_TRUE(ReadNumber("-1e39", &value));
    EXPECT_TRUE(std::isinf(value) && value < 0);
    ASSERT_TRUE(ReadNumber("1e-999", &value));
    EXPECT_EQ(value, 0.0f);
}

TEST(ReadWrittenNumber, ReadsNumbersAsPeopleWriteThem) {
    struct Case {
        const char* text;
        bool decimalComma;
        bool read;
        float value;
    };
    const Case cases[] = {
        {"$181.18", false, true, 181.18f},        {"-$1.50", false, true, -1.5f},
        {"$-1.50", false, true, -1.5f},           {"4,763.54", false, true, 4763.54f},
        {"12,345,678", false, true, 12345678.0f}, {"2.41B", false, true, 2410000000.0f},
        {"850.25M", false, true, 850250000.0f},   {"12k", false, true, 12000.0f},
        {" \xE2\x82\xAC 12.5 ", false, true, 12.5f}, {"12,50 \xE2\x82\xAC", true, true, 12.5f},
        {"\xC2\xA3" "3", false, true, 3.0f},      {"1,2345", true, true, 1.2345f},
        {"4.763,54", true, true, 4763.54f},       {"1.000.000", true, true, 1000000.0f},
        {"1,5M", true, true, 1500000.0f},         {"17", true, true, 17.0f},
        {"1,2", false, false, 0},                 {"1,2345.5", false, false, 0},
        {"12,34,567", false, false, 0},           {",123", false, false, 0},
        {"100.5", true, false, 0},                {"1.5X", false, false, 0},
        {"2.41BB", false, false, 0},              {"$", false, false, 0},
        {"-0.37%", false, false, 0},              {"$$1", false, false, 0},
        {"1e5", true, false, 0},                  {"00:00", false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        float value = -7.0f;
        EXPECT_EQ(ReadPriceNumber(c.text, c.decimalComma, &value), c.read);
        EXPECT_EQ(value, c.read ? c.value : -7.0f);
    }
}

}  // namespace
}  // namespace tarvel
