// Starts helper programs with fork and exec. The tests avoid QProcess: it
// may start children in a way the thread sanitizer cannot follow, which
// confuses its view of the parent's memory.
#pragma once

#include <QString>
#include <QStringList>
#include <sys/types.h>

struct SpawnedChild {
    pid_t Pid = -1;
    int Input = -1;   // the child's standard input, when asked for
    int Output = -1;  // the child's standard output, when asked for
};

SpawnedChild Spawn(const QString& program, const QStringList& args, bool pipes = false,
                   const QString& workDir = QString());
// The exit code, or -1 when the child did not end within the guard time.
int WaitExit(pid_t pid, int guardMs = 90000);
// Runs to the end and returns the exit code; Output receives standard output.
int RunProgram(const QString& program, const QStringList& args, QByteArray* output = nullptr,
               const QString& workDir = QString());
