// A whole conversion of arbitrary bytes into a fresh portfolio; afterwards
// the portfolio must be consistent, or empty when the conversion failed. The
// first byte picks the settings.
#include <filesystem>

#include "convert/converter.h"
#include "convert/date_text.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/fake_platform.h"
#include "tests/support/portfolio_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvel;
    if (size == 0) return 0;
    fuzz::Reset();
    const std::string& dir = fuzz::ScratchDir();
    std::string out = dir + "/pf";
    std::filesystem::create_directory(out);
    fuzz::Write(dir + "/in.txt", std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));

    auto platform = MakeSystemPlatform();
    test::CRecordingPrompt prompt;
    test::CRecordingSettings settings;
    CConverter job(*platform, prompt, settings);
    job.m_strPathIn = dir + "/in.txt";
    job.SetPathOut(out);
    job.SetSymbol("FUZZ");
    job.SetName("FUZZ");
    std::uint8_t choice = data[0];
    static const char kDelimiters[] = {',', '\t', ' '};
    job.SetDelimiter(kDelimiters[choice % 3]);
    job.m_nDateFormat = choice / 3 % (tarvel::kDateFormatCount + 1);
    job.m_bSkipOn = choice & 0x80;
    job.m_nSkipRows = choice % 5;
    for (int f = 0; f < kFieldCount; ++f) {
        job.m_bFieldOn[f] = f == kDate || f == kClose || ((choice >> (f % 5)) & 1);
        job.m_nFieldColumn[f] = (f + choice) % 8;
    }
    int result = job.Run();
    fuzz::Require(result == 0 || result == 1, "result");
    if (result == 1) {
        fuzz::Require(std::filesystem::is_empty(out), "a failed conversion left files");
    } else {
        std::string problems = test::CheckPortfolio(out);
        fuzz::Require(problems.empty(), problems);
    }
    return 0;
}
