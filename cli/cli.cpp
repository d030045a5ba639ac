#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <map>
#include <set>
#include <future>
#include <thread>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "convert/date_text.h"
#include "convert/detect.h"
#include "pricedb/find_security.h"
#include "settings/conversion_settings.h"

namespace tarvel {
namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Message boxes become lines on standard error.
class CCliPrompt : public CPrompt {
public:
    explicit CCliPrompt(std::ostream& err) : m_err(err) {}
    int MessageBox(const std::string& text, int type) override {
        m_err << "Tarvel: " << text << "\n";
        return (type & 0xF) == kMbYesNo ? kIdNo : kIdOk;
    }

private:
    std::ostream& m_err;
};

struct FieldOptions {
    const char* name;
    int field;
};
constexpr FieldOptions kOptionalFields[] = {
    {"open", kOpen}, {"high", kHigh}, {"low", kLow}, {"volume", kVolume}, {"oi", kOpenInt}};

struct ConvertOptions {
    std::vector<std::string> inputs;
    std::string out, symbol, name, delimiter, dateFormat;
    int skip = 0;
    int columns[kFieldCount] = {};
    bool save = false;
    bool strict = false;
    bool update = false;
    bool fromSettings = false;
    bool decimalComma = false;
    int waitSeconds = kDefaultWaitSeconds;
    CLI::Option* fromSettingsOption = nullptr;
    CLI::Option* outOption = nullptr;
    CLI::Option* symbolOption = nullptr;
    CLI::Option* nameOption = nullptr;
    CLI::Option* newMaster = nullptr;
    CLI::Option* existingMaster = nullptr;
    CLI::Option* delimiterOption = nullptr;
    CLI::Option* decimalCommaOption = nullptr;
    CLI::Option* noDecimalComma = nullptr;
    CLI::Option* dateFormatOption = nullptr;
    CLI::Option* skipOption = nullptr;
    CLI::Option* noSkip = nullptr;
    CLI::Option* columnOption[kFieldCount] = {};
    CLI::Option* disableOption[kFieldCount] = {};
};

void AddConvertOptions(CLI::App& convert, ConvertOptions& o) {
    // An option given twice takes its last value, so scripts can override.
    convert.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    convert.add_option("INPUT", o.inputs,
                       "Delimited text files to convert, and directories standing for their .csv, .txt, .tsv "
                       "and .prn files")
        ->required()
        ->expected(1, -1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    o.outOption = convert.add_option("--out", o.out, "Portfolio directory (default: the current directory)");
    o.symbolOption = convert.add_option(
        "--symbol", o.symbol,
        "Symbol of the new security, 14 bytes at most (default: the file's one ticker, else its name)");
    o.nameOption = convert.add_option("--name", o.name, "Name of the new security, 45 bytes at most; MASTER keeps the first 16 (default: the symbol)");
    o.newMaster = convert.add_flag("--new-master")->description("Make a new MASTER in the directory (\"Exist\" 1)");
    o.existingMaster = convert.add_flag("--existing-master")->description("Add to the MASTER already there (\"Exist\" 0)");
    o.fromSettingsOption = convert.add_flag("--from-settings", o.fromSettings,
                                            "Take the layout the desktop program saved instead of detecting it");
    o.newMaster->excludes(o.existingMaster);
    o.delimiterOption = convert.add_option("--delimiter", o.delimiter, "Column delimiter")
                            ->check(CLI::IsMember({"comma", "tab", "space", "semicolon", "pipe"}));
    o.decimalCommaOption = convert.add_flag("--decimal-comma", o.decimalComma,
                                            "Numbers are written with a decimal comma (1.234,56)");
    o.noDecimalComma = convert.add_flag("--no-decimal-comma")->description("Numbers are written with a decimal point");
    o.decimalCommaOption->excludes(o.noDecimalComma);
    std::string formats;
    for (const char* f : kDateFormatNames) formats += std::string(formats.empty() ? "" : ", ") + f;
    o.dateFormatOption = convert.add_option(
        "--date-format", o.dateFormat,
        "Date format: one of " + formats +
            ", the first that begins with TEXT (mmdd is MMDDYY), or a usual spelling such as YYYY-MM-DD, "
            "MM/DD/YYYY, DD.MM.YYYY, YYYYMMDD");
    o.skipOption = convert.add_option("--skip", o.skip, "Skip the first N lines (0..200)");
    o.noSkip = convert.add_flag("--no-skip")->description("Skip no lines");
    o.skipOption->excludes(o.noSkip);
    o.columnOption[kDate] = convert.add_option("--date-col", o.columns[kDate], "Column of the date (1..20)");
    o.columnOption[kClose] = convert.add_option("--close-col", o.columns[kClose], "Column of the close (1..20)");
    for (const FieldOptions& f : kOptionalFields) {
        std::string name = f.name;
        o.columnOption[f.field] = convert.add_option("--" + name + "-col", o.columns[f.field],
                                                     "Take the " + name + " from column N (1..20)");
        o.disableOption[f.field] = convert.add_flag("--no-" + name)->description("The input has no " + name);
        o.columnOption[f.field]->excludes(o.disableOption[f.field]);
    }
    convert.add_flag("--save", o.save, "Keep these settings for the next conversion, as the dialog's OK does");
    convert.add_flag("--strict", o.strict, "Fail, changing nothing, when any row would be skipped");
    convert.add_flag("--update", o.update,
                     "A symbol the portfolio holds gets the rows dated after its last date; others are added");
    convert.add_option("--wait", o.waitSeconds,
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

std::string DateText(const std::uint8_t* stored);
std::string ShortestNumber(float value);

// Settings that keep nothing: the command line writes the desktop program's
// settings only when asked to.
class CNoSettingsWriter : public CSettingsWriter {
public:
    void WriteString(const char*, const char*, const std::string&) override {}
};

constexpr const char* kFieldOptionNames[kFieldCount] = {"date", "open", "high", "low", "close", "volume", "oi"};

// The option that sets a field's column, "--date-col" .. "--oi-col".
std::string ColumnOption(int field) { return std::string("--").append(kFieldOptionNames[field]).append("-col"); }

// A refused setting in the words of the command line: the option that sets
// it, then what to give instead.
std::string OptionMessage(const CSettingProblem& p, const CConversionSettings& s) {
    auto atMost = [](const char* option, int limit) {
        return std::string(option).append(": give at most ").append(std::to_string(limit)).append(" characters");
    };
    switch (p.value) {
        case ESettingValue::kColumn:
            return ColumnOption(p.nField) + ": give a column from 1 to " + std::to_string(kMaxColumns);
        case ESettingValue::kName:
            return "--name: give at most " + std::to_string(kMaxNameLength) + " bytes";
        case ESettingValue::kPathOut:
            return atMost("--out", kMaxPathLength);
        case ESettingValue::kSymbol:
            return "--symbol: give at most " + std::to_string(kMaxSymbolLength) + " bytes";
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
        case ESettingValue::kBlankPath:
            return "--out: give the portfolio directory";
    }
    return p.strMessage;
}

// A job's settings for one input, from detection (or the saved settings)
// and the options.
struct PreparedJob {
    CConversionSettings s;
    CDetectedLayout layout;
    int dateFormat = 0;
    bool makeDirectory = false;  // the portfolio's directory, and its parents, when missing
    std::string symbolSource;   // the ticker or file name the symbol comes from, as written
};

constexpr int kReady = 0;

// Settles the settings of converting `input`. In a batch the portfolio is
// settled by the caller, and the symbol is always the file's name (or its
// one ticker). Returns kReady, kExitFailed after a message on `prompt`, or
// kExitUsage after a line on `err`.
int PrepareJob(const ConvertOptions& o, const std::string& input, CPlatform& platform, CPrompt& prompt,
               const CConversionSettings& saved, std::ostream& err, bool batch, PreparedJob* job) {
    const bool detect = !o.fromSettings;
    CConversionSettings s = saved;
    CDetectedLayout& layout = job->layout;
    if (detect) {
        // The input must open before its layout can tell anything.
        if (!platform.Open(input, OpenMode::kRead)) {
            prompt.MessageBox(OpenFailureMessage(platform, "Cannot open the input file", input), kMbOk);
            return kExitFailed;
        }
        layout = DetectFileLayout(platform, input);
        // An empty file or one that is no text the conversion itself refuses
        // with its own words; so it does a layout the options give whole.
        const bool engineSays = layout.m_strReason == "the file is empty" || layout.m_strReason == "the file is not text";
        if (!layout.m_bFound && !engineSays && !*o.dateFormatOption) {
            prompt.MessageBox("Cannot tell the layout of " + input + ": " + layout.m_strReason +
                                  ". Give the layout options (see tarvel-cli convert --help).",
                              kMbOk);
            return kExitFailed;
        }
        if (layout.m_bIntraday) {
            prompt.MessageBox(IntradayMessage(input), kMbOk);
            return kExitFailed;
        }
        if (layout.m_bFound) s = PresetFromLayout(s, layout, input, false);
        // The symbol: the file's one ticker, else its name (cut, and said so).
        if (layout.m_tickers.size() == 1) {
            job->symbolSource = layout.m_tickers.front();
            s.strSymbol = CutToCharBoundary(job->symbolSource, static_cast<std::size_t>(kMaxSymbolLength));
            if (!*o.symbolOption && s.strSymbol.size() < job->symbolSource.size()) {
                prompt.MessageBox("The symbol is " + s.strSymbol + ", the file's ticker cut to " +
                                      std::to_string(kMaxSymbolLength) + " bytes; --symbol chooses another.",
                                  kMbOk);
            }
        } else {
            job->symbolSource = std::filesystem::path(input).stem().string();
            s.strSymbol = SymbolFromFileName(input);
            if (!*o.symbolOption && layout.m_tickers.size() < 2 &&
                std::filesystem::path(input).stem().string().size() > s.strSymbol.size()) {
                prompt.MessageBox("The symbol is " + s.strSymbol + ", the file's name cut to " +
                                      std::to_string(kMaxSymbolLength) + " bytes; --symbol chooses another.",
                                  kMbOk);
            }
        }
        s.strName.clear();
        std::string cwd;
        platform.GetCurrentDirectory(&cwd);
        s.strPathOut = cwd;
        s.nExist = -1;
    } else if (batch) {
        job->symbolSource = std::filesystem::path(input).stem().string();
        s.strSymbol = SymbolFromFileName(input);
        s.strName.clear();
    }
    if (*o.outOption) s.strPathOut = o.out;
    if (*o.symbolOption) s.strSymbol = o.symbol;
    if (*o.nameOption) s.strName = o.name;
    if (*o.newMaster) s.nExist = 1;
    if (*o.existingMaster) s.nExist = 0;
    if (*o.delimiterOption) {
        static constexpr const char* kNames[] = {"comma", "tab", "space", "semicolon", "pipe"};
        s.nDelimiter = static_cast<int>(std::find(std::begin(kNames), std::end(kNames), o.delimiter) - std::begin(kNames));
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
    if (!batch && !job->makeDirectory && !std::filesystem::is_directory(s.strPathOut, dirError)) {
        err << "tarvel-cli: Path does not exist: " << s.strPathOut << "\n";
        return kExitUsage;
    }
    checked.nSkipRows = s.nSkipRows;
    s = checked;
    if (detect && layout.m_bFound && !*o.dateFormatOption && layout.m_nDateFormat == 0) {
        prompt.MessageBox(UndecidedDatesMessage(input), kMbOk);
        return kExitFailed;
    }
    job->dateFormat = FindDateFormatSpelling(s.strDateFormat);
    if (job->dateFormat == 0) {
        err << "tarvel-cli: unknown date format \"" << s.strDateFormat << "\"; see tarvel-cli convert --help\n";
        return kExitUsage;
    }
    s.strDateFormat = kDateFormatNames[static_cast<std::size_t>(job->dateFormat - 1)];
    job->s = s;
    return kReady;
}

void FillJob(const ConvertOptions& o, const PreparedJob& prepared, const std::string& input, CConverter& job) {
    FillConverter(prepared.s, input, prepared.dateFormat, job);
    if (!o.fromSettings) {
        job.m_nTimeColumn = prepared.layout.m_nTimeColumn;
        job.m_nPeriodColumn = prepared.layout.m_nPeriodColumn;
        job.m_nTickerColumn = prepared.layout.m_nTickerColumn;
    }
    job.m_bStrict = o.strict ? 1 : 0;
    job.m_bUpdate = o.update ? 1 : 0;
    job.m_nWaitSeconds = o.waitSeconds;
}

// 1234567 as "1,234,567".
std::string Grouped(long value) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    grouped.reserve(digits.size() + digits.size() / 3);
    const std::size_t sign = value < 0 ? 1 : 0;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > sign && (digits.size() - i) % 3 == 0) grouped.push_back(',');
        grouped.push_back(digits[i]);
    }
    return grouped;
}

std::string RowsText(long rows) { return Grouped(rows) + (rows == 1 ? " row" : " rows"); }

int RunConvert(const ConvertOptions& o, std::ostream& out, std::ostream& err) {
    CSettingsStore store;
    CCliPrompt prompt(err);
    auto platform = MakePosixPlatform();
    std::error_code ec;
    std::string input = std::filesystem::absolute(o.inputs.front(), ec).string();
    if (ec) input = o.inputs.front();

    PreparedJob prepared;
    int status = PrepareJob(o, input, *platform, prompt, LoadConversionSettings(store), err, false, &prepared);
    if (status == kExitFailed) out << "Conversion failed.\n";
    if (status != kReady) return status;
    CConversionSettings& s = prepared.s;
    if (o.save) SaveSettingValues(store, s);
    if (prepared.makeDirectory && !std::filesystem::is_directory(s.strPathOut, ec) &&
        !std::filesystem::create_directories(s.strPathOut, ec)) {
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
            err << "Tarvel: " << job.m_nAdded << (job.m_nAdded == 1 ? " security" : " securities") << " added, "
                << job.m_nUpdated << " updated; " << RowsText(job.m_nRecordsWritten) << " stored";
            if (job.m_nRecordsLeftOut > 0) err << ", " << RowsText(job.m_nRecordsLeftOut) << " already there left out";
            err << ".\n";
        }
        return 0;
    }
    out << "Conversion failed.\n";
    return kExitFailed;
}

// The files a batch converts: each INPUT that is a file, and the regular
// files of each INPUT that is a directory whose names end in .csv, .txt,
// .tsv or .prn (any case), in name order. False after a line on `err` when an
// INPUT is neither.
bool BatchFiles(const std::vector<std::string>& inputs, std::vector<std::string>* files, std::ostream& err) {
    for (const std::string& input : inputs) {
        std::error_code ec;
        std::filesystem::path path = std::filesystem::absolute(input, ec);
        if (ec) path = input;
        if (!std::filesystem::is_directory(path, ec)) {
            files->push_back(path.string());
            continue;
        }
        std::vector<std::string> names;
        std::filesystem::directory_iterator it(path, ec), end;
        if (ec) {
            err << "tarvel-cli: cannot read the directory " << path.string() << ": " << ec.message() << "\n";
            return false;
        }
        for (; it != end; it.increment(ec)) {
            std::string name = it->path().filename().string();
            std::string extension = it->path().extension().string();
            bool wanted = false;
            for (const char* e : {".csv", ".txt", ".tsv", ".prn"}) wanted = wanted || EqualIgnoringAsciiCase(extension, e);
            std::error_code typeError;
            if (wanted && it->is_regular_file(typeError)) names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) files->push_back((path / name).string());
    }
    return true;
}

// Messages of a batch name the file they are about.
class CBatchPrompt : public CPrompt {
public:
    explicit CBatchPrompt(std::ostream& err) : m_err(err) {}
    int MessageBox(const std::string& text, int type) override {
        if (m_bProgressShown) m_err << "\r\033[K";
        m_bProgressShown = false;
        m_err << "Tarvel: " << (m_strFile.empty() ? "" : m_strFile + ": ") << text << "\n";
        return (type & 0xF) == kMbYesNo ? kIdNo : kIdOk;
    }
    std::string m_strFile;
    bool m_bProgressShown = false;

private:
    std::ostream& m_err;
};

// Messages of a dry run, for inspect and for the files a batch reads ahead.
class CRecordingCliPrompt : public CPrompt {
public:
    int MessageBox(const std::string& text, int) override {
        m_texts.push_back(text);
        return kIdOk;
    }
    std::vector<std::string> m_texts;
};

// A file of a batch as a worker thread read it.
struct ReadFile {
    std::unique_ptr<CPlatform> platform;
    CRecordingCliPrompt prompt;
    CNoSettingsWriter settings;
    std::ostringstream err;
    std::unique_ptr<CConverter> job;
    int status = kReady;
    std::string symbolSource;
};

// Files converted since the last commit, with what each did.
struct PendingFile {
    std::string name;
    long records = 0;
    long leftOut = 0;
    std::vector<std::pair<std::string, bool>> changed;  // symbol, and whether it was added
    std::vector<std::pair<std::string, std::string>> symbols;  // symbol, the name it came from
};

// A symbol of a batch, by the name it came from and the file that named it.
struct SymbolSource {
    std::string source;
    std::string file;
};

// Upper case of ASCII letters, as symbols compare.
std::string SymbolKey(std::string text) {
    for (char& c : text) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    return text;
}

// Commits of a batch hold at most this many bytes of price records, so that
// memory does not grow with the number of files.
constexpr std::size_t kBatchCommitBytes = 8u << 20;

int RunBatch(const ConvertOptions& o, std::ostream& out, std::ostream& err) {
    for (const CLI::Option* option : {o.symbolOption, o.nameOption}) {
        if (*option) {
            err << "tarvel-cli: " << option->get_name() << " names one security; give one INPUT file with it\n";
            return kExitUsage;
        }
    }
    std::vector<std::string> files;
    if (!BatchFiles(o.inputs, &files, err)) return kExitUsage;
    if (files.empty()) {
        err << "tarvel-cli: no .csv, .txt, .tsv or .prn files in";
        for (const std::string& input : o.inputs) err << " " << input;
        err << "\n";
        return kExitUsage;
    }
    auto summary = [&out](long converted, long rows, long securities, long added, long updated, long leftOut,
                          long failed) {
        out << "Converted " << Grouped(converted) << (converted == 1 ? " file (" : " files (") << RowsText(rows)
            << ") into " << Grouped(securities) << (securities == 1 ? " security" : " securities");
        if (updated > 0) out << " (" << Grouped(added) << " new, " << Grouped(updated) << " updated)";
        if (leftOut > 0) out << "; " << RowsText(leftOut) << " already there left out";
        if (failed > 0) {
            out << "; " << Grouped(failed) << " failed: see above.\n";
            return kExitFailed;
        }
        out << ".\n";
        return 0;
    };
    // Nothing could be converted: every file failed.
    auto allFailed = [&] { return summary(0, 0, 0, 0, 0, 0, static_cast<long>(files.size())); };
    CSettingsStore store;
    CBatchPrompt prompt(err);
    auto platform = MakePosixPlatform();
    std::error_code ec;
    std::string directory;
    if (*o.outOption) {
        directory = std::filesystem::absolute(o.out, ec).string();
    } else {
        platform->GetCurrentDirectory(&directory);
    }
    if (o.fromSettings && !*o.outOption) directory = LoadConversionSettings(store).strPathOut;
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    // A directory made for the batch goes again when nothing was converted.
    bool madeDirectory = false;
    if (!std::filesystem::is_directory(directory, ec)) {
        if (*o.existingMaster) {
            prompt.MessageBox("Path does not exist: " + directory, kMbOk);
            return allFailed();
        }
        if (!std::filesystem::create_directories(directory, ec)) {
            prompt.MessageBox("Cannot make the directory " + directory + ": " + ec.message(), kMbOk);
            return allFailed();
        }
        madeDirectory = true;
    }
    auto removeMadeDirectory = [&] {
        std::error_code ignored;
        if (madeDirectory && std::filesystem::is_empty(directory, ignored)) std::filesystem::remove(directory, ignored);
    };
    auto lock = platform->LockDirectory(directory, o.waitSeconds, [&] {
        err << "Tarvel: Waiting for another conversion into " << directory << "..." << std::endl;
    });
    if (!lock) {
        prompt.MessageBox(platform->LastErrorNumber() == EWOULDBLOCK
                              ? directory + " is busy with another conversion."
                              : "Cannot lock the portfolio " + directory + ": " + platform->LastError(),
                          kMbOk);
        return allFailed();
    }
    FinishJournal(*platform, directory);
    std::optional<std::string> masterName = platform->FindName(directory, kMasterName);
    bool newMaster = !masterName.has_value();
    if (*o.existingMaster && newMaster) {
        prompt.MessageBox("Path specified does not point to a Master file", kMbOk);
        return allFailed();
    }
    if (*o.newMaster && !newMaster) {
        prompt.MessageBox("New Master chosen but one already exists", kMbOk);
        return allFailed();
    }
    std::string masterPath = JoinPath(directory, masterName.value_or(kMasterName));
    CPortfolio portfolio(*platform, prompt, directory, masterPath, newMaster);
    if (portfolio.Open() != 0) {
        lock.reset();
        removeMadeDirectory();
        return allFailed();
    }

    const bool terminal = ::isatty(2) == 1;
    const auto start = std::chrono::steady_clock::now();
    auto drawn = start;
    long rowsRead = 0;  // of the files staged so far, for the progress bar
    long convertedFiles = 0, failedFiles = 0, records = 0, leftOut = 0;
    std::set<std::string> added, updated;  // symbol keys of the securities the run changed
    std::map<std::string, SymbolSource> named;  // every symbol key staged, with where it came from
    std::vector<PendingFile> pending;
    auto commit = [&] {
        prompt.m_strFile.clear();
        // MASTER.BAK is the MASTER from before the batch: the first commit
        // that changes MASTER writes it.
        if (portfolio.Commit(!portfolio.WroteBackup()) != 0) {
            for (const PendingFile& file : pending) {
                err << "Tarvel: " << file.name << " was not converted.\n";
                // Its symbols are free again for files from other names.
                for (const auto& [symbol, source] : file.symbols) {
                    auto it = named.find(SymbolKey(symbol));
                    if (it != named.end() && it->second.file == file.name) named.erase(it);
                }
            }
            failedFiles += static_cast<long>(pending.size());
        } else {
            for (const PendingFile& file : pending) {
                ++convertedFiles;
                records += file.records;
                leftOut += file.leftOut;
                for (const auto& [symbol, isNew] : file.changed) (isNew ? added : updated).insert(SymbolKey(symbol));
                if (!terminal) {
                    err << "Tarvel: " << file.name << ": " << RowsText(file.records) << " stored";
                    if (file.leftOut > 0) err << ", " << RowsText(file.leftOut) << " already there left out";
                    err << ".\n";
                }
            }
        }
        pending.clear();
    };
    // Files are read (detected and parsed) on worker threads, a few ahead of
    // the one being staged, each with its own platform and its messages
    // kept; staging and commits stay on this thread, in file order. At most
    // kReadAhead files are held in memory at once.
    const CConversionSettings saved = LoadConversionSettings(store);
    const std::size_t readAhead = 2 * std::max(2u, std::thread::hardware_concurrency()) + 1;
    std::deque<std::future<std::unique_ptr<ReadFile>>> reading;
    std::size_t next = 0;
    auto startReading = [&] {
        while (next < files.size() && reading.size() < readAhead) {
            reading.push_back(std::async(std::launch::async, [&o, &saved, &directory, file = files[next]] {
                auto read = std::make_unique<ReadFile>();
                read->platform = MakePosixPlatform();
                read->job = std::make_unique<CConverter>(*read->platform, read->prompt, read->settings);
                PreparedJob prepared;
                read->status = PrepareJob(o, file, *read->platform, read->prompt, saved, read->err, true, &prepared);
                read->symbolSource = prepared.symbolSource;
                if (read->status == kReady) {
                    FillJob(o, prepared, file, *read->job);
                    read->job->SetPathOut(directory);
                    read->status = read->job->DryRun() == 0 ? kReady : kExitFailed;
                }
                return read;
            }));
            ++next;
        }
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        startReading();
        // The bar is drawn again at most ten times a second.
        const auto now = std::chrono::steady_clock::now();
        if (terminal && (i == 0 || now - drawn >= std::chrono::milliseconds(100))) {
            drawn = now;
            double seconds = std::chrono::duration<double>(now - start).count();
            err << "\r\033[K[" << i << "/" << files.size() << "] " << RowsText(rowsRead) << ", "
                << Grouped(seconds > 0 ? static_cast<long>(static_cast<double>(rowsRead) / seconds) : 0)
                << " rows/s  " << std::filesystem::path(file).filename().string() << std::flush;
            prompt.m_bProgressShown = true;
        }
        std::unique_ptr<ReadFile> read = reading.front().get();
        reading.pop_front();
        prompt.m_strFile = file;
        for (const std::string& text : read->prompt.m_texts) prompt.MessageBox(text, kMbOk);
        // What the command line refuses of one file's settings (a symbol
        // its name makes, say) fails that file alone.
        if (read->status == kExitUsage) {
            std::string refused = read->err.str();
            if (refused.starts_with("tarvel-cli: ")) refused.erase(0, 12);
            while (!refused.empty() && refused.back() == '\n') refused.pop_back();
            prompt.MessageBox(refused, kMbOk);
        }
        CConverter& job = *read->job;
        // Two names that become one symbol (cut to 14 bytes, or differing in
        // case only) are two securities: the second file is refused rather
        // than merged into the first's security.
        std::vector<std::pair<std::string, std::string>> symbols;  // symbol, what it came from
        if (read->status == kReady) {
            if (job.Securities().size() == 1) {
                symbols.emplace_back(job.m_szSymbol, read->symbolSource);
            } else {
                for (const NewSecurity& security : job.Securities()) symbols.emplace_back(security.symbol, security.ticker);
            }
        }
        bool ok = read->status == kReady;
        for (const auto& [symbol, source] : symbols) {
            auto it = named.find(SymbolKey(symbol));
            if (ok && it != named.end() && it->second.source != source) {
                prompt.MessageBox("The symbol " + symbol + " comes from " + source + " here but from " +
                                      it->second.source + " in " + it->second.file +
                                      "; the two are not made one security. Nothing of this file was converted.",
                                  kMbOk);
                ok = false;
            }
        }
        // Staging looks the symbols up; it may say why it refuses one.
        read->prompt.m_texts.clear();
        ok = ok && job.StageInto(portfolio) == 0;
        for (const std::string& text : read->prompt.m_texts) prompt.MessageBox(text, kMbOk);
        if (!ok) {
            ++failedFiles;
            continue;
        }
        rowsRead += job.m_nRecordsWritten + job.m_nRecordsLeftOut;
        for (const auto& [symbol, source] : symbols) named.emplace(SymbolKey(symbol), SymbolSource{source, file});
        pending.push_back({file, job.m_nRecordsWritten, job.m_nRecordsLeftOut, job.m_changed, symbols});
        if (portfolio.StagedBytes() >= kBatchCommitBytes) commit();
    }
    commit();
    if (terminal && prompt.m_bProgressShown) err << "\r\033[K";
    lock.reset();
    removeMadeDirectory();
    for (const std::string& symbol : added) updated.erase(symbol);
    return summary(convertedFiles, records, static_cast<long>(added.size() + updated.size()),
                   static_cast<long>(added.size()), static_cast<long>(updated.size()), leftOut, failedFiles);
}


// The convert options that say `layout` (the file itself first).
std::string LayoutOptions(const std::string& file, const CDetectedLayout& layout) {
    static constexpr const char* kDelimiterNames[] = {"comma", "tab", "space", "semicolon", "pipe"};
    static constexpr const char* kFieldNames[kFieldCount] = {"date", "open", "high", "low", "close", "volume", "oi"};
    std::string text = "tarvel-cli convert " + file;
    text += std::string(" --delimiter ") + kDelimiterNames[DelimiterValue(layout.m_cDelimiter)];
    if (layout.m_bDecimalComma) text += " --decimal-comma";
    text += layout.m_nDateFormat != 0
                ? std::string(" --date-format ") + kDateFormatNames[static_cast<std::size_t>(layout.m_nDateFormat - 1)]
                : std::string(" --date-format ?");
    text += layout.m_nSkipRows > 0 ? " --skip " + std::to_string(layout.m_nSkipRows) : std::string(" --no-skip");
    for (int f = 0; f < kFieldCount; ++f) {
        text += layout.HasField(f) ? " --" + std::string(kFieldNames[f]) + "-col " +
                                         std::to_string(layout.m_nFieldColumn[f] + 1)
                                   : " --no-" + std::string(kFieldNames[f]);
    }
    return text;
}

int RunInspect(const std::string& file, std::ostream& out, std::ostream& err) {
    auto platform = MakePosixPlatform();
    std::error_code ec;
    std::string input = std::filesystem::absolute(file, ec).string();
    if (ec) input = file;
    CDetectedLayout layout = DetectFileLayout(*platform, input);
    if (!layout.m_bFound) {
        err << "Tarvel: Cannot tell the layout of " << input << ": " << layout.m_strReason << ".\n";
        return kExitFailed;
    }
    out << LayoutOptions(file, layout) << "\n";
    if (layout.m_nDateFormat == 0) {
        err << "Tarvel: " << UndecidedDatesMessage(input) << "\n";
        return kExitFailed;
    }
    if (layout.m_bIntraday) {
        err << "Tarvel: " << IntradayMessage(input) << "\n";
        return kExitFailed;
    }
    CRecordingCliPrompt prompt;
    CNoSettingsWriter settings;
    CConverter job(*platform, prompt, settings);
    job.m_strPathIn = input;
    FillConverterFromLayout(layout, job);
    if (job.DryRun() != 0) {
        for (const std::string& text : prompt.m_texts) err << "Tarvel: " << text << "\n";
        return kExitFailed;
    }
    const NewSecurity& rows = job.Staged();
    static constexpr const char* kLabels[kFieldCount] = {"date", "open", "high", "low", "close", "volume", "oi"};
    for (int f = 0; f < kFieldCount; ++f) {
        if (job.m_bFieldOn[f]) out << (f == kDate ? "" : " ") << kLabels[f];
    }
    out << "\n";
    const std::size_t length = static_cast<std::size_t>(4 * job.m_nFieldCount);
    for (std::size_t r = 0; r < std::min<std::size_t>(rows.recordCount, 10); ++r) {
        const std::uint8_t* p = rows.records.data() + r * length;
        for (std::size_t i = 0; i < length; i += 4) {
            out << (i ? " " : "") << (i == 0 ? DateText(p) : ShortestNumber(DecodeStoredNumber({p[i], p[i + 1], p[i + 2], p[i + 3]})));
        }
        out << "\n";
    }
    out << rows.recordCount << (rows.recordCount == 1 ? " row" : " rows") << " would be stored";
    if (job.SkippedRows() == 0) {
        out << "; none would be skipped.\n";
    } else {
        out << "; " << job.SkippedRows() << " would be skipped, the first line " << job.FirstSkippedLine() << ": "
            << job.FirstSkipReason() << ".\n";
    }
    return 0;
}

std::string DateText(const std::uint8_t* stored) {
    float value = DecodeStoredNumber({stored[0], stored[1], stored[2], stored[3]});
    if (!std::isfinite(value) || value < 0 || value > 99991231.0f || value != std::floor(value)) {
        std::ostringstream text;
        text << value;
        return text.str();
    }
    auto v = static_cast<long>(value);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04ld-%02ld-%02ld", 1900 + v / 10000, v / 100 % 100, v % 100);
    return buffer;
}

// The record count of a price file's header, or -1 when it cannot be read.
long HeaderRecordCount(CPlatform& platform, const std::string& dir, const std::string& fileName) {
    std::optional<std::string> name = platform.FindName(dir, fileName);
    Bytes header;
    if (!name || !ReadFileBytes(platform, dir + *name, &header, 4) || header.size() < 4) return -1;
    return ReadU16(header.data() + kDataHeaderRecordCount);
}

// YYYYMMDD as YYYY-MM-DD; anything else as a number.
std::string DayText(int day) {
    if (day < 19000101 || day > 99991231) return std::to_string(day);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", day / 10000, day / 100 % 100, day % 100);
    return buffer;
}

// The length of the valid UTF-8 character at the start of `text`, or 0.
std::size_t Utf8Length(std::string_view text) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(0);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                                                      : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
    if (length == 0 || length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) >= 0xA0) || (lead == 0xF0 && byte(1) < 0x90) ||
        (lead == 0xF4 && byte(1) >= 0x90)) {
        return 0;
    }
    return length;
}

// A JSON string of `text`. Bytes that are no UTF-8 (a Latin-1 name, say)
// are written as the characters U+0080..U+00FF of the same numbers, so the
// output stays valid JSON and loses no byte.
std::string JsonString(std::string_view text) {
    std::string quoted = "\"";
    for (std::size_t at = 0; at < text.size();) {
        auto u = static_cast<unsigned char>(text[at]);
        std::size_t length = Utf8Length(text.substr(at));
        if (u == '"' || u == '\\') {
            quoted.append(1, '\\').append(1, static_cast<char>(u));
        } else if (u < 0x20 || length == 0) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
            quoted += buffer;
        } else {
            quoted.append(text.substr(at, length));
        }
        at += length == 0 ? 1 : length;
    }
    return quoted + "\"";
}

// A conversion killed after its commit point leaves a journal whose renames
// complete it. A reader that finds one completes it first, when no
// conversion holds the portfolio, so that it reads what was committed.
void CompleteACommittedConversion(CPlatform& platform, const std::string& dir) {
    if (!platform.Examine(JoinPath(dir, kJournalName)).exists) return;
    if (auto lock = platform.LockDirectory(dir, 0, [] {})) FinishJournal(platform, dir);
}

int RunList(const std::string& dir, bool json, std::ostream& out, std::ostream& err) {
    auto platform = MakePosixPlatform();
    if (!platform->IsDirectory(dir)) {
        err << "tarvel-cli: " << dir << " is not a directory\n";
        return kExitFailed;
    }
    CompleteACommittedConversion(*platform, dir);
    std::string problem;
    std::vector<ListedSecurity> securities = ListPortfolio(*platform, dir, &problem);
    if (!problem.empty()) {
        err << "Tarvel: " << problem << "\n";
        return kExitFailed;
    }
    std::string top = dir.back() == '/' ? dir : dir + "/";
    std::string current = top;
    if (json) {
        out << "[";
    } else {
        out << "  n  symbol            name              fields  first       last        records\n";
    }
    bool first = true;
    for (const ListedSecurity& s : securities) {
        const SecurityEntry& e = s.entry;
        long count = HeaderRecordCount(*platform, s.directory, s.dataFile);
        std::string records = count < 0 ? std::string("-") : std::to_string(count > 0 ? count - 1 : 0);
        if (json) {
            out << (first ? "\n" : ",\n") << "  {\"number\": " << e.fileNumber << ", \"symbol\": " << JsonString(e.symbol)
                << ", \"name\": " << JsonString(e.name) << ", \"fields\": " << s.fieldCount
                << ", \"first\": " << JsonString(DayText(e.firstDay)) << ", \"last\": " << JsonString(DayText(e.lastDay))
                << ", \"records\": " << (count < 0 ? std::string("null") : records)
                << ", \"directory\": " << JsonString(s.directory.substr(top.size()))
                << ", \"listed_in\": " << JsonString(s.inXMaster ? kXMasterName : kMasterName)
                << ", \"file\": " << JsonString(s.dataFile) << "}";
            first = false;
            continue;
        }
        if (s.directory != current) {
            current = s.directory;
            out << current.substr(top.size()) << ":\n";
        }
        out << std::setw(3) << e.fileNumber << "  " << std::left << std::setw(16) << e.symbol << "  " << std::setw(16)
            << CutToCharBoundary(e.name, kTextFieldWidth) << "  " << std::right << std::setw(6) << s.fieldCount << "  "
            << std::left << std::setw(10) << DayText(e.firstDay) << "  " << std::setw(10) << DayText(e.lastDay) << "  "
            << std::right << std::setw(7) << records << "\n";
    }
    if (json) out << (first ? "]\n" : "\n]\n");
    if (securities.empty()) err << "tarvel-cli: no securities in " << dir << "\n";
    return securities.empty() ? kExitFailed : 0;
}

std::string ShortestNumber(float value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

int RunExport(const std::string& dir, const std::string& symbol, const std::string& output, std::ostream& out,
              std::ostream& err) {
    auto platform = MakePosixPlatform();
    if (platform->IsDirectory(dir)) CompleteACommittedConversion(*platform, dir);
    ListedSecurity listed;
    std::string problem;
    if (!FindListedSecurity(*platform, dir, symbol, &listed, &problem)) {
        if (!problem.empty()) {
            err << "Tarvel: " << problem << "\n";
        } else {
            err << "tarvel-cli: no security " << symbol << " in " << dir << "\n";
        }
        return kExitFailed;
    }
    const std::string& recordDir = listed.directory;
    int fileNumber = listed.entry.fileNumber;
    std::size_t length = listed.inXMaster ? 4 * static_cast<std::size_t>(listed.fieldCount) : listed.record[kRecRecordLength];
    std::optional<std::string> dataName = platform->FindName(recordDir, listed.dataFile);
    Bytes data;
    if (length < 4 || length > 28 || length % 4 != 0 || !dataName ||
        !ReadFileBytes(*platform, recordDir + *dataName, &data) || data.size() < length) {
        err << "tarvel-cli: cannot read " << recordDir << listed.dataFile << ": "
            << (dataName ? platform->LastError() : std::string("No such file or directory")) << "\n";
        return kExitFailed;
    }
    std::size_t fields = length / 4;
    // Column labels from F<n>.DOP; a missing or short file leaves numbered ones.
    std::vector<std::string> labels;
    std::optional<std::string> dopName = platform->FindName(recordDir, DescriptionFileName(fileNumber));
    Bytes dop;
    if (dopName && ReadFileBytes(*platform, recordDir + *dopName, &dop, 4096)) {
        std::istringstream lines(std::string(dop.begin(), dop.end()));
        std::string line;
        while (std::getline(lines, line) && labels.size() < fields) {
            std::size_t open = line.find('"'), close = line.find('"', open + 1);
            if (open != std::string::npos && close != std::string::npos) labels.push_back(line.substr(open + 1, close - open - 1));
        }
    }
    if (labels.empty() && listed.fieldsKnown) {
        // No description file: the labels of the fields EMASTER or XMASTER names.
        static constexpr const char* kLabels[kFieldCount] = {"DATE", "OPEN", "HIGH", "LOW", "CLOSE", "VOL", "OI"};
        for (int f = 0; f < kFieldCount; ++f) {
            if (listed.entry.fieldOn[f]) labels.push_back(kLabels[f]);
        }
        if (labels.size() > fields) labels.resize(fields);
    }
    while (labels.size() < fields) labels.push_back("FIELD" + std::to_string(labels.size() + 1));
    bool firstIsDate = labels[0] == "DATE";

    std::ofstream file;
    std::ostream* target = &out;
    if (!output.empty()) {
        file.open(output, std::ios::binary | std::ios::trunc);
        if (!file) {
            err << "tarvel-cli: cannot write " << output << "\n";
            return kExitFailed;
        }
        target = &file;
    }
    for (std::size_t i = 0; i < fields; ++i) *target << (i ? "," : "") << labels[i];
    *target << "\n";
    std::size_t records = data.size() / length - 1;
    long count = ReadU16(data.data() + kDataHeaderRecordCount);
    records = std::min(records, static_cast<std::size_t>(std::max(count - 1, 0L)));
    for (std::size_t r = 1; r <= records; ++r) {
        const std::uint8_t* p = data.data() + r * length;
        for (std::size_t i = 0; i < fields; ++i) {
            const std::uint8_t* v = p + 4 * i;
            *target << (i ? "," : "")
                    << (i == 0 && firstIsDate ? DateText(v) : ShortestNumber(DecodeStoredNumber({v[0], v[1], v[2], v[3]})));
        }
        *target << "\n";
    }
    target->flush();
    if (!*target) {
        err << "tarvel-cli: cannot write " << (output.empty() ? "standard output" : output) << "\n";
        return kExitFailed;
    }
    return 0;
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"tarvel-cli: converts daily price data in delimited text files into a MetaStock price "
                 "database (portfolio), and reads portfolios back."};
    app.name("tarvel-cli");
    app.set_version_flag("--version", "tarvel-cli 1.6.0");
    app.require_subcommand(1);

    ConvertOptions convertOptions;
    CLI::App* convert = app.add_subcommand(
        "convert",
        "Convert INPUT into a new security of a portfolio (or newer rows into one it holds, with --update), as "
        "the desktop program does after OK; several files or directories in one run");
    AddConvertOptions(*convert, convertOptions);

    std::string inspectFile;
    CLI::App* inspect = app.add_subcommand(
        "inspect", "Say what layout FILE has, as convert options, then the first ten rows as they would be stored "
                   "and the rows that would be skipped");
    inspect->add_option("FILE", inspectFile, "The delimited text file")->required();

    std::string listDir;
    bool listJson = false;
    CLI::App* list = app.add_subcommand(
        "list", "List every security of the portfolio DIR and of its sub-portfolios (MASTER, EMASTER and XMASTER): "
                "file number, symbol, name, fields, first and last date, price records");
    list->add_option("DIR", listDir, "Portfolio directory")->required();
    list->add_flag("--json", listJson,
                   "Write a JSON array, one object per security: number, symbol, name, fields, first, last, "
                   "records, directory, listed_in (MASTER or XMASTER), file");

    std::string exportDir, exportSymbol, exportOutput;
    CLI::App* exportCommand = app.add_subcommand(
        "export", "Write the price records of SYMBOL as CSV: a header of the field labels, dates as YYYY-MM-DD");
    exportCommand->add_option("DIR", exportDir, "Portfolio directory")->required();
    exportCommand->add_option("SYMBOL", exportSymbol, "Symbol or name, found as the duplicate check finds it")
        ->required();
    exportCommand->add_option("--output", exportOutput, "Write to FILE instead of standard output");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int status = app.exit(e, out, err);
        return status == 0 ? 0 : kExitUsage;
    }
    if (*convert) {
        std::error_code ec;
        const auto& inputs = convertOptions.inputs;
        bool batch = inputs.size() > 1 || std::filesystem::is_directory(inputs.front(), ec);
        if (batch && convertOptions.save) {
            err << "tarvel-cli: --save keeps the settings of one conversion; give one INPUT file with it\n";
            return kExitUsage;
        }
        return batch ? RunBatch(convertOptions, out, err) : RunConvert(convertOptions, out, err);
    }
    if (*inspect) return RunInspect(inspectFile, out, err);
    if (*list) return RunList(listDir, listJson, out, err);
    return RunExport(exportDir, exportSymbol, exportOutput, out, err);
}

}  // namespace tarvel
