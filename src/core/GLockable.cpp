#include "GLockable.h"

#include <algorithm>
#include <chrono>
#include <thread>

TErrorCode GLockable::Lock(TUInt32 timeoutMs)
{
    if (timeoutMs == 0)
    {
        return TryLock();
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    TErrorCode result = TryLock();
    while (result == kLockBusyErr)
    {
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
        {
            break;
        }
        // Whole milliseconds, rounded up: a shorter sleep would turn the last millisecond into a
        // busy loop where the system sleeps in milliseconds.
        const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        std::this_thread::sleep_for(std::min(remaining, std::chrono::milliseconds(50)));
        result = TryLock();
    }
    return result;
}
