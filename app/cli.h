// Subcommands of the tallybrook program that run without a display.
#pragma once

#include <iosfwd>

// True when argv[1] names a subcommand (or asks for help).
bool IsCommand(int argc, char** argv);
// Runs it; returns the exit status.
int RunCommand(int argc, char** argv, std::ostream& out, std::ostream& err);
