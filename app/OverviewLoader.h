// Loads the overview's figures on a thread of its own, with a connection of
// its own, so the window stays responsive while the store adds up a long span
// (twelve months of a large shop take seconds: every line of the span is read).
// Only the newest request is delivered: a request made while another is
// running interrupts that one's statement, and its result is dropped.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/Overview.h"

class TOverviewLoader : public QObject {
    Q_OBJECT
public:
    using TWork = std::function<TOverview(store::Connection&)>;

    explicit TOverviewLoader(std::string databaseFile, QObject* parent = nullptr);
    ~TOverviewLoader() override;

    void Request(TWork work);
    // True from a request until its result has been delivered.
    bool Busy() const { return FThread.joinable(); }
    // Blocks until the newest request's result has been delivered.
    void Wait();
    // Interrupts the running load and drops it and any pending one
    // (before the database file is replaced).
    void Stop();

signals:
    void Loaded(const TOverview& figures);
    void Failed(const QString& message);

private:
    void Start(TWork work);
    void Cancel();
    void Finished(std::uint64_t generation);
    void Deliver();

    std::string FFile;
    std::thread FThread;
    std::uint64_t FGeneration = 0;
    std::optional<TWork> FPending;
    std::mutex FLock;  // guards the three below, shared with the worker
    store::Connection* FActive = nullptr;
    bool FCancelled = false;  // the running load's result is no longer wanted
    std::optional<TOverview> FResult;
    std::string FError;
};
