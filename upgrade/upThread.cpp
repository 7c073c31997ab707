#include "upgrade/upThread.h"

#include "upgrade/upThreadWindow.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>

const int ThreadPriorityTable[7] = {-15, -2, -1, 0, 1, 2, 15};

namespace upthread {

// What a worker shares with the object that started it. The worker keeps its
// own reference, so an abandoned worker can finish without touching the
// component or the (already deleted) event thread object.
struct ThreadState : std::enable_shared_from_this<ThreadState> {
    explicit ThreadState(TupCustomThread* owner) : Owner(owner) { AcquireThreadWindow(); }
    ~ThreadState() { ReleaseThreadWindow(); }

    TupCustomThread* const Owner;
    TupEventThread* Wrapper = nullptr;  // window thread only

    std::mutex GateLock;
    std::condition_variable GateChanged;
    int SuspendCount = 1;
    bool Started = false;
    pid_t Tid = 0;

    std::atomic<bool> Abandoned{false};
    std::atomic<bool> Terminated{false};
    std::atomic<bool> Running{false};
    std::atomic<bool> FreeOnTerminate{false};
    std::atomic<bool> HandleExceptions{true};
    std::atomic<int> ReturnValue{0};
    bool Finished = false;  // guarded by the window lock

    // Copied from the event thread object when the run starts.
    TupThreadEvent OnExecute, OnException, OnTerminate;
    std::shared_ptr<void> RunContext;
};

namespace {

thread_local ThreadState* CurrentState = nullptr;

bool Skipped(const ThreadState& st) { return st.Abandoned || (st.Owner && st.Owner->Destroying()); }

void SyncOn(const std::shared_ptr<ThreadState>& st, std::function<void()> method)
{
    if (st->Abandoned) return;
    auto request = std::make_shared<SyncRequest>();
    request->Method = std::move(method);
    request->Cancelled = [raw = st.get()] { return Skipped(*raw); };
    SendSyncRequest(request);
    if (request->Exception && !st->HandleExceptions) std::rethrow_exception(request->Exception);
}

void DoException(ThreadState& st)
{
    if (!Skipped(st) && st.OnException) st.OnException(st.Owner);
}

void DoExecute(const std::shared_ptr<ThreadState>& st)
{
    if (!st->OnExecute || st->Abandoned) return;
    if (!st->HandleExceptions) {
        st->OnExecute(st->Owner);
        return;
    }
    try {
        st->OnExecute(st->Owner);
    } catch (...) {
        if (st->OnException) SyncOn(st, [raw = st.get()] { DoException(*raw); });
    }
}

TupEventThread* CloneWith(TupCustomThread* owner, TThreadPriority priority, const TupThreadEvent& onExecute,
                          const TupThreadEvent& onException, const TupThreadEvent& onTerminate)
{
    auto* clone = new TupEventThread(owner);
    clone->setPriority(priority);
    clone->OnExecute = onExecute;
    clone->OnException = onException;
    clone->OnTerminate = onTerminate;
    return clone;
}

TThreadPriority PriorityOf(pid_t tid)
{
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (errno != 0) return tpNormal;
    for (int p = tpIdle; p <= tpTimeCritical; ++p)
        if (ThreadPriorityTable[p] == -nice) return static_cast<TThreadPriority>(p);
    return tpNormal;
}

void DoTerminate(ThreadState& st)
{
    TupCustomThread* owner = st.Owner;
    const bool freeOwner = owner->FreeOwnerOnTerminate;
    if (st.OnTerminate && !Skipped(st)) {
        if (!st.HandleExceptions) {
            st.OnTerminate(owner);
        } else {
            try {
                st.OnTerminate(owner);
            } catch (...) {
                DoException(st);
            }
        }
    }
    if (freeOwner && !st.Abandoned && owner->parent()) {
        owner->ReplaceThread(CloneWith(owner, PriorityOf(st.Tid), st.OnExecute, st.OnException, st.OnTerminate));
        delete owner->parent();
    }
}

bool WaitAtGate(ThreadState& st)
{
    std::unique_lock lock(st.GateLock);
    st.Tid = gettid();
    st.GateChanged.notify_all();
    st.GateChanged.wait(lock, [&] { return st.SuspendCount <= 0 || st.Abandoned; });
    st.Started = !st.Abandoned;
    return st.Started;
}

void ThreadProc(std::shared_ptr<ThreadState> st)
{
    CurrentState = st.get();
    bool freeOnTerminate = false;
    if (WaitAtGate(*st)) {
        st->Running = true;
        DoExecute(st);
        freeOnTerminate = st->FreeOnTerminate;
        st->Running = false;
        if (st->OnTerminate) SyncOn(st, [raw = st.get()] { DoTerminate(*raw); });
    }
    Locked([&] { st->Finished = true; });
    NotifyThreadFinished();
    if (freeOnTerminate && !st->Abandoned) {
        PostToWindow([st] { delete st->Wrapper; });
    }
    CurrentState = nullptr;
}

}  // namespace
}  // namespace upthread

using upthread::ThreadState;

TupEventThread::TupEventThread(TupCustomThread* aOwner) : Owner(aOwner), FState(std::make_shared<ThreadState>(aOwner))
{
    FState->Wrapper = this;
    FHandle = std::thread(upthread::ThreadProc, FState);
    std::unique_lock lock(FState->GateLock);
    FState->GateChanged.wait(lock, [&] { return FState->Tid != 0; });
}

TupEventThread::~TupEventThread()
{
    FState->Wrapper = nullptr;
    if (FState->Running && !FSuspended && !FState->Abandoned) {
        FState->Terminated = true;
        WaitFor();
    }
    bool started = false;
    {
        std::lock_guard lock(FState->GateLock);
        started = FState->Started;
        FState->Abandoned = true;
        FState->GateChanged.notify_all();
    }
    // A worker that may still wait for the window thread is left to end on
    // its own; joining it here could wait for this very thread.
    const bool finished = upthread::LockedQuery([this] { return FState->Finished; });
    if (finished || !started)
        FHandle.join();
    else
        FHandle.detach();
}

void TupEventThread::Resume()
{
    std::lock_guard lock(FState->GateLock);
    if (FState->SuspendCount <= 0) return;
    if (FState->SuspendCount == 1) {
        FState->OnExecute = OnExecute;
        FState->OnException = OnException;
        FState->OnTerminate = OnTerminate;
        FSuspended = false;
        // Busy from the moment the run is released, not only once the worker
        // has been scheduled.
        FState->Running = true;
    }
    --FState->SuspendCount;
    FState->GateChanged.notify_all();
}

// A started Linux thread cannot be frozen from outside; the count only holds
// back a worker that has not begun its job yet.
void TupEventThread::Suspend()
{
    FSuspended = true;
    std::lock_guard lock(FState->GateLock);
    ++FState->SuspendCount;
}

void TupEventThread::setSuspended(bool on)
{
    if (on == FSuspended) return;
    on ? Suspend() : Resume();
}

void TupEventThread::Terminate() { FState->Terminated = true; }
bool TupEventThread::Terminated() const { return FState->Terminated; }
bool TupEventThread::Running() const { return FState->Running; }
int TupEventThread::ReturnValue() const { return FState->ReturnValue; }
void TupEventThread::setReturnValue(int value) { FState->ReturnValue = value; }
bool TupEventThread::FreeOnTerminate() const { return FState->FreeOnTerminate; }
void TupEventThread::setFreeOnTerminate(bool on) { FState->FreeOnTerminate = on; }
void TupEventThread::setHandleExceptions(bool on) { FState->HandleExceptions = on; }
pid_t TupEventThread::ThreadID() const { return FState->Tid; }

pthread_t TupEventThread::Handle() const { return const_cast<std::thread&>(FHandle).native_handle(); }

void TupEventThread::setRunContext(std::shared_ptr<void> context)
{
    std::lock_guard lock(FState->GateLock);
    FState->RunContext = std::move(context);
}

std::shared_ptr<void> TupEventThread::CurrentRunContext()
{
    auto* st = upthread::CurrentState;
    if (!st) return nullptr;
    std::lock_guard lock(st->GateLock);
    return st->RunContext;
}

void TupEventThread::SynchronizeCurrent(const std::function<void()>& Method)
{
    auto* st = upthread::CurrentState;
    if (!st)
        Method();
    else
        upthread::SyncOn(st->shared_from_this(), Method);
}

bool TupEventThread::CurrentTerminated()
{
    auto* st = upthread::CurrentState;
    return st && (st->Abandoned || st->Terminated);
}

TThreadPriority TupEventThread::Priority() const { return upthread::PriorityOf(FState->Tid); }

// Raising a priority needs privileges; without them the thread keeps its value.
void TupEventThread::setPriority(TThreadPriority priority)
{
    setpriority(PRIO_PROCESS, static_cast<id_t>(FState->Tid), -ThreadPriorityTable[priority]);
}

uint32_t TupEventThread::WaitFor()
{
    auto st = FState;
    upthread::WaitServing([st] { return st->Finished; });
    return static_cast<uint32_t>(st->ReturnValue.load());
}

void TupEventThread::SynchronizeCall(const std::function<void()>& Method)
{
    if (upthread::CurrentState == FState.get())
        upthread::SyncOn(FState, Method);
    else
        Method();
}

TupEventThread* TupEventThread::Clone() const
{
    return upthread::CloneWith(Owner, Priority(), OnExecute, OnException, OnTerminate);
}

TupEventThread* TupEventThread::KillAndClone()
{
    TupEventThread* clone = Clone();
    FState->Abandoned = true;
    delete this;
    return clone;
}

TupCustomThread::TupCustomThread(QObject* aOwner) : QObject(aOwner), FThread(new TupEventThread(this)) {}

TupCustomThread::~TupCustomThread()
{
    FDestroying = true;
    if (FThread->Running()) Terminate(true);
    delete FThread;
}

void TupCustomThread::Loaded() { setSuspended(FDesignSuspended); }

bool TupCustomThread::Suspended() const { return Designing ? FDesignSuspended : FThread->Suspended(); }

void TupCustomThread::setSuspended(bool on)
{
    FDesignSuspended = on;
    if (!Designing) FThread->setSuspended(on);
}

void TupCustomThread::Suspend() { FThread->Suspend(); }
void TupCustomThread::Resume() { FThread->Resume(); }

void TupCustomThread::Terminate(bool Imediately)
{
    if (!FThread) return;
    if (Imediately)
        FThread = FThread->KillAndClone();
    else
        FThread->Terminate();
}

bool TupCustomThread::Execute()
{
    Terminate(true);
    if (FreeOwnerOnTerminate) FThread->setFreeOnTerminate(true);
    FThread->setHandleExceptions(HandleExceptions);
    FThread->setRunContext(std::move(FRunContext));
    FRunContext.reset();
    FThread->Resume();
    if (!WaitThread) return true;
    return WaitForRun();
}

// Keeps the window thread's event loop (and with it the worker's cross-thread
// calls) running while it waits; a request to quit the application ends the
// wait early with the worker still going.
bool TupCustomThread::WaitForRun()
{
    auto st = FThread->State();
    auto finished = [st] { return upthread::LockedQuery([st] { return st->Finished; }); };
    QEventLoop loop;
    QTimer timer;
    bool timedOut = false;
    QObject::connect(upthread::ThreadWindowHandle(), &upthread::TupThreadWindow::ThreadFinished, &loop, [&] {
        if (finished()) loop.quit();
    });
    if (WaitTimeout > 0) {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            loop.quit();
        });
        timer.start(static_cast<int>(WaitTimeout));
    }
    if (!finished()) loop.exec();
    if (timedOut && !finished()) {
        Terminate(true);
        if (OnWaitTimeoutExpired) OnWaitTimeoutExpired(this);
        return false;
    }
    return true;
}

void TupCustomThread::Synchronize(const std::function<void()>& Method)
{
    if (FOwnerDestroying) return;
    auto* st = upthread::CurrentState;
    if (!st || st->Owner != this) {
        Method();
        return;
    }
    upthread::SyncOn(st->shared_from_this(), [this, Method] {
        if (!FOwnerDestroying) Method();
    });
}

void TupCustomThread::SynchronizeEx(const std::function<void(void*)>& Method, void* Params)
{
    if (!Method) return;
    Synchronize([Method, Params] { Method(Params); });
}
