// Files in the shapes price data comes in, each converted with nothing but
// what detection finds, against a sidecar of the records it must store.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "convert/detect.h"
#include "tests/support/conversion_fixture.h"

namespace tarvel {
namespace {

using test::ConversionTest;

std::string ReadData(const std::string& name) {
    std::ifstream file(std::string(TARVEL_TEST_DATA_DIR) + "/shapes/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// "YYYY-MM-DD v v ..." as stored: the date number, then the values.
std::vector<float> ExpectedRow(const std::string& line) {
    std::istringstream in(line);
    std::string date;
    in >> date;
    int year = 0, month = 0, day = 0;
    std::sscanf(date.c_str(), "%d-%d-%d", &year, &month, &day);
    std::vector<float> row{static_cast<float>((year - 1900) * 10000 + month * 100 + day)};
    for (std::string value; in >> value;) row.push_back(std::strtof(value.c_str(), nullptr));
    return row;
}

TEST_F(ConversionTest, EveryShapeConvertsAsDetected) {
    const char* const kShapes[] = {
        "download_adj_close.csv", "download_iso.csv",      "bracket_header.txt",   "intraday_bracket.txt",
        "platform_history.csv",   "quoted_thousands.csv",  "german_semicolon.csv", "german_latin1.csv",
        "close_last_dollar.csv",  "tab_separated.txt",     "space_aligned.txt",    "bom_crlf.csv",
        "date_time_field.csv",    "spreadsheet_mdy.csv",   "late_day_month.csv",   "undecided.csv",
        "utf16_unicode_text.txt",
    };
    for (const char* name : kShapes) {
        SCOPED_TRACE(name);
        const std::string input = ReadData(name);
        std::istringstream expected(ReadData(std::string(name) + ".expected"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(expected, line);) lines.push_back(line);
        ASSERT_FALSE(input.empty());
        ASSERT_FALSE(lines.empty());

        CDetectedLayout layout = DetectLayout(input);
        ASSERT_TRUE(layout.m_bFound) << layout.m_strReason;
        if (lines[0] == "undecided") {
            EXPECT_TRUE(layout.m_bDayMonthUndecided);
            EXPECT_EQ(layout.m_nDateFormat, 0);
            EXPECT_FALSE(FillConverterFromLayout(layout, *MakeJob()));
            continue;
        }
        ASSERT_TRUE(layout.IsComplete());
        std::filesystem::remove_all(m_out);
        std::filesystem::create_directory(m_out);
        m_prompt.shown.clear();
        auto job = MakeJob();
        ASSERT_TRUE(FillConverterFromLayout(layout, *job));
        int result = Convert(input, *job);
        if (lines[0] == "intraday") {
            EXPECT_TRUE(layout.m_bIntraday);
            EXPECT_EQ(result, 1);
            EXPECT_EQ(Messages(), std::vector<std::string>{
                                      m_input + " holds several rows a day (intraday data); Tarvel writes daily data."});
            EXPECT_EQ(test::ListDir(m_out), std::vector<std::string>{});
            continue;
        }
        EXPECT_FALSE(layout.m_bIntraday);
        ASSERT_EQ(result, 0);
        EXPECT_EQ(Messages(), std::vector<std::string>{});
        std::vector<std::vector<float>> stored = StoredValues();
        ASSERT_EQ(stored.size(), lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            SCOPED_TRACE(lines[i]);
            EXPECT_EQ(stored[i], ExpectedRow(lines[i]));
        }
    }
}

}  // namespace
}  // namespace tarvel
