#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "convert/date_text.h"
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
    CLI::Option* outOption = nullptr;
    CLI::Option* symbolOption = nullptr;
    CLI::Option* nameOption = nullptr;
    CLI::Option* newMaster = nullptr;
    CLI::Option* existingMaster = nullptr;
    CLI::Option* delimiterOption = nullptr;
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
    o.outOption = convert.add_option("--out", o.out, "Portfolio directory (\"PathOut\")");
    o.symbolOption = convert.add_option("--symbol", o.symbol, "Symbol of the new security, 16 characters at most");
    o.nameOption = convert.add_option("--name", o.name, "Name of the new security, 16 characters at most");
    o.newMaster = convert.add_flag("--new-master")->description("Make a new MASTER in the directory (\"Exist\" 1)");
    o.existingMaster = convert.add_flag("--existing-master")->description("Add to the MASTER already there (\"Exist\" 0)");
    o.newMaster->excludes(o.existingMaster);
    o.delimiterOption = convert.add_option("--delimiter", o.delimiter, "Column delimiter")
                            ->check(CLI::IsMember({"comma", "tab", "space"}));
    std::string formats;
    for (const char* f : kDateFormatNames) formats += std::string(formats.empty() ? "" : ", ") + f;
    o.dateFormatOption = convert.add_option(
        "--date-format", o.dateFormat,
        "Date format: the first of " + formats + " that begins with TEXT, in any case (mmdd is MMDDYY)");
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
    convert.footer(
        "Every setting not given comes from the settings the desktop program keeps\n"
        "($TARVEL_SETTINGS, else ~/.config/Hollark Software/Tarvel.ini), or its default.\n"
        "A refused option or setting is named on standard error as \"tarvel-cli: ...\", the\n"
        "conversion's own messages as \"Tarvel: ...\"; the outcome line goes to standard output.\n"
        "Exit status: 0 converted, 1 conversion failed, 2 usage or settings error (nothing written).\n");
}

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
            return atMost("--name", kMaxNameLength);
        case ESettingValue::kPathOut:
            return atMost("--out", kMaxPathLength);
        case ESettingValue::kSymbol:
            return atMost("--symbol", kMaxSymbolLength);
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
    CConversionSettings s = LoadConversionSettings(store);
    if (*o.outOption) s.strPathOut = o.out;
    if (*o.symbolOption) s.strSymbol = o.symbol;
    if (*o.nameOption) s.strName = o.name;
    if (*o.newMaster) s.nExist = 1;
    if (*o.existingMaster) s.nExist = 0;
    if (*o.delimiterOption) s.nDelimiter = o.delimiter == "tab" ? 1 : o.delimiter == "space" ? 2 : 0;
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

    CCliPrompt prompt(err);
    std::optional<CSettingProblem> problem = FindTakenProblem(s);
    if (!problem) problem = NormaliseAndFindProblem(s);
    if (problem) {
        err << "tarvel-cli: " << OptionMessage(*problem, s) << "\n";
        return kExitUsage;
    }
    std::error_code dirError;
    if (!std::filesystem::is_directory(s.strPathOut, dirError)) {
        err << "tarvel-cli: Path does not exist: " << s.strPathOut << "\n";
        return kExitUsage;
    }
    int dateFormat = FindDateFormat(s.strDateFormat);
    if (dateFormat == 0) {
        err << "tarvel-cli: unknown date format \"" << s.strDateFormat << "\"; see tarvel-cli convert --help\n";
        return kExitUsage;
    }
    s.strDateFormat = kDateFormatNames[static_cast<std::size_t>(dateFormat - 1)];
    if (o.save) SaveSettingValues(store, s);

    std::error_code ec;
    std::string input = std::filesystem::absolute(o.input, ec).string();
    auto platform = MakePosixPlatform();
    CStoreSettingsWriter writer(store);
    CConverter job(*platform, prompt, writer);
    FillConverter(s, ec ? o.input : input, dateFormat, job);
    if (job.Run() == 0) {
        out << "Conversion completed successfully!\n";
        return 0;
    }
    out << "Conversion failed.\n";
    return kExitFailed;
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
    std::vector<ListedSecurity> securities = ListPortfolio(*platform, dir);
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
    std::string recordDir;
    if (FindSecurity(*platform, dir, symbol, &record, &recordDir) != kFindFound) {
        err << "tarvel-cli: no security " << symbol << " in " << dir << "\n";
        return kExitFailed;
    }
    int fileNumber = record[kRecFileNumber];
    std::size_t length = record[kRecRecordLength];
    std::optional<std::string> dataName = platform->FindName(recordDir, DataFileName(fileNumber));
    Bytes data;
    if (length < 4 || length > 28 || length % 4 != 0 || !dataName ||
        !ReadFileBytes(*platform, recordDir + *dataName, &data) || data.size() < length) {
        err << "tarvel-cli: cannot read " << recordDir << DataFileName(fileNumber) << "\n";
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
    if (*list) return RunList(listDir, out, err);
    return RunExport(exportDir, exportSymbol, exportOutput, out, err);
}

}  // namespace tarvel
