#include "app/LoginThrottle.h"

#include <algorithm>

namespace {
constexpr int kFreeTries = 3;
constexpr int kLongestWait = 5;
}  // namespace

int TLoginThrottle::WaitSeconds(int failures) { return std::clamp(failures - kFreeTries + 1, 0, kLongestWait); }

void TLoginThrottle::Failed(Clock::time_point now)
{
    ++FFailures;
    FNextTry = now + std::chrono::seconds(WaitSeconds(FFailures));
}

void TLoginThrottle::Succeeded()
{
    FFailures = 0;
    FNextTry = {};
}

int TLoginThrottle::SecondsLeft(Clock::time_point now) const
{
    if (now >= FNextTry) return 0;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(FNextTry - now).count();
    return static_cast<int>((ms + 999) / 1000);
}
