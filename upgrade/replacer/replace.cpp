#include "replace.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace replacer {
namespace {

constexpr char Backup[] = ".uOLD";

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::string> TemporaryFiles(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 5 && EndsWith(name, ".uTMP")) names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string Reason(const std::string& path, const char* what)
{
    return path + ": " + what + (errno ? std::string(" (") + std::strerror(errno) + ")" : std::string());
}

// A download of ours: a plain file, one name, nobody else may write it.
std::string CheckDownload(const std::string& path)
{
    struct stat info {};
    errno = 0;
    if (::lstat(path.c_str(), &info) != 0) return Reason(path, "cannot be read");
    errno = 0;
    if (!S_ISREG(info.st_mode) || info.st_nlink != 1) return Reason(path, "is not a plain file");
    if (info.st_uid != ::getuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return Reason(path, "belongs to another user or others can write it");
    return std::string();
}

// The new file takes over the old one's permissions; the program itself and
// a setup program must stay executable. Set on the open file: never through
// a link.
void FixMode(const std::string& path, mode_t mode, bool mustRun)
{
    if (mustRun) mode |= S_IRUSR | S_IXUSR;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) ::fchmod(fd, mode & 07777);
    ::close(fd);
}

// Moves the previous file aside and the new one in; Swaps learns of the
// previous file before anything moves, so a rollback finds it.
std::string SwapOne(const std::string& found, const std::string& target, bool mustRun, std::vector<Swap>& swaps)
{
    struct stat old {};
    const bool hadOld = ::lstat(target.c_str(), &old) == 0;
    errno = 0;
    if (hadOld && !S_ISREG(old.st_mode)) return Reason(target, "is not a plain file");
    Swap swap{target, hadOld ? target + Backup : std::string()};
    if (hadOld) {
        ::unlink(swap.Backup.c_str());
        if (::rename(target.c_str(), swap.Backup.c_str()) != 0) return Reason(target, "cannot be moved aside");
    }
    swaps.push_back(swap);
    if (::rename(found.c_str(), target.c_str()) != 0) return Reason(found, "cannot be renamed");
    FixMode(target, hadOld ? old.st_mode : 0644, mustRun);
    return std::string();
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, Request& request)
{
    if (args.size() == 2 && !args[1].empty() && args[1][0] == '+') {
        request.ApplicationPath = args[0];
        request.RestartArgs = args[1].substr(1);
    } else {
        std::string joined;
        for (const auto& arg : args) joined += arg + ' ';
        const auto plus = joined.find('+');
        if (plus == std::string::npos || plus == 0) return false;
        request.ApplicationPath = joined.substr(0, plus - 1);
        request.RestartArgs = joined.substr(plus + 1, joined.size() - plus - 2);
    }
    request.ExternalSetup = EndsWith(request.RestartArgs, "1");
    return !request.ApplicationPath.empty();
}

// A running program's file answers "busy" (ETXTBSY); any other refusal will
// not go away by waiting.
bool WaitUntilWritable(const std::string& path, std::chrono::milliseconds pause, std::chrono::milliseconds limit,
                       int* error)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        const int failed = fd >= 0 ? 0 : errno;
        if (error) *error = failed == ENOENT ? 0 : failed;
        if (fd >= 0) ::close(fd);
        if (failed == 0 || failed == ENOENT) return true;
        if (failed != ETXTBSY && failed != EBUSY) return false;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(pause);
    }
}

std::string CheckFolder(const std::string& folder)
{
    struct stat info {};
    errno = 0;
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return Reason(folder, "is not a folder");
    if ((info.st_uid != ::getuid() && info.st_uid != 0) || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return Reason(folder, "belongs to another user or others can write it");
    return std::string();
}

Replaced ReplaceFiles(const std::string& folder, const Request& request)
{
    Replaced result;
    const std::vector<std::string> names = TemporaryFiles(folder);
    for (const auto& name : names)
        if (result.Error.empty()) result.Error = CheckDownload(folder + name);
    for (size_t i = 0; i < names.size() && result.Error.empty(); ++i) {
        const std::string found = folder + names[i];
        const std::string target = found.substr(0, found.size() - 5);
        const bool isApplication = target == request.ApplicationPath;
        const bool isSetup = request.ExternalSetup && result.SetupProgram.empty() && !isApplication &&
                             EndsWith(names[i].substr(0, names[i].size() - 5), "exe");
        result.Error = SwapOne(found, target, isApplication || isSetup, result.Swaps);
        if (result.Error.empty() && isSetup) result.SetupProgram = target;
        result.Files += result.Error.empty() ? 1 : 0;
    }
    if (!result.Error.empty()) {
        RollBack(result.Swaps);
        for (const auto& name : names) ::unlink((folder + name).c_str());
        result.Swaps.clear();
        result.SetupProgram.clear();
        result.Files = 0;
    }
    return result;
}

void RollBack(const std::vector<Swap>& swaps)
{
    for (auto swap = swaps.rbegin(); swap != swaps.rend(); ++swap) {
        if (swap->Backup.empty())
            ::unlink(swap->Target.c_str());
        else
            ::rename(swap->Backup.c_str(), swap->Target.c_str());
    }
}

void DropBackups(const std::vector<Swap>& swaps)
{
    for (const auto& swap : swaps)
        if (!swap.Backup.empty()) ::unlink(swap.Backup.c_str());
}

pid_t StartProgram(const std::string& program, const std::string& restartArgs, int confirmFd)
{
    std::vector<std::string> words{program};
    std::istringstream split(restartArgs);
    for (std::string word; split >> word;) words.push_back(word);
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::setsid();
    ::unsetenv("TALLYBROOK_UPGRADE_REPORT");
    if (confirmFd >= 0) {
        const int kept = ::dup(confirmFd);  // a duplicate is not closed on exec
        ::setenv("TALLYBROOK_UPGRADE_CONFIRM_FD", std::to_string(kept).c_str(), 1);
    } else {
        ::unsetenv("TALLYBROOK_UPGRADE_CONFIRM_FD");
    }
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

bool WaitForConfirmation(int readFd, pid_t program, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool confirmed = false;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd wait{readFd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        char byte = 0;
        confirmed = ready > 0 && ::read(readFd, &byte, 1) == 1;
        break;
    }
    if (!confirmed && program > 0) {
        ::kill(program, SIGTERM);
        bool ended = false;
        for (int i = 0; i < 20 && !ended; ++i) {
            ended = ::waitpid(program, nullptr, WNOHANG) != 0;
            if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!ended) {
            ::kill(program, SIGKILL);
            ::waitpid(program, nullptr, 0);
        }
    }
    return confirmed;
}

}  // namespace replacer
