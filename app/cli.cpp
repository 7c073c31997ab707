#include "app/cli.h"

#include <cstring>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/CliCommands.h"
#include "store/Backup.h"
#include "store/Connection.h"

namespace {

std::vector<TCliCommand>& Commands()
{
    static std::vector<TCliCommand> commands = [] {
        std::vector<TCliCommand> all = AllCliCommands();
        for (auto& c : ExportCommands()) all.push_back(std::move(c));
        for (auto& c : BackupCommands()) all.push_back(std::move(c));
        for (auto& c : ImportCommands()) all.push_back(std::move(c));
        for (auto& c : ReportCommands()) all.push_back(std::move(c));
        for (auto& c : AccountCommands()) all.push_back(std::move(c));
        return all;
    }();
    return commands;
}

void Help(std::ostream& out)
{
    out << "Usage: tallybrook [COMMAND [ARGS...]]\n\n"
           "Without a command, starts the program's windows on ./ledgr.mdb; where the current\n"
           "directory holds none, on the one in $XDG_DATA_HOME/tallybrook (made at first).\n\n"
           "Commands (they work on the ledgr.mdb of the current directory, or else on the one in\n"
           "$XDG_DATA_HOME/tallybrook; they need no display):\n";
    for (const TCliCommand& c : Commands()) out << "  " << c.usage << "\n      " << c.summary << "\n";
    out << "  --help\n      Shows this list.\n\n"
           "Exit status:\n"
           "  0  done\n"
           "  1  refused or failed; nothing was stored\n"
           "  2  wrong command or arguments; nothing was done\n"
           "  3  stored, but the workbook file could not be written back\n"
           "  4  the database is damaged; nothing was done (restore a backup)\n"
           "  5  needs confirmation (--yes); nothing was stored\n";
}

// Commands that repair or list the safety net run on a damaged database; the
// others stop before they read or write it.
bool ChecksDatabase(const std::string& command)
{
    return command != "new-database" && command != "backups" && command != "restore";
}

// Removes what killed runs left behind, then stops on a damaged database.
// Returns the exit status to end with, or -1 to go on.
int PrepareDatabase(std::ostream& err)
{
    std::string db = store::Connection().FullPath();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(db, ec)) return -1;  // the command reports the missing file itself
    store::RemoveLeftovers(std::filesystem::path(db).parent_path().string());
    store::RemoveLeftovers(store::BackupManager(db).Folder());
    std::string problem = store::CheckDatabase(db, true);
    if (problem == "ok") return -1;
    err << CliText(store::DamagedDatabaseAdvice(db, problem)) << "\n";
    return kExitDamaged;
}

}  // namespace

bool IsCommand(int argc, char** argv)
{
    if (argc < 2) return false;
    std::string a = argv[1];
    if (a == "--help" || a == "-h" || a == "help") return true;
    for (const TCliCommand& c : Commands())
        if (a == c.name) return true;
    return a.size() > 0 && a[0] != '/' && a[0] != '-';  // unknown words get a clear error
}

int RunCommand(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    std::string a = argv[1];
    if (a == "--help" || a == "-h" || a == "help") {
        Help(out);
        return 0;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const TCliCommand& c : Commands()) {
        if (a != c.name) continue;
        try {
            if (ChecksDatabase(a))
                if (int status = PrepareDatabase(err); status >= 0) return status;
            return c.run(args, out, err);
        } catch (const store::EDatabaseDamaged& e) {
            err << CliText(e.what()) << "\n";
            return kExitDamaged;
        } catch (const std::exception& e) {
            err << CliText(e.what()) << "\n";
            return kExitFailed;
        }
    }
    err << "未知的命令 \"" << a << "\"。请运行 \"tallybrook --help\" 查看命令列表。\n";
    return kExitUsage;
}
