#include "app/CliCommands.h"

#include <ostream>

#include "app/SalesCli.h"
#include "store/Connection.h"
#include "store/Server.h"

std::string CliText(std::string text)
{
    for (size_t at = 0; (at = text.find('\r', at)) != std::string::npos;) {
        if (at + 1 < text.size() && text[at + 1] == '\n')
            text.erase(at, 1);
        else
            text[at] = '\n';
    }
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

namespace {

int NewServerDatabase(const std::string& address, std::ostream& out)
{
    store::Connection::CreateDatabase(address);
    std::string shown = store::RedactedAddress(address);
    out << "已在数据库服务器上创建账目表和账号 admin: " << shown << "\n"
        << "要让程序使用它, 请在 config.ini 中写入:\n[database]\nserver=" << shown << "\n"
        << (shown != address ? "(把 *** 换成密码) " : "") << "或设置环境变量 " << store::kDatabaseUrlVariable << "。\n";
    return 0;
}

}  // namespace

std::vector<TCliCommand> DatabaseCommands()
{
    return {{"new-database", "new-database [--server URL]",
             "Creates ledgr.mdb here with the tables and the account admin / 470913; never overwrites. "
             "With --server, creates them in that PostgreSQL database instead.",
             [](const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
                 if (args.size() == 2 && args[0] == "--server") return NewServerDatabase(args[1], out);
                 if (!args.empty()) {
                     err << "new-database takes no arguments, or --server URL\n";
                     return kExitUsage;
                 }
                 store::Connection::CreateDatabase(store::kDatabaseFile);
                 store::Connection c;
                 out << "已创建数据库: " << c.FullPath() << "\n";
                 return 0;
             }}};
}

std::vector<TCliCommand> AllCliCommands()
{
    std::vector<TCliCommand> all;
    for (auto& c : DatabaseCommands()) all.push_back(std::move(c));
    for (auto& c : SalesCommands()) all.push_back(std::move(c));
    return all;
}
