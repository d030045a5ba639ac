// Staging a removal or a renaming in a CPortfolio: changes to the directory
// files that no conversion makes, committed as a conversion is.
#include <algorithm>
#include <optional>

#include "pricedb/find_security.h"
#include "pricedb/portfolio.h"
#include "pricedb/portfolio_state.h"

namespace tarvel {

int CPortfolio::StageRemove(const Entry& entry) {
    State& s = *m_state;
    const int n = entry.security.fileNumber;
    std::vector<State::Removed> files;
    for (const std::string& wanted : entry.inXMaster ? std::vector{MwdFileName(n)}
                                                     : std::vector{DataFileName(n), DescriptionFileName(n)}) {
        std::optional<std::string> name = m_platform.FindName(m_strDirectory, wanted);
        if (!name) continue;
        const std::string path = JoinPath(m_strDirectory, *name);
        // A link would be kept as a link, and undo puts back only files.
        if (CPlatform::FileInfo info = m_platform.Examine(path); info.symbolicLink || !info.regular) {
            m_prompt.MessageBox("The price file " + path + " is " +
                                    (info.symbolicLink ? "a symbolic link" : "not a regular file") +
                                    "; Tarvel does not remove it. " + entry.security.symbol +
                                    " was not removed.",
                                kMbOk);
            return 1;
        }
        Bytes bytes;
        if (CStatus status = ReadFileBytes(m_platform, path, &bytes, kUndoRecordReadLimit * 4); !status) {
            m_prompt.MessageBox(OpenFailureMessage(status, "Cannot read", path) + " " +
                                    entry.security.symbol + " was not removed.",
                                kMbOk);
            return 1;
        }
        files.push_back({*name, bytes.size(), HashBytes(bytes)});
    }
    s.removed.insert(s.removed.end(), files.begin(), files.end());
    if (entry.inXMaster) {
        const auto at = s.xmaster.begin() + static_cast<long>(entry.index * kXMasterRecordSize);
        s.xmaster.erase(at, at + static_cast<long>(kXMasterRecordSize));
        SetXMasterCounters(s.xmaster.data(), DecodeFixed16(&s.xmaster[kXHeaderCount]) - 1,
                           DecodeFixed16(&s.xmaster[kXHeaderNextNumber]));
        s.xmasterChanged = true;
    } else {
        const auto at = s.master.begin() + static_cast<long>(entry.index * kMasterRecordSize);
        s.master.erase(at, at + static_cast<long>(kMasterRecordSize));
        // The mark counts down with the count, as a new security counts
        // both up, and never below it.
        MasterHeader counters = DecodeMasterHeader(s.master.data());
        counters.securityCount = static_cast<std::int16_t>(counters.securityCount - 1);
        counters.fileNumberMark =
            std::max(counters.securityCount, static_cast<std::int16_t>(counters.fileNumberMark - 1));
        EncodeMasterHeader(counters, s.master.data());
        s.masterChanged = true;
        if (s.hasEMaster) {
            const auto eat = s.emaster.begin() + static_cast<long>(entry.index * kEMasterRecordSize);
            s.emaster.erase(eat, eat + static_cast<long>(kEMasterRecordSize));
            SetEMasterCounters(s.emaster.data(), counters.securityCount, counters.fileNumberMark);
            s.emasterChanged = true;
        }
    }
    const bool inXMaster = entry.inXMaster;
    const int index = entry.index;
    s.entries.erase(s.entries.begin() + (&entry - s.entries.data()));
    for (Entry& e : s.entries) {
        if (e.inXMaster == inXMaster && e.index > index) --e.index;
    }
    s.maintained = true;
    return 0;
}

int CPortfolio::StageRename(const Entry& entry, const std::string& symbol, const std::string& name) {
    State& s = *m_state;
    const std::size_t nameWidth = entry.inXMaster || s.hasEMaster ? kLongNameWidth : kTextFieldWidth;
    std::string problem;
    if (symbol.find_first_not_of(' ') == std::string::npos) {
        problem = "A symbol may not be blank.";
    } else if (symbol.size() > kMaxSymbolBytes) {
        problem = "The symbol " + symbol + " is longer than " + std::to_string(kMaxSymbolBytes) + " bytes.";
    } else if (std::string why = NameTextProblem(symbol); !why.empty()) {
        problem = "A symbol may not hold " + why + ".";
    } else if (name.size() > nameWidth) {
        problem = "The name " + name + " is longer than " + std::to_string(nameWidth) +
                  " bytes, the most that " +
                  (entry.inXMaster ? JoinPath(m_strDirectory, kXMasterName)
                   : s.hasEMaster  ? JoinPath(m_strDirectory, kEMasterName)
                                   : m_strMasterPath) +
                  " holds.";
    } else if (std::string nameWhy = NameTextProblem(name); !nameWhy.empty()) {
        problem = "A name may not hold " + nameWhy + ".";
    } else if (!IsValidUtf8(symbol) || !IsValidUtf8(name)) {
        problem = "A symbol or name must be UTF-8 text.";
    }
    if (problem.empty() && symbol == entry.security.symbol && name == entry.security.name)
        problem = entry.security.symbol + " has that symbol and name already.";
    // Another security that a conversion of `symbol` would take for a
    // duplicate, or that a look-up of the new name would find instead.
    for (const Entry& e : s.entries) {
        if (!problem.empty()) break;
        if (&e == &entry) continue;
        auto matches = [&](const std::string& text) {
            return e.inXMaster ? EqualIgnoringAsciiCase(e.security.symbol, text) ||
                                     EqualIgnoringAsciiCase(e.security.name, text)
                               : MasterRecordMatches(&s.master[e.index * kMasterRecordSize], text);
        };
        if (matches(symbol)) {
            problem = symbol + " is taken: " + e.security.symbol + " (" + e.security.name + ") has it.";
        } else if (!name.empty() && !EqualIgnoringAsciiCase(name, symbol) && matches(name)) {
            problem = "The name " + name + " would find " + e.security.symbol + " (" + e.security.name +
                      ") as well.";
        }
    }
    // A sub-portfolio's securities count as a conversion counts them.
    if (problem.empty() && HasSubPortfolios()) {
        MasterRecordBytes found;
        std::string where, unread;
        // A match in this MASTER is the security itself, or one found above.
        const std::string top = WithSeparator(m_strDirectory);
        if (FindSecurity(m_platform, m_strDirectory, symbol, &found, &where, &unread) == kFindFound &&
            where != top) {
            problem = symbol + " is taken: a security of " + where + " has it.";
        }
    }
    if (!problem.empty()) {
        m_prompt.MessageBox(problem + " " + entry.security.symbol + " was not renamed.", kMbOk);
        return 1;
    }
    Entry& e = s.entries[static_cast<std::size_t>(&entry - s.entries.data())];
    e.security.symbol = symbol;
    e.security.name = name;
    if (e.inXMaster) {
        XMasterRecordBytes text = EncodeXMasterRecord(e.security);
        std::uint8_t* r = &s.xmaster[e.index * kXMasterRecordSize];
        std::copy_n(&text[kXRecSymbol], kXSymbolWidth, r + kXRecSymbol);
        std::copy_n(&text[kXRecName], kLongNameWidth, r + kXRecName);
        s.xmasterChanged = true;
    } else {
        MasterRecord record;
        record.name = name;
        record.symbol = symbol;
        MasterRecordBytes text = EncodeMasterRecord(record);
        std::uint8_t* r = &s.master[e.index * kMasterRecordSize];
        std::copy_n(&text[kRecName], kTextFieldWidth, r + kRecName);
        std::copy_n(&text[kRecSymbol], kMaxSymbolBytes, r + kRecSymbol);
        s.masterChanged = true;
        if (s.hasEMaster) {
            EMasterRecordBytes etext = EncodeEMasterRecord(e.security);
            std::uint8_t* er = &s.emaster[e.index * kEMasterRecordSize];
            std::copy_n(&etext[kERecSymbol], kXSymbolWidth, er + kERecSymbol);
            std::copy_n(&etext[kERecName], kTextFieldWidth, er + kERecName);
            std::copy_n(&etext[kERecLongName], kLongNameWidth, er + kERecLongName);
            s.emasterChanged = true;
        }
    }
    s.maintained = true;
    return 0;
}

}  // namespace tarvel
