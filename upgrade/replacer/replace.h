// Puts the downloaded files of an upgrade in place and starts the program
// again, keeping the previous files until the new program has come up.
// Used by the replacement program's main and by its tests.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace replacer {

struct Request {
    std::string ApplicationPath;
    std::string RestartArgs;  // the restart arguments, mode digit included
    bool ExternalSetup = false;
};

// Reads the command line: the application's path, a blank, "+" and the
// restart arguments; a path with blanks may arrive split into several arguments.
bool ParseCommandLine(const std::vector<std::string>& args, Request& request);

// Waits until Path can be opened for writing (the program using it has
// ended), trying every Pause; false once Limit has passed, and false at once
// when the file may not be written at all (Error then says why).
bool WaitUntilWritable(const std::string& path, std::chrono::milliseconds pause, std::chrono::milliseconds limit,
                       int* error = nullptr);

// Empty when Folder may be worked in: a real folder, ours or the system's,
// that nobody else can write; else the reason.
std::string CheckFolder(const std::string& folder);

// One replaced file: the previous one waits under Backup until the new
// program has confirmed that it runs.
struct Swap {
    std::string Target;
    std::string Backup;  // empty when there was no previous file
};

struct Replaced {
    std::string SetupProgram;  // empty when there is none
    int Files = 0;
    std::vector<Swap> Swaps;
    std::string Error;  // set when a replacement failed; every file is then back
};

// Renames every "*.uTMP" file of Folder over the file it replaces, in name
// order. Each must be a plain file of ours that nobody else can write; each
// target a plain file (or none). When any step fails, every file already
// replaced is put back and the remaining "*.uTMP" files are deleted.
Replaced ReplaceFiles(const std::string& folder, const Request& request);
// Puts the previous files back, last replaced first.
void RollBack(const std::vector<Swap>& swaps);
// Deletes the previous files once the new program runs.
void DropBackups(const std::vector<Swap>& swaps);

// Starts Program with the restart arguments, detached; returns its process
// id. With ConfirmFd, the program receives that pipe's number in
// TALLYBROOK_UPGRADE_CONFIRM_FD and writes to it once it has come up.
pid_t StartProgram(const std::string& program, const std::string& restartArgs, int confirmFd = -1);

// True when Program confirms on the pipe within Limit; false when it ends,
// closes the pipe or stays silent, and then it is stopped.
bool WaitForConfirmation(int readFd, pid_t program, std::chrono::milliseconds limit);

}  // namespace replacer
