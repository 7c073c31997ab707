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

// The process-wide state. It is created once and never destroyed: a worker
// abandoned shortly before the program ends may still pass through it while
// static objects are being torn down.
struct WindowState {
    // Guards the count, the window pointer, the queues and every Done flag.
    std::mutex Lock;
    std::condition_variable Changed;
    TupThreadWindow* Window = nullptr;
    int RefCount = 0;
    std::deque<std::shared_ptr<SyncRequest>> Pending;
    std::deque<std::function<void()>> Tasks;
    bool FinishedPending = false;
};

WindowState& State()
{
    static WindowState* state = new WindowState;
    return *state;
}

void Serve(const std::shared_ptr<SyncRequest>& request)
{
    if (!request->Cancelled || !request->Cancelled()) {
        try {
            request->Method();
        } catch (...) {
            request->Exception = std::current_exception();
        }
    }
    std::lock_guard lock(State().Lock);
    request->Done = true;
    State().Changed.notify_all();
}

std::shared_ptr<SyncRequest> TakeNext()
{
    std::lock_guard lock(State().Lock);
    if (State().Pending.empty()) return nullptr;
    auto next = State().Pending.front();
    State().Pending.pop_front();
    return next;
}

}  // namespace

TupThreadWindow::TupThreadWindow()
{
    FWakeDescriptor = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    auto* notifier = new QSocketNotifier(FWakeDescriptor, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        uint64_t count = 0;
        while (::read(FWakeDescriptor, &count, sizeof count) > 0) {
        }
        ServePending();
        std::deque<std::function<void()>> tasks;
        bool finished = false;
        {
            std::lock_guard lock(State().Lock);
            tasks.swap(State().Tasks);
            std::swap(finished, State().FinishedPending);
        }
        for (auto& task : tasks) task();
        if (finished) emit ThreadFinished();
    });
}

TupThreadWindow::~TupThreadWindow() { ::close(FWakeDescriptor); }

void TupThreadWindow::Wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(FWakeDescriptor, &one, sizeof one);
}

void TupThreadWindow::ServePending()
{
    while (auto request = TakeNext()) Serve(request);
}

void AcquireThreadWindow()
{
    std::lock_guard lock(State().Lock);
    if (!State().Window) State().Window = new TupThreadWindow;
    ++State().RefCount;
}

void ReleaseThreadWindow()
{
    std::lock_guard lock(State().Lock);
    if (--State().RefCount != 0 || !State().Window) return;
    // Destroyed only when the release is handled and nobody took a new reference.
    State().Tasks.emplace_back([] {
        std::lock_guard inner(State().Lock);
        if (State().RefCount == 0 && State().Window) {
            State().Window->deleteLater();
            State().Window = nullptr;
        }
    });
    State().Window->Wake();
}

TupThreadWindow* ThreadWindowHandle()
{
    std::lock_guard lock(State().Lock);
    return State().Window;
}

bool OnWindowThread()
{
    std::lock_guard lock(State().Lock);
    return State().Window && State().Window->thread() == QThread::currentThread();
}

void SendSyncRequest(const std::shared_ptr<SyncRequest>& request)
{
    if (OnWindowThread()) {
        Serve(request);
        return;
    }
    std::unique_lock lock(State().Lock);
    State().Pending.push_back(request);
    State().Window->Wake();
    State().Changed.notify_all();
    State().Changed.wait(lock, [&] { return request->Done; });
}

void WaitServing(const std::function<bool()>& finished)
{
    if (!OnWindowThread()) {
        std::unique_lock lock(State().Lock);
        State().Changed.wait(lock, finished);
        return;
    }
    for (;;) {
        std::shared_ptr<SyncRequest> next;
        {
            std::unique_lock lock(State().Lock);
            State().Changed.wait(lock, [&] { return finished() || !State().Pending.empty(); });
            if (finished()) return;
            next = State().Pending.front();
            State().Pending.pop_front();
        }
        Serve(next);
    }
}

void Locked(const std::function<void()>& change)
{
    std::lock_guard lock(State().Lock);
    change();
    State().Changed.notify_all();
}

}  // namespace upthread

namespace upthread {

bool LockedQuery(const std::function<bool()>& query)
{
    std::lock_guard lock(State().Lock);
    return query();
}

void NotifyThreadFinished()
{
    std::lock_guard lock(State().Lock);
    State().FinishedPending = true;
    if (State().Window) State().Window->Wake();
}

void PostToWindow(std::function<void()> task)
{
    std::lock_guard lock(State().Lock);
    State().Tasks.push_back(std::move(task));
    if (State().Window) State().Window->Wake();
}

}  // namespace upthread
