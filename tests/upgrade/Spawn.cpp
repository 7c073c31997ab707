#include "Spawn.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QThread>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

SpawnedChild Spawn(const QString& program, const QStringList& args, bool pipes, const QString& workDir)
{
    const QByteArray dir = workDir.toLocal8Bit();
    std::vector<QByteArray> words{program.toLocal8Bit()};
    for (const QString& arg : args) words.push_back(arg.toLocal8Bit());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    if (pipes && (::pipe(in) != 0 || ::pipe(out) != 0)) return {};
    SpawnedChild child;
    child.Pid = ::fork();
    if (child.Pid == 0) {
        if (!dir.isEmpty() && ::chdir(dir.constData()) != 0) ::_exit(126);
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, 2);  // helpers' progress output only clutters the test log
        if (pipes) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::close(in[1]);
            ::close(out[0]);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (pipes) {
        ::close(in[0]);
        ::close(out[1]);
        child.Input = in[1];
        child.Output = out[0];
    }
    return child;
}

int WaitExit(pid_t pid, int guardMs)
{
    QDeadlineTimer guard(guardMs);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (guard.hasExpired()) return -1;
        QThread::msleep(5);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunProgram(const QString& program, const QStringList& args, QByteArray* output, const QString& workDir)
{
    const SpawnedChild child = Spawn(program, args, output != nullptr, workDir);
    if (child.Pid < 0) return -1;
    if (output) {
        ::close(child.Input);
        char buffer[4096];
        for (ssize_t n; (n = ::read(child.Output, buffer, sizeof buffer)) > 0;) output->append(buffer, n);
        ::close(child.Output);
    }
    return WaitExit(child.Pid);
}
