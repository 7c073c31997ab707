#include "upgrade/upThreadWindow.h"

#include <QSocketNotifier>
#include <QThread>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>

namespace upthread {
namespace {

// Guards the count, the window pointer, the request queue and every Done flag.
std::mutex ThreadWindowLock;
std::condition_variable ThreadWindowChanged;
TupThreadWindow* ThreadWindow = nullptr;
int ThreadWindowRefCount = 0;
std::deque<std::shared_ptr<SyncRequest>> Pending;
std::deque<std::function<void()>> Tasks;
bool FinishedPending = false;
int WakeDescriptor = -1;

void Serve(const std::shared_ptr<SyncRequest>& request)
{
    if (!request->Cancelled || !request->Cancelled()) {
        try {
            request->Method();
        } catch (...) {
            request->Exception = std::current_exception();
        }
    }
    std::lock_guard lock(ThreadWindowLock);
    request->Done = true;
    ThreadWindowChanged.notify_all();
}

std::shared_ptr<SyncRequest> TakeNext()
{
    std::lock_guard lock(ThreadWindowLock);
    if (Pending.empty())
        return nullptr;
    auto next = Pending.front();
    Pending.pop_front();
    return next;
}

}  // namespace

TupThreadWindow::TupThreadWindow()
{
    WakeDescriptor = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    auto* notifier = new QSocketNotifier(WakeDescriptor, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        uint64_t count = 0;
        while (::read(WakeDescriptor, &count, sizeof count) > 0) {
        }
        ServePending();
        std::deque<std::function<void()>> tasks;
        bool finished = false;
        {
            std::lock_guard lock(ThreadWindowLock);
            tasks.swap(Tasks);
            std::swap(finished, FinishedPending);
        }
        for (auto& task : tasks)
            task();
        if (finished)
            emit ThreadFinished();
    });
}

TupThreadWindow::~TupThreadWindow()
{
    ::close(WakeDescriptor);
    WakeDescriptor = -1;
}

void TupThreadWindow::Wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(WakeDescriptor, &one, sizeof one);
}

void TupThreadWindow::ServePending()
{
    while (auto request = TakeNext())
        Serve(request);
}

void AcquireThreadWindow()
{
    std::lock_guard lock(ThreadWindowLock);
    if (!ThreadWindow)
        ThreadWindow = new TupThreadWindow;
    ++ThreadWindowRefCount;
}

void ReleaseThreadWindow()
{
    std::lock_guard lock(ThreadWindowLock);
    if (--ThreadWindowRefCount != 0 || !ThreadWindow)
        return;
    // Destroyed only when the release is handled and nobody took a new reference.
    Tasks.emplace_back([] {
        std::lock_guard inner(ThreadWindowLock);
        if (ThreadWindowRefCount == 0 && ThreadWindow) {
            ThreadWindow->deleteLater();
            ThreadWindow = nullptr;
        }
    });
    ThreadWindow->Wake();
}

TupThreadWindow* ThreadWindowHandle()
{
    std::lock_guard lock(ThreadWindowLock);
    return ThreadWindow;
}

bool OnWindowThread()
{
    std::lock_guard lock(ThreadWindowLock);
    return ThreadWindow && ThreadWindow->thread() == QThread::currentThread();
}

void SendSyncRequest(const std::shared_ptr<SyncRequest>& request)
{
    if (OnWindowThread()) {
        Serve(request);
        return;
    }
    std::unique_lock lock(ThreadWindowLock);
    Pending.push_back(request);
    ThreadWindow->Wake();
    ThreadWindowChanged.notify_all();
    ThreadWindowChanged.wait(lock, [&] { return request->Done; });
}

void WaitServing(const std::function<bool()>& finished)
{
    if (!OnWindowThread()) {
        std::unique_lock lock(ThreadWindowLock);
        ThreadWindowChanged.wait(lock, finished);
        return;
    }
    for (;;) {
        std::shared_ptr<SyncRequest> next;
        {
            std::unique_lock lock(ThreadWindowLock);
            ThreadWindowChanged.wait(lock, [&] { return finished() || !Pending.empty(); });
            if (finished())
                return;
            next = Pending.front();
            Pending.pop_front();
        }
        Serve(next);
    }
}

void Locked(const std::function<void()>& change)
{
    std::lock_guard lock(ThreadWindowLock);
    change();
    ThreadWindowChanged.notify_all();
}

}  // namespace upthread

namespace upthread {

bool LockedQuery(const std::function<bool()>& query)
{
    std::lock_guard lock(ThreadWindowLock);
    return query();
}

void NotifyThreadFinished()
{
    std::lock_guard lock(ThreadWindowLock);
    FinishedPending = true;
    if (ThreadWindow)
        ThreadWindow->Wake();
}

void PostToWindow(std::function<void()> task)
{
    std::lock_guard lock(ThreadWindowLock);
    Tasks.push_back(std::move(task));
    if (ThreadWindow)
        ThreadWindow->Wake();
}

}  // namespace upthread
