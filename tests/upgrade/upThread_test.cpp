#include "TestServer.h"
#include "upgrade/upThread.h"
#include "upgrade/upThreadWindow.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/resource.h>

namespace {

// Holds a job until the test lets it go.
struct Gate {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Open = false;
    void Release()
    {
        std::lock_guard guard(Lock);
        Open = true;
        Changed.notify_all();
    }
    void Pass()
    {
        std::unique_lock guard(Lock);
        Changed.wait(guard, [this] { return Open; });
    }
};

}  // namespace

TEST(upThread, run_executes_job_on_worker_and_terminate_on_window_thread)
{
    TupCustomThread thread;
    std::atomic<QThread*> jobThread{nullptr};
    QThread* terminateThread = nullptr;
    int terminated = 0;
    thread.setOnExecute([&](TupCustomThread*) { jobThread = QThread::currentThread(); });
    thread.setOnTerminate([&](TupCustomThread* sender) {
        EXPECT_EQ(sender, &thread);
        EXPECT_FALSE(sender->Running());
        terminateThread = QThread::currentThread();
        ++terminated;
    });
    ASSERT_TRUE(thread.Execute());
    ASSERT_TRUE(WaitFor([&] { return terminated == 1; }));
    EXPECT_NE(jobThread.load(), QCoreApplication::instance()->thread());
    EXPECT_EQ(terminateThread, QCoreApplication::instance()->thread());
}

TEST(upThread, synchronize_runs_on_window_thread_while_worker_waits)
{
    TupCustomThread thread;
    int seenOnWindow = 0;  // touched only on the window thread
    std::atomic<int> seenByWorker{-1};
    bool done = false;
    thread.setOnExecute([&](TupCustomThread*) {
        TupEventThread::SynchronizeCurrent([&] {
            EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
            seenOnWindow = 42;
        });
        TupEventThread::SynchronizeCurrent([&] { seenByWorker = seenOnWindow; });
    });
    thread.setOnTerminate([&](TupCustomThread*) { done = true; });
    thread.Execute();
    ASSERT_TRUE(WaitFor([&] { return done; }));
    EXPECT_EQ(seenByWorker.load(), 42);
}

TEST(upThread, run_started_from_inside_OnTerminate_is_a_new_independent_worker)
{
    TupCustomThread thread;
    std::atomic<int> jobs{0};
    int terminations = 0;
    std::vector<pid_t> workers;
    thread.setOnExecute([&](TupCustomThread*) { ++jobs; });
    thread.setOnTerminate([&](TupCustomThread* sender) {
        workers.push_back(sender->ThreadID());
        if (++terminations < 3) {
            EXPECT_TRUE(sender->Execute());
        }
    });
    thread.Execute();
    ASSERT_TRUE(WaitFor([&] { return terminations == 3; }));
    // Give an old worker every chance to deliver a second time.
    WaitFor([] { return false; }, 200);
    EXPECT_EQ(terminations, 3);
    EXPECT_EQ(jobs.load(), 3);
    ASSERT_EQ(workers.size(), 3u);
    EXPECT_NE(workers[0], workers[1]);
    EXPECT_NE(workers[1], workers[2]);
}

TEST(upThread, terminate_without_immediately_only_sets_the_flag)
{
    TupCustomThread thread;
    Gate gate;
    std::atomic<bool> finishedJob{false};
    bool terminated = false;
    thread.setOnExecute([&](TupCustomThread*) {
        gate.Pass();
        finishedJob = true;
    });
    thread.setOnTerminate([&](TupCustomThread*) { terminated = true; });
    thread.Execute();
    thread.Terminate(false);
    EXPECT_TRUE(thread.Terminated());
    EXPECT_TRUE(thread.Running());
    gate.Release();
    ASSERT_TRUE(WaitFor([&] { return terminated; }));
    EXPECT_TRUE(finishedJob.load());
}

TEST(upThread, immediate_terminate_abandons_the_worker_which_delivers_nothing)
{
    TupCustomThread thread;
    Gate gate;
    int terminations = 0;
    int syncCalls = 0;
    std::atomic<bool> jobStarted{false}, jobEnded{false};
    thread.setOnExecute([&](TupCustomThread*) {
        jobStarted = true;
        gate.Pass();
        TupEventThread::SynchronizeCurrent([&] { ++syncCalls; });
        jobEnded = true;
    });
    thread.setOnTerminate([&](TupCustomThread*) { ++terminations; });
    thread.Execute();
    ASSERT_TRUE(WaitFor([&] { return jobStarted.load(); }));
    thread.Terminate(true);
    EXPECT_FALSE(thread.Running());
    gate.Release();
    ASSERT_TRUE(WaitFor([&] { return jobEnded.load(); }));
    WaitFor([] { return false; }, 100);
    EXPECT_EQ(syncCalls, 0);
    EXPECT_EQ(terminations, 0);
}

TEST(upThread, priority_outside_the_table_reads_as_normal)
{
    TupCustomThread thread;
    thread.setPriority(tpLower);
    EXPECT_EQ(thread.Priority(), tpLower);
    setpriority(PRIO_PROCESS, static_cast<id_t>(thread.ThreadID()), 7);
    EXPECT_EQ(thread.Priority(), tpNormal);
}

TEST(upThread, blocking_execute_keeps_serving_cross_thread_calls)
{
    TupCustomThread thread;
    thread.WaitThread = true;
    int served = 0;
    thread.setOnExecute([&](TupCustomThread*) {
        for (int i = 0; i < 5; ++i) TupEventThread::SynchronizeCurrent([&] { ++served; });
    });
    int terminated = 0;
    thread.setOnTerminate([&](TupCustomThread*) { ++terminated; });
    EXPECT_TRUE(thread.Execute());
    EXPECT_EQ(served, 5);
    EXPECT_EQ(terminated, 1);
}

TEST(upThread, blocking_execute_that_runs_out_stops_the_worker)
{
    TupCustomThread thread;
    thread.WaitThread = true;
    thread.WaitTimeout = 50;
    Gate gate;
    int expired = 0, terminations = 0;
    std::atomic<bool> jobStarted{false}, jobEnded{false};
    thread.setOnExecute([&](TupCustomThread*) {
        jobStarted = true;
        gate.Pass();
        jobEnded = true;
    });
    thread.setOnTerminate([&](TupCustomThread*) { ++terminations; });
    thread.OnWaitTimeoutExpired = [&](TupCustomThread*) { ++expired; };
    EXPECT_FALSE(thread.Execute());
    EXPECT_EQ(expired, 1);
    EXPECT_FALSE(thread.Running());
    gate.Release();
    // A started job may now end; its worker still delivers nothing.
    WaitFor([&] { return jobEnded.load(); }, jobStarted ? 20000 : 200);
    WaitFor([] { return false; }, 100);
    EXPECT_EQ(terminations, 0);
}

TEST(upThread, exception_in_job_reports_OnException_then_terminates)
{
    TupCustomThread thread;
    QStringList order;
    thread.setOnExecute([](TupCustomThread*) { throw std::runtime_error("job failed"); });
    thread.setOnException([&](TupCustomThread*) { order << "exception"; });
    thread.setOnTerminate([&](TupCustomThread*) { order << "terminate"; });
    thread.Execute();
    ASSERT_TRUE(WaitFor([&] { return order.size() == 2; }));
    EXPECT_EQ(order, QStringList({"exception", "terminate"}));
}

TEST(upThread, exception_of_a_cross_thread_call_reaches_the_worker_only_without_HandleExceptions)
{
    for (const bool handle : {true, false}) {
        TupCustomThread thread;
        thread.HandleExceptions = handle;
        std::atomic<bool> caught{false};
        bool done = false;
        thread.setOnExecute([&](TupCustomThread*) {
            try {
                TupEventThread::SynchronizeCurrent([] { throw std::runtime_error("on window"); });
            } catch (const std::runtime_error&) {
                caught = true;
            }
        });
        thread.setOnTerminate([&](TupCustomThread*) { done = true; });
        thread.Execute();
        ASSERT_TRUE(WaitFor([&] { return done; }));
        EXPECT_EQ(caught.load(), !handle);
    }
}

TEST(upThread, wait_for_on_window_thread_serves_the_workers_calls)
{
    TupCustomThread owner;
    auto* thread = new TupEventThread(&owner);
    int served = 0;
    thread->OnExecute = [&](TupCustomThread*) { TupEventThread::SynchronizeCurrent([&] { ++served; }); };
    thread->setReturnValue(7);
    thread->Resume();
    EXPECT_EQ(thread->WaitFor(), 7u);
    EXPECT_EQ(served, 1);
    delete thread;
}

TEST(upThread, new_event_thread_before_the_release_keeps_the_same_window)
{
    auto* first = new TupEventThread(nullptr);
    upthread::TupThreadWindow* window = upthread::ThreadWindowHandle();
    ASSERT_NE(window, nullptr);
    delete first;
    auto* second = new TupEventThread(nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(upthread::ThreadWindowHandle(), window);
    delete second;
}

TEST(upThread, free_owner_on_terminate_deletes_the_owner_after_the_run)
{
    QPointer<QObject> owner = new QObject;
    auto* thread = new TupCustomThread(owner);
    thread->FreeOwnerOnTerminate = true;
    bool terminated = false;
    thread->setOnTerminate([&](TupCustomThread*) { terminated = true; });
    thread->Execute();
    ASSERT_TRUE(WaitFor([&] { return owner.isNull(); }));
    EXPECT_TRUE(terminated);
    // The finished event thread deletes itself soon after; with it the last
    // event thread is gone and the hidden window goes too.
    EXPECT_TRUE(WaitFor([] { return upthread::ThreadWindowHandle() == nullptr; }));
}

TEST(upThread, window_released_and_created_again_still_carries_calls)
{
    delete new TupEventThread(nullptr);
    ASSERT_TRUE(WaitFor([] { return upthread::ThreadWindowHandle() == nullptr; }));
    TupCustomThread thread;
    int served = 0;
    bool done = false;
    thread.setOnExecute([&](TupCustomThread*) { TupEventThread::SynchronizeCurrent([&] { ++served; }); });
    thread.setOnTerminate([&](TupCustomThread*) { done = true; });
    thread.Execute();
    ASSERT_TRUE(WaitFor([&] { return done; }));
    EXPECT_EQ(served, 1);
}
