#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/CDSPSocket.h"
#include "link/DeviceProcedures.h"
#include "link/WorkerMessages.h"
#include "link/WorkerState.h"
#include "platform/MessageQueue.h"

namespace vantrel {

// The worker: the only thread that talks to the amplifier. The window posts numbered messages;
// rapid edits are paced per slot so that only the last value of a burst is sent, 500 ms after
// the burst; results go back to the window through the sink.
class CDspCtlThread {
public:
    static constexpr std::int64_t kPacingMs = 500;
    static constexpr std::int64_t kStatusPeriodMs = 60000;
    static constexpr std::uint32_t kStatusTimer = 22;
    static constexpr std::uint32_t kSetupTimer = 30;
    // Pending parameter blocks and levels get timer ids from here upward.
    static constexpr std::uint32_t kFirstPendingTimer = 100;
    // A parameter block or level lost on the way (no reply) is sent again, one pacing interval
    // later, this many times: the amplifier must not keep an old value because a frame was lost.
    static constexpr int kSendRetries = 3;
    static constexpr std::uint32_t kLoadSetupTimeoutMs = 20000;

    CDspCtlThread(WorkerSink& sink, WorkerQuestions& questions, Clock& clock = SystemClock(),
                  std::filesystem::path dataFolder = ".");
    ~CDspCtlThread();
    CDspCtlThread(const CDspCtlThread&) = delete;
    CDspCtlThread& operator=(const CDspCtlThread&) = delete;

    // Window side, before the first post.
    void SetAdaptor(std::string address, std::uint32_t port);

    // Runs the message loop on its own thread until Stop().
    void Start();
    // Cancels whatever transaction or pause is running and ends the thread; never waits for a
    // transaction to finish.
    void Stop();

    // Posts from the window. Pointers of the original interface are replaced by what they point
    // to: a parameter block is named by its offset and length in the current image, records are
    // copied when posted.
    void Post(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    void PostConnect(const VersionRecord& version, int catalogueCount);
    // Returns the request's number, which comes back with UM_STORE_FINISHED when the store has
    // finished, stored or not.
    std::uint32_t PostSaveSetups(const SetupArray& setups, std::uint8_t activate);
    void PostUpdateFirmware(const VersionRecord& version);

    WorkerState& State() { return m_state; }
    const WorkerState& State() const { return m_state; }
    bool IsBusy() const { return m_state.busy; }
    bool IsConnected() const { return m_state.connected; }
    // Clearing it also ends the link a connect sequence under way was started on.
    void SetConnected(bool connected) {
        if (!connected) ++m_state.linkGeneration;
        m_state.connected = connected;
    }
    CDSPSocket& Socket() { return m_socket; }
    DeviceProcedures& Procedures() { return m_procedures; }

    // Without the thread (tests, the command-line client): handles every message waiting and
    // every timer that is due, in order; returns how many it handled.
    int ProcessPending();
    // The time until the next timer falls due, if any (for a driver that moves a fake clock).
    std::optional<std::int64_t> NextTimerIn() const { return m_queue.NextTimerIn(); }

    // Parameter blocks and levels posted and not yet sent (any thread): a burst of edits has
    // settled when this is 0.
    std::size_t PendingEdits() const { return m_pendingEdits; }

private:
    // A parameter block waiting for its burst to rest. Blocks are kept by range, not by the
    // slot they were posted on: two edits that reuse a slot for different words would otherwise
    // leave the first one unsent.
    struct PendingParams {
        std::size_t offset = 0;
        std::size_t length = 0;
        std::int64_t lastPost = 0;
        std::uint32_t timer = 0;
        int retries = 0;
    };
    // A level waiting to be sent, kept by its target channel for the same reason.
    struct PendingLevel {
        std::uint8_t target = 0;
        std::uint8_t value = 0;
        std::int64_t lastPost = 0;
        std::uint32_t timer = 0;
        int retries = 0;
    };
    enum class Sent { Ok, Refused, Lost };
    struct SetupSlot {
        std::uint8_t setup = 0;
        std::int64_t lastPost = 0;
    };

    void Run();
    void Dispatch(const ThreadMessage& message);
    void OnTimer(std::uint32_t id);
    void Pace(std::int64_t& lastPost, std::uint32_t timerId);
    std::uint32_t NewTimerId();
    void PostParams(std::size_t offset, std::size_t length);
    void PostLevel(std::uint8_t target, std::uint8_t value);
    Sent SendParams(const PendingParams& pending);
    // Sends the entry of `list` whose timer is `id`; one lost on the way goes back for another
    // try one pacing interval later. False when no entry has that timer.
    template <typename Pending>
    bool SendDue(std::vector<Pending>& list, std::uint32_t id,
                 Sent (CDspCtlThread::*send)(const Pending&));
    // Sends every entry of `list` now, in order, without retries.
    template <typename Pending>
    void SendAll(std::vector<Pending>& list, Sent (CDspCtlThread::*send)(const Pending&));
    void SendPendingEdits();
    Sent SendLevel(const PendingLevel& pending);
    void SendSetup();
    void SetNoiseKiller(std::uint8_t value);
    void ReadStatus();
    void BeginBusy();
    void EndBusy();
    void PostText(std::string text, std::intptr_t lParam = 0);

    WorkerSink& m_sink;
    Clock& m_clock;
    MessageQueue m_queue;
    CDSPSocket m_socket;
    WorkerState m_state;
    DeviceProcedures m_procedures;

    std::vector<PendingParams> m_pendingParams;  // in order of their first post
    std::vector<PendingLevel> m_pendingLevels;
    std::uint32_t m_nextTimer = kFirstPendingTimer;
    // Posts not yet taken up plus entries waiting above; counted up at post, down at merge or send.
    std::atomic<std::size_t> m_pendingEdits{0};
    SetupSlot m_setupSlot{};

    // Records posted with TM_CONNECT, TM_UPDATE_FIRMWARE and TM_SAVE_SETUPS, copied at post time.
    std::mutex m_postMutex;
    VersionRecord m_connectVersion{};
    VersionRecord m_updateVersion{};
    std::map<std::uint32_t, SetupArray> m_saveSetups;  // by request number
    std::uint32_t m_lastSaveRequest = 0;

    std::thread m_thread;
};

}  // namespace vantrel
