// A batch: many input files converted into one portfolio under one lock,
// each file on its own (a file that fails changes nothing and the others go
// on), read ahead on worker threads and committed a few megabytes at a
// time. tarvel-cli convert runs it for several files or a directory, the
// desktop program's batch window for the files opened or dropped.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "batch/job.h"
#include "platform/platform.h"
#include "settings/conversion_settings.h"

namespace tarvel {

// A file of a batch, with the symbol and name chosen for it when the user
// chose them (otherwise they come from its ticker or its name).
struct BatchFile {
    std::string path;
    std::optional<std::string> symbol, name;
};

// The files a batch converts: each INPUT that is a file, and the regular
// files of each INPUT that is a directory whose names end in .csv, .txt,
// .tsv or .prn (any case), in name order, appended to *files as absolute
// paths; a file already listed is left out. False, with the reason in
// *error, when a directory cannot be read.
bool BatchFiles(const std::vector<std::string>& inputs, std::vector<std::string>* files, std::string* error);

// What a batch did.
struct BatchTotals {
    long converted = 0;
    long rows = 0;
    long securities = 0;
    long added = 0;
    long updated = 0;
    long leftOut = 0;
    long failed = 0;
    long stopped = 0;  // files not begun because the batch was stopped
};

// The summary line of a batch, without a line end: "Converted 2 files (10
// rows) into 2 securities.", with what was updated, left out, stopped or
// failed; failures end in "see " and `where` the messages are.
std::string SummaryLine(const BatchTotals& totals, const std::string& where = "above");

// What a batch tells as it runs, on the thread that runs it.
class CBatchEvents {
public:
    virtual ~CBatchEvents() = default;
    // A message about `file`, or about the batch when `file` is empty.
    virtual void Message(const std::string& file, const std::string& text) = 0;
    // The batch waits for another conversion into the portfolio.
    virtual void Waiting(const std::string& text) = 0;
    // File `index` of `total` is being read, after `rowsRead` rows of the
    // files before it.
    virtual void Reading(std::size_t index, std::size_t total, long rowsRead, const std::string& file) = 0;
    // File `index` is read and about to be converted. False stops the batch:
    // the files before it are committed, it and the rest are not converted.
    virtual bool GoOn(std::size_t /*index*/, const std::string& /*file*/) { return true; }
    // `file`'s rows reached the portfolio: `records` stored and `leftOut`
    // not newer than what the portfolio held.
    virtual void Converted(const std::string& file, long records, long leftOut) = 0;
};

// Converts `files` into the portfolio that `c` names (the current directory
// when none), as `c` and `saved` settle each file.
BatchTotals RunFileBatch(CPlatform& platform, const JobChoices& c, const CConversionSettings& saved,
                         std::vector<BatchFile> files, CBatchEvents& events);

}  // namespace tarvel
