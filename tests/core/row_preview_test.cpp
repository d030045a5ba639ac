#include "convert/row_preview.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/fake_platform.h"
#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

// Each row as "line:YYYY-MM-DD value value ..." or "line!field:reason".
std::vector<std::string> Shown(const CRowPreview& preview) {
    std::vector<std::string> shown;
    for (const CPreviewRow& row : preview.m_rows) {
        std::string text = std::to_string(row.m_nLine);
        if (row.m_bSkipped) {
            text.append("!").append(std::to_string(row.m_nBadField)).append(":").append(row.m_strReason);
        } else {
            char date[16];
            std::snprintf(date, sizeof date, ":%04d-%02d-%02d", row.m_date.year, row.m_date.month,
                          row.m_date.day);
            text += date;
            for (int f = kOpen; f < kFieldCount; ++f) {
                if (row.m_bValueRead[f])
                    text.append(" ").append(std::to_string(static_cast<int>(row.m_value[f] * 100)));
            }
        }
        shown.push_back(text);
    }
    return shown;
}

struct CPreviewJob {
    CPreviewJob() : job(platform, prompt, settings) {
        job.SetDelimiter(';');
        job.m_bDecimalComma = 1;
        job.m_nDateFormat = 6;  // DD_MM_CCYY
        for (int f = 0; f < kFieldCount; ++f) {
            job.m_bFieldOn[f] = f == kDate || f == kClose || f == kVolume;
            job.m_nFieldColumn[f] = f == kVolume ? 2 : f == kClose ? 1 : 0;
        }
    }
    test::CFaultyPlatform platform;
    test::CRecordingPrompt prompt;
    test::CRecordingSettings settings;
    CConverter job;
};

TEST(PreviewRows, ShowsRowsAsStoredAndWhySkippedOnesAreSkipped) {
    CPreviewJob p;
    p.job.m_bSkipOn = 1;
    p.job.m_nSkipRows = 1;
    const std::string head =
        "\xEF\xBB\xBF"
        "Datum;Schluss;Volumen\r\n"
        "02.01.2024;1,5;7\r\n"
        "\r\n"
        "31.02.2024;1,5;7\n"
        "03.01.2024;x;7\r"
        "04.01.2024;1,75\n";
    CRowPreview preview = PreviewRows(head, p.job);
    EXPECT_EQ(Shown(preview),
              (std::vector<std::string>{"2:2024-01-02 150 700", "4!0:the date in column 1 is not a real day",
                                        "5!4:column 2 is not a number", "6!5:column 3 is missing"}));
    EXPECT_EQ(preview.m_nSkipped, 3);
    // Fields before the one at fault were read.
    EXPECT_TRUE(preview.m_rows[3].m_bValueRead[kClose]);
    EXPECT_FALSE(preview.m_rows[3].m_bValueRead[kVolume]);
}

TEST(PreviewRows, StopsAtTheRowLimitAndLeavesOutALineCutByTheHead) {
    CPreviewJob p;
    std::string head;
    for (int day = 1; day <= 12; ++day) head += std::to_string(day + 10) + ".01.2024;1;2\n";
    EXPECT_EQ(PreviewRows(head, p.job).m_rows.size(), 10u);
    EXPECT_EQ(PreviewRows(head, p.job, 3).m_rows.back().m_nLine, 3);

    std::string full = "01.01.2024;1;2\n";
    full += std::string(kPreviewBytes - full.size() - 5, ' ') + "\n";
    full += "02.0";  // cut off
    ASSERT_EQ(full.size(), kPreviewBytes);
    EXPECT_EQ(Shown(PreviewRows(full, p.job)), std::vector<std::string>{"1:2024-01-01 100 200"});
}

TEST(ReadPreviewHead, ReadsUtf16AsTextAndNamesAFileThatCannotBeRead) {
    test::CTempDir dir;
    test::WriteFile(dir / "utf16.txt", std::string("\xFF\xFE"
                                                   "0\0"
                                                   "1\0"
                                                   ";\0"
                                                   "2\0"
                                                   "\n\0",
                                                   12));
    test::CFaultyPlatform platform;
    std::string head, error;
    ASSERT_TRUE(ReadPreviewHead(platform, dir / "utf16.txt", &head, &error));
    EXPECT_EQ(head, "01;2\n");

    EXPECT_FALSE(ReadPreviewHead(platform, dir / "missing.txt", &head, &error));
    EXPECT_EQ(head, "");
    EXPECT_EQ(error, "cannot read " + dir / "missing.txt" + ": " + test::MissingFileText());
}

}  // namespace
}  // namespace tarvel
