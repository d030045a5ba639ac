// tarvel-cli: the conversion without a window, and two readers of portfolios.
#pragma once

#include <ostream>

namespace tarvel {

// Runs the command line `argv` with its output on `out` and `err`. Returns the
// exit status: 0 success, 1 conversion failed (or nothing to read), 2 usage or
// settings-check error.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace tarvel
