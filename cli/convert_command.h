// The options of tarvel-cli convert, and settling one input's conversion
// from them: shared by the single conversion and the batch.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "batch/job.h"
#include "convert/converter.h"
#include "convert/detect.h"
#include "platform/platform.h"
#include "platform/prompt.h"
#include "settings/conversion_settings.h"

namespace tarvel {

// What the convert command was given. The option pointers, set by
// AddConvertOptions, tell whether an option was given at all.
struct ConvertOptions {
    std::vector<std::string> inputs;
    std::string out, symbol, name, delimiter, dateFormat;
    int skip = 0;
    int columns[kFieldCount] = {};
    bool save = false;
    bool strict = false;
    bool update = false;
    bool fromSettings = false;
    bool decimalComma = false;
    int waitSeconds = kDefaultWaitSeconds;
    CLI::Option* fromSettingsOption = nullptr;
    CLI::Option* outOption = nullptr;
    CLI::Option* symbolOption = nullptr;
    CLI::Option* nameOption = nullptr;
    CLI::Option* newMaster = nullptr;
    CLI::Option* existingMaster = nullptr;
    CLI::Option* delimiterOption = nullptr;
    CLI::Option* decimalCommaOption = nullptr;
    CLI::Option* noDecimalComma = nullptr;
    CLI::Option* dateFormatOption = nullptr;
    CLI::Option* skipOption = nullptr;
    CLI::Option* noSkip = nullptr;
    CLI::Option* columnOption[kFieldCount] = {};
    CLI::Option* disableOption[kFieldCount] = {};
};

// Adds INPUT, every option of the convert command and its help footer to
// `convert`, bound to `o`, which must outlive the parse.
void AddConvertOptions(CLI::App& convert, ConvertOptions& o);

// A refused setting in the words of the command line: the option that sets
// it, then what to give instead. `s` holds the settings that were refused.
std::string OptionMessage(const CSettingProblem& p, const CConversionSettings& s);

// The choices of a job as the options that were given make them.
JobChoices Choices(const ConvertOptions& o);

}  // namespace tarvel
