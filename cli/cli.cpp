#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
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
    std::string input;
    std::string out, symbol, name, delimiter, dateFormat;
    int skip = 0;
    int columns[kFieldCount] = {};
    bool save = false;
    bool strict = false;
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
    convert.add_option("INPUT", o.input, "The delimited text file to convert")->required();
    o.outOption = convert.add_option("--out", o.out, "Portfolio directory (default: the current directory)");
    o.symbolOption = convert.add_option(
        "--symbol", o.symbol,
        "Symbol of the new security, 14 bytes at most (default: the file's one ticker, else its name)");
    o.nameOption = convert.add_option("--name", o.name, "Name of the new security, 16 bytes at most (default: the symbol)");
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
        "A conversion adds one whole security or changes nothing. Rows that cannot be read are\n"
        "skipped, never guessed at, and counted on standard error (--strict makes them a failure).\n"
        "A refused option or setting is named on standard error as \"tarvel-cli: ...\", the\n"
        "conversion's own messages as \"Tarvel: ...\"; the outcome line goes to standard output.\n"
        "Exit status: 0 converted, 1 conversion failed (nothing changed), 2 usage or settings error\n"
        "(nothing written).\n");
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

int RunConvert(const ConvertOptions& o, std::ostream& out, std::ostream& err) {
    CSettingsStore store;
    CCliPrompt prompt(err);
    auto platform = MakePosixPlatform();
    std::error_code ec;
    std::string input = std::filesystem::absolute(o.input, ec).string();
    if (ec) input = o.input;

    const bool detect = !o.fromSettings;
    bool makeDirectory = false;  // the portfolio's directory, and its parents, when missing
    CConversionSettings s = LoadConversionSettings(store);
    CDetectedLayout layout;
    if (detect) {
        // The input must open before its layout can tell anything.
        if (!platform->Open(input, OpenMode::kRead)) {
            prompt.MessageBox(OpenFailureMessage(*platform, "Cannot open the input file", input), kMbOk);
            out << "Conversion failed.\n";
            return kExitFailed;
        }
        layout = DetectFileLayout(*platform, input);
        // An empty file or one that is no text the conversion itself refuses
        // with its own words; so it does a layout the options give whole.
        const bool engineSays = layout.m_strReason == "the file is empty" || layout.m_strReason == "the file is not text";
        if (!layout.m_bFound && !engineSays && !*o.dateFormatOption) {
            prompt.MessageBox("Cannot tell the layout of " + input + ": " + layout.m_strReason +
                                  ". Give the layout options (see tarvel-cli convert --help).",
                              kMbOk);
            out << "Conversion failed.\n";
            return kExitFailed;
        }
        if (layout.m_bIntraday) {
            prompt.MessageBox(IntradayMessage(input), kMbOk);
            out << "Conversion failed.\n";
            return kExitFailed;
        }
        if (layout.m_bFound) s = PresetFromLayout(s, layout, input, false);
        // The symbol: the file's one ticker, else its name (cut, and said so).
        if (layout.m_tickers.size() == 1) {
            s.strSymbol = layout.m_tickers.front();
        } else {
            s.strSymbol = SymbolFromFileName(input);
            if (!*o.symbolOption && std::filesystem::path(input).stem().string().size() > s.strSymbol.size()) {
                prompt.MessageBox("The symbol is " + s.strSymbol + ", the file's name cut to " +
                                      std::to_string(kMaxSymbolLength) + " bytes; --symbol chooses another.",
                                  kMbOk);
            }
        }
        s.strName.clear();
        std::string cwd;
        platform->GetCurrentDirectory(&cwd);
        s.strPathOut = cwd;
        s.nExist = -1;
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
    if (detect) {
        if (!*o.nameOption) s.strName = s.strSymbol;
        if (s.nExist == -1) {
            // The MASTER there, or a new one in a directory made as needed.
            bool hasMaster = platform->IsDirectory(s.strPathOut) && platform->FindName(s.strPathOut, kMasterName);
            s.nExist = hasMaster ? 0 : 1;
            makeDirectory = !hasMaster;
        }
    }

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
    if (!makeDirectory && !std::filesystem::is_directory(s.strPathOut, dirError)) {
        err << "tarvel-cli: Path does not exist: " << s.strPathOut << "\n";
        return kExitUsage;
    }
    checked.nSkipRows = s.nSkipRows;
    s = checked;
    if (detect && layout.m_bFound && !*o.dateFormatOption && layout.m_nDateFormat == 0) {
        prompt.MessageBox(UndecidedDatesMessage(input), kMbOk);
        out << "Conversion failed.\n";
        return kExitFailed;
    }
    int dateFormat = FindDateFormatSpelling(s.strDateFormat);
    if (dateFormat == 0) {
        err << "tarvel-cli: unknown date format \"" << s.strDateFormat << "\"; see tarvel-cli convert --help\n";
        return kExitUsage;
    }
    s.strDateFormat = kDateFormatNames[static_cast<std::size_t>(dateFormat - 1)];
    if (o.save) SaveSettingValues(store, s);
    if (makeDirectory && !std::filesystem::is_directory(s.strPathOut, ec) &&
        !std::filesystem::create_directories(s.strPathOut, ec)) {
        prompt.MessageBox("Cannot make the directory " + s.strPathOut + ": " + ec.message(), kMbOk);
        out << "Conversion failed.\n";
        return kExitFailed;
    }

    CStoreSettingsWriter storeWriter(store);
    CNoSettingsWriter noWriter;
    CConverter job(*platform, prompt, o.save ? static_cast<CSettingsWriter&>(storeWriter) : noWriter);
    FillConverter(s, input, dateFormat, job);
    if (detect) {
        job.m_nTimeColumn = layout.m_nTimeColumn;
        job.m_nPeriodColumn = layout.m_nPeriodColumn;
        job.m_nTickerColumn = layout.m_nTickerColumn;
    }
    job.m_bStrict = o.strict ? 1 : 0;
    job.m_nWaitSeconds = o.waitSeconds;
    job.m_onWaiting = [&err](const std::string& text) { err << "Tarvel: " << text << std::endl; };
    if (job.Run() == 0) {
        out << "Conversion completed successfully!\n";
        return 0;
    }
    out << "Conversion failed.\n";
    return kExitFailed;
}

// Records and messages of a dry run, for inspect.
class CRecordingCliPrompt : public CPrompt {
public:
    int MessageBox(const std::string& text, int) override {
        m_texts.push_back(text);
        return kIdOk;
    }
    std::vector<std::string> m_texts;
};

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

// The record count of F<n>.DAT's header, or -1 when it cannot be read.
long HeaderRecordCount(CPlatform& platform, const std::string& dir, int fileNumber) {
    std::optional<std::string> name = platform.FindName(dir, DataFileName(fileNumber));
    Bytes header;
    if (!name || !ReadFileBytes(platform, dir + *name, &header, 4) || header.size() < 4) return -1;
    return ReadU16(header.data() + kDataHeaderRecordCount);
}

int RunList(const std::string& dir, std::ostream& out, std::ostream& err) {
    auto platform = MakePosixPlatform();
    if (!platform->IsDirectory(dir)) {
        err << "tarvel-cli: " << dir << " is not a directory\n";
        return kExitFailed;
    }
    std::string problem;
    std::vector<ListedSecurity> securities = ListPortfolio(*platform, dir, &problem);
    if (!problem.empty()) {
        err << "Tarvel: " << problem << "\n";
        return kExitFailed;
    }
    std::string top = dir.back() == '/' ? dir : dir + "/";
    std::string current = top;
    out << "  n  symbol            name              fields  first       last        records\n";
    for (const ListedSecurity& s : securities) {
        if (s.directory != current) {
            current = s.directory;
            out << current.substr(top.size()) << ":\n";
        }
        const std::uint8_t* r = s.record.data();
        long count = HeaderRecordCount(*platform, s.directory, r[kRecFileNumber]);
        out << std::setw(3) << int{r[kRecFileNumber]} << "  " << std::left << std::setw(16) << FieldText(r + kRecSymbol, kTextFieldWidth)
            << "  " << std::setw(16) << FieldText(r + kRecName, kTextFieldWidth) << "  " << std::right << std::setw(6)
            << int{r[kRecFieldCount]} << "  " << std::left << std::setw(10) << DateText(r + kRecFirstDate) << "  "
            << std::setw(10) << DateText(r + kRecLastDate) << "  " << std::right << std::setw(7)
            << (count < 0 ? std::string("-") : std::to_string(count > 0 ? count - 1 : 0)) << "\n";
    }
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
    MasterRecordBytes record{};
    std::string recordDir, problem;
    if (FindSecurity(*platform, dir, symbol, &record, &recordDir, &problem) != kFindFound) {
        if (!problem.empty()) {
            err << "Tarvel: " << problem << "\n";
        } else {
            err << "tarvel-cli: no security " << symbol << " in " << dir << "\n";
        }
        return kExitFailed;
    }
    int fileNumber = record[kRecFileNumber];
    std::size_t length = record[kRecRecordLength];
    std::optional<std::string> dataName = platform->FindName(recordDir, DataFileName(fileNumber));
    Bytes data;
    if (length < 4 || length > 28 || length % 4 != 0 || !dataName ||
        !ReadFileBytes(*platform, recordDir + *dataName, &data) || data.size() < length) {
        err << "tarvel-cli: cannot read " << recordDir << DataFileName(fileNumber) << ": "
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
        "convert", "Convert INPUT into one new security of a portfolio, as the desktop program does after OK");
    AddConvertOptions(*convert, convertOptions);

    std::string inspectFile;
    CLI::App* inspect = app.add_subcommand(
        "inspect", "Say what layout FILE has, as convert options, then the first ten rows as they would be stored "
                   "and the rows that would be skipped");
    inspect->add_option("FILE", inspectFile, "The delimited text file")->required();

    std::string listDir;
    CLI::App* list = app.add_subcommand(
        "list", "List every security of the portfolio DIR and of its sub-portfolios: file number, symbol, name, "
                "fields, first and last date, price records");
    list->add_option("DIR", listDir, "Portfolio directory")->required();

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
    if (*convert) return RunConvert(convertOptions, out, err);
    if (*inspect) return RunInspect(inspectFile, out, err);
    if (*list) return RunList(listDir, out, err);
    return RunExport(exportDir, exportSymbol, exportOutput, out, err);
}

}  // namespace tarvel
