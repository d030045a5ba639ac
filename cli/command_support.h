// What the commands of tarvel-cli share: their exit statuses, the prompt of
// a conversion that must not speak, and the names of the field options.
#pragma once

#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "convert/converter.h"
#include "platform/platform.h"
#include "platform/prompt.h"

namespace tarvel {

inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
// A job whose settings are settled and that may run.
inline constexpr int kReady = 0;

// The fields as options name them: "--date-col", "--no-oi" and the words
// inspect prints.
inline constexpr const char* kFieldOptionNames[kFieldCount] = {"date",  "open",   "high", "low",
                                                               "close", "volume", "oi"};

// Message boxes become lines on standard error; a question is answered No.
class CCliPrompt : public CPrompt {
public:
    explicit CCliPrompt(std::ostream& err) : m_err(err) {}
    int MessageBox(const std::string& text, int type) override {
        m_err << "Tarvel: " << text << "\n";
        return (type & 0xF) == kMbYesNo ? kIdNo : kIdOk;
    }

private:
    std::ostream& m_err;
};

// Messages of a dry run, for inspect and for the files a batch reads ahead:
// kept in order, every box answered OK.
class CRecordingCliPrompt : public CPrompt {
public:
    int MessageBox(const std::string& text, int) override {
        m_texts.push_back(text);
        return kIdOk;
    }
    std::vector<std::string> m_texts;
};

// A conversion killed after its commit point leaves a journal whose renames
// complete it. A reader that finds one in `dir` completes it first, when no
// conversion holds the portfolio, so that it reads what was committed. Does
// nothing when there is no journal or the portfolio is locked. A journal that
// is none of ours is removed without renaming anything, and `err`, when
// given, told why (as it is told why one stays).
void CompleteACommittedConversion(CPlatform& platform, const std::string& dir, std::ostream* err = nullptr);

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
