#include "app/CliCommands.h"

#include <ostream>

#include "app/SalesCli.h"
#include "store/Connection.h"

std::vector<TCliCommand> DatabaseCommands() {
    return {{"new-database", "new-database",
             "Creates ledgr.mdb here with the tables and the account admin / 470913; never overwrites.",
             [](const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
                 if (!args.empty()) {
                     err << "new-database takes no arguments\n";
                     return 2;
                 }
                 store::Connection::CreateDatabase(store::kDatabaseFile);
                 store::Connection c;
                 out << "Created " << c.FullPath() << "\n";
                 return 0;
             }}};
}

std::vector<TCliCommand> AllCliCommands() {
    std::vector<TCliCommand> all;
    for (auto& c : DatabaseCommands()) all.push_back(std::move(c));
    for (auto& c : SalesCommands()) all.push_back(std::move(c));
    return all;
}
