// Puts the downloaded files of an upgrade in place and starts the program
// again. Used by the replacement program's main and by its tests.
#pragma once

#include <chrono>
#include <string>
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
// ended), trying every Pause; false once Limit has passed.
bool WaitUntilWritable(const std::string& path, std::chrono::milliseconds pause, std::chrono::milliseconds limit);

struct Replaced {
    std::string SetupProgram;  // empty when there is none
    int Files = 0;
};

// Renames every "*.uTMP" file of Folder over the file it replaces.
Replaced ReplaceFiles(const std::string& folder, const Request& request);

// Starts Program with the restart arguments, detached; returns its process id.
int StartProgram(const std::string& program, const std::string& restartArgs);

}  // namespace replacer
