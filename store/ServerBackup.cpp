#include "store/ServerBackup.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "store/Connection.h"
#include "store/Server.h"

extern char** environ;

namespace store {
namespace {

namespace fs = std::filesystem;

// The newest server programs installed, or the ones on the PATH.
std::string Program(const std::string& name)
{
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/usr/lib/postgresql", ec))
        if (fs::exists(e.path() / "bin" / name)) found.push_back(e.path() / "bin" / name);
    if (found.empty()) return name;
    std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
        return std::stoi(a.parent_path().parent_path().filename().string()) <
               std::stoi(b.parent_path().parent_path().filename().string());
    });
    return found.back().string();
}

std::string Quote(const std::string& v)
{
    std::string out = "'";
    for (char c : v) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c;
    }
    return out + "'";
}

// The address without its password, which travels in PGPASSWORD instead so
// no process list shows it.
std::pair<std::string, std::string> SplitPassword(const std::string& address)
{
    char* err = nullptr;
    PQconninfoOption* opts = PQconninfoParse(address.c_str(), &err);
    if (!opts) {
        std::string msg = err ? err : "invalid address";
        PQfreemem(err);
        throw StoreError("数据库地址无法识别: " + RedactedAddress(address) + "\n(" + msg + ")");
    }
    std::string conninfo, password;
    for (PQconninfoOption* o = opts; o->keyword; ++o) {
        if (!o->val || !*o->val) continue;
        if (std::string(o->keyword) == "password")
            password = o->val;
        else
            conninfo += std::string(conninfo.empty() ? "" : " ") + o->keyword + "=" + Quote(o->val);
    }
    PQconninfoFree(opts);
    return {conninfo, password};
}

// Runs a server program; returns its exit code and what it wrote to stderr.
std::pair<int, std::string> Run(std::vector<std::string> args, const std::string& password)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("PGPASSWORD=", 0) != 0 && std::string(*e).rfind("PGOPTIONS=", 0) != 0)
            env.push_back(*e);
    if (!password.empty()) env.push_back("PGPASSWORD=" + password);
    env.push_back("PGOPTIONS=-c lock_timeout=15000");
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    char errName[] = "/tmp/tallybrook-pgtool-XXXXXX";
    int errFd = ::mkstemp(errName);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (errFd >= 0) posix_spawn_file_actions_adddup2(&fa, errFd, 2);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    int status = 0;
    if (rc == 0) ::waitpid(pid, &status, 0);
    std::stringstream text;
    if (errFd >= 0) {
        ::close(errFd);
        text << std::ifstream(errName).rdbuf();
        ::unlink(errName);
    }
    if (rc != 0) return {127, args[0] + ": 无法启动 (请安装 postgresql-client)"};
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128, text.str()};
}

}  // namespace

void DumpServer(const std::string& address, const std::string& target)
{
    auto [conninfo, password] = SplitPassword(address);
    auto [rc, err] =
        Run({Program("pg_dump"), "--format=custom", "--no-owner", "--file=" + target, "--dbname=" + conninfo},
            password);
    if (rc != 0) throw StoreError("pg_dump 没有完成: " + err);
    ::chmod(target.c_str(), 0600);
    std::string check = CheckServerDump(target);
    if (check != "ok") throw StoreError("备份副本检查未通过: " + check);
}

std::string CheckServerDump(const std::string& file)
{
    auto [rc, err] = Run({Program("pg_restore"), "--list", "--file=/dev/null", file}, "");
    return rc == 0 ? "ok" : (err.empty() ? "不是数据库服务器的备份" : err);
}

void RestoreServer(const std::string& address, const std::string& file)
{
    std::string check = CheckServerDump(file);
    if (check != "ok") throw StoreError("备份文件 " + file + " 不是数据库服务器的备份, 不能恢复: " + check);
    auto [conninfo, password] = SplitPassword(address);
    auto [rc, err] = Run({Program("pg_restore"), "--clean", "--if-exists", "--single-transaction", "--no-owner",
                          "--exit-on-error", "--dbname=" + conninfo, file},
                         password);
    if (rc != 0)
        throw StoreError("恢复没有完成, 数据库保持恢复前的样子。如果其他电脑上的程序正在使用这个数据库, "
                         "请先关闭它们再恢复。\n(" +
                         err + ")");
}

}  // namespace store
