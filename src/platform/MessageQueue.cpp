#include "platform/MessageQueue.h"

#include <algorithm>
#include <chrono>

namespace vantrel {

namespace {
// Longest real wait between looks at the clock, so a clock that is not the wall still gets
// noticed without a Wake().
constexpr std::int64_t kMaxWaitMs = 50;
}  // namespace

void MessageQueue::Post(const ThreadMessage& message) {
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(message);
    }
    m_changed.notify_all();
}

void MessageQueue::PostQuit() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
}

std::uint32_t MessageQueue::SetTimer(std::uint32_t id, std::int64_t ms) {
    {
        std::lock_guard lock(m_mutex);
        const std::int64_t due = m_clock.NowMs() + ms;
        auto it = std::find_if(m_timers.begin(), m_timers.end(),
                               [id](const Timer& t) { return t.id == id; });
        if (it != m_timers.end()) {
            *it = {id, ms, due};
        } else {
            m_timers.push_back({id, ms, due});
        }
    }
    m_changed.notify_all();
    return id;
}

void MessageQueue::KillTimer(std::uint32_t id) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_timers, [id](const Timer& t) { return t.id == id; });
}

bool MessageQueue::HasTimer(std::uint32_t id) const {
    std::lock_guard lock(m_mutex);
    return std::any_of(m_timers.begin(), m_timers.end(),
                       [id](const Timer& t) { return t.id == id; });
}

std::optional<ThreadMessage> MessageQueue::TakeLocked() {
    if (!m_messages.empty()) {
        ThreadMessage message = m_messages.front();
        m_messages.pop_front();
        return message;
    }
    if (m_timers.empty()) return std::nullopt;
    const std::int64_t now = m_clock.NowMs();
    auto due = std::min_element(m_timers.begin(), m_timers.end(),
                                [](const Timer& a, const Timer& b) { return a.due < b.due; });
    if (due->due > now) return std::nullopt;
    due->due = now + due->period;
    return ThreadMessage{kTimerMessage, due->id, 0};
}

std::optional<ThreadMessage> MessageQueue::TryGet() {
    std::lock_guard lock(m_mutex);
    return TakeLocked();
}

std::optional<ThreadMessage> MessageQueue::Get() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_quit && m_messages.empty()) return std::nullopt;
        if (auto message = TakeLocked()) return message;
        if (m_timers.empty()) {
            m_changed.wait(lock);
            continue;
        }
        std::int64_t wait = kMaxWaitMs;
        const std::int64_t now = m_clock.NowMs();
        for (const Timer& t : m_timers) wait = std::min(wait, std::max<std::int64_t>(t.due - now, 0));
        m_changed.wait_for(lock, std::chrono::milliseconds(wait));
    }
}

std::optional<std::int64_t> MessageQueue::NextTimerIn() const {
    std::lock_guard lock(m_mutex);
    if (m_timers.empty()) return std::nullopt;
    const std::int64_t now = m_clock.NowMs();
    std::int64_t next = m_timers.front().due - now;
    for (const Timer& t : m_timers) next = std::min(next, t.due - now);
    return std::max<std::int64_t>(next, 0);
}

void MessageQueue::Wake() { m_changed.notify_all(); }

}  // namespace vantrel
