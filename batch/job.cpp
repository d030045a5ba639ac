#include "batch/job.h"

#include <algorithm>
#include <filesystem>

#include "convert/date_text.h"
#include "platform/file_util.h"
#include "pricedb/portfolio.h"

namespace tarvel {
namespace {

// Detection's `message`, which ends in the options that settle what it left
// open ("; give --date-format."), with the way `c` settles it instead.
std::string Settled(const JobChoices& c, std::string message) {
    if (c.settleAlone.empty()) return message;
    if (const std::size_t give = message.find("; give "); give != std::string::npos) {
        message.erase(give);
    } else if (message.ends_with('.')) {
        message.pop_back();
    }
    return message + "; " + c.settleAlone + ".";
}

// Sets in *settings what detection says of `input`: the layout, the symbol
// (the file's one ticker, else its name) and the current directory as the
// portfolio. Returns kReady, kExitFailed after a message on `prompt`, or
// kExitUsage with the refusal in *refusal when the file's name makes no
// symbol and none was chosen.
int DetectSettings(const JobChoices& c, const std::string& input, CPlatform& platform, CPrompt& prompt,
                   std::string* refusal, PreparedJob* job, CConversionSettings* settings) {
    CConversionSettings& s = *settings;
    CDetectedLayout& layout = job->layout;
    // The input must open before its layout can tell anything.
    std::unique_ptr<CFile> opened;
    if (CStatus status = platform.Open(input, OpenMode::kRead, &opened); !status) {
        prompt.MessageBox(OpenFailureMessage(status, "Cannot open the input file", input), kMbOk);
        return kExitFailed;
    }
    opened.reset();
    layout = DetectFileLayout(platform, input);
    // An empty file, one line with no end, or one that is no text the
    // conversion itself refuses with its own words; so it does a layout the
    // options give whole.
    const bool engineSays = layout.m_failure == DetectFailure::kEmpty ||
                            layout.m_failure == DetectFailure::kNoLineEnd ||
                            layout.m_failure == DetectFailure::kNotText;
    if (!layout.m_bFound && !engineSays && !c.dateFormat) {
        prompt.MessageBox(Settled(c, LayoutRefusal(input, layout)), kMbOk);
        return kExitFailed;
    }
    if (layout.m_bIntraday) {
        prompt.MessageBox(IntradayMessage(input), kMbOk);
        return kExitFailed;
    }
    // What detection could not tell, the options tell or the defaults; a
    // layout saved for another file never decides it.
    s = layout.m_bFound ? PresetFromLayout(s, layout, input, false) : CConversionSettings{};
    // The symbol: the file's one ticker, else its name (cut, and said so).
    if (layout.m_tickers.size() == 1) {
        job->symbolSource = layout.m_tickers.front();
        s.strSymbol = CutToCharBoundary(job->symbolSource, kMaxSymbolBytes);
        if (!c.symbol && s.strSymbol.size() < job->symbolSource.size()) {
            prompt.MessageBox("The symbol is " + s.strSymbol + ", the file's ticker cut to " +
                                  std::to_string(kMaxSymbolBytes) + " bytes; " + c.symbolChoice +
                                  " chooses another.",
                              kMbOk);
        }
    } else {
        job->symbolSource = FileStem(input);
        s.strSymbol = SymbolFromFileName(input);
        if (!c.symbol && layout.m_tickers.size() < 2 && s.strSymbol.empty()) {
            *refusal = "the name of " + input +
                       " says no symbol (a download's name, a date or a copy number); give " + c.symbolChoice;
            return kExitUsage;
        }
        if (!c.symbol && layout.m_tickers.size() < 2 && job->symbolSource.size() > s.strSymbol.size()) {
            prompt.MessageBox("The symbol is " + s.strSymbol + ", the file's name cut to " +
                                  std::to_string(kMaxSymbolBytes) + " bytes; " + c.symbolChoice +
                                  " chooses another.",
                              kMbOk);
        }
    }
    s.strName.clear();
    std::string cwd;
    platform.GetCurrentDirectory(&cwd);
    s.strPathOut = cwd;
    s.nExist = -1;
    return kReady;
}

// Sets in *settings what the choices made say.
void ApplyChoices(const JobChoices& c, CConversionSettings* settings) {
    CConversionSettings& s = *settings;
    if (c.out) s.strPathOut = *c.out;
    if (c.symbol) s.strSymbol = *c.symbol;
    if (c.name) s.strName = *c.name;
    if (c.exist != -1) s.nExist = c.exist;
    if (c.delimiter) s.nDelimiter = *c.delimiter;
    if (c.decimalComma) s.bDecimalComma = *c.decimalComma ? 1 : 0;
    if (c.dateFormat) s.strDateFormat = *c.dateFormat;
    if (c.skip) {
        s.bSkipOn = 1;
        s.nSkipRows = *c.skip;
    }
    if (c.noSkip) s.bSkipOn = 0;
    for (int f = 0; f < kFieldCount; ++f) {
        if (c.column[f]) {
            s.nColumn[f] = *c.column[f];
            s.bFieldOn[f] = 1;
        }
        if (c.noField[f]) s.bFieldOn[f] = 0;
    }
}

}  // namespace

int PrepareJob(const JobChoices& c, const std::string& input, CPlatform& platform, CPrompt& prompt,
               const CConversionSettings& saved, std::string* refusal, bool batch, PreparedJob* job) {
    const bool detect = !c.fromSettings;
    CConversionSettings s = saved;
    CDetectedLayout& layout = job->layout;
    if (detect) {
        int status = DetectSettings(c, input, platform, prompt, refusal, job, &s);
        if (status != kReady) return status;
    } else if (batch) {
        job->symbolSource = FileStem(input);
        s.strSymbol = SymbolFromFileName(input);
        s.strName.clear();
    }
    ApplyChoices(c, &s);
    if (detect || batch) {
        if (!c.name) s.strName = s.strSymbol;
    }
    if (detect && !batch && s.nExist == -1) {
        // The MASTER there, or a new one in a directory made as needed.
        // A journal there is a committed conversion still to be completed:
        // the next run does that first, and it may be what makes MASTER.
        bool hasMaster = platform.IsDirectory(s.strPathOut) &&
                         (platform.FindName(s.strPathOut, kMasterName) ||
                          platform.Examine(JoinPath(s.strPathOut, kJournalName)).exists);
        s.nExist = hasMaster ? 0 : 1;
        job->makeDirectory = !hasMaster;
    }
    if (batch) s.nExist = 0;

    // A detected preamble may be longer than the dialog's limit; it is
    // checked as the detection found it, not against that limit.
    CConversionSettings checked = s;
    if (detect && !c.skip) checked.nSkipRows = std::min(checked.nSkipRows, kMaxSkipRows);
    std::optional<CSettingProblem> problem = FindTakenProblem(checked);
    if (!problem) problem = NormaliseAndFindProblem(checked);
    if (problem) {
        *refusal = c.describe ? c.describe(*problem, s) : problem->strMessage;
        return kExitUsage;
    }
    std::error_code dirError;
    if (!batch && !job->makeDirectory && !std::filesystem::is_directory(PathOf(s.strPathOut), dirError)) {
        *refusal = "Path does not exist: " + s.strPathOut;
        return kExitUsage;
    }
    checked.nSkipRows = s.nSkipRows;
    s = checked;
    if (detect && layout.m_bFound && !c.dateFormat && layout.m_nDateFormat == 0) {
        prompt.MessageBox(Settled(c, UndecidedDatesMessage(input)), kMbOk);
        return kExitFailed;
    }
    if (detect && layout.m_bDecimalUndecided && !c.decimalComma) {
        prompt.MessageBox(Settled(c, UndecidedDecimalMessage(input)), kMbOk);
        return kExitFailed;
    }
    job->dateFormat = FindDateFormatSpelling(s.strDateFormat);
    if (job->dateFormat == 0) {
        *refusal = "unknown date format \"" + s.strDateFormat + "\"; see tarvel-cli convert --help";
        return kExitUsage;
    }
    s.strDateFormat = kDateFormatNames[static_cast<std::size_t>(job->dateFormat - 1)];
    job->s = s;
    return kReady;
}

void FillJob(const JobChoices& c, const PreparedJob& prepared, const std::string& input, CConverter& job) {
    FillConverter(prepared.s, input, prepared.dateFormat, job);
    if (!c.fromSettings) TakeUnsetColumns(prepared.layout, job);
    job.m_bStrict = c.strict ? 1 : 0;
    job.m_bUpdate = c.update ? 1 : 0;
    job.m_nWaitSeconds = c.waitSeconds;
}

bool CMadeDirectory::Make(const std::string& directory, std::error_code* error) {
    m_made.clear();
    std::error_code ignored;
    std::filesystem::path deepest = PathOf(AbsolutePath(directory));
    if (!HasDoubleSeparatorRoot(directory)) deepest = deepest.lexically_normal();
    if (deepest.filename().empty()) deepest = deepest.parent_path();  // "pf/" names pf
    for (std::filesystem::path level = deepest; !level.empty() && !std::filesystem::exists(level, ignored);
         level = level.parent_path()) {
        m_made.push_back(Utf8Of(level));
        if (level == level.parent_path()) break;
    }
    if (!std::filesystem::create_directories(PathOf(directory), *error) && *error) {
        m_made.clear();
        return false;
    }
    return true;
}

void CMadeDirectory::RemoveIfEmpty() const {
    std::error_code ignored;
    for (const std::string& level : m_made) {
        const std::filesystem::path path = PathOf(level);
        if (!std::filesystem::is_empty(path, ignored) || !std::filesystem::remove(path, ignored)) return;
    }
}

}  // namespace tarvel
