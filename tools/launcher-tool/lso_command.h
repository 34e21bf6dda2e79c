// launcher-tool lso: compiles a text table into a ".lso" language table, or
// prints a ".lso" back as text.
#pragma once

#include <string>
#include <vector>

// `args` after the command name: "TABLE.txt OUT.lso" or "--dump IN.lso".
// Returns the process exit code (0 done, 1 refused with a message on
// stderr, 2 usage); nothing is written on a refusal.
int lsoCommand(const std::vector<std::string>& args);
