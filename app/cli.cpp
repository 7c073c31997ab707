#include "app/cli.h"

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/CliCommands.h"

namespace {

std::vector<TCliCommand>& Commands() {
    static std::vector<TCliCommand> commands = [] {
        std::vector<TCliCommand> all = AllCliCommands();
        for (auto& c : ExportCommands()) all.push_back(std::move(c));
        for (auto& c : BackupCommands()) all.push_back(std::move(c));
        for (auto& c : ImportCommands()) all.push_back(std::move(c));
        for (auto& c : AccountCommands()) all.push_back(std::move(c));
        return all;
    }();
    return commands;
}

void Help(std::ostream& out) {
    out << "Usage: tallybrook [COMMAND [ARGS...]]\n\n"
           "Without a command, starts the program's windows on ./ledgr.mdb.\n\n"
           "Commands (they work on the ledgr.mdb of the current directory and need no display):\n";
    for (const TCliCommand& c : Commands()) out << "  " << c.usage << "\n      " << c.summary << "\n";
    out << "  --help\n      Shows this list.\n";
}

}  // namespace

bool IsCommand(int argc, char** argv) {
    if (argc < 2) return false;
    std::string a = argv[1];
    if (a == "--help" || a == "-h" || a == "help") return true;
    for (const TCliCommand& c : Commands())
        if (a == c.name) return true;
    return a.size() > 0 && a[0] != '/' && a[0] != '-';  // unknown words get a clear error
}

int RunCommand(int argc, char** argv, std::ostream& out, std::ostream& err) {
    std::string a = argv[1];
    if (a == "--help" || a == "-h" || a == "help") {
        Help(out);
        return 0;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const TCliCommand& c : Commands()) {
        if (a != c.name) continue;
        try {
            return c.run(args, out, err);
        } catch (const std::exception& e) {
            err << e.what() << "\n";
            return 1;
        }
    }
    err << "Unknown command \"" << a << "\". Run \"tallybrook --help\" for the list of commands.\n";
    return 2;
}
