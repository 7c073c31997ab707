// tallybrook users / passwd / useradd / userdel: the accounts without
// windows, through the same TAccounts rules as the accounts window.
#include <termios.h>
#include <unistd.h>

#include <iostream>
#include <ostream>

#include "app/Accounts.h"
#include "app/CliCommands.h"

namespace {

using TArgs = std::vector<std::string>;

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// One line of standard input; on a terminal it is typed without echo.
std::string ReadLine(const char* prompt, std::ostream& err)
{
    std::string line;
    if (!isatty(STDIN_FILENO)) {
        if (!std::getline(std::cin, line)) throw TAccountError("没有从标准输入读到密码。请把密码写在第一行。");
    } else {
        err << prompt << std::flush;
        termios old{};
        tcgetattr(STDIN_FILENO, &old);
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        bool ok = static_cast<bool>(std::getline(std::cin, line));
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
        err << "\n";
        if (!ok) throw TAccountError("没有读到密码。");
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// The new password twice from a terminal; once from a pipe or file.
std::pair<QString, QString> ReadNewPassword(std::ostream& err)
{
    std::string first = ReadLine("新密码: ", err);
    if (!isatty(STDIN_FILENO)) return {Q(first), Q(first)};
    return {Q(first), Q(ReadLine("再次输入新密码: ", err))};
}

// A refusal from the rules ends the command with status 1 and its message.
template <typename F> int Run(std::ostream& err, F&& action)
{
    try {
        action();
        return 0;
    } catch (const TAccountError& e) {
        err << e.what() << "\n";
        return 1;
    }
}

int Users(const TArgs& args, std::ostream& out, std::ostream& err)
{
    if (!args.empty()) return err << "usage: tallybrook users\n", 2;
    store::Connection c;
    for (const TAccountRow& a : TAccounts(c).List())
        out << a.name.toStdString() << "\t" << (a.hashed ? "hashed" : "plain text") << "\n";
    return 0;
}

int Passwd(const TArgs& args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 1) return err << "usage: tallybrook passwd NAME\n", 2;
    store::Connection c;
    return Run(err, [&] {
        TAccounts accounts(c);
        accounts.RequireAccount(Q(args[0]));  // before a password is asked for
        auto [p1, p2] = ReadNewPassword(err);
        accounts.ChangePassword(Q(args[0]), {}, {}, p1, p2);
        out << "password of " << args[0] << " changed\n";
    });
}

int UserAdd(const TArgs& args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 1) return err << "usage: tallybrook useradd NAME\n", 2;
    store::Connection c;
    return Run(err, [&] {
        auto [p1, p2] = ReadNewPassword(err);
        TAccounts(c).Add(Q(args[0]), p1, p2);
        out << "account " << args[0] << " added\n";
    });
}

int UserDel(const TArgs& args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 1) return err << "usage: tallybrook userdel NAME\n", 2;
    store::Connection c;
    return Run(err, [&] {
        TAccounts(c).Remove(Q(args[0]), {});
        out << "account " << args[0] << " removed\n";
    });
}

}  // namespace

std::vector<TCliCommand> AccountCommands()
{
    return {{"users", "users", "Lists the accounts, one a line: name, and whether its password is stored hashed.",
             Users},
            {"passwd", "passwd NAME",
             "Sets the password of an account: typed twice without echo, or the first line of standard input.", Passwd},
            {"useradd", "useradd NAME",
             "Adds an account; its password is read as for passwd. Same rules as the accounts window.", UserAdd},
            {"userdel", "userdel NAME", "Removes an account; the last account is never removed.", UserDel}};
}
