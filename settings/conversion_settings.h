// The twenty values of a conversion as the settings store keeps them, the
// checks the settings dialog makes when it takes them, and the filling of a
// conversion job from them. Shared by the desktop program's convert command
// and by tarvel-cli.
#pragma once

#include <optional>
#include <string>

#include "convert/converter.h"
#include "convert/detect.h"
#include "settings/settings_store.h"

namespace tarvel {

struct CConversionSettings {
    std::string strDateFormat = "MMDDYY";
    int nExist = 0;         // 0 "Use Existing Master", 1 "Make New Master"
    int nDelimiter = 0;     // 0 comma, 1 tab, 2 space, 3 semicolon, 4 pipe
    int bDecimalComma = 0;  // numbers written with a decimal comma
    int bUpdate = 0;        // a symbol the portfolio holds gets the newer rows
    std::string strPathOut;
    std::string strSymbol;
    std::string strName;
    int bSkipOn = 0;
    int nSkipRows = 0;
    // Per field in field order; the Date and Close flags are always 1.
    int bFieldOn[kFieldCount] = {1, 1, 1, 1, 1, 1, 1};
    int nColumn[kFieldCount] = {1, 2, 3, 4, 5, 6, 7};  // 1-based
};

// Records what a conversion wrote in the settings store.
class CStoreSettingsWriter : public CSettingsWriter {
public:
    explicit CStoreSettingsWriter(CSettingsStore& store) : m_store(store) {}
    void WriteString(const char* section, const char* name, const std::string& value) override {
        m_store.WriteString(section, name, value);
    }

private:
    CSettingsStore& m_store;
};

// The delimiter character of a "Delimiter" value (',' for one out of range),
// and the value of a delimiter character (0 for one Tarvel does not offer).
char DelimiterCharacter(int delimiter);
int DelimiterValue(char delimiter);

// Loads the twenty-one values in the order the convert command reads them, each
// with its default.
CConversionSettings LoadConversionSettings(const CSettingsStore& store);

// Writes the eighteen "Setting" values: "DateFormat", then "Delimiter",
// "Exist", "SkipOn", "SkipRows", "DateCol", "OpenOn", "OpenCol", "HiOn",
// "HiCol", "LoOn", "LoCol", "CloCol", "VolOn", "VolCol", "OIOn", "OICol",
// "DecimalComma", "Update".
void SaveSettingValues(CSettingsStore& store, const CConversionSettings& settings);

// Fills `job` as the convert command does: paths, symbol, name, delimiter,
// decimal comma, master choice, skip rows, flags and zero-based columns. `pathIn` and
// `dateFormat` come from the view (or the command line).
void FillConverter(const CConversionSettings& settings, const std::string& pathIn, int dateFormat,
                   CConverter& job);

// The settings the dialog opens with for the file at `pathIn`: `saved`, with
// the symbol made from the file's name (SymbolFromFileName; empty when the
// name makes none), "Use Existing Master" exactly when
// `masterInPathOut` says the saved directory holds a MASTER, and, when the
// layout was found, what detection found: fields and columns, delimiter,
// decimal comma, rows to skip, and the date format unless detection left the
// order of day and month undecided. A field the file lacks is cleared with
// column 1, as the dialog clears one. When the layout was not found, those
// are the defaults, never the saved layout of another file. The Name is the
// symbol; the paths stay as saved.
CConversionSettings PresetFromLayout(const CConversionSettings& saved, const CDetectedLayout& layout,
                                     const std::string& pathIn, bool masterInPathOut);

// `text` in upper case as a symbol is kept; text that is no UTF-8 keeps its
// bytes, only its ASCII letters raised.
std::string UpperSymbol(const std::string& text);

// Whether a file's name (without directory and extension) can stand for a
// symbol: not what sites call a download that names no security
// (HistoricalData, download, data, export, quotes, ...), nor one carrying a
// date or date range or a browser's copy number ("ACME (1)").
bool NameMakesSymbol(std::string_view stem);

// The file's name without its directory and its last extension, upper-cased
// and cut to at most kMaxSymbolBytes bytes at a whole character; empty when
// the name makes no symbol.
std::string SymbolFromFileName(const std::string& path);

// Messages of the checks.
inline constexpr const char* kDuplicateColumnsMessage = "Duplicate columns specified\nCorrect or disable";
inline constexpr const char* kInvalidSymbolMessage = "You did not enter a valid symbol";
inline constexpr const char* kEnterPathMessage = "Please enter path";
std::string RangeMessage(int low, int high);
std::string LengthMessage(int limit);
// For the symbol and name, whose limits count the bytes stored.
std::string ByteLengthMessage(int limit);
inline constexpr const char* kWholeNumberMessage = "Please enter a positive whole number.";

// Limits the dialog enforces. Symbol (kMaxSymbolBytes) and name count UTF-8
// bytes, as stored.
// Names past 16 bytes are kept whole in EMASTER and XMASTER; MASTER holds
// the first 16.
inline constexpr int kMaxNameLength = 45;
inline constexpr int kMaxPathLength = 200;
inline constexpr int kMaxDateFormatLength = 12;
inline constexpr int kMaxSkipRows = 200;

// Number of characters (not bytes) of UTF-8 text.
int CharacterCount(const std::string& text);

// Which value a check refused, so that each program can name it its own way:
// the dialog shows strMessage beside the field, tarvel-cli names its option.
enum class ESettingValue {
    kColumn,
    kName,
    kPathOut,
    kSymbol,
    kSkipRows,
    kDateFormat,
    kDuplicateColumn,
    kBlankSymbol,
    kBlankPath,
    kSymbolText,
    kNameText
};
struct CSettingProblem {
    ESettingValue value;
    // kColumn: the field whose column is out of range. kDuplicateColumn: the
    // later field in field order whose column an earlier one already uses.
    int nField = -1;
    int nOtherField = -1;    // kDuplicateColumn: that earlier field
    std::string strMessage;  // the dialog's message
};

// One of the checks below: of the column of `field` (kColumn), or of the
// name, path, symbol, skip rows or date format. The dialog makes them one by
// one as it takes each value from its control.
std::optional<CSettingProblem> CheckTakenValue(const CConversionSettings& settings, ESettingValue value,
                                               int field);
// The checks of taking the values, member by member in the dialog's order:
// columns 1..20, then name, path and symbol lengths, skip rows 0..200, date
// format length. Returns the first that fails.
std::optional<CSettingProblem> FindTakenProblem(const CConversionSettings& settings);
// The message of FindTakenProblem.
std::optional<std::string> CheckTakenValues(const CConversionSettings& settings);

// Whether two of the columns of Date, Close and the enabled fields are equal.
bool HasDuplicateColumns(const CConversionSettings& settings);

// OK's checks after taking: duplicate columns among Date, Close and the
// enabled fields; a symbol left empty by trimming; a symbol or name that
// holds "<DIR>" or a control character; an empty or blank path.
// Trims the symbol on the right and upper-cases it. Returns the first that
// fails.
std::optional<CSettingProblem> NormaliseAndFindProblem(CConversionSettings& settings);
// The message of NormaliseAndFindProblem.
std::optional<std::string> CheckAndNormalise(CConversionSettings& settings);

}  // namespace tarvel
