// tarvel-cli export: one security's price records as CSV.
#include <cerrno>
#include <fstream>
#include <string>
#include <vector>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/text_output.h"
#include "pricedb/find_security.h"
#include "pricedb/layout.h"
#include "pricedb/one_state.h"
#include "pricedb/price_file.h"

namespace tarvel {

int RunExport(const std::string& dir, const std::string& symbol, const std::string& output, std::ostream& out,
              std::ostream& err) {
    auto platform = MakeSystemPlatform();
    if (platform->IsDirectory(dir)) CompleteACommittedConversion(*platform, dir, &err);
    ListedSecurity listed;
    std::string problem, error;
    bool found = false, read = false;
    CPriceFile data;
    // The security's record and its price file as one commit left them.
    const bool settled = ReadOneState(*platform, dir, [&] {
        problem.clear();
        found = FindListedSecurity(*platform, dir, symbol, &listed, &problem);
        const std::size_t length = listed.inXMaster ? 4 * static_cast<std::size_t>(listed.fieldCount)
                                                    : listed.record[kRecRecordLength];
        read = found && data.Read(*platform, listed.directory, listed.dataFile, length, &error);
    });
    if (!settled) {
        err << "tarvel-cli: " << dir << " kept changing while it was read; try again\n";
        return kExitFailed;
    }
    if (!found) {
        if (!problem.empty()) {
            err << "Tarvel: " << problem << "\n";
        } else {
            err << "tarvel-cli: no security " << symbol << " in " << dir << "\n";
        }
        return kExitFailed;
    }
    const std::string& recordDir = listed.directory;
    int fileNumber = listed.entry.fileNumber;
    if (!read) {
        err << "tarvel-cli: cannot read " << recordDir << listed.dataFile << ": " << error << "\n";
        return kExitFailed;
    }
    if (std::string damage = data.Problem(listed.entry.lastDay); !damage.empty()) {
        err << "Tarvel: The price file " << recordDir << listed.dataFile << " is damaged: " << damage
            << ".\n";
        return kExitFailed;
    }
    std::size_t fields = data.FieldCount();
    // Column labels from F<n>.DOP; a missing or short file leaves numbered ones.
    std::vector<std::string> labels = ReadFieldLabels(*platform, recordDir, fileNumber, fields);
    if (labels.empty() && listed.fieldsKnown) {
        // No description file: the labels of the fields EMASTER or XMASTER names.
        for (int f = 0; f < kFieldCount; ++f) {
            if (listed.entry.fieldOn[f]) labels.push_back(kFieldLabels[f]);
        }
        if (labels.size() > fields) labels.resize(fields);
    }
    while (labels.size() < fields) labels.push_back("FIELD" + std::to_string(labels.size() + 1));
    bool firstIsDate = labels[0] == "DATE";

    // The stream keeps no reason of its own; errno, cleared before each
    // step that may fail, holds the system's.
    auto reason = [] { return errno != 0 ? ": " + CStatus::Error(errno).Text() : std::string(); };
    std::ofstream file;
    std::ostream* target = &out;
    if (!output.empty()) {
        errno = 0;
        file.open(output, std::ios::binary | std::ios::trunc);
        if (!file) {
            err << "tarvel-cli: cannot write " << output << reason() << "\n";
            return kExitFailed;
        }
        target = &file;
    }
    errno = 0;
    for (std::size_t i = 0; i < fields; ++i) *target << (i ? "," : "") << labels[i];
    *target << "\n";
    for (std::size_t r = 0; r < data.RecordCount(); ++r) {
        for (std::size_t i = 0; i < fields; ++i) {
            StoredNumber v = data.Field(r, i);
            *target << (i ? "," : "")
                    << (i == 0 && firstIsDate ? DateText(v) : ShortestNumber(DecodeStoredNumber(v)));
        }
        *target << "\n";
    }
    target->flush();
    if (!*target) {
        err << "tarvel-cli: cannot write " << (output.empty() ? "standard output" : output) << reason()
            << "\n";
        return kExitFailed;
    }
    return 0;
}

}  // namespace tarvel
