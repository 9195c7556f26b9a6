#pragma once

#include <cstdint>

namespace vantrel {

// Monotonic time source with a sleep, so that time-outs, pauses and pacing can run on a clock a
// test controls instead of the wall.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary fixed point; never goes backwards.
    virtual std::int64_t NowMs() = 0;
    virtual void SleepMs(std::int64_t ms) = 0;
};

// The real monotonic clock (std::chrono::steady_clock).
Clock& SystemClock();

}  // namespace vantrel
