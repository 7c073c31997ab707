// tallybrook backup / backups / restore: the safety net without windows.
#include <iomanip>
#include <ostream>

#include "app/BackupSettings.h"
#include "app/CliCommands.h"
#include "store/Backup.h"
#include "store/Connection.h"

namespace {

store::BackupManager Manager() { return SellerBackups(); }

int Backup(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (!args.empty()) return err << "usage: tallybrook backup\n", kExitUsage;
    out << Manager().Backup("manual") << "\n";
    return 0;
}

int List(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (!args.empty()) return err << "usage: tallybrook backups\n", kExitUsage;
    for (const auto& b : Manager().List())
        out << b.stamp << "\t" << b.reason << "\t" << b.goods << "\t" << b.salesLines << "\t" << b.bytes << "\t"
            << b.path << "\n";
    return 0;
}

int Restore(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 1) return err << "usage: tallybrook restore FILE\n", kExitUsage;
    Manager().Restore(args[0]);
    out << "已恢复备份: " << args[0] << "\n";
    return 0;
}

}  // namespace

std::vector<TCliCommand> BackupCommands()
{
    return {{"backup", "backup", "Backs up ledgr.mdb now into backups/ beside it (checked copy).", Backup},
            {"backups", "backups", "Lists the backups, newest first: time, reason, goods, sales lines, bytes, file.",
             List},
            {"restore", "restore FILE", "Restores a backup over ledgr.mdb; the current state is backed up first.",
             Restore}};
}
