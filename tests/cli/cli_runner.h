// Runs tarvel-cli's command function in the test process, capturing its output.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace tarvel::test {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

inline Outcome Cli(std::vector<std::string> args) {
    args.insert(args.begin(), "tarvel-cli");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    int status = RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

}  // namespace tarvel::test
