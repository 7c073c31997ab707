// The process-wide carrier of cross-thread calls: a worker that needs the
// window thread queues a request here and blocks until the window thread has
// run it, either from its event loop or from a wait for a worker.
#pragma once

#include <QObject>
#include <exception>
#include <functional>
#include <memory>

namespace upthread {

// One blocking call from a worker to the window thread.
struct SyncRequest {
    std::function<void()> Method;     // skipped when Cancelled() says so
    std::function<bool()> Cancelled;  // checked on the window thread
    std::exception_ptr Exception;
    bool Done = false;  // guarded by the window lock
};

// Workers wake the window thread through an event descriptor watched by the
// window thread's event loop; everything they hand over travels in queues
// guarded by the window lock, never in Qt events posted from a worker.
class TupThreadWindow : public QObject {
    Q_OBJECT
public:
    TupThreadWindow();
    ~TupThreadWindow() override;
    // Runs every queued request (window thread).
    void ServePending();
    // Any thread: makes the window thread look at its queues.
    void Wake();
signals:
    // A worker has ended (its final state is visible to the window thread).
    void ThreadFinished();

private:
    int FWakeDescriptor = -1;
};

// Reference counting of the hidden window; the window is created by the first
// event thread and destroyed once the last one is gone and the posted release
// has been handled.
void AcquireThreadWindow();
void ReleaseThreadWindow();
// The current window object (null when none); for tests.
TupThreadWindow* ThreadWindowHandle();
// True on the thread that owns the window (the window thread).
bool OnWindowThread();

// Queues the request and blocks the calling worker until it has been served.
void SendSyncRequest(const std::shared_ptr<SyncRequest>& request);
// Waits until Finished() holds (evaluated under the window lock); on the
// window thread queued requests are served meanwhile.
void WaitServing(const std::function<bool()>& finished);
// Evaluates Query under the window lock.
bool LockedQuery(const std::function<bool()>& query);
// Tells the window thread that a worker has ended.
void NotifyThreadFinished();
// Runs Task on the window thread soon (any thread may call it while it holds
// a reference to the window).
void PostToWindow(std::function<void()> task);
// Wakes every waiter after a state it may wait for has changed; the change
// must be made inside Locked().
void Locked(const std::function<void()>& change);

}  // namespace upthread
