// The command line program's words and its console.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace vek {

// The words after the program's name, in UTF-8 like every text in the program, whatever the
// system handed main().
std::vector<std::string> CommandLineWords(int argc, char* argv[]);

// stdout and stderr carry UTF-8 with plain line ends, the same bytes whether they go to a
// console, a pipe or a file, and a console shows them as UTF-8.
void UseUtf8Output();

// A terminal, not a file, a pipe or a null device.
bool IsTerminal(std::FILE* stream);
// The terminal's width in columns, or 0 when it does not say.
int TerminalColumns(std::FILE* terminal);

}  // namespace vek
