// tallybrook import-goods: the goods window's import without the window,
// on the ledgr.mdb of the current directory.
#include <ostream>

#include "app/BackupSettings.h"
#include "app/CliCommands.h"
#include "app/GoodsImport.h"
#include "store/Backup.h"
#include "store/Connection.h"
#include "workbook/Workbook.h"

namespace {

int ImportGoods(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 1) {
        err << "usage: tallybrook import-goods FILE\n";
        return kExitUsage;
    }
    store::Connection c;
    c.Open();
    workbook::TXLSWorkbook xls;
    workbook::LoadFromWindowResources(xls);
    TGoodsImport import(xls, c);
    import.OnLog = [&out](const QString& line) { out << line.toStdString() << "\n";
};
import.BeforeStore = [&c] { SellerBackups(c.Address(), BackupSettingsFile(false)).Backup("import");
};  // namespace
try {
    import.Run(QString::fromStdString(args[0]));
    out << TGoodsImport::CompletionMessage(import.Summary()).toStdString() << "\n";
} catch (const EWriteBackFailed& e) {
    out.flush();
    err << CliText(e.what()) << "\n";
    return kExitStoredNotWritten;
} catch (const std::exception& e) {
    out.flush();
    err << CliText(e.what()) << "\n";
    return kExitFailed;
}
return 0;
}

}  // namespace

std::vector<TCliCommand> ImportCommands()
{
    return {{"import-goods", "import-goods FILE",
             "Imports goods from a goods template workbook (all rows or none) and writes the file back.", ImportGoods}};
}
