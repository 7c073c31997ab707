// Watches a folder while a test runs and notes the mode of every file or
// folder the moment it appears there (inotify, on a thread of its own), so
// a test can tell a file created private from one made private afterwards.
#pragma once

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

class CreationWatcher {
public:
    explicit CreationWatcher(const std::string& folder) : FFolder(folder)
    {
        FFd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (FFd >= 0) inotify_add_watch(FFd, folder.c_str(), IN_CREATE | IN_MOVED_TO);
        FThread = std::thread([this] { Run(); });
    }
    ~CreationWatcher() { Stop(); }
    // Stops watching; the modes seen so far stay readable.
    void Stop()
    {
        FStop = true;
        if (FThread.joinable()) FThread.join();
        if (FFd >= 0) ::close(FFd);
        FFd = -1;
    }
    // The permission bits each name had when it was first seen.
    std::map<std::string, unsigned> FirstModes()
    {
        std::lock_guard<std::mutex> lock(FMutex);
        return FModes;
    }

private:
    void Run()
    {
        alignas(inotify_event) char buffer[8192];
        while (!FStop) {
            pollfd wait{FFd, POLLIN, 0};
            if (::poll(&wait, 1, 20) <= 0) continue;
            const ssize_t n = ::read(FFd, buffer, sizeof buffer);
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0) Note(event->name);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }
    void Note(const std::string& name)
    {
        struct stat info {};
        if (::lstat((FFolder + "/" + name).c_str(), &info) != 0) return;
        std::lock_guard<std::mutex> lock(FMutex);
        FModes.emplace(name, info.st_mode & 07777);
    }

    std::string FFolder;
    int FFd = -1;
    std::atomic<bool> FStop{false};
    std::mutex FMutex;
    std::map<std::string, unsigned> FModes;
    std::thread FThread;
};
