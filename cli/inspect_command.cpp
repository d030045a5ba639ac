// tarvel-cli inspect: a file's detected layout as convert options, and a
// dry run of converting it.
#include <algorithm>
#include <cstddef>
#include <filesystem>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/text_output.h"
#include "convert/date_text.h"
#include "convert/detect.h"
#include "platform/file_util.h"
#include "settings/conversion_settings.h"

namespace tarvel {
namespace {

// The convert options that say `layout` (the file itself first).
std::string LayoutOptions(const std::string& file, const CDetectedLayout& layout) {
    static constexpr const char* kDelimiterNames[] = {"comma", "tab", "space", "semicolon", "pipe"};
    std::string text = "tarvel-cli convert " + file;
    text += std::string(" --delimiter ") + kDelimiterNames[DelimiterValue(layout.m_cDelimiter)];
    if (layout.m_bDecimalComma) text += " --decimal-comma";
    text += layout.m_nDateFormat != 0
                ? std::string(" --date-format ") +
                      kDateFormatNames[static_cast<std::size_t>(layout.m_nDateFormat - 1)]
                : std::string(" --date-format ?");
    text +=
        layout.m_nSkipRows > 0 ? " --skip " + std::to_string(layout.m_nSkipRows) : std::string(" --no-skip");
    for (int f = 0; f < kFieldCount; ++f) {
        text += layout.HasField(f) ? " --" + std::string(kFieldOptionNames[f]) + "-col " +
                                         std::to_string(layout.m_nFieldColumn[f] + 1)
                                   : " --no-" + std::string(kFieldOptionNames[f]);
    }
    return text;
}

}  // namespace

int RunInspect(const std::string& file, std::ostream& out, std::ostream& err) {
    auto platform = MakeSystemPlatform();
    std::string input = AbsolutePath(file);
    CDetectedLayout layout = DetectFileLayout(*platform, input);
    if (layout.m_bFound) out << LayoutOptions(file, layout) << "\n";
    for (const std::string& line : layout.m_evidence) out << "  " << line << "\n";
    if (!layout.m_bFound) {
        err << "Tarvel: " << LayoutRefusal(input, layout) << "\n";
        return kExitFailed;
    }
    if (layout.m_bDecimalUndecided) {
        err << "Tarvel: " << UndecidedDecimalMessage(input) << "\n";
        return kExitFailed;
    }
    if (layout.m_nDateFormat == 0) {
        err << "Tarvel: " << UndecidedDatesMessage(input) << "\n";
        return kExitFailed;
    }
    if (layout.m_bIntraday) {
        err << "Tarvel: " << IntradayMessage(input) << "\n";
        return kExitFailed;
    }
    CRecordingPrompt prompt;
    CNoSettingsWriter settings;
    CConverter job(*platform, prompt, settings);
    job.m_strPathIn = input;
    FillConverterFromLayout(layout, job);
    if (job.DryRun() != 0) {
        for (const std::string& text : prompt.m_texts) err << "Tarvel: " << text << "\n";
        return kExitFailed;
    }
    const NewSecurity& rows = job.Staged();
    for (int f = 0; f < kFieldCount; ++f) {
        if (job.m_bFieldOn[f]) out << (f == kDate ? "" : " ") << kFieldOptionNames[f];
    }
    out << "\n";
    const std::size_t length = 4 * static_cast<std::size_t>(job.m_nFieldCount);
    for (std::size_t r = 0; r < std::min<std::size_t>(rows.recordCount, 10); ++r) {
        const std::uint8_t* p = rows.records.data() + r * length;
        for (std::size_t i = 0; i < length; i += 4) {
            out << (i ? " " : "")
                << (i == 0 ? DateText({p[0], p[1], p[2], p[3]})
                           : ShortestNumber(DecodeStoredNumber({p[i], p[i + 1], p[i + 2], p[i + 3]})));
        }
        out << "\n";
    }
    out << rows.recordCount << (rows.recordCount == 1 ? " row" : " rows") << " would be stored";
    if (job.SkippedRows() == 0) {
        out << "; none would be skipped.\n";
    } else {
        out << "; " << job.SkippedRows() << " would be skipped, the first line " << job.FirstSkippedLine()
            << ": " << job.FirstSkipReason() << ".\n";
    }
    return 0;
}

}  // namespace tarvel
