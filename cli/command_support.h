// What the commands of tarvel-cli share: the prompt of a conversion that
// must not speak, the names of the field options and the completing of a
// committed conversion. The exit statuses are batch/job.h's.
#pragma once

#include <ostream>
#include <string>

#include "batch/job.h"
#include "convert/converter.h"
#include "platform/platform.h"
#include "platform/prompt.h"

namespace tarvel {

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

// A conversion killed after its commit point leaves a journal whose renames
// complete it. A reader that finds one in `dir` completes it first, when no
// conversion holds the portfolio, so that it reads what was committed. Does
// nothing when there is no journal or the portfolio is locked. A journal that
// is none of ours is removed without renaming anything, and `err`, when
// given, told why (as it is told why one stays).
void CompleteACommittedConversion(CPlatform& platform, const std::string& dir, std::ostream* err = nullptr);

}  // namespace tarvel
