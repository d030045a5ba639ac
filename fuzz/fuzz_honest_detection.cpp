// Files made from known rows in the shapes exports take, with a line of
// arbitrary text among them: detection reads exactly the known values or
// refuses the file, never anything else.
#include <algorithm>
#include <string>

#include "fuzz/fuzz_support.h"
#include "tests/support/price_variants.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<tarvel::test::TrueRow> truth =
        tarvel::test::ReadTrueRows(TARVEL_TEST_DATA_DIR "/shapes/month_dmy_dash.csv.expected");
    if (size < 5) return 0;
    std::uint32_t seed = 0;
    for (std::size_t i = 0; i < 4; ++i) seed = seed << 8 | data[i];
    std::string text = tarvel::test::MakePriceVariant(truth, seed).text;
    // The rest is a line no row could be: no digit, delimiter, quote or line end.
    std::string junk;
    for (std::size_t i = 5; i < size && junk.size() < 200; ++i) {
        const char c = static_cast<char>(data[i]);
        if (std::string_view("0123456789,;\t|\"\r\n").find(c) == std::string_view::npos && c != '\0')
            junk += c;
    }
    std::size_t at = 0;
    for (std::size_t line = data[4] % 40; line > 0 && at != std::string::npos; --line) {
        at = text.find('\n', at);
        if (at != std::string::npos) ++at;
    }
    text.insert(at == std::string::npos ? text.size() : at, junk + "\n");
    const std::string problem = tarvel::test::NothingInventedProblem(truth, text);
    tarvel::fuzz::Require(problem.empty(), problem.c_str());
    return 0;
}
