#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/Clock.h"

namespace vantrel::test {

// A clock the test drives. Sleeping advances it at once; with an auto step, every reading also
// moves it forward, so a loop that waits for a time-out ends after a few turns.
class FakeClock final : public Clock {
public:
    explicit FakeClock(std::int64_t autoStepMs = 0) : m_autoStep(autoStepMs) {}

    std::int64_t NowMs() override { return m_now.fetch_add(m_autoStep) + m_autoStep; }
    void SleepMs(std::int64_t ms) override {
        m_sleeps.push_back(ms);
        m_now.fetch_add(ms);
        if (onSleep) onSleep(m_sleeps.size());
    }

    // Called after each sleep with the number of sleeps so far.
    std::function<void(std::size_t)> onSleep;

    void Advance(std::int64_t ms) { m_now.fetch_add(ms); }
    std::int64_t Peek() const { return m_now.load(); }
    const std::vector<std::int64_t>& Sleeps() const { return m_sleeps; }

private:
    std::atomic<std::int64_t> m_now{1'000'000};
    std::int64_t m_autoStep;
    std::vector<std::int64_t> m_sleeps;
};

}  // namespace vantrel::test
