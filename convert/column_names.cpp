#include "convert/column_names.h"

#include <iterator>

namespace tarvel {
namespace {

// Names that may stand for the close, best first.
constexpr std::string_view kCloseNames[] = {
    "close",   "schluss",   "schlusskurs", "cl\xC3\xB4ture", "cloture", "cierre",        "chiusura",
    "slot",    "slotkoers", "closing",     "close/last",     "settle",  "settlement",    "last",
    "latest",  "ltp",       "letzter",     "zuletzt",        "dernier", "\xC3\xBAltimo", "ultimo",
    "laatste", "pxlast",    "price",       "kurs",           "prix",    "precio",        "prezzo"};

struct NamedRole {
    std::string_view name;
    int role;
};
constexpr NamedRole kNames[] = {
    {"date", kDate},
    {"datum", kDate},
    {"time", kRoleTime},
    {"zeit", kRoleTime},
    {"open", kOpen},
    {"eröffnung", kOpen},
    {"eroeffnung", kOpen},
    {"tradedate", kDate},
    {"settlementdate", kRoleIgnored},
    {"valuedate", kRoleIgnored},
    {"fecha", kDate},
    {"eröffn", kOpen},
    {"ouv", kOpen},
    {"openen", kOpen},
    {"data", kDate},
    {"erster", kOpen},
    {"ouverture", kOpen},
    {"apertura", kOpen},
    {"openingskoers", kOpen},
    {"high", kHigh},
    {"hoch", kHigh},
    {"plushaut", kHigh},
    {"m\xC3\xA1ximo", kHigh},
    {"maximo", kHigh},
    {"massimo", kHigh},
    {"hoog", kHigh},
    {"low", kLow},
    {"tief", kLow},
    {"plusbas", kLow},
    {"m\xC3\xADnimo", kLow},
    {"minimo", kLow},
    {"laag", kLow},
    {"st\u00fccke", kVolume},
    {"volumi", kVolume},
    {"adjusted", kRoleIgnored},
    {"average", kRoleIgnored},
    {"totaltradedquantity", kVolume},
    {"tradedquantity", kVolume},
    {"tottrdqty", kVolume},
    {"quantity", kVolume},
    {"variation", kRoleIgnored},
    {"var%", kRoleIgnored},
    {"var", kRoleIgnored},
    {"volume", kVolume},
    {"vol", kVolume},
    {"volumen", kVolume},
    {"umsatz", kVolume},
    {"openinterest", kOpenInt},
    {"openint", kOpenInt},
    {"oi", kOpenInt},
    {"ticker", kRoleTicker},
    {"symbol", kRoleTicker},
    {"isin", kRoleTicker},
    {"instrument", kRoleTicker},
    {"security", kRoleTicker},
    {"ric", kRoleTicker},
    {"code", kRoleTicker},
    {"per", kRolePeriod},
    {"period", kRolePeriod},
    {"sharestraded", kVolume},
    {"numberofshares", kVolume},
    {"noofshares", kVolume},
    {"totalvolume", kVolume},
    {"volume(shares)", kVolume},
    // Columns beside the prices that are none of the fields, and must not
    // be taken for one by their place.
    {"adjclose", kRoleIgnored},
    {"adjustedclose", kRoleIgnored},
    {"change", kRoleIgnored},
    {"chg", kRoleIgnored},
    {"%change", kRoleIgnored},
    {"%chg", kRoleIgnored},
    {"changepercent", kRoleIgnored},
    {"change%", kRoleIgnored},
    {"previousclose", kRoleIgnored},
    {"prevclose", kRoleIgnored},
    {"trades", kRoleIgnored},
    {"numberoftrades", kRoleIgnored},
    {"nooftrades", kRoleIgnored},
    {"turnover", kRoleIgnored},
    {"vwap", kRoleIgnored},
    {"marketcap", kRoleIgnored},
    {"closetime", kRoleIgnored},
    {"quotevolume", kRoleIgnored},
    {"quoteassetvolume", kRoleIgnored},
};

}  // namespace

std::string NormalName(std::string_view name) {
    std::string normal;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (c == '<' || c == '>' || c == '.' || c == ' ' || c == '_' || c == '-' || c == '"' || c == '*')
            continue;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        // Upper-case Latin-1 letters (Ö, É, Á, ...), in UTF-8.
        if (c == '\xC3' && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) <= 0x9E &&
            name[i + 1] != '\x97') {
            normal += c;
            normal += static_cast<char>(name[++i] + 0x20);
            continue;
        }
        normal += c;
    }
    return normal;
}

int RoleOf(std::string_view name, int* rank) {
    std::string normal = NormalName(name);
    // "OPEN PRICE", "Close Price": the field before the word.
    if (normal.size() > 5 && normal.ends_with("price")) normal.resize(normal.size() - 5);
    for (std::size_t i = 0; i < std::size(kCloseNames); ++i) {
        if (normal == kCloseNames[i]) {
            *rank = static_cast<int>(i);
            return kClose;
        }
    }
    for (const NamedRole& n : kNames) {
        if (normal != n.name) continue;
        // A count of shares says more than a "Volume" that may be a turnover.
        if (n.role == kVolume) *rank = normal.starts_with("vol") || normal == "umsatz" ? 1 : 0;
        return n.role;
    }
    return kRoleUnknown;
}

}  // namespace tarvel
