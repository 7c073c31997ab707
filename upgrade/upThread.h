// Worker threads of the upgrade: one job per OS thread, results brought back
// to the window thread through a blocking cross-thread call.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <sys/types.h>
#include <thread>

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The priority values of the table, higher meaning more urgent; on Linux a
// thread's nice value is the negated entry.
extern const int ThreadPriorityTable[7];

class TupCustomThread;
using TupThreadEvent = std::function<void(TupCustomThread*)>;

namespace upthread {
struct ThreadState;
}

class TupEventThread {
public:
    explicit TupEventThread(TupCustomThread* aOwner);
    ~TupEventThread();
    TupEventThread(const TupEventThread&) = delete;
    TupEventThread& operator=(const TupEventThread&) = delete;

    void Resume();
    void Suspend();
    void Terminate();
    uint32_t WaitFor();
    // Runs Method on the window thread while the calling worker waits.
    void SynchronizeCall(const std::function<void()>& Method);
    TupEventThread* Clone() const;
    // Abandons this worker (it never delivers anything again), deletes this
    // object and returns a fresh, suspended one with the same settings.
    TupEventThread* KillAndClone();

    bool FreeOnTerminate() const;
    void setFreeOnTerminate(bool on);
    pthread_t Handle() const;
    pid_t ThreadID() const;
    TThreadPriority Priority() const;
    void setPriority(TThreadPriority priority);
    bool Suspended() const { return FSuspended; }
    void setSuspended(bool on);
    bool Terminated() const;
    bool Running() const;
    int ReturnValue() const;
    void setReturnValue(int value);
    // Settings taken over from the component when a run starts.
    void setHandleExceptions(bool on);
    void setRunContext(std::shared_ptr<void> context);

    TupThreadEvent OnExecute, OnException, OnTerminate;
    TupCustomThread* const Owner;

    // The context attached to the run the calling worker executes.
    static std::shared_ptr<void> CurrentRunContext();
    // From a job: runs Method on the window thread while the calling worker
    // waits; skipped when the worker has been abandoned or its component is
    // going away. Called on the window thread it runs Method directly.
    static void SynchronizeCurrent(const std::function<void()>& Method);
    // From a job: true once the worker has been abandoned or told to stop.
    static bool CurrentTerminated();

    std::shared_ptr<upthread::ThreadState> State() const { return FState; }

private:
    std::shared_ptr<upthread::ThreadState> FState;
    std::thread FHandle;
    bool FSuspended = true;
};

class TupCustomThread : public QObject {
    Q_OBJECT
public:
    explicit TupCustomThread(QObject* aOwner = nullptr);
    ~TupCustomThread() override;

    // Starts one run on a fresh worker; false only when a blocking wait ran out.
    bool Execute();
    void Synchronize(const std::function<void()>& Method);
    void SynchronizeEx(const std::function<void(void*)>& Method, void* Params);
    void Suspend();
    void Resume();
    void Terminate(bool Imediately);
    void Loaded();

    pthread_t Handle() const { return FThread->Handle(); }
    bool Running() const { return FThread->Running(); }
    bool Terminated() const { return FThread->Terminated(); }
    pid_t ThreadID() const { return FThread->ThreadID(); }
    int ReturnValue() const { return FThread->ReturnValue(); }
    void setReturnValue(int value) { FThread->setReturnValue(value); }
    TThreadPriority Priority() const { return FThread->Priority(); }
    void setPriority(TThreadPriority p) { FThread->setPriority(p); }
    bool Suspended() const;
    void setSuspended(bool on);
    void setOnExecute(TupThreadEvent e) { FThread->OnExecute = std::move(e); }
    void setOnException(TupThreadEvent e) { FThread->OnException = std::move(e); }
    void setOnTerminate(TupThreadEvent e) { FThread->OnTerminate = std::move(e); }
    // Attached to the next run only; the job reads it with CurrentRunContext.
    void setRunContext(std::shared_ptr<void> context) { FRunContext = std::move(context); }
    bool Destroying() const { return FDestroying; }
    bool OwnerDestroying() const { return FOwnerDestroying; }
    // For code that lets the owner know it is going away.
    void setOwnerDestroying(bool on) { FOwnerDestroying = on; }
    TupEventThread* Thread() const { return FThread; }
    // Puts Replacement in place of the current event thread without deleting
    // the current one (it deletes itself when its worker ends).
    void ReplaceThread(TupEventThread* replacement) { FThread = replacement; }

    bool FreeOwnerOnTerminate = false;
    bool HandleExceptions = true;
    bool WaitThread = false;
    uint32_t WaitTimeout = 0;
    TupThreadEvent OnWaitTimeoutExpired;
    bool Designing = false;

private:
    bool WaitForRun();

    TupEventThread* FThread = nullptr;
    bool FDesignSuspended = true;
    bool FDestroying = false;
    std::atomic<bool> FOwnerDestroying{false};
    std::shared_ptr<void> FRunContext;
};
