// tarvel-cli convert of several files or a directory: the engine's batch
// (batch/batch.h) with its messages on standard error and, on a terminal, a
// progress line.
#include <chrono>

#include "batch/batch.h"
#include "batch/count_text.h"
#include "cli/commands.h"
#include "platform/console.h"
#include "platform/file_util.h"
#include "settings/settings_store.h"

namespace tarvel {
namespace {

// The progress line of a batch on standard error, drawn only when that is a
// terminal: "[done/total] rows, rate rows/s  file", redrawn over itself at
// most ten times a second. A message or the summary takes its place.
class CBatchProgress {
public:
    CBatchProgress(std::ostream& err, bool terminal) : m_err(err), m_bTerminal(terminal) {}

    // The rate counts from the first file.
    void Draw(std::size_t done, std::size_t total, long rowsRead, const std::string& file) {
        const auto now = std::chrono::steady_clock::now();
        if (done == 0) m_start = now;
        if (!m_bTerminal || (done != 0 && now - m_drawn < std::chrono::milliseconds(100))) return;
        m_drawn = now;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        m_err << "\r\033[K[" << done << "/" << total << "] " << RowsText(rowsRead) << ", "
              << Grouped(seconds > 0 ? static_cast<long>(static_cast<double>(rowsRead) / seconds) : 0)
              << " rows/s  " << FileName(file) << std::flush;
        m_bShown = true;
    }
    void Clear() {
        if (m_bShown) m_err << "\r\033[K";
        m_bShown = false;
    }
    bool Terminal() const { return m_bTerminal; }

private:
    std::ostream& m_err;
    const bool m_bTerminal;
    bool m_bShown = false;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_drawn = m_start;
};

// Messages as "Tarvel: FILE: text" lines; off a terminal, a line for each
// file stored, in place of the progress line.
class CCliBatchEvents : public CBatchEvents {
public:
    explicit CCliBatchEvents(std::ostream& err) : m_err(err), m_progress(err, StandardErrorIsConsole()) {}
    void Message(const std::string& file, const std::string& text) override {
        m_progress.Clear();
        m_err << "Tarvel: " << (file.empty() ? "" : file + ": ") << text << "\n";
    }
    void Waiting(const std::string& text) override { m_err << "Tarvel: " << text << std::endl; }
    void Reading(std::size_t index, std::size_t total, long rowsRead, const std::string& file) override {
        m_progress.Draw(index, total, rowsRead, file);
    }
    void Converted(const std::string& file, long records, long leftOut) override {
        if (m_progress.Terminal()) return;
        m_err << "Tarvel: " << file << ": " << StoredText(records, leftOut) << ".\n";
    }
    void Finished() { m_progress.Clear(); }

private:
    std::ostream& m_err;
    CBatchProgress m_progress;
};

}  // namespace

int RunBatch(const ConvertOptions& o, std::ostream& out, std::ostream& err) {
    for (const CLI::Option* option : {o.symbolOption, o.nameOption}) {
        if (*option) {
            err << "tarvel-cli: " << option->get_name()
                << " names one security; give one INPUT file with it\n";
            return kExitUsage;
        }
    }
    std::vector<std::string> paths;
    if (std::string error; !BatchFiles(o.inputs, &paths, &error)) {
        err << "tarvel-cli: " << error << "\n";
        return kExitUsage;
    }
    if (paths.empty()) {
        err << "tarvel-cli: no .csv, .txt, .tsv or .prn files in";
        for (const std::string& input : o.inputs) err << " " << input;
        err << "\n";
        return kExitUsage;
    }
    std::vector<BatchFile> files;
    files.reserve(paths.size());
    for (std::string& path : paths) files.push_back({std::move(path), {}, {}});
    CSettingsStore store;
    CCliBatchEvents events(err);
    auto platform = MakeSystemPlatform();
    const BatchTotals totals =
        RunFileBatch(*platform, Choices(o), LoadConversionSettings(store), std::move(files), events);
    events.Finished();
    out << SummaryLine(totals) << "\n";
    return totals.failed > 0 ? kExitFailed : 0;
}

}  // namespace tarvel
