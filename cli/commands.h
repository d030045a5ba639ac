// The commands of tarvel-cli, each in a file of its own, as RunCli calls
// them once the command line has been parsed. Each writes its outcome on
// `out` and its messages on `err`, and returns the exit status: 0, or
// kExitFailed or kExitUsage (cli/command_support.h).
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/convert_command.h"

namespace tarvel {

// Converts the one input file of `o` into a new security (or newer rows
// into one the portfolio holds, with --update).
int RunConvert(const ConvertOptions& o, std::ostream& out, std::ostream& err);

// Converts every file of `o`'s inputs (directories standing for their text
// files) into one portfolio under one lock, each file on its own, and ends
// with one summary line on `out`.
int RunBatch(const ConvertOptions& o, std::ostream& out, std::ostream& err);

// Says what layout `file` has, as convert options, then its first ten rows
// as they would be stored and the rows that would be skipped.
int RunInspect(const std::string& file, std::ostream& out, std::ostream& err);

// Lists every security of the portfolio `dir` and of its sub-portfolios, as
// a table or, with `json`, as a JSON array.
int RunList(const std::string& dir, bool json, std::ostream& out, std::ostream& err);

// Checks the portfolio `dir` as a whole, changing nothing: one line per
// problem or warning (file, then what is wrong), then a summary, or with
// `json` one JSON object. 0 when there is no problem, kExitFailed when there
// is one.
int RunCheck(const std::string& dir, bool json, std::ostream& out, std::ostream& err);

// Removes the securities `symbols` from the portfolio `dir` in one commit:
// their records leave the directory files, their price and description
// files are kept for undo until the next change.
int RunRemove(const std::string& dir, const std::vector<std::string>& symbols, std::ostream& out,
              std::ostream& err);

// Gives the security `symbol` of `dir` a new symbol, a new name or both.
int RunRename(const std::string& dir, const std::string& symbol, const std::optional<std::string>& newSymbol,
              const std::optional<std::string>& newName, std::ostream& out, std::ostream& err);

// Puts `dir` back as it was before the last change Tarvel made to it.
int RunUndo(const std::string& dir, std::ostream& out, std::ostream& err);

// Writes the price records of `symbol` in portfolio `dir` as CSV, to
// `output` or, when it is empty, to `out`.
int RunExport(const std::string& dir, const std::string& symbol, const std::string& output, std::ostream& out,
              std::ostream& err);

}  // namespace tarvel
