// The replacement program: started by the application after an upgrade has
// downloaded its files, it waits for the application to end, puts the new
// files in place and starts the application again. The previous files stay
// until the new program confirms that it came up; otherwise they are put
// back and the previous program is started.
#include "replace.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds Pause{100};
// After this the files stay as they are; the next hand-over applies them.
constexpr std::chrono::milliseconds Limit{60000};
// The time the new program has to show its login window.
constexpr int ConfirmSecondsDefault = 60;

std::chrono::milliseconds ConfirmLimit()
{
    const char* text = std::getenv("TALLYBROOK_UPGRADE_CONFIRM_SECONDS");  // shortened by the tests
    const int seconds = text ? std::atoi(text) : 0;
    return std::chrono::seconds(seconds > 0 ? seconds : ConfirmSecondsDefault);
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// The previous version, started plainly: nothing of the upgrade reaches it.
// The program reads the note at its next start and shows it to the seller.
void LeaveNote(const std::string& why)
{
    const char* path = std::getenv("TALLYBROOK_UPGRADE_REPORT");
    if (!path || !*path) return;
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return;
    [[maybe_unused]] const ssize_t n = ::write(fd, why.data(), why.size());
    ::close(fd);
}

int GiveBack(const replacer::Request& request, const std::string& why, int code)
{
    std::fprintf(stderr, "Replacer: %s; the previous version stays and is started again.\n", why.c_str());
    LeaveNote(why);
    replacer::StartProgram(request.ApplicationPath, std::string());
    return code;
}

// Starts the new program and waits for its word; true when it came.
bool StartConfirmed(const replacer::Request& request)
{
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) return false;
    const pid_t program = replacer::StartProgram(request.ApplicationPath, request.RestartArgs, pipe[1]);
    ::close(pipe[1]);
    const bool confirmed = program > 0 && replacer::WaitForConfirmation(pipe[0], program, ConfirmLimit());
    ::close(pipe[0]);
    return confirmed;
}

int Run(const replacer::Request& request)
{
    const std::string folder = FolderOf(request.ApplicationPath);
    int error = 0;
    if (!replacer::WaitUntilWritable(request.ApplicationPath, Pause, Limit, &error)) {
        if (error == ETXTBSY || error == EBUSY) {
            std::fprintf(stderr, "Replacer: %s is still in use; nothing replaced.\n", request.ApplicationPath.c_str());
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));  // the program is ending
        return GiveBack(request, request.ApplicationPath + ": " + std::strerror(error), 1);
    }
    if (const std::string why = replacer::CheckFolder(folder); !why.empty()) return GiveBack(request, why, 1);
    const auto replaced = replacer::ReplaceFiles(folder, request);
    if (!replaced.Error.empty()) return GiveBack(request, replaced.Error, 2);
    if (!replaced.SetupProgram.empty()) {
        const pid_t setup = replacer::StartProgram(replaced.SetupProgram, request.RestartArgs);
        if (setup > 0) ::waitpid(setup, nullptr, 0);
        std::remove(replaced.SetupProgram.c_str());
    }
    // Also in external-setup mode without a separate setup program: the
    // application itself is never deleted.
    if (!StartConfirmed(request)) {
        replacer::RollBack(replaced.Swaps);
        return GiveBack(request, "the new version did not come up", 3);
    }
    replacer::DropBackups(replaced.Swaps);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    replacer::Request request;
    if (args.empty() || !replacer::ParseCommandLine(args, request)) {
        std::printf("Replacer v1.0\nPuts the files of a downloaded upgrade in place and restarts the program.\n"
                    "It is started by the program itself at the end of an upgrade.\n");
        return 0;
    }
    return Run(request);
}
