#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/Clock.h"

namespace vantrel {

// A numbered message with two arguments, as a thread's queue carries it.
struct ThreadMessage {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// The message number a due timer arrives as; wParam holds the timer id.
inline constexpr std::uint32_t kTimerMessage = 0x0113;

// A thread's message queue with timers. Posted messages come out first in order; a timer is
// delivered only when no posted message waits, and fires again every period until killed.
// Post, PostQuit and Wake may be called from any thread.
class MessageQueue {
public:
    explicit MessageQueue(Clock& clock) : m_clock(clock) {}

    void Post(const ThreadMessage& message);
    // Makes Get() return nothing once the messages posted before it are taken.
    void PostQuit();

    // Starts or restarts timer `id` with a period of `ms`; returns the id.
    std::uint32_t SetTimer(std::uint32_t id, std::int64_t ms);
    void KillTimer(std::uint32_t id);
    bool HasTimer(std::uint32_t id) const;

    // The next message, waiting for one or for a timer to fall due; nothing after PostQuit.
    std::optional<ThreadMessage> Get();
    // The next message or due timer without waiting.
    std::optional<ThreadMessage> TryGet();
    // Milliseconds until the next timer falls due (0 when one is due), nothing without timers.
    std::optional<std::int64_t> NextTimerIn() const;

    // Re-examines the timers: for a clock that is moved by hand rather than by the wall.
    void Wake();

private:
    struct Timer {
        std::uint32_t id;
        std::int64_t period;
        std::int64_t due;
    };
    std::optional<ThreadMessage> TakeLocked();

    Clock& m_clock;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<ThreadMessage> m_messages;
    std::vector<Timer> m_timers;
    bool m_quit = false;
};

}  // namespace vantrel
