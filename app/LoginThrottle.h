// Slows down guessing at the login window: after three failed logins in a
// row each further try waits one second longer than the one before, up to
// five seconds. Kept in memory only, so a restart starts the count afresh.
#pragma once

#include <chrono>

class TLoginThrottle {
public:
    using Clock = std::chrono::steady_clock;

    void Failed(Clock::time_point now);
    void Succeeded();
    int Failures() const { return FFailures; }
    // Whole seconds still to wait before the next try (rounded up), 0 when it may go.
    int SecondsLeft(Clock::time_point now) const;
    // The wait that follows `failures` failed logins in a row.
    static int WaitSeconds(int failures);

private:
    int FFailures = 0;
    Clock::time_point FNextTry{};
};
