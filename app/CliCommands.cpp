#include "app/CliCommands.h"

#include <ostream>

#include "app/SalesCli.h"
#include "store/Connection.h"

std::string CliText(std::string text) {
    for (size_t at = 0; (at = text.find('\r', at)) != std::string::npos;) {
        if (at + 1 < text.size() && text[at + 1] == '\n')
            text.erase(at, 1);
        else
            text[at] = '\n';
    }
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

std::vector<TCliCommand> DatabaseCommands() {
    return {{"new-database", "new-database",
             "Creates ledgr.mdb here with the tables and the account admin / 470913; never overwrites.",
             [](const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
                 if (!args.empty()) {
                     err << "new-database takes no arguments\n";
                     return kExitUsage;
                 }
                 store::Connection::CreateDatabase(store::kDatabaseFile);
                 store::Connection c;
                 out << "已创建数据库: " << c.FullPath() << "\n";
                 return 0;
             }}};
}

std::vector<TCliCommand> AllCliCommands() {
    std::vector<TCliCommand> all;
    for (auto& c : DatabaseCommands()) all.push_back(std::move(c));
    for (auto& c : SalesCommands()) all.push_back(std::move(c));
    return all;
}
