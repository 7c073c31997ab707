#include "app/OverviewLoader.h"

TOverviewLoader::TOverviewLoader(std::string databaseFile, QObject* parent)
    : QObject(parent), FFile(std::move(databaseFile))
{}

TOverviewLoader::~TOverviewLoader() { Stop(); }

void TOverviewLoader::Request(TWork work)
{
    if (!Busy()) {
        Start(std::move(work));
        return;
    }
    FPending = std::move(work);
    Cancel();
}

void TOverviewLoader::Cancel()
{
    std::lock_guard lock(FLock);
    FCancelled = true;
    if (FActive) FActive->Interrupt();
}

void TOverviewLoader::Start(TWork work)
{
    const std::uint64_t generation = ++FGeneration;
    FCancelled = false;
    FThread = std::thread([this, work = std::move(work), generation] {
        std::optional<TOverview> result;
        std::string error;
        try {
            store::Connection c(FFile);
            c.Open();
            {
                std::lock_guard lock(FLock);
                FActive = &c;
                if (FCancelled) c.Interrupt();  // cancelled while the connection opened
            }
            try {
                result = work(c);
            } catch (...) {
                std::lock_guard lock(FLock);
                FActive = nullptr;
                throw;
            }
            std::lock_guard lock(FLock);
            FActive = nullptr;
        } catch (const std::exception& e) {
            error = e.what();
        } catch (...) {
            error = "unknown error";
        }
        {
            std::lock_guard lock(FLock);
            FResult = std::move(result);
            FError = std::move(error);
        }
        QMetaObject::invokeMethod(
            this, [this, generation] { Finished(generation); }, Qt::QueuedConnection);
    });
}

// On the window's thread, queued by the worker as its last step. A call for a
// thread that Wait() or Stop() already joined finds another generation.
void TOverviewLoader::Finished(std::uint64_t generation)
{
    if (generation != FGeneration || !FThread.joinable()) return;
    FThread.join();
    Deliver();
}

void TOverviewLoader::Deliver()
{
    if (FPending) {
        TWork next = std::move(*FPending);
        FPending.reset();
        Start(std::move(next));
        return;
    }
    std::optional<TOverview> result;
    std::string error;
    {
        std::lock_guard lock(FLock);
        result = std::move(FResult);
        error = std::move(FError);
        FResult.reset();
    }
    if (result)
        emit Loaded(*result);
    else
        emit Failed(QString::fromStdString(error));
}

void TOverviewLoader::Wait()
{
    while (FThread.joinable()) {
        FThread.join();
        Deliver();  // starts the pending request, if any, and waits for that one too
    }
}

void TOverviewLoader::Stop()
{
    FPending.reset();
    Cancel();
    if (FThread.joinable()) FThread.join();
    std::lock_guard lock(FLock);
    FResult.reset();
    FError.clear();
}
