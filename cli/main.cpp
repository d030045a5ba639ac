#include <iostream>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "cli/cli.h"
#include "platform/console.h"

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // A batch parses each file on a worker thread of its own and frees its
    // rows on the main one. With glibc's adaptive thresholds the freed
    // blocks stay with the worker's arena, so memory grew with each big file
    // of a folder; a fixed threshold maps big blocks and gives them back.
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
#endif
    tarvel::PrepareConsole();
    const std::vector<std::string> arguments = tarvel::ProgramArguments(argc, argv);
    std::vector<const char*> pointers;
    pointers.reserve(arguments.size());
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    return tarvel::RunCli(static_cast<int>(pointers.size()), pointers.data(), std::cout, std::cerr);
}
