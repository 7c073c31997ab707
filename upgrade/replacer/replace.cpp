#include "replace.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace replacer {
namespace {

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::string> TemporaryFiles(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 5 && EndsWith(name, ".uTMP"))
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

// The new file takes over the old one's permissions; the program itself and
// a setup program must stay executable.
void FixMode(const std::string& path, mode_t oldMode, bool hadOld, bool mustRun)
{
    mode_t mode = hadOld ? (oldMode & 07777) : 0644;
    if (mustRun)
        mode |= S_IRUSR | S_IXUSR;
    ::chmod(path.c_str(), mode);
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, Request& request)
{
    if (args.size() == 2 && !args[1].empty() && args[1][0] == '+') {
        request.ApplicationPath = args[0];
        request.RestartArgs = args[1].substr(1);
    } else {
        std::string joined;
        for (const auto& arg : args)
            joined += arg + ' ';
        const auto plus = joined.find('+');
        if (plus == std::string::npos || plus == 0)
            return false;
        request.ApplicationPath = joined.substr(0, plus - 1);
        request.RestartArgs = joined.substr(plus + 1, joined.size() - plus - 2);
    }
    request.ExternalSetup = EndsWith(request.RestartArgs, "1");
    return !request.ApplicationPath.empty();
}

bool WaitUntilWritable(const std::string& path, std::chrono::milliseconds pause, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        if (errno == ENOENT)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(pause);
    }
}

Replaced ReplaceFiles(const std::string& folder, const Request& request)
{
    Replaced result;
    for (const auto& name : TemporaryFiles(folder)) {
        const std::string found = folder + name;
        const std::string target = found.substr(0, found.size() - 5);
        const bool isApplication = target == request.ApplicationPath;
        const bool isSetup = request.ExternalSetup && result.SetupProgram.empty() && !isApplication &&
                             EndsWith(name.substr(0, name.size() - 5), "exe");
        struct stat old {};
        const bool hadOld = ::stat(target.c_str(), &old) == 0;
        ::unlink(target.c_str());
        if (::rename(found.c_str(), target.c_str()) != 0)
            continue;  // the temporary file stays for the next hand-over
        FixMode(target, old.st_mode, hadOld, isApplication || isSetup);
        if (isSetup)
            result.SetupProgram = target;
        ++result.Files;
    }
    return result;
}

int StartProgram(const std::string& program, const std::string& restartArgs)
{
    std::vector<std::string> words{program};
    std::istringstream split(restartArgs);
    for (std::string word; split >> word;)
        words.push_back(word);
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    ::setsid();
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

}  // namespace replacer
