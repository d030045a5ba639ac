// The dispatcher of tarvel-cli: the command line's grammar, one place that
// answers a parse error, and a call of the command given.
#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <optional>
#include <string>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "platform/file_util.h"

namespace tarvel {

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{
        "tarvel-cli: converts daily price data in delimited text files into a MetaStock price "
        "database (portfolio), and reads portfolios back."};
    app.name("tarvel-cli");
    // "/" begins a path, never an option, on Windows too; subcommands
    // inherit this.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", "tarvel-cli 1.6.0");
    app.require_subcommand(1);

    ConvertOptions convertOptions;
    CLI::App* convert =
        app.add_subcommand("convert",
                           "Convert INPUT into a new security of a portfolio (or newer rows into one it "
                           "holds, with --update), as "
                           "the desktop program does after OK; several files or directories in one run");
    AddConvertOptions(*convert, convertOptions);

    std::string inspectFile;
    CLI::App* inspect = app.add_subcommand(
        "inspect",
        "Say what layout FILE has, as convert options, then the first ten rows as they would be stored "
        "and the rows that would be skipped");
    inspect->add_option("FILE", inspectFile, "The delimited text file")->required();

    std::string listDir;
    bool listJson = false;
    CLI::App* list = app.add_subcommand(
        "list",
        "List every security of the portfolio DIR and of its sub-portfolios (MASTER, EMASTER and XMASTER): "
        "file number, symbol, name, fields, first and last date, price records");
    list->add_option("DIR", listDir, "Portfolio directory")->required();
    list->add_flag("--json", listJson,
                   "Write a JSON array, one object per security: number, symbol, name, fields, first, last, "
                   "records, directory, listed_in (MASTER or XMASTER), file");

    std::string checkDir;
    bool checkJson = false;
    CLI::App* check = app.add_subcommand(
        "check",
        "Check the portfolio DIR, changing nothing: MASTER, EMASTER, XMASTER, every price file and "
        "description file they name, and files nothing accounts for; one line per problem or warning, then "
        "a summary. Exit status 0 when there is no problem, 1 when there is");
    check->add_option("DIR", checkDir, "Portfolio directory")->required();
    check->add_flag("--json", checkJson,
                    "Write one JSON object: directory, securities, problems, warnings, and findings (file, "
                    "text, warning)");

    std::string exportDir, exportSymbol, exportOutput;
    CLI::App* exportCommand = app.add_subcommand(
        "export",
        "Write the price records of SYMBOL as CSV: a header of the field labels, dates as YYYY-MM-DD");
    exportCommand->add_option("DIR", exportDir, "Portfolio directory")->required();
    exportCommand->add_option("SYMBOL", exportSymbol, "Symbol or name, found as the duplicate check finds it")
        ->required();
    exportCommand->add_option("--output", exportOutput, "Write to FILE instead of standard output");

    std::string removeDir;
    std::vector<std::string> removeSymbols;
    CLI::App* remove = app.add_subcommand(
        "remove",
        "Remove the securities SYMBOL... from the portfolio DIR in one step: their records leave MASTER, "
        "EMASTER and XMASTER (the others keep their file numbers) and their price and description files go; "
        "undo brings them back");
    remove->add_option("DIR", removeDir, "Portfolio directory")->required();
    remove->add_option("SYMBOL", removeSymbols, "Symbol of a security to remove")->required();

    std::string renameDir, renameSymbol;
    std::optional<std::string> renameNewSymbol, renameNewName;
    CLI::App* rename = app.add_subcommand(
        "rename",
        "Give the security SYMBOL of the portfolio DIR a new symbol, a new name or both, refused as a "
        "conversion refuses them (14 bytes for a symbol, 16 or 45 for a name, no symbol another security "
        "has)");
    rename->add_option("DIR", renameDir, "Portfolio directory")->required();
    rename->add_option("SYMBOL", renameSymbol, "Symbol of the security")->required();
    rename->add_option("--symbol", renameNewSymbol, "The new symbol");
    rename->add_option("--name", renameNewName, "The new name");

    std::string undoDir;
    CLI::App* undo = app.add_subcommand(
        "undo",
        "Put the portfolio DIR back exactly as it was before the last change Tarvel made to it (a "
        "conversion, update, batch, remove or rename); refused when anything has changed it since");
    undo->add_option("DIR", undoDir, "Portfolio directory")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int status = app.exit(e, out, err);
        return status == 0 ? 0 : kExitUsage;
    }
    if (*convert) {
        std::error_code ec;
        const auto& inputs = convertOptions.inputs;
        bool batch = inputs.size() > 1 || std::filesystem::is_directory(PathOf(inputs.front()), ec);
        if (batch && convertOptions.save) {
            err << "tarvel-cli: --save keeps the settings of one conversion; give one INPUT file with it\n";
            return kExitUsage;
        }
        return batch ? RunBatch(convertOptions, out, err) : RunConvert(convertOptions, out, err);
    }
    if (*inspect) return RunInspect(inspectFile, out, err);
    if (*list) return RunList(listDir, listJson, out, err);
    if (*check) return RunCheck(checkDir, checkJson, out, err);
    if (*remove) return RunRemove(removeDir, removeSymbols, out, err);
    if (*rename) return RunRename(renameDir, renameSymbol, renameNewSymbol, renameNewName, out, err);
    if (*undo) return RunUndo(undoDir, out, err);
    return RunExport(exportDir, exportSymbol, exportOutput, out, err);
}

}  // namespace tarvel
