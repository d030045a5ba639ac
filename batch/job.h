// Settling the conversion of one input from what detection finds in it and
// what the user chose, for tarvel-cli convert and for the desktop program's
// batch window alike; and the directory a conversion makes for its
// portfolio.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "convert/converter.h"
#include "convert/detect.h"
#include "platform/platform.h"
#include "platform/prompt.h"
#include "settings/conversion_settings.h"

namespace tarvel {

// What settling a job ends in; tarvel-cli's exit statuses are the same.
inline constexpr int kReady = 0;       // the settings are settled and the job may run
inline constexpr int kExitFailed = 1;  // refused after a message on the prompt
inline constexpr int kExitUsage = 2;   // a setting refused, with the refusal's text

// What the user chose beyond detection; each choice left unset is what
// detection (or, with fromSettings, the saved settings) says.
struct JobChoices {
    std::optional<std::string> out, symbol, name, dateFormat;
    std::optional<int> delimiter;  // a "Delimiter" value: 0 comma .. 4 pipe
    std::optional<bool> decimalComma;
    std::optional<int> skip;  // lines to skip
    bool noSkip = false;      // skip no lines
    std::optional<int> column[kFieldCount];
    bool noField[kFieldCount] = {};  // the input has no such field
    int exist = -1;                  // 0 "Use Existing Master", 1 "Make New Master", -1 either
    bool fromSettings = false;       // the saved layout instead of detection
    bool strict = false;
    bool update = false;
    int waitSeconds = kDefaultWaitSeconds;
    // How the user chooses another symbol, as messages name it.
    std::string symbolChoice = "--symbol";
    // How the user settles what detection leaves open (the layout, the order
    // of day and month, the decimal mark); empty: the options that do.
    std::string settleAlone;
    // The words of a refused setting; its strMessage when unset.
    std::function<std::string(const CSettingProblem&, const CConversionSettings&)> describe;
};

// A job's settings for one input, from detection (or the saved settings)
// and the choices.
struct PreparedJob {
    CConversionSettings s;
    CDetectedLayout layout;
    int dateFormat = 0;
    bool makeDirectory = false;  // the portfolio's directory, and its parents, when missing
    std::string symbolSource;    // the ticker or file name the symbol comes from, as written
};

// Settles the settings of converting `input` over `saved`. In a batch the
// portfolio is settled by the caller, and the symbol is the one chosen or
// else the file's name (or its one ticker). Returns kReady with *job filled,
// kExitFailed after a message on `prompt`, or kExitUsage with the refusal in
// *refusal; *job is then partly filled.
int PrepareJob(const JobChoices& c, const std::string& input, CPlatform& platform, CPrompt& prompt,
               const CConversionSettings& saved, std::string* refusal, bool batch, PreparedJob* job);

// Sets `job` up to convert `input` as `prepared` says, with the choices that
// are no setting (strict, update, wait).
void FillJob(const JobChoices& c, const PreparedJob& prepared, const std::string& input, CConverter& job);

// Messages of a conversion that must not stop for a box (a dry run, a file
// of a batch read ahead): kept in order, every box answered OK.
class CRecordingPrompt : public CPrompt {
public:
    int MessageBox(const std::string& text, int) override {
        m_texts.push_back(text);
        return kIdOk;
    }
    std::vector<std::string> m_texts;
};

// The portfolio directory a conversion makes when it is missing. A run that
// stores nothing takes away again the levels it made, so that a failed
// conversion leaves no empty folder behind.
class CMadeDirectory {
public:
    // Makes `directory` and any missing parents. False, with the system's
    // reason in *error, when it cannot.
    bool Make(const std::string& directory, std::error_code* error);
    // Removes the levels Make made, deepest first, while each is empty.
    void RemoveIfEmpty() const;

private:
    std::vector<std::string> m_made;  // deepest first
};

}  // namespace tarvel
