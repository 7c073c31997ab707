// The replacement program: started by the application after an upgrade has
// downloaded its files, it waits for the application to end, puts the new
// files in place and starts the application again.
#include "replace.h"

#include <cstdio>
#include <sys/wait.h>

namespace {

constexpr std::chrono::milliseconds Pause{100};
// After this the files stay as they are; the next hand-over applies them.
constexpr std::chrono::milliseconds Limit{60000};

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

int Run(const replacer::Request& request)
{
    if (!replacer::WaitUntilWritable(request.ApplicationPath, Pause, Limit)) {
        std::fprintf(stderr, "Replacer: %s is still in use; nothing replaced.\n", request.ApplicationPath.c_str());
        return 1;
    }
    const auto replaced = replacer::ReplaceFiles(FolderOf(request.ApplicationPath), request);
    if (replaced.SetupProgram.empty()) {
        // Also in external-setup mode without a separate setup program: the
        // application itself is never deleted.
        replacer::StartProgram(request.ApplicationPath, request.RestartArgs);
        return 0;
    }
    const int setup = replacer::StartProgram(replaced.SetupProgram, request.RestartArgs);
    if (setup > 0)
        ::waitpid(setup, nullptr, 0);
    std::remove(replaced.SetupProgram.c_str());
    replacer::StartProgram(request.ApplicationPath, request.RestartArgs);
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
