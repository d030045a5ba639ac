#include "settings/conversion_settings.h"

#include <QString>
#include <algorithm>
#include <filesystem>
#include <set>

#include "convert/date_text.h"
#include "platform/ascii.h"
#include "platform/file_util.h"

namespace tarvel {
namespace {

struct FieldKeys {
    const char* on;  // nullptr for Date and Close
    const char* column;
    int defaultColumn;
};

constexpr FieldKeys kKeys[kFieldCount] = {
    {nullptr, "DateCol", 1}, {"OpenOn", "OpenCol", 2}, {"HiOn", "HiCol", 3}, {"LoOn", "LoCol", 4},
    {nullptr, "CloCol", 5},  {"VolOn", "VolCol", 6},   {"OIOn", "OICol", 7}};

constexpr char kDelimiterCharacters[] = {',', '\t', ' ', ';', '|'};

}  // namespace

char DelimiterCharacter(int delimiter) {
    return delimiter >= 0 && delimiter < static_cast<int>(std::size(kDelimiterCharacters))
               ? kDelimiterCharacters[delimiter]
               : ',';
}

int DelimiterValue(char delimiter) {
    for (std::size_t i = 0; i < std::size(kDelimiterCharacters); ++i) {
        if (kDelimiterCharacters[i] == delimiter) return static_cast<int>(i);
    }
    return 0;
}

CConversionSettings LoadConversionSettings(const CSettingsStore& store) {
    CConversionSettings s;
    s.strDateFormat = store.GetString("Setting", "DateFormat", "MMDDYY");
    s.nExist = store.GetInt("Setting", "Exist", 0);
    s.nDelimiter = store.GetInt("Setting", "Delimiter", 0);
    s.bDecimalComma = store.GetInt("Setting", "DecimalComma", 0);
    s.bUpdate = store.GetInt("Setting", "Update", 0);
    s.strPathOut = store.GetString("Convert", "PathOut", "");
    s.strSymbol = store.GetString("Convert", "Symbol", "");
    s.strName = store.GetString("Convert", "Name", "");
    s.bSkipOn = store.GetInt("Setting", "SkipOn", 0);
    s.nSkipRows = store.GetInt("Setting", "SkipRows", 0);
    for (int f = 0; f < kFieldCount; ++f) {
        if (kKeys[f].on != nullptr) s.bFieldOn[f] = store.GetInt("Setting", kKeys[f].on, 1);
        s.nColumn[f] = store.GetInt("Setting", kKeys[f].column, kKeys[f].defaultColumn);
    }
    return s;
}

void SaveSettingValues(CSettingsStore& store, const CConversionSettings& s) {
    store.WriteString("Setting", "DateFormat", s.strDateFormat);
    store.WriteInt("Setting", "Delimiter", s.nDelimiter);
    store.WriteInt("Setting", "Exist", s.nExist);
    store.WriteInt("Setting", "SkipOn", s.bSkipOn);
    store.WriteInt("Setting", "SkipRows", s.nSkipRows);
    for (int f = 0; f < kFieldCount; ++f) {
        if (kKeys[f].on != nullptr) store.WriteInt("Setting", kKeys[f].on, s.bFieldOn[f]);
        store.WriteInt("Setting", kKeys[f].column, s.nColumn[f]);
    }
    store.WriteInt("Setting", "DecimalComma", s.bDecimalComma);
    store.WriteInt("Setting", "Update", s.bUpdate);
}

void FillConverter(const CConversionSettings& s, const std::string& pathIn, int dateFormat, CConverter& job) {
    job.m_strPathIn = pathIn;
    job.m_nDateFormat = dateFormat;
    job.SetPathOut(s.strPathOut);
    job.SetSymbol(s.strSymbol);
    job.SetName(s.strName);
    job.SetDelimiter(DelimiterCharacter(s.nDelimiter));
    job.m_bDecimalComma = s.bDecimalComma != 0 ? 1 : 0;
    job.m_bUpdate = s.bUpdate != 0 ? 1 : 0;
    job.m_bSkipOn = s.bSkipOn;
    job.m_nSkipRows = s.nSkipRows;
    job.m_bUseExistingMaster = s.nExist == 0 ? 1 : 0;
    for (int f = 0; f < kFieldCount; ++f) {
        job.m_bFieldOn[f] = f == kDate || f == kClose ? 1 : s.bFieldOn[f];
        job.m_nFieldColumn[f] = s.nColumn[f] - 1;
    }
}

std::string UpperSymbol(const std::string& text) {
    QString decoded = QString::fromStdString(text);
    if (decoded.toStdString() == text) return decoded.toUpper().toStdString();
    // Text that is no UTF-8 keeps its bytes, only ASCII letters raised:
    // decoding it would put characters in the symbol that the text lacks.
    return AsciiUpper(text);
}

bool NameMakesSymbol(std::string_view stem) {
    std::string word;
    for (char c : stem) {
        if (c != ' ' && c != '_' && c != '-')
            word += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    // What a download is called when the site names no security.
    for (const char* generic :
         {"historicaldata", "historicalprices", "download", "data", "export", "quotes", "table", "chart"}) {
        if (word == generic) return false;
    }
    // A browser's copy number: "ACME (1)".
    if (stem.ends_with(")") && stem.rfind(" (") != std::string_view::npos) return false;
    // A date or a date range: six digits in a row, or 2024-01-05.
    int digits = 0, dated = 0;
    for (std::size_t i = 0; i < stem.size(); ++i) {
        digits = stem[i] >= '0' && stem[i] <= '9' ? digits + 1 : 0;
        if (digits >= 6) return false;
        if (i >= 9 && stem[i - 5] == '-' && stem[i - 2] == '-') ++dated;
    }
    return dated == 0 && !word.empty();
}

std::string SymbolFromFileName(const std::string& path) {
    const std::string stem = FileStem(path);
    if (!NameMakesSymbol(stem)) return {};
    std::string symbol = UpperSymbol(stem);
    return std::string(CutToCharBoundary(symbol, kMaxSymbolBytes));
}

CConversionSettings PresetFromLayout(const CConversionSettings& saved, const CDetectedLayout& layout,
                                     const std::string& pathIn, bool masterInPathOut) {
    CConversionSettings s = saved;
    // A name that makes no symbol leaves the Symbol empty: the saved one is
    // another file's, as is the saved Name.
    s.strSymbol = SymbolFromFileName(pathIn);
    s.strName = s.strSymbol;
    s.nExist = masterInPathOut ? 0 : 1;
    if (!layout.m_bFound) {
        // Nothing of another file's layout is shown as this file's.
        const CConversionSettings fresh;
        s.nDelimiter = fresh.nDelimiter;
        s.bDecimalComma = fresh.bDecimalComma;
        s.bSkipOn = fresh.bSkipOn;
        s.nSkipRows = fresh.nSkipRows;
        s.strDateFormat = fresh.strDateFormat;
        std::copy(std::begin(fresh.bFieldOn), std::end(fresh.bFieldOn), std::begin(s.bFieldOn));
        std::copy(std::begin(fresh.nColumn), std::end(fresh.nColumn), std::begin(s.nColumn));
        return s;
    }
    s.nDelimiter = DelimiterValue(layout.m_cDelimiter);
    s.bDecimalComma = layout.m_bDecimalComma ? 1 : 0;
    s.bSkipOn = layout.m_nSkipRows > 0 ? 1 : 0;
    s.nSkipRows = layout.m_nSkipRows;
    if (layout.m_nDateFormat >= 1 && layout.m_nDateFormat <= kDateFormatCount) {
        s.strDateFormat = kDateFormatNames[layout.m_nDateFormat - 1];
    }
    for (int f = 0; f < kFieldCount; ++f) {
        s.bFieldOn[f] = f == kDate || f == kClose || layout.HasField(f) ? 1 : 0;
        s.nColumn[f] = layout.HasField(f) ? layout.m_nFieldColumn[f] + 1 : 1;
    }
    return s;
}

std::string RangeMessage(int low, int high) {
    return "Please enter an integer between " + std::to_string(low) + " and " + std::to_string(high) + ".";
}

std::string ByteLengthMessage(int limit) {
    return "Please enter no more than " + std::to_string(limit) +
           " bytes (letters beyond ASCII take two to four bytes each).";
}

std::string LengthMessage(int limit) {
    return "Please enter no more than " + std::to_string(limit) + " characters.";
}

int CharacterCount(const std::string& text) {
    int count = 0;
    for (unsigned char c : text) count += (c & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

std::optional<CSettingProblem> CheckTakenValue(const CConversionSettings& s, ESettingValue value, int field) {
    using V = ESettingValue;
    switch (value) {
        case V::kColumn:
            if (s.nColumn[field] < 1 || s.nColumn[field] > kMaxColumns) {
                return CSettingProblem{V::kColumn, field, -1, RangeMessage(1, kMaxColumns)};
            }
            break;
        case V::kName:
            if (static_cast<int>(s.strName.size()) > kMaxNameLength) {
                return CSettingProblem{V::kName, -1, -1, ByteLengthMessage(kMaxNameLength)};
            }
            break;
        case V::kPathOut:
            if (CharacterCount(s.strPathOut) > kMaxPathLength) {
                return CSettingProblem{V::kPathOut, -1, -1, LengthMessage(kMaxPathLength)};
            }
            break;
        case V::kSymbol:
            if (s.strSymbol.size() > kMaxSymbolBytes) {
                return CSettingProblem{V::kSymbol, -1, -1,
                                       ByteLengthMessage(static_cast<int>(kMaxSymbolBytes))};
            }
            break;
        case V::kSkipRows:
            if (s.nSkipRows < 0 || s.nSkipRows > kMaxSkipRows) {
                return CSettingProblem{V::kSkipRows, -1, -1, RangeMessage(0, kMaxSkipRows)};
            }
            break;
        case V::kDateFormat:
            if (CharacterCount(s.strDateFormat) > kMaxDateFormatLength) {
                return CSettingProblem{V::kDateFormat, -1, -1, LengthMessage(kMaxDateFormatLength)};
            }
            break;
        default:
            break;
    }
    return std::nullopt;
}

std::optional<CSettingProblem> FindTakenProblem(const CConversionSettings& s) {
    using V = ESettingValue;
    for (int f = 0; f < kFieldCount; ++f) {
        if (auto problem = CheckTakenValue(s, V::kColumn, f)) return problem;
    }
    for (V value : {V::kName, V::kPathOut, V::kSymbol, V::kSkipRows, V::kDateFormat}) {
        if (auto problem = CheckTakenValue(s, value, -1)) return problem;
    }
    return std::nullopt;
}

std::optional<std::string> CheckTakenValues(const CConversionSettings& s) {
    std::optional<CSettingProblem> problem = FindTakenProblem(s);
    return problem ? std::optional<std::string>(problem->strMessage) : std::nullopt;
}

namespace {

// The first field, in field order, whose column an earlier counted field
// already uses; stores that earlier field in *earlier.
int FindDuplicateColumn(const CConversionSettings& s, int* earlier) {
    auto counts = [&s](int f) { return f == kDate || f == kClose || s.bFieldOn[f] != 0; };
    for (int f = 0; f < kFieldCount; ++f) {
        for (int e = 0; e < f && counts(f); ++e) {
            if (counts(e) && s.nColumn[e] == s.nColumn[f]) {
                *earlier = e;
                return f;
            }
        }
    }
    return -1;
}

}  // namespace

bool HasDuplicateColumns(const CConversionSettings& s) {
    int earlier = -1;
    return FindDuplicateColumn(s, &earlier) >= 0;
}

std::optional<CSettingProblem> NormaliseAndFindProblem(CConversionSettings& s) {
    using V = ESettingValue;
    int earlier = -1;
    int later = FindDuplicateColumn(s, &earlier);
    if (later >= 0) return CSettingProblem{V::kDuplicateColumn, later, earlier, kDuplicateColumnsMessage};
    std::size_t end = s.strSymbol.find_last_not_of(' ');
    s.strSymbol.erase(end == std::string::npos ? 0 : end + 1);
    if (s.strSymbol.empty()) return CSettingProblem{V::kBlankSymbol, -1, -1, kInvalidSymbolMessage};
    s.strSymbol = UpperSymbol(s.strSymbol);
    if (std::string why = NameTextProblem(s.strSymbol); !why.empty()) {
        return CSettingProblem{V::kSymbolText, -1, -1, "A symbol may not hold " + why + "."};
    }
    if (std::string why = NameTextProblem(s.strName); !why.empty()) {
        return CSettingProblem{V::kNameText, -1, -1, "A name may not hold " + why + "."};
    }
    if (s.strPathOut.find_first_not_of(' ') == std::string::npos) {
        return CSettingProblem{V::kBlankPath, -1, -1, kEnterPathMessage};
    }
    return std::nullopt;
}

std::optional<std::string> CheckAndNormalise(CConversionSettings& s) {
    std::optional<CSettingProblem> problem = NormaliseAndFindProblem(s);
    return problem ? std::optional<std::string>(problem->strMessage) : std::nullopt;
}

}  // namespace tarvel
