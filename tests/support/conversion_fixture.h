// A conversion job over a temporary portfolio, with recording test doubles.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "convert/converter.h"
#include "tests/support/fake_platform.h"
#include "tests/support/portfolio_check.h"
#include "tests/support/temp_dir.h"

namespace tarvel::test {

class ConversionTest : public ::testing::Test {
public:
    ConversionTest() : m_cwd(std::filesystem::current_path()) {
        std::filesystem::create_directory(m_dir / "out");
        m_out = m_dir / "out";
        m_input = m_dir / "input.txt";
    }

    // A conversion leaves the process in the portfolio, which is about to go.
    ~ConversionTest() override { std::filesystem::current_path(m_cwd); }

    // A job with every field on in columns 1..7, comma, MMDDYY, new MASTER.
    std::unique_ptr<CConverter> MakeJob(const std::string& symbol = "IBM",
                                        const std::string& name = "INTL BUSINESS") {
        auto job = std::make_unique<CConverter>(m_platform, m_prompt, m_settings);
        SetUpJob(*job, symbol, name);
        return job;
    }

    // Sets `job` as MakeJob does, for a job over doubles of the test's own.
    void SetUpJob(CConverter& job, const std::string& symbol, const std::string& name) const {
        job.m_strPathIn = m_input;
        job.SetPathOut(m_out);
        job.SetSymbol(symbol);
        job.SetName(name);
        job.SetDelimiter(',');
        job.m_nDateFormat = 9;
        for (int i = 0; i < kFieldCount; ++i) {
            job.m_bFieldOn[i] = 1;
            job.m_nFieldColumn[i] = i;
        }
    }

    int Convert(const std::string& input, CConverter& job) {
        WriteFile(m_input, input);
        return job.Run();
    }

    std::string Out(const std::string& name) const { return ReadFile(m_out + "/" + name); }
    std::vector<std::string> Messages() const { return Texts(m_prompt); }
    void ExpectConsistent() const { EXPECT_EQ(CheckPortfolio(m_out), ""); }

    // The price records of F<n>.DAT, one string each: the date as
    // YYYY-MM-DD, then every further field as %g, separated by blanks.
    std::vector<std::string> Rows(int n = 1) const {
        std::string data = Out(DataFileName(n)), master = Out("MASTER");
        std::size_t length = 0;
        for (std::size_t at = kMasterRecordSize; at + kMasterRecordSize <= master.size();
             at += kMasterRecordSize) {
            if (static_cast<std::uint8_t>(master[at]) == n)
                length = static_cast<std::uint8_t>(master[at + kRecRecordLength]);
        }
        std::vector<std::string> rows;
        for (std::size_t at = length; length != 0 && at + length <= data.size(); at += length) {
            std::string row;
            for (std::size_t f = 0; f < length; f += 4) {
                const auto* p = reinterpret_cast<const std::uint8_t*>(data.data() + at + f);
                float value = DecodeStoredNumber({p[0], p[1], p[2], p[3]});
                char text[48];
                if (f == 0) {
                    auto v = static_cast<long>(value);
                    std::snprintf(text, sizeof text, "%04ld-%02ld-%02ld", 1900 + v / 10000, v / 100 % 100,
                                  v % 100);
                } else {
                    std::snprintf(text, sizeof text, " %g", static_cast<double>(value));
                }
                row += text;
            }
            rows.push_back(row);
        }
        return rows;
    }

    std::filesystem::path m_cwd;
    CTempDir m_dir;
    std::string m_out;
    std::string m_input;
    CFaultyPlatform m_platform;
    CRecordingPrompt m_prompt;
    CRecordingSettings m_settings;
};

// Stored number bytes of `value` as a string.
inline std::string Stored(float value) {
    StoredNumber s = EncodeStoredNumber(value);
    return std::string(s.begin(), s.end());
}

}  // namespace tarvel::test
