// tarvel-cli list: every security of a portfolio tree, as a table or JSON.
#include <iomanip>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/text_output.h"
#include "pricedb/extended_masters.h"
#include "pricedb/find_security.h"
#include "pricedb/layout.h"
#include "pricedb/one_state.h"
#include "pricedb/price_file.h"

namespace tarvel {

int RunList(const std::string& dir, bool json, std::ostream& out, std::ostream& err) {
    auto platform = MakeSystemPlatform();
    if (!platform->IsDirectory(dir)) {
        err << "tarvel-cli: " << dir << " is not a directory\n";
        return kExitFailed;
    }
    CompleteACommittedConversion(*platform, dir, &err);
    std::string problem;
    std::vector<ListedSecurity> securities;
    std::vector<long> counts;  // price records; -1 no price file, -2 a damaged one
    // The records of every security and the directory files that list them,
    // as one commit left them.
    const bool settled = ReadOneState(*platform, dir, [&] {
        problem.clear();
        securities = ListPortfolio(*platform, dir, &problem);
        counts.clear();
        for (const ListedSecurity& s : securities) {
            const std::size_t length =
                s.inXMaster ? 4 * static_cast<std::size_t>(s.fieldCount) : s.record[kRecRecordLength];
            counts.push_back(CountPriceRecords(*platform, s.directory, s.dataFile, length));
        }
    });
    if (!settled) {
        err << "tarvel-cli: " << dir << " kept changing while it was read; try again\n";
        return kExitFailed;
    }
    if (!problem.empty()) {
        err << "Tarvel: " << problem << "\n";
        return kExitFailed;
    }
    std::string top = WithSeparator(dir);
    std::string current = top;
    if (json) {
        out << "[";
    } else {
        out << "  n  symbol            name              fields  first       last        records\n";
    }
    bool first = true;
    for (std::size_t i = 0; i < securities.size(); ++i) {
        const ListedSecurity& s = securities[i];
        const SecurityEntry& e = s.entry;
        const long count = counts[i];
        const std::string records = count == -2 ? "damaged" : count < 0 ? "-" : std::to_string(count);
        if (json) {
            out << (first ? "\n" : ",\n") << "  {\"number\": " << e.fileNumber
                << ", \"symbol\": " << JsonString(e.symbol) << ", \"name\": " << JsonString(e.name)
                << ", \"fields\": " << s.fieldCount << ", \"first\": " << JsonString(DayText(e.firstDay))
                << ", \"last\": " << JsonString(DayText(e.lastDay))
                << ", \"records\": " << (count < 0 ? std::string("null") : records)
                << (count == -2 ? ", \"damaged\": true" : "")
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
        out << std::setw(3) << e.fileNumber << "  " << std::left << std::setw(16) << e.symbol << "  "
            << std::setw(16) << CutToCharBoundary(e.name, kTextFieldWidth) << "  " << std::right
            << std::setw(6) << s.fieldCount << "  " << std::left << std::setw(10) << DayText(e.firstDay)
            << "  " << std::setw(10) << DayText(e.lastDay) << "  " << std::right << std::setw(7) << records
            << "\n";
    }
    if (json) out << (first ? "]\n" : "\n]\n");
    if (securities.empty()) err << "tarvel-cli: no securities in " << dir << "\n";
    return securities.empty() ? kExitFailed : 0;
}

}  // namespace tarvel
