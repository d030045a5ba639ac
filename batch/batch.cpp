#include "batch/batch.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <utility>

#include "batch/count_text.h"
#include "platform/ascii.h"
#include "platform/file_util.h"
#include "pricedb/open_portfolio.h"
#include "pricedb/portfolio.h"

namespace tarvel {
namespace {

// Messages of the conversions of a batch go to its events, each naming the
// file it is about; a question is answered No.
class CBatchPrompt : public CPrompt {
public:
    explicit CBatchPrompt(CBatchEvents& events) : m_events(events) {}
    int MessageBox(const std::string& text, int type) override {
        m_events.Message(m_strFile, text);
        return (type & 0xF) == kMbYesNo ? kIdNo : kIdOk;
    }
    std::string m_strFile;

private:
    CBatchEvents& m_events;
};

// Reads (detects and parses) the files of a batch on worker threads, a few
// ahead of the one being staged, each with its messages kept, so that
// staging and commits stay on the calling thread, in file order. Every
// worker uses `platform`, which keeps no state between calls. At most
// 2 * max(2, cores) + 1 files are held in memory at once, and past the next
// one only while their sizes add up to kReadAheadBytes, so that memory is
// bounded by bytes whatever the sizes of the files. `c`, `platform`,
// `directory` and `files` must outlive this object and the files it gives.
class CBatchReader {
public:
    // Bytes of input files read ahead at most, beyond the file needed next.
    static constexpr std::uint64_t kReadAheadBytes = 64u << 20;

    // A file as a worker read it: kReady and a dry-run job ready to stage,
    // kExitFailed after messages in `prompt`, or kExitUsage with the
    // refusal.
    struct File {
        CRecordingPrompt prompt;
        CNoSettingsWriter settings;
        std::string refusal;
        std::unique_ptr<CConverter> job;
        int status = kReady;
        std::string symbolSource;
    };

    CBatchReader(const JobChoices& c, CPlatform& platform, const CConversionSettings& saved,
                 const std::string& directory, const std::vector<BatchFile>& files)
        : m_choices(c),
          m_platform(platform),
          m_saved(saved),
          m_strDirectory(directory),
          m_files(files),
          m_nReadAhead(2 * std::max(2u, std::thread::hardware_concurrency()) + 1) {}

    // Starts reading further files until as many as are allowed are read or
    // being read.
    void ReadAhead();
    // The next file in order, waiting for its worker; ReadAhead must have
    // started it.
    std::unique_ptr<File> Take();

private:
    std::unique_ptr<File> Read(const BatchFile& file) const;

    const JobChoices& m_choices;
    CPlatform& m_platform;
    const CConversionSettings m_saved;
    const std::string& m_strDirectory;
    const std::vector<BatchFile>& m_files;
    const std::size_t m_nReadAhead;
    std::deque<std::future<std::unique_ptr<File>>> m_reading;
    std::deque<std::uint64_t> m_readingBytes;  // the size of each file of m_reading
    std::size_t m_nNext = 0;
};

void CBatchReader::ReadAhead() {
    std::uint64_t held = 0;
    for (std::uint64_t bytes : m_readingBytes) held += bytes;
    while (m_nNext < m_files.size() && m_reading.size() < m_nReadAhead) {
        const std::uint64_t size = m_platform.Examine(m_files[m_nNext].path).size;
        if (!m_reading.empty() && held + size > kReadAheadBytes) break;
        held += size;
        m_readingBytes.push_back(size);
        m_reading.push_back(
            std::async(std::launch::async, [this, file = &m_files[m_nNext]] { return Read(*file); }));
        ++m_nNext;
    }
}

std::unique_ptr<CBatchReader::File> CBatchReader::Read(const BatchFile& file) const {
    auto read = std::make_unique<File>();
    read->job = std::make_unique<CConverter>(m_platform, read->prompt, read->settings);
    JobChoices c = m_choices;
    if (file.symbol) c.symbol = file.symbol;
    if (file.name) c.name = file.name;
    PreparedJob prepared;
    read->status =
        PrepareJob(c, file.path, m_platform, read->prompt, m_saved, &read->refusal, true, &prepared);
    read->symbolSource = prepared.symbolSource;
    if (read->status == kReady) {
        FillJob(c, prepared, file.path, *read->job);
        read->job->SetPathOut(m_strDirectory);
        read->status = read->job->DryRun() == 0 ? kReady : kExitFailed;
    }
    return read;
}

std::unique_ptr<CBatchReader::File> CBatchReader::Take() {
    std::unique_ptr<File> read = m_reading.front().get();
    m_reading.pop_front();
    m_readingBytes.pop_front();
    return read;
}

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

// One batch: the files into the portfolio under one lock, each file staged
// on its own (a file that fails changes nothing), committed a few megabytes
// at a time.
class CBatch {
public:
    CBatch(CPlatform& platform, const JobChoices& c, const CConversionSettings& saved,
           std::vector<BatchFile> files, CBatchEvents& events)
        : m_choices(c),
          m_saved(saved),
          m_files(std::move(files)),
          m_events(events),
          m_prompt(events),
          m_platform(platform) {}

    // Runs the batch.
    BatchTotals Run();

private:
    // Takes out of m_files, with a message naming them, the files that would
    // each be the same security: those given one symbol, or taking their
    // symbol from their name (no ticker column) when their names give one.
    // One security takes its rows from one file in a run; which file that
    // should be only the user can say, so none of them is converted.
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

    const JobChoices& m_choices;
    const CConversionSettings& m_saved;
    std::vector<BatchFile> m_files;
    CBatchEvents& m_events;
    CBatchPrompt m_prompt;
    CPlatform& m_platform;
    std::string m_strDirectory;
    CMadeDirectory m_made;  // when the run made the portfolio directory
    std::unique_ptr<CPortfolio> m_portfolio;

    long m_nRowsRead = 0;  // of the files staged so far
    long m_nConverted = 0;
    long m_nFailed = 0;
    long m_nRecords = 0;
    long m_nLeftOut = 0;
    long m_nStopped = 0;
    std::set<std::string> m_added, m_updated;     // symbol keys of the securities the run changed
    std::map<std::string, SymbolSource> m_named;  // every symbol key staged, with where it came from
    std::vector<PendingFile> m_pending;
};

BatchTotals CBatch::Run() {
    const auto all = static_cast<long>(m_files.size());
    RefuseFilesOfOneSymbol();
    if (m_files.empty() || !MakeDirectory() || !LockAndOpen()) {
        BatchTotals failed;
        failed.failed = all;
        return failed;
    }
    CBatchReader reader(m_choices, m_platform, m_saved, m_strDirectory, m_files);
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        reader.ReadAhead();
        m_events.Reading(i, m_files.size(), m_nRowsRead, m_files[i].path);
        std::unique_ptr<CBatchReader::File> read = reader.Take();
        if (!m_events.GoOn(i, m_files[i].path)) {
            m_nStopped = static_cast<long>(m_files.size() - i);
            break;
        }
        StageFile(m_files[i].path, std::move(read));
    }
    Commit();
    m_portfolio.reset();  // releases the lock
    m_made.RemoveIfEmpty();
    for (const std::string& symbol : m_added) m_updated.erase(symbol);
    const auto added = static_cast<long>(m_added.size());
    const auto updated = static_cast<long>(m_updated.size());
    return {m_nConverted, m_nRecords, added + updated, added, updated, m_nLeftOut, m_nFailed, m_nStopped};
}

void CBatch::RefuseFilesOfOneSymbol() {
    std::map<std::string, std::vector<std::string>> bySymbol;
    std::set<std::string> chosen;  // files given their symbol
    for (const BatchFile& file : m_files) {
        // A name that makes no symbol is refused on its own, for its name.
        std::string symbol = file.symbol ? *file.symbol : SymbolFromFileName(file.path);
        if (file.symbol) chosen.insert(file.path);
        if (!symbol.empty()) bySymbol[SymbolKey(symbol)].push_back(file.path);
    }
    std::set<std::string> refused;
    for (auto& [symbol, files] : bySymbol) {
        if (files.size() < 2) continue;
        // A file with a ticker column names its securities by its tickers.
        if (!m_choices.fromSettings) {
            std::erase_if(files, [this, &chosen](const std::string& file) {
                return chosen.count(file) == 0 &&
                       DetectFileLayout(m_platform, file).m_nTickerColumn != kNoColumn;
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
    std::erase_if(m_files, [&refused](const BatchFile& file) { return refused.count(file.path) != 0; });
}

bool CBatch::MakeDirectory() {
    std::string& directory = m_strDirectory;
    std::error_code ec;
    if (m_choices.out) {
        directory = AbsolutePath(*m_choices.out);
    } else if (m_choices.fromSettings) {
        directory = m_saved.strPathOut;
    } else {
        m_platform.GetCurrentDirectory(&directory);
    }
    while (directory.size() > 1 && IsPathSeparator(directory.back())) directory.pop_back();
    if (!std::filesystem::is_directory(PathOf(directory), ec)) {
        if (m_choices.exist == 0) {
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
    PortfolioAccess access;
    access.master = m_choices.exist == 0   ? MasterChoice::kExisting
                    : m_choices.exist == 1 ? MasterChoice::kNew
                                           : MasterChoice::kEither;
    access.waitSeconds = m_choices.waitSeconds;
    access.onWaiting = [this](const std::string& text) { m_events.Waiting(text); };
    switch (OpenPortfolioForChange(m_platform, m_prompt, m_strDirectory, access, &m_portfolio)) {
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
    // A refused setting of one file (a symbol its name cannot make, say)
    // fails that file alone.
    if (read->status == kExitUsage) m_prompt.MessageBox(read->refusal, kMbOk);
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
            m_events.Message("", file.name + " was not converted.");
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
            m_events.Converted(file.name, file.records, file.leftOut);
        }
    }
    m_pending.clear();
}

}  // namespace

bool BatchFiles(const std::vector<std::string>& inputs, std::vector<std::string>* files, std::string* error) {
    // A file named twice (itself, and through its folder) is converted once.
    std::set<std::filesystem::path> listed;
    auto add = [&](const std::string& file) {
        if (listed.insert(PathOf(file).lexically_normal()).second) files->push_back(file);
    };
    for (const std::string& input : inputs) {
        std::error_code ec;
        std::filesystem::path path = PathOf(AbsolutePath(input));
        if (!std::filesystem::is_directory(path, ec)) {
            add(Utf8Of(path));
            continue;
        }
        std::vector<std::string> names;
        std::filesystem::directory_iterator it(path, ec), end;
        if (ec) {
            *error = "cannot read the directory " + Utf8Of(path) + ": " + ec.message();
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
        for (const std::string& name : names) add(JoinPath(Utf8Of(path), name));
    }
    return true;
}

std::string SummaryLine(const BatchTotals& t, const std::string& where) {
    std::string line = "Converted " + Grouped(t.converted) + (t.converted == 1 ? " file (" : " files (") +
                       RowsText(t.rows) + ") into " + Grouped(t.securities) +
                       (t.securities == 1 ? " security" : " securities");
    if (t.updated > 0) line += " (" + Grouped(t.added) + " new, " + Grouped(t.updated) + " updated)";
    if (t.leftOut > 0) line += "; " + RowsText(t.leftOut) + " already there left out";
    if (t.stopped > 0)
        line += "; stopped before " + Grouped(t.stopped) + (t.stopped == 1 ? " file" : " files");
    line += t.failed > 0 ? "; " + Grouped(t.failed) + " failed: see " + where + "." : ".";
    return line;
}

BatchTotals RunFileBatch(CPlatform& platform, const JobChoices& c, const CConversionSettings& saved,
                         std::vector<BatchFile> files, CBatchEvents& events) {
    CBatch batch(platform, c, saved, std::move(files), events);
    return batch.Run();
}

}  // namespace tarvel
