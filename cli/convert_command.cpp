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

JobChoices Choices(const ConvertOptions& o) {
    JobChoices c;
    auto given = [](const CLI::Option* option) { return option != nullptr && *option; };
    if (given(o.outOption)) c.out = o.out;
    if (given(o.symbolOption)) c.symbol = o.symbol;
    if (given(o.nameOption)) c.name = o.name;
    if (given(o.dateFormatOption)) c.dateFormat = o.dateFormat;
    if (given(o.delimiterOption)) {
        static constexpr const char* kNames[] = {"comma", "tab", "space", "semicolon", "pipe"};
        c.delimiter = static_cast<int>(std::find(std::begin(kNames), std::end(kNames), o.delimiter) -
                                       std::begin(kNames));
    }
    if (given(o.decimalCommaOption)) c.decimalComma = true;
    if (given(o.noDecimalComma)) c.decimalComma = false;
    if (given(o.skipOption)) c.skip = o.skip;
    c.noSkip = given(o.noSkip);
    for (int f = 0; f < kFieldCount; ++f) {
        if (given(o.columnOption[f])) c.column[f] = o.columns[f];
        c.noField[f] = given(o.disableOption[f]);
    }
    c.exist = given(o.newMaster) ? 1 : given(o.existingMaster) ? 0 : -1;
    c.fromSettings = o.fromSettings;
    c.strict = o.strict;
    c.update = o.update;
    c.waitSeconds = o.waitSeconds;
    c.describe = OptionMessage;
    return c;
}

int RunConvert(const ConvertOptions& o, std::ostream& out, std::ostream& err) {
    CSettingsStore store;
    CCliPrompt prompt(err);
    auto platform = MakeSystemPlatform();
    std::error_code ec;
    std::string input = AbsolutePath(o.inputs.front());

    const JobChoices choices = Choices(o);
    PreparedJob prepared;
    std::string refusal;
    int status = PrepareJob(choices, input, *platform, prompt, LoadConversionSettings(store), &refusal, false,
                            &prepared);
    if (status == kExitFailed) out << "Conversion failed.\n";
    if (status == kExitUsage) err << "tarvel-cli: " << refusal << "\n";
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
    FillJob(choices, prepared, input, job);
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
