// tarvel-cli check: every problem of a portfolio, one line each, changing
// nothing.
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/text_output.h"
#include "pricedb/journal.h"
#include "pricedb/one_state.h"
#include "pricedb/portfolio_check.h"

namespace tarvel {

int RunCheck(const std::string& dir, bool json, std::ostream& out, std::ostream& err) {
    auto platform = MakeSystemPlatform();
    if (!platform->IsDirectory(dir)) {
        err << "tarvel-cli: " << dir << " is not a directory\n";
        return kExitUsage;
    }
    // A commit midway would show as problems that are none: the files are
    // read again until they are of one state. A journal that stays is one
    // of the problems to report.
    PortfolioCheck check;
    auto read = [&] { check = CheckPortfolioFiles(*platform, dir); };
    if (!ReadOneState(*platform, dir, read, 2000)) {
        if (!platform->FindName(dir, kJournalName)) {
            err << "tarvel-cli: " << dir << " kept changing while it was read; try again\n";
            return kExitFailed;
        }
        read();
    }
    const int problems = check.Problems(), warnings = check.Warnings();
    if (json) {
        out << "{\"directory\": " << JsonString(dir) << ", \"securities\": " << check.securities
            << ", \"problems\": " << problems << ", \"warnings\": " << warnings << ", \"findings\": [";
        bool first = true;
        for (const PortfolioFinding& f : check.findings) {
            out << (first ? "\n" : ",\n") << "  {\"file\": " << JsonString(f.file)
                << ", \"text\": " << JsonString(f.text) << ", \"warning\": " << (f.warning ? "true" : "false")
                << "}";
            first = false;
        }
        out << (first ? "]}\n" : "\n]}\n");
    } else {
        for (const PortfolioFinding& f : check.findings)
            out << f.file << ": " << (f.warning ? "warning: " : "") << f.text << "\n";
        auto count = [](int n, const char* one, const char* many) {
            return std::to_string(n) + " " + (n == 1 ? one : many);
        };
        out << dir << ": " << count(check.securities, "security", "securities") << " checked; "
            << (problems == 0 ? std::string("no problems") : count(problems, "problem", "problems")) << ", "
            << count(warnings, "warning", "warnings") << ".\n";
    }
    return problems == 0 ? 0 : kExitFailed;
}

}  // namespace tarvel
