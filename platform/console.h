// The edge of a command-line program: its arguments and its console.
#pragma once

#include <string>
#include <vector>

namespace tarvel {

// The program's arguments in UTF-8. On Windows they are read from the wide
// command line, so that any name survives whatever the code page; elsewhere
// they are `argv` as given.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Makes the console show UTF-8 text and the terminal escapes of a progress
// line (on Windows; elsewhere the terminal already does).
void PrepareConsole();

// Whether standard error is an interactive console, where a progress line
// that rewrites itself may be shown.
bool StandardErrorIsConsole();

}  // namespace tarvel
