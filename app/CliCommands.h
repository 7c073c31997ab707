// The table of subcommands; each area of the program adds its own.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

struct TCliCommand {
    std::string name;
    std::string usage;
    std::string summary;
    std::function<int(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)> run;
};

std::vector<TCliCommand> AllCliCommands();
std::vector<TCliCommand> DatabaseCommands();
std::vector<TCliCommand> ExportCommands();
std::vector<TCliCommand> BackupCommands();
std::vector<TCliCommand> ImportCommands();
std::vector<TCliCommand> AccountCommands();
