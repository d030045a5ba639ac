// The pieces of a batch of tarvel-cli convert (RunBatch, cli/commands.h):
// the files it converts, the workers that read them ahead, and the progress
// line on a terminal.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_support.h"
#include "cli/convert_command.h"
#include "platform/platform.h"

namespace tarvel {

// The files a batch converts: each INPUT that is a file, and the regular
// files of each INPUT that is a directory whose names end in .csv, .txt,
// .tsv or .prn (any case), in name order, appended to *files as absolute
// paths. False after a line on `err` when a directory cannot be read.
bool BatchFiles(const std::vector<std::string>& inputs, std::vector<std::string>* files, std::ostream& err);

// Reads (detects and parses) the files of a batch on worker threads, a few
// ahead of the one being staged, each with its messages kept, so that
// staging and commits stay on the calling thread, in file order. Every
// worker uses `platform`, which keeps no state between calls. At most
// 2 * max(2, cores) + 1 files are held in memory at once, and past the next
// one only while their sizes add up to kReadAheadBytes, so that memory is
// bounded by bytes whatever the sizes of the files. `o`, `platform`,
// `directory` and `files` must outlive this object and the files it gives.
class CBatchReader {
public:
    // Bytes of input files read ahead at most, beyond the file needed next.
    static constexpr std::uint64_t kReadAheadBytes = 64u << 20;

    // A file as a worker read it: kReady and a dry-run job ready to stage,
    // kExitFailed after messages in `prompt`, or kExitUsage after a line in
    // `err`.
    struct File {
        CRecordingCliPrompt prompt;
        CNoSettingsWriter settings;
        std::ostringstream err;
        std::unique_ptr<CConverter> job;
        int status = kReady;
        std::string symbolSource;
    };

    CBatchReader(const ConvertOptions& o, CPlatform& platform, const CConversionSettings& saved,
                 const std::string& directory, const std::vector<std::string>& files);

    // Starts reading further files until as many as are allowed are read or
    // being read.
    void ReadAhead();
    // The next file in order, waiting for its worker; ReadAhead must have
    // started it.
    std::unique_ptr<File> Take();

private:
    const ConvertOptions& m_options;
    CPlatform& m_platform;
    const CConversionSettings m_saved;
    const std::string& m_strDirectory;
    const std::vector<std::string>& m_files;
    const std::size_t m_nReadAhead;
    std::deque<std::future<std::unique_ptr<File>>> m_reading;
    std::deque<std::uint64_t> m_readingBytes;  // the size of each file of m_reading
    std::size_t m_nNext = 0;
};

// The progress line of a batch on standard error, drawn only when that is a
// terminal: "[done/total] rows, rate rows/s  file", redrawn over itself.
class CBatchProgress {
public:
    CBatchProgress(std::ostream& err, bool terminal) : m_err(err), m_bTerminal(terminal) {}

    // The rate counts from now.
    void Start();
    // Draws the line for the first file, then at most ten times a second.
    void Draw(std::size_t done, std::size_t total, long rowsRead, const std::string& file);
    // Erases the line when one is shown, so that a message or the summary
    // takes its place.
    void Clear();
    bool Terminal() const { return m_bTerminal; }

private:
    std::ostream& m_err;
    const bool m_bTerminal;
    bool m_bShown = false;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_drawn = m_start;
};

}  // namespace tarvel
