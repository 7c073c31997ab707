// tallybrook-xls: dispatches to the subcommands; errors go to standard error
// with exit status 1.
#include "Commands.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

std::vector<xlstool::TCommand> AllCommands()
{
    std::vector<xlstool::TCommand> all;
    for (auto group : {xlstool::WriteCommands, xlstool::InspectCommands, xlstool::ReadCommands})
        for (const auto& c : group()) all.push_back(c);
    return all;
}

void PrintHelp(const std::vector<xlstool::TCommand>& commands)
{
    std::printf("Usage: tallybrook-xls COMMAND ARGUMENTS\n\nCommands:\n");
    for (const auto& c : commands) std::printf("  %s %s\n      %s\n\n", c.Name, c.Usage, c.Help);
    std::printf("  --help\n      Shows this text.\n\n"
                "A workbook saved with a password to open is read with --password TEXT; one saved as\n"
                "protected without a password opens as it is.\n"
                "Errors are reported on standard error with exit status 1.\n");
}

}  // namespace

int main(int argc, char** argv)
{
    auto commands = AllCommands();
    std::string name = argc > 1 ? argv[1] : "";
    if (name == "--help" || name == "-h" || name == "help") {
        PrintHelp(commands);
        return 0;
    }
    for (const auto& c : commands) {
        if (name != c.Name) continue;
        std::vector<std::string> args(argv + 2, argv + argc);
        if (c.TakesPassword && args.size() >= 2 && args[args.size() - 2] == "--password") {
            xlstool::gPassword = args.back();
            args.resize(args.size() - 2);
        }
        if (int(args.size()) != c.ArgCount) {
            std::fprintf(stderr, "Usage: tallybrook-xls %s %s\n", c.Name, c.Usage);
            return 1;
        }
        try {
            return c.Run(args);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    }
    std::fprintf(stderr,
                 name.empty() ? "No command given; see tallybrook-xls --help\n"
                              : "Unknown command \"%s\"; see tallybrook-xls --help\n",
                 name.c_str());
    return 1;
}
