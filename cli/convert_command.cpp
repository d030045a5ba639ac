#include "cli/convert_command.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/text_output.h"
#include "convert/date_text.h"
#include "platform/file_util.h"
#include "pricedb/portfolio.h"
#include "settings/settings_store.h"

namespace tarvel {
namespace {

struct FieldOptions {
    const char* name;
    int field;
};
constexpr FieldOptions kOptionalFields[] = {{kFieldOptionNames[kOpen], kOpen},
                                            {kFieldOptionNames[kHigh], kHigh},
                                            {kFieldOptionNames[kLow], kLow},
                                            {kFieldOptionNames[kVolume], kVolume},
                                            {kFieldOptionNames[kOpenInt], kOpenInt}};

// The option that sets a field's column, "--date-col" .. "--oi-col".
std::string ColumnOption(int field) {
    return std::string("--").append(kFieldOptionNames[field]).append("-col");
}

// Sets in *settings what detection says of `input`: the layout, the symbol
// (the file's one ticker, else its name) and the current directory as the
// portfolio. Returns kReady, kExitFailed after a message on `prompt`, or
// kExitUsage after one on `err` when the file's name makes no symbol and
// --symbol was not given.
int DetectSettings(const ConvertOptions& o, const std::string& input, CPlatform& platform, CPrompt& prompt,
                   std::ostream& err, PreparedJob* job, CConversionSettings* settings) {
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
    if (!layout.m_bFound && !engineSays && !*o.dateFormatOption) {
        prompt.MessageBox(LayoutRefusal(input, layout), kMbOk);
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
        if (!*o.symbolOption && s.strSymbol.size() < job->symbolSource.size()) {
            prompt.MessageBox("The symbol is " + s.strSymbol + ", the file's ticker cut to " +
                                  std::to_string(kMaxSymbolBytes) + " bytes; --symbol chooses another.",
                              kMbOk);
        }
    } else {
        job->symbolSource = FileStem(input);
        s.strSymbol = SymbolFromFileName(input);
        if (!*o.symbolOption && layout.m_tickers.size() < 2 && s.strSymbol.empty()) {
            err << "tarvel-cli: the name of " << input
                << " says no symbol (a download's name, a date or a copy number); give --symbol\n";
            return kExitUsage;
        }
        if (!*o.symbolOption && layout.m_tickers.size() < 2 &&
            job->symbolSource.size() > s.strSymbol.size()) {
            prompt.MessageBox("The symbol is " + s.strSymbol + ", the file's name cut to " +
                                  std::to_string(kMaxSymbolBytes) + " bytes; --symbol chooses another.",
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

// Sets in *settings what the options that were given say.
void ApplyOptions(const ConvertOptions& o, CConversionSettings* settings) {
    CConversionSettings& s = *settings;
    if (*o.outOption) s.strPathOut = o.out;
    if (*o.symbolOption) s.strSymbol = o.symbol;
    if (*o.nameOption) s.strName = o.name;
    if (*o.newMaster) s.nExist = 1;
    if (*o.existingMaster) s.nExist = 0;
    if (*o.delimiterOption) {
        static constexpr const char* kNames[] = {"comma", "tab", "space", "semicolon", "pipe"};
        s.nDelimiter = static_cast<int>(std::find(std::begin(kNames), std::end(kNames), o.delimiter) -
                                        std::begin(kNames));
    }
    if (*o.decimalCommaOption) s.bDecimalComma = 1;
    if (*o.noDecimalComma) s.bDecimalComma = 0;
    if (*o.dateFormatOption) s.strDateFormat = o.dateFormat;
    if (*o.skipOption) {
        s.bSkipOn = 1;
        s.nSkipRows = o.skip;
    }
    if (*o.noSkip) s.bSkipOn = 0;
    for (int f = 0; f < kFieldCount; ++f) {
        if (o.columnOption[f] && *o.columnOption[f]) {
            s.nColumn[f] = o.columns[f];
            s.bFieldOn[f] = 1;
        }
        if (o.disableOption[f] && *o.disableOption[f]) s.bFieldOn[f] = 0;
    }
}

}  // namespace

void AddConvertOptions(CLI::App& convert, ConvertOptions& o) {
    // An option given twice takes its last value, so scripts can override.
    convert.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    convert
        .add_option("INPUT", o.inputs,
                    "Delimited text files to convert, and directories standing for their .csv, .txt, .tsv "
                    "and .prn files")
        ->required()
        ->expected(1, -1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    o.outOption = convert.add_option("--out", o.out, "Portfolio directory (default: the current directory)");
    o.symbolOption = convert.add_option(
        "--symbol", o.symbol,
        "Symbol of the new security, 14 bytes at most (default: the file's one ticker, else its name)");
    o.nameOption = convert.add_option(
        "--name", o.name,
        "Name of the new security, 45 bytes at most; MASTER keeps the first 16 (default: the symbol)");
    o.newMaster =
        convert.add_flag("--new-master")->description("Make a new MASTER in the directory (\"Exist\" 1)");
    o.existingMaster =
        convert.add_flag("--existing-master")->description("Add to the MASTER already there (\"Exist\" 0)");
    o.fromSettingsOption =
        convert.add_flag("--from-settings", o.fromSettings,
                         "Take the layout the desktop program saved instead of detecting it");
    o.newMaster->excludes(o.existingMaster);
    o.delimiterOption = convert.add_option("--delimiter", o.delimiter, "Column delimiter")
                            ->check(CLI::IsMember({"comma", "tab", "space", "semicolon", "pipe"}));
    o.decimalCommaOption = convert.add_flag("--decimal-comma", o.decimalComma,
                                            "Numbers are written with a decimal comma (1.234,56)");
    o.noDecimalComma =
        convert.add_flag("--no-decimal-comma")->description("Numbers are written with a decimal point");
    o.decimalCommaOption->excludes(o.noDecimalComma);
    std::string formats;
    for (const char* f : kDateFormatNames) formats += std::string(formats.empty() ? "" : ", ") + f;
    o.dateFormatOption = convert.add_option(
        "--date-format", o.dateFormat,
        "Date format: one of " + formats +
            ", the first that begins with TEXT (mmdd is MMDDYY), or a usual spelling such as YYYY-MM-DD, "
            "MM/DD/YYYY, DD.MM.YYYY, YYYYMMDD; with a month name (Jan, janv., März, ... in English, German, "
            "French, Spanish, Italian or Dutch) DD-MMM-YYYY, D MMMM YYYY, MMM DD, YYYY or YYYY-MMM-DD; "
            "seconds or milliseconds since 1970 (UTC) epoch or epoch-ms");
    o.skipOption = convert.add_option("--skip", o.skip, "Skip the first N lines (0..200)");
    o.noSkip = convert.add_flag("--no-skip")->description("Skip no lines");
    o.skipOption->excludes(o.noSkip);
    o.columnOption[kDate] = convert.add_option("--date-col", o.columns[kDate], "Column of the date (1..20)");
    o.columnOption[kClose] =
        convert.add_option("--close-col", o.columns[kClose], "Column of the close (1..20)");
    for (const FieldOptions& f : kOptionalFields) {
        std::string name = f.name;
        o.columnOption[f.field] = convert.add_option("--" + name + "-col", o.columns[f.field],
                                                     "Take the " + name + " from column N (1..20)");
        o.disableOption[f.field] = convert.add_flag("--no-" + name)->description("The input has no " + name);
        o.columnOption[f.field]->excludes(o.disableOption[f.field]);
    }
    convert.add_flag("--save", o.save,
                     "Keep these settings for the next conversion, as the dialog's OK does");
    convert.add_flag("--strict", o.strict, "Fail, changing nothing, when any row would be skipped");
    convert.add_flag(
        "--update", o.update,
        "A symbol the portfolio holds gets the rows dated after its last date; others are added");
    convert
        .add_option(
            "--wait", o.waitSeconds,
            "Wait at most SECONDS for another conversion into the same portfolio (default 30; 0: fail at "
            "once)")
        ->check(CLI::Range(0, 86400));
    convert.footer(
        "The layout of INPUT (delimiter, decimal comma, header lines, date format, columns) is\n"
        "detected; a layout option given overrides what was detected for that item. Without\n"
        "--new-master or --existing-master, the MASTER in the directory is used, or a new one made\n"
        "(with the directory and its parents). With --from-settings every setting not given comes\n"
        "from the settings the desktop program keeps ($TARVEL_SETTINGS, else\n"
        "~/.config/Hollark Software/Tarvel.ini); they are written only with --save.\n"
        "A conversion adds one whole security (one per ticker of a file with a ticker column) or\n"
        "changes nothing. Rows that cannot be read are skipped, never guessed at, and counted on\n"
        "standard error (--strict makes them a failure). Several files, or a directory, convert\n"
        "each file on its own under one lock: a file that fails changes nothing and the others go\n"
        "on; the run ends with one summary line. Every day: tarvel-cli convert DIR --out PF --update\n"
        "A refused option or setting is named on standard error as \"tarvel-cli: ...\", the\n"
        "conversion's own messages as \"Tarvel: ...\"; the outcome line goes to standard output.\n"
        "Exit status: 0 converted, 1 conversion failed (nothing changed; in a batch: a file failed),\n"
        "2 usage or settings error (nothing written).\n");
}

std::string OptionMessage(const CSettingProblem& p, const CConversionSettings& s) {
    auto atMost = [](const char* option, int limit) {
        return std::string(option)
            .append(": give at most ")
            .append(std::to_string(limit))
            .append(" characters");
    };
    switch (p.value) {
        case ESettingValue::kColumn:
            return ColumnOption(p.nField) + ": give a column from 1 to " + std::to_string(kMaxColumns);
        case ESettingValue::kName:
            return "--name: give at most " + std::to_string(kMaxNameLength) + " bytes";
        case ESettingValue::kPathOut:
            return atMost("--out", kMaxPathLength);
        case ESettingValue::kSymbol:
            return "--symbol: give at most " + std::to_string(kMaxSymbolBytes) + " bytes";
        case ESettingValue::kSkipRows:
            return "--skip: give a number of lines from 0 to " + std::to_string(kMaxSkipRows);
        case ESettingValue::kDateFormat:
            return atMost("--date-format", kMaxDateFormatLength);
        case ESettingValue::kDuplicateColumn: {
            std::string text = ColumnOption(p.nField) + ": column " + std::to_string(s.nColumn[p.nField]) +
                               " is also " + ColumnOption(p.nOtherField) + "; give another column";
            // Date and close are always converted; the others can be left out.
            if (p.nField != kClose) text.append(" or --no-").append(kFieldOptionNames[p.nField]);
            return text;
        }
        case ESettingValue::kBlankSymbol:
            return "--symbol: give a symbol that is not blank";
        case ESettingValue::kSymbolText:
            return "--symbol: a symbol may not hold " + NameTextProblem(s.strSymbol);
        case ESettingValue::kNameText:
            return "--name: a name may not hold " + NameTextProblem(s.strName);
        case ESettingValue::kBlankPath:
            return "--out: give the portfolio directory";
    }
    return p.strMessage;
}

int PrepareJob(const ConvertOptions& o, const std::string& input, CPlatform& platform, CPrompt& prompt,
               const CConversionSettings& saved, std::ostream& err, bool batch, PreparedJob* job) {
    const bool detect = !o.fromSettings;
    CConversionSettings s = saved;
    CDetectedLayout& layout = job->layout;
    if (detect) {
        int status = DetectSettings(o, input, platform, prompt, err, job, &s);
        if (status != kReady) return status;
    } else if (batch) {
        job->symbolSource = FileStem(input);
        s.strSymbol = SymbolFromFileName(input);
        s.strName.clear();
    }
    ApplyOptions(o, &s);
    if (detect || batch) {
        if (!*o.nameOption) s.strName = s.strSymbol;
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
    if (detect && !*o.skipOption) checked.nSkipRows = std::min(checked.nSkipRows, kMaxSkipRows);
    std::optional<CSettingProblem> problem = FindTakenProblem(checked);
    if (!problem) problem = NormaliseAndFindProblem(checked);
    if (problem) {
        err << "tarvel-cli: " << OptionMessage(*problem, s) << "\n";
        return kExitUsage;
    }
    std::error_code dirError;
    if (!batch && !job->makeDirectory && !std::filesystem::is_directory(PathOf(s.strPathOut), dirError)) {
        err << "tarvel-cli: Path does not exist: " << s.strPathOut << "\n";
        return kExitUsage;
    }
    checked.nSkipRows = s.nSkipRows;
    s = checked;
    if (detect && layout.m_bFound && !*o.dateFormatOption && layout.m_nDateFormat == 0) {
        prompt.MessageBox(UndecidedDatesMessage(input), kMbOk);
        return kExitFailed;
    }
    if (detect && layout.m_bDecimalUndecided && !*o.decimalCommaOption && !*o.noDecimalComma) {
        prompt.MessageBox(UndecidedDecimalMessage(input), kMbOk);
        return kExitFailed;
    }
    job->dateFormat = FindDateFormatSpelling(s.strDateFormat);
    if (job->dateFormat == 0) {
        err << "tarvel-cli: unknown date format \"" << s.strDateFormat
            << "\"; see tarvel-cli convert --help\n";
        return kExitUsage;
    }
    s.strDateFormat = kDateFormatNames[static_cast<std::size_t>(job->dateFormat - 1)];
    job->s = s;
    return kReady;
}

void FillJob(const ConvertOptions& o, const PreparedJob& prepared, const std::string& input,
             CConverter& job) {
    FillConverter(prepared.s, input, prepared.dateFormat, job);
    if (!o.fromSettings) TakeUnsetColumns(prepared.layout, job);
    job.m_bStrict = o.strict ? 1 : 0;
    job.m_bUpdate = o.update ? 1 : 0;
    job.m_nWaitSeconds = o.waitSeconds;
}

int RunConvert(const ConvertOptions& o, std::ostream& out, std::ostream& err) {
    CSettingsStore store;
    CCliPrompt prompt(err);
    auto platform = MakeSystemPlatform();
    std::error_code ec;
    std::string input = AbsolutePath(o.inputs.front());

    PreparedJob prepared;
    int status =
        PrepareJob(o, input, *platform, prompt, LoadConversionSettings(store), err, false, &prepared);
    if (status == kExitFailed) out << "Conversion failed.\n";
    if (status != kReady) return status;
    CConversionSettings& s = prepared.s;
    if (o.save) SaveSettingValues(store, s);
    CMadeDirectory made;
    if (prepared.makeDirectory && !std::filesystem::is_directory(PathOf(s.strPathOut), ec) &&
        !made.Make(s.strPathOut, &ec)) {
        prompt.MessageBox("Cannot make the directory " + s.strPathOut + ": " + ec.message(), kMbOk);
        out << "Conversion failed.\n";
        return kExitFailed;
    }

    CStoreSettingsWriter storeWriter(store);
    CNoSettingsWriter noWriter;
    CConverter job(*platform, prompt, o.save ? static_cast<CSettingsWriter&>(storeWriter) : noWriter);
    FillJob(o, prepared, input, job);
    job.m_onWaiting = [&err](const std::string& text) { err << "Tarvel: " << text << std::endl; };
    if (job.Run() == 0) {
        out << "Conversion completed successfully!\n";
        if (o.update || job.m_nAdded > 1) {
            err << "Tarvel: " << job.m_nAdded << (job.m_nAdded == 1 ? " security" : " securities")
                << " added, " << job.m_nUpdated << " updated; " << RowsText(job.m_nRecordsWritten)
                << " stored";
            if (job.m_nRecordsLeftOut > 0)
                err << ", " << RowsText(job.m_nRecordsLeftOut) << " already there left out";
            err << ".\n";
        }
        return 0;
    }
    made.RemoveIfEmpty();
    out << "Conversion failed.\n";
    return kExitFailed;
}

}  // namespace tarvel
