// Detection never stores invented data: over files made from known rows in
// every shape the variants take, a conversion with no options stores exactly
// the known values or is refused.
#include <gtest/gtest.h>

#include "convert/detect.h"
#include "tests/support/conversion_fixture.h"
#include "tests/support/price_variants.h"

namespace tarvel {
namespace {

using HonestDetection = test::ConversionTest;

TEST_F(HonestDetection, StoresTheTrueValuesOrRefusesWhateverTheShape) {
    const std::vector<test::TrueRow> truth =
        test::ReadTrueRows(TARVEL_TEST_DATA_DIR "/shapes/month_dmy_dash.csv.expected");
    ASSERT_EQ(truth.size(), 30u);
    int clear = 0, converted = 0;
    for (std::uint32_t seed = 0; seed < 600; ++seed) {
        const test::CPriceVariant variant = test::MakePriceVariant(truth, seed);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ":\n" << variant.text.substr(0, 400));
        bool accepted = false;
        EXPECT_EQ(test::NothingInventedProblem(truth, variant.text, &accepted), "");
        // Names over every column, or the usual order alone, leave nothing to refuse.
        EXPECT_TRUE(accepted || !variant.clear) << DetectLayout(variant.text).m_strReason;
        clear += variant.clear ? 1 : 0;
        if (!accepted || seed % 20 != 0) continue;

        // The whole conversion stores what the rows say, oldest first.
        std::filesystem::remove_all(m_out);
        std::filesystem::create_directory(m_out);
        auto job = MakeJob("ACME", "ACME");
        ASSERT_TRUE(FillConverterFromLayout(DetectLayout(variant.text), *job));
        ASSERT_EQ(Convert(variant.text, *job), 0) << test::Texts(m_prompt).back();
        const std::vector<std::string> stored = Rows();
        ASSERT_EQ(stored.size(), truth.size());
        for (std::size_t i = 0; i < truth.size(); ++i) {
            std::string want = stored[i].substr(0, 10);
            EXPECT_EQ(want.substr(0, 4) + want.substr(5, 2) + want.substr(8, 2),
                      std::to_string(truth[i].day));
            std::string values;
            for (const std::string& text : truth[i].text) {
                char value[48];
                std::snprintf(value, sizeof value, " %g",
                              static_cast<double>(std::strtof(text.c_str(), nullptr)));
                values += value;
            }
            EXPECT_EQ(stored[i].substr(10), values);
        }
        ++converted;
    }
    EXPECT_GT(clear, 450);
    EXPECT_GT(converted, 20);
}

}  // namespace
}  // namespace tarvel
