// The table of subcommands; each area of the program adds its own.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// Exit statuses of the subcommands, listed by --help.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;             // refused or failed: nothing was stored
inline constexpr int kExitUsage = 2;              // wrong arguments: nothing was done
inline constexpr int kExitStoredNotWritten = 3;   // stored, but the file could not be written back
inline constexpr int kExitDamaged = 4;            // the database is damaged: restore a backup
inline constexpr int kExitNeedsConfirmation = 5;  // needs the seller's yes (--yes): nothing was stored

struct TCliCommand {
    std::string name;
    std::string usage;
    std::string summary;
    std::function<int(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)> run;
};

// A message as a terminal shows it: a bare carriage return (which would
// print the rest over the line's start) becomes a line break, and trailing
// line breaks go.
std::string CliText(std::string text);

std::vector<TCliCommand> AllCliCommands();
std::vector<TCliCommand> DatabaseCommands();
std::vector<TCliCommand> ExportCommands();
std::vector<TCliCommand> BackupCommands();
std::vector<TCliCommand> ImportCommands();
std::vector<TCliCommand> ReportCommands();
std::vector<TCliCommand> AccountCommands();
