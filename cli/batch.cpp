#include "cli/batch.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include "cli/commands.h"
#include "cli/text_output.h"
#include "platform/ascii.h"
#include "platform/console.h"
#include "platform/file_util.h"
#include "pricedb/open_portfolio.h"
#include "pricedb/portfolio.h"
#include "settings/settings_store.h"

namespace tarvel {
namespace {

// Messages of a batch name the file they are about, and take the place of
// the progress line.
class CBatchPrompt : public CPrompt {
public:
    CBatchPrompt(std::ostream& err, CBatchProgress& progress) : m_err(err), m_progress(progress) {}
    int MessageBox(const std::string& text, int type) override {
        m_progress.Clear();
        m_err << "Tarvel: " << (m_strFile.empty() ? "" : m_strFile + ": ") << text << "\n";
        return (type & 0xF) == kMbYesNo ? kIdNo : kIdOk;
    }
    std::string m_strFile;

private:
    std::ostream& m_err;
    CBatchProgress& m_progress;
};

// Files converted since the last commit, with what each did.
struct PendingFile {
    std::string name;
    long records = 0;
    long leftOut = 0;
    std::vector<std::pair<std::string, bool>> changed;         // symbol, and whether it was added
    std::vector<std::pair<std::string, std::string>> symbols;  // symbol, the name it came from
};

// A symbol of a batch, by the name it came from and the file that named it.
struct SymbolSource {
    std::string source;
    std::string file;
};

// Upper case of ASCII letters, as symbols compare.
std::string SymbolKey(std::string text) { return AsciiUpper(std::move(text)); }

// Commits of a batch hold at most this many bytes of price records, so that
// memory does not grow with the number of files.
constexpr std::size_t kBatchCommitBytes = 8u << 20;

// What a batch did, as its summary line says it.
struct BatchTotals {
    long converted = 0;
    long rows = 0;
    long securities = 0;
    long added = 0;
    long updated = 0;
    long leftOut = 0;
    long failed = 0;
};

// Writes the summary line of a batch on `out`. Returns 0, or kExitFailed
// when a file failed.
int WriteSummary(std::ostream& out, const BatchTotals& t) {
    out << "Converted " << Grouped(t.converted) << (t.converted == 1 ? " file (" : " files (")
        << RowsText(t.rows) << ") into " << Grouped(t.securities)
        << (t.securities == 1 ? " security" : " securities");
    if (t.updated > 0) out << " (" << Grouped(t.added) << " new, " << Grouped(t.updated) << " updated)";
    if (t.leftOut > 0) out << "; " << RowsText(t.leftOut) << " already there left out";
    if (t.failed > 0) {
        out << "; " << Grouped(t.failed) << " failed: see above.\n";
        return kExitFailed;
    }
    out << ".\n";
    return 0;
}

// One batch: the files into the portfolio under one lock, each file staged
// on its own (a file that fails changes nothing), committed a few megabytes
// at a time.
class CBatch {
public:
    CBatch(const ConvertOptions& o, const std::vector<std::string>& files, std::ostream& out,
           std::ostream& err)
        : m_options(o),
          m_files(files),
          m_out(out),
          m_err(err),
          m_progress(err, StandardErrorIsConsole()),
          m_prompt(err, m_progress),
          m_platform(MakeSystemPlatform()) {}

    // Runs the batch and writes its summary. Returns the exit status.
    int Run();

private:
    // Nothing could be converted: every file failed.
    int AllFailed() {
        return WriteSummary(m_out, {0, 0, 0, 0, 0, 0, static_cast<long>(m_files.size()) + m_nFailed});
    }
    // Takes out of m_files, with a message naming them, the files that would
    // each be the same security: those that take their symbol from their
    // name (no ticker column) and whose names give one symbol. One security
    // takes its rows from one file in a run; which file that should be only
    // the user can say, so none of them is converted.
    void RefuseFilesOfOneSymbol();
    // Settles the portfolio's directory and makes it when it is missing.
    // False after a message.
    bool MakeDirectory();
    // Locks the portfolio, completes a committed journal and opens MASTER
    // (a new one where there is none). False after a message; a directory
    // made for the batch is removed again when its portfolio does not open.
    bool LockAndOpen();
    // Shows what the workers said of `read`, checks its symbols and stages
    // it; counts it failed when any of that fails.
    void StageFile(const std::string& file, std::unique_ptr<CBatchReader::File> read);
    // False after a message when a symbol of `symbols` comes from another
    // name than the same symbol staged before.
    bool SymbolsAreFree(const std::vector<std::pair<std::string, std::string>>& symbols);
    // Commits the pending files; they are converted, or all failed.
    void Commit();

    const ConvertOptions& m_options;
    std::vector<std::string> m_files;
    std::ostream& m_out;
    std::ostream& m_err;
    CSettingsStore m_store;
    CBatchProgress m_progress;
    CBatchPrompt m_prompt;
    std::unique_ptr<CPlatform> m_platform;
    std::string m_strDirectory;
    CMadeDirectory m_made;  // when the run made the portfolio directory
    std::unique_ptr<CPortfolio> m_portfolio;

    long m_nRowsRead = 0;  // of the files staged so far, for the progress line
    long m_nConverted = 0;
    long m_nFailed = 0;
    long m_nRecords = 0;
    long m_nLeftOut = 0;
    std::set<std::string> m_added, m_updated;     // symbol keys of the securities the run changed
    std::map<std::string, SymbolSource> m_named;  // every symbol key staged, with where it came from
    std::vector<PendingFile> m_pending;
};

int CBatch::Run() {
    RefuseFilesOfOneSymbol();
    if (m_files.empty() || !MakeDirectory() || !LockAndOpen()) return AllFailed();
    m_progress.Start();
    CBatchReader reader(m_options, *m_platform, LoadConversionSettings(m_store), m_strDirectory, m_files);
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        reader.ReadAhead();
        m_progress.Draw(i, m_files.size(), m_nRowsRead, m_files[i]);
        StageFile(m_files[i], reader.Take());
    }
    Commit();
    m_progress.Clear();
    m_portfolio.reset();  // releases the lock
    m_made.RemoveIfEmpty();
    for (const std::string& symbol : m_added) m_updated.erase(symbol);
    const auto added = static_cast<long>(m_added.size());
    const auto updated = static_cast<long>(m_updated.size());
    return WriteSummary(m_out,
                        {m_nConverted, m_nRecords, added + updated, added, updated, m_nLeftOut, m_nFailed});
}

void CBatch::RefuseFilesOfOneSymbol() {
    std::map<std::string, std::vector<std::string>> bySymbol;
    for (const std::string& file : m_files) {
        // A name that makes no symbol is refused on its own, for its name.
        if (std::string symbol = SymbolFromFileName(file); !symbol.empty())
            bySymbol[SymbolKey(symbol)].push_back(file);
    }
    std::set<std::string> refused;
    for (auto& [symbol, files] : bySymbol) {
        if (files.size() < 2) continue;
        // A file with a ticker column names its securities by its tickers.
        if (!m_options.fromSettings) {
            std::erase_if(files, [this](const std::string& file) {
                return DetectFileLayout(*m_platform, file).m_nTickerColumn != kNoColumn;
            });
        }
        if (files.size() < 2) continue;
        std::string names;
        for (std::size_t i = 0; i < files.size(); ++i) {
            names += (i == 0 ? "" : i + 1 == files.size() ? " and " : ", ") + files[i];
        }
        const bool two = files.size() == 2;
        m_prompt.MessageBox(names + (two ? " would both be" : " would all be") + " the security " + symbol +
                                ", and a security takes its rows from one file in a run. " +
                                (two ? "Neither was" : "None of them was") +
                                " converted: rename all but one, or convert them in separate runs.",
                            kMbOk);
        refused.insert(files.begin(), files.end());
    }
    m_nFailed += static_cast<long>(refused.size());
    std::erase_if(m_files, [&refused](const std::string& file) { return refused.count(file) != 0; });
}

bool CBatch::MakeDirectory() {
    const ConvertOptions& o = m_options;
    std::string& directory = m_strDirectory;
    std::error_code ec;
    if (*o.outOption) {
        directory = AbsolutePath(o.out);
    } else {
        m_platform->GetCurrentDirectory(&directory);
    }
    if (o.fromSettings && !*o.outOption) directory = LoadConversionSettings(m_store).strPathOut;
    while (directory.size() > 1 && IsPathSeparator(directory.back())) directory.pop_back();
    if (!std::filesystem::is_directory(PathOf(directory), ec)) {
        if (*o.existingMaster) {
            m_prompt.MessageBox("Path does not exist: " + directory, kMbOk);
            return false;
        }
        if (!m_made.Make(directory, &ec)) {
            m_prompt.MessageBox("Cannot make the directory " + directory + ": " + ec.message(), kMbOk);
            return false;
        }
    }
    return true;
}

bool CBatch::LockAndOpen() {
    const ConvertOptions& o = m_options;
    PortfolioAccess access;
    access.master = *o.existingMaster ? MasterChoice::kExisting
                    : *o.newMaster    ? MasterChoice::kNew
                                      : MasterChoice::kEither;
    access.waitSeconds = o.waitSeconds;
    access.onWaiting = [this](const std::string& text) { m_err << "Tarvel: " << text << std::endl; };
    switch (OpenPortfolioForChange(*m_platform, m_prompt, m_strDirectory, access, &m_portfolio)) {
        case PortfolioOpening::kOpened:
            return true;
        case PortfolioOpening::kRefused:
            return false;
        case PortfolioOpening::kNotOpened:
            m_made.RemoveIfEmpty();
            return false;
    }
    return false;
}

void CBatch::StageFile(const std::string& file, std::unique_ptr<CBatchReader::File> read) {
    m_prompt.m_strFile = file;
    for (const std::string& text : read->prompt.m_texts) m_prompt.MessageBox(text, kMbOk);
    // What the command line refuses of one file's settings (a symbol
    // its name makes, say) fails that file alone.
    if (read->status == kExitUsage) {
        std::string refused = read->err.str();
        if (refused.starts_with("tarvel-cli: ")) refused.erase(0, 12);
        while (!refused.empty() && refused.back() == '\n') refused.pop_back();
        m_prompt.MessageBox(refused, kMbOk);
    }
    CConverter& job = *read->job;
    std::vector<std::pair<std::string, std::string>> symbols;  // symbol, what it came from
    if (read->status == kReady) {
        if (job.Securities().size() == 1) {
            symbols.emplace_back(job.m_szSymbol, read->symbolSource);
        } else {
            for (const NewSecurity& security : job.Securities())
                symbols.emplace_back(security.symbol, security.ticker);
        }
    }
    bool ok = read->status == kReady && SymbolsAreFree(symbols);
    // Staging looks the symbols up; it may say why it refuses one.
    read->prompt.m_texts.clear();
    ok = ok && job.StageInto(*m_portfolio) == 0;
    for (const std::string& text : read->prompt.m_texts) m_prompt.MessageBox(text, kMbOk);
    if (!ok) {
        ++m_nFailed;
        return;
    }
    m_nRowsRead += job.m_nRecordsWritten + job.m_nRecordsLeftOut;
    for (const auto& [symbol, source] : symbols)
        m_named.emplace(SymbolKey(symbol), SymbolSource{source, file});
    m_pending.push_back({file, job.m_nRecordsWritten, job.m_nRecordsLeftOut, job.m_changed, symbols});
    if (m_portfolio->StagedBytes() >= kBatchCommitBytes) Commit();
}

bool CBatch::SymbolsAreFree(const std::vector<std::pair<std::string, std::string>>& symbols) {
    // Two names that become one symbol (cut to 14 bytes, or differing in
    // case only) are two securities: the second file is refused rather
    // than merged into the first's security. Files named alike were
    // refused before the run began.
    for (const auto& [symbol, source] : symbols) {
        auto it = m_named.find(SymbolKey(symbol));
        if (it != m_named.end() && it->second.source != source) {
            m_prompt.MessageBox(
                "The symbol " + symbol + " comes from " + source + " here but from " + it->second.source +
                    " in " + it->second.file +
                    "; the two are not made one security. Nothing of this file was converted.",
                kMbOk);
            return false;
        }
        // The same ticker in two files: one security takes its rows from
        // one file in a run, whether it is new or updated.
        if (it != m_named.end()) {
            m_prompt.MessageBox("The symbol " + symbol + " comes from " + it->second.file +
                                    " already; a security takes its rows from one file in a run. Nothing of "
                                    "this file was converted.",
                                kMbOk);
            return false;
        }
    }
    return true;
}

void CBatch::Commit() {
    m_prompt.m_strFile.clear();
    // MASTER.BAK is the MASTER from before the batch: the first commit
    // that changes MASTER writes it.
    const long files = m_nConverted + static_cast<long>(m_pending.size());
    m_portfolio->SetChangeName("Batch conversion of " + std::to_string(files) +
                               (files == 1 ? " file" : " files"));
    if (m_portfolio->Commit(!m_portfolio->WroteBackup()) != 0) {
        for (const PendingFile& file : m_pending) {
            m_err << "Tarvel: " << file.name << " was not converted.\n";
            // Its symbols are free again for files from other names.
            for (const auto& [symbol, source] : file.symbols) {
                auto it = m_named.find(SymbolKey(symbol));
                if (it != m_named.end() && it->second.file == file.name) m_named.erase(it);
            }
        }
        m_nFailed += static_cast<long>(m_pending.size());
    } else {
        for (const PendingFile& file : m_pending) {
            ++m_nConverted;
            m_nRecords += file.records;
            m_nLeftOut += file.leftOut;
            for (const auto& [symbol, isNew] : file.changed)
                (isNew ? m_added : m_updated).insert(SymbolKey(symbol));
            if (!m_progress.Terminal()) {
                m_err << "Tarvel: " << file.name << ": " << RowsText(file.records) << " stored";
                if (file.leftOut > 0) m_err << ", " << RowsText(file.leftOut) << " already there left out";
                m_err << ".\n";
            }
        }
    }
    m_pending.clear();
}

}  // namespace

bool BatchFiles(const std::vector<std::string>& inputs, std::vector<std::string>* files, std::ostream& err) {
    for (const std::string& input : inputs) {
        std::error_code ec;
        std::filesystem::path path = PathOf(AbsolutePath(input));
        if (!std::filesystem::is_directory(path, ec)) {
            files->push_back(Utf8Of(path));
            continue;
        }
        std::vector<std::string> names;
        std::filesystem::directory_iterator it(path, ec), end;
        if (ec) {
            err << "tarvel-cli: cannot read the directory " << Utf8Of(path) << ": " << ec.message() << "\n";
            return false;
        }
        for (; it != end; it.increment(ec)) {
            std::string name = Utf8Of(it->path().filename());
            std::string extension = Utf8Of(it->path().extension());
            bool wanted = false;
            for (const char* e : {".csv", ".txt", ".tsv", ".prn"})
                wanted = wanted || EqualIgnoringAsciiCase(extension, e);
            std::error_code typeError;
            if (wanted && it->is_regular_file(typeError)) names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) files->push_back(JoinPath(Utf8Of(path), name));
    }
    return true;
}

CBatchReader::CBatchReader(const ConvertOptions& o, CPlatform& platform, const CConversionSettings& saved,
                           const std::string& directory, const std::vector<std::string>& files)
    : m_options(o),
      m_platform(platform),
      m_saved(saved),
      m_strDirectory(directory),
      m_files(files),
      m_nReadAhead(2 * std::max(2u, std::thread::hardware_concurrency()) + 1) {}

void CBatchReader::ReadAhead() {
    std::uint64_t held = 0;
    for (std::uint64_t bytes : m_readingBytes) held += bytes;
    while (m_nNext < m_files.size() && m_reading.size() < m_nReadAhead) {
        const std::uint64_t size = m_platform.Examine(m_files[m_nNext]).size;
        if (!m_reading.empty() && held + size > kReadAheadBytes) break;
        held += size;
        m_readingBytes.push_back(size);
        m_reading.push_back(std::async(std::launch::async, [this, file = m_files[m_nNext]] {
            auto read = std::make_unique<File>();
            read->job = std::make_unique<CConverter>(m_platform, read->prompt, read->settings);
            PreparedJob prepared;
            read->status =
                PrepareJob(m_options, file, m_platform, read->prompt, m_saved, read->err, true, &prepared);
            read->symbolSource = prepared.symbolSource;
            if (read->status == kReady) {
                FillJob(m_options, prepared, file, *read->job);
                read->job->SetPathOut(m_strDirectory);
                read->status = read->job->DryRun() == 0 ? kReady : kExitFailed;
            }
            return read;
        }));
        ++m_nNext;
    }
}

std::unique_ptr<CBatchReader::File> CBatchReader::Take() {
    std::unique_ptr<File> read = m_reading.front().get();
    m_reading.pop_front();
    m_readingBytes.pop_front();
    return read;
}

void CBatchProgress::Start() {
    m_start = std::chrono::steady_clock::now();
    m_drawn = m_start;
}

void CBatchProgress::Draw(std::size_t done, std::size_t total, long rowsRead, const std::string& file) {
    const auto now = std::chrono::steady_clock::now();
    if (!m_bTerminal || (done != 0 && now - m_drawn < std::chrono::milliseconds(100))) return;
    m_drawn = now;
    double seconds = std::chrono::duration<double>(now - m_start).count();
    m_err << "\r\033[K[" << done << "/" << total << "] " << RowsText(rowsRead) << ", "
          << Grouped(seconds > 0 ? static_cast<long>(static_cast<double>(rowsRead) / seconds) : 0)
          << " rows/s  " << FileName(file) << std::flush;
    m_bShown = true;
}

void CBatchProgress::Clear() {
    if (m_bShown) m_err << "\r\033[K";
    m_bShown = false;
}

int RunBatch(const ConvertOptions& o, std::ostream& out, std::ostream& err) {
    for (const CLI::Option* option : {o.symbolOption, o.nameOption}) {
        if (*option) {
            err << "tarvel-cli: " << option->get_name()
                << " names one security; give one INPUT file with it\n";
            return kExitUsage;
        }
    }
    std::vector<std::string> files;
    if (!BatchFiles(o.inputs, &files, err)) return kExitUsage;
    if (files.empty()) {
        err << "tarvel-cli: no .csv, .txt, .tsv or .prn files in";
        for (const std::string& input : o.inputs) err << " " << input;
        err << "\n";
        return kExitUsage;
    }
    CBatch batch(o, files, out, err);
    return batch.Run();
}

}  // namespace tarvel
