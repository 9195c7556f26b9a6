#include "link/CDspCtlThread.h"

#include <algorithm>
#include <cstdio>

namespace vantrel {

CDspCtlThread::CDspCtlThread(WorkerSink& sink, WorkerQuestions& questions, Clock& clock,
                             std::filesystem::path dataFolder)
    : m_sink(sink),
      m_clock(clock),
      m_queue(clock),
      m_socket(clock),
      m_procedures(m_socket, m_state, sink, questions, clock, std::move(dataFolder)) {}

CDspCtlThread::~CDspCtlThread() { Stop(); }

void CDspCtlThread::SetAdaptor(std::string address, std::uint32_t port) {
    m_socket.SetAdaptor(std::move(address), port);
}

void CDspCtlThread::Start() {
    if (m_thread.joinable()) return;
    m_socket.ResetCancel();
    m_thread = std::thread([this] { Run(); });
}

void CDspCtlThread::Stop() {
    if (!m_thread.joinable()) return;
    m_socket.Cancel();
    m_queue.PostQuit();
    m_thread.join();
    m_socket.Close();
}

void CDspCtlThread::Run() {
    while (auto message = m_queue.Get()) Dispatch(*message);
}

int CDspCtlThread::ProcessPending() {
    int handled = 0;
    while (auto message = m_queue.TryGet()) {
        Dispatch(*message);
        ++handled;
    }
    return handled;
}

void CDspCtlThread::Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if ((message >= TM_SET_PARAMS_0 && message < TM_SET_PARAMS_0 + kSlotCount) ||
        (message >= TM_SET_LEVEL_0 && message < TM_SET_LEVEL_0 + kSlotCount)) {
        ++m_pendingEdits;
    }
    m_queue.Post({message, wParam, lParam});
}

void CDspCtlThread::PostConnect(const VersionRecord& version, int catalogueCount) {
    {
        std::lock_guard lock(m_postMutex);
        m_connectVersion = version;
    }
    Post(TM_CONNECT, 0, catalogueCount);
}

std::uint32_t CDspCtlThread::PostSaveSetups(const SetupArray& setups, std::uint8_t activate) {
    std::uint32_t number;
    {
        std::lock_guard lock(m_postMutex);
        number = ++m_lastSaveRequest;
        m_saveSetups[number] = setups;
    }
    Post(TM_SAVE_SETUPS, number, activate);
    return number;
}

void CDspCtlThread::PostUpdateFirmware(const VersionRecord& version) {
    {
        std::lock_guard lock(m_postMutex);
        m_updateVersion = version;
    }
    Post(TM_UPDATE_FIRMWARE);
}

// A burst of posts to one slot closer than the pacing interval ends in one transmission, one
// interval after the last post, with the last post's arguments.
void CDspCtlThread::Pace(std::int64_t& lastPost, std::uint32_t timerId) {
    const std::int64_t now = m_clock.NowMs();
    if (now - lastPost < kPacingMs) m_queue.KillTimer(timerId);
    m_queue.SetTimer(timerId, kPacingMs);
    lastPost = now;
}

std::uint32_t CDspCtlThread::NewTimerId() {
    // Ids below the first pending one belong to the fixed timers; after a wrap the count starts
    // again above them. Pending entries live 500 ms, so an id is long free when it comes back.
    if (m_nextTimer < kFirstPendingTimer) m_nextTimer = kFirstPendingTimer;
    return m_nextTimer++;
}

void CDspCtlThread::PostParams(std::size_t offset, std::size_t length) {
    auto it = std::find_if(m_pendingParams.begin(), m_pendingParams.end(),
                           [&](const PendingParams& p) {
                               return p.offset == offset && p.length == length;
                           });
    if (it == m_pendingParams.end()) {
        it = m_pendingParams.insert(m_pendingParams.end(),
                                    PendingParams{offset, length, 0, NewTimerId()});
    } else {
        --m_pendingEdits;  // joins the entry already counted
    }
    Pace(it->lastPost, it->timer);
}

void CDspCtlThread::PostLevel(std::uint8_t target, std::uint8_t value) {
    auto it = std::find_if(m_pendingLevels.begin(), m_pendingLevels.end(),
                           [&](const PendingLevel& p) { return p.target == target; });
    if (it == m_pendingLevels.end()) {
        it = m_pendingLevels.insert(m_pendingLevels.end(),
                                    PendingLevel{target, value, 0, NewTimerId()});
    } else {
        --m_pendingEdits;
    }
    it->value = value;
    Pace(it->lastPost, it->timer);
}

void CDspCtlThread::SendPendingEdits() {
    SendAll(m_pendingParams, &CDspCtlThread::SendParams);
    SendAll(m_pendingLevels, &CDspCtlThread::SendLevel);
}

void CDspCtlThread::Dispatch(const ThreadMessage& message) {
    const std::uint32_t number = message.message;
    if (number == kTimerMessage) {
        OnTimer(static_cast<std::uint32_t>(message.wParam));
    } else if (number >= TM_SET_PARAMS_0 && number < TM_SET_PARAMS_0 + kSlotCount) {
        PostParams(message.wParam,
                   message.lParam > 0 ? static_cast<std::size_t>(message.lParam) : 0);
    } else if (number >= TM_SET_LEVEL_0 && number < TM_SET_LEVEL_0 + kSlotCount) {
        PostLevel(static_cast<std::uint8_t>(message.wParam),
                  static_cast<std::uint8_t>(message.lParam));
    } else if (number == TM_LOAD_SETUP) {
        m_setupSlot.setup = static_cast<std::uint8_t>(message.wParam);
        Pace(m_setupSlot.lastPost, kSetupTimer);
    } else if (number == TM_SET_NOISE_KILLER) {
        SetNoiseKiller(static_cast<std::uint8_t>(message.lParam));
    } else if (number == TM_CONNECT) {
        VersionRecord version;
        {
            std::lock_guard lock(m_postMutex);
            version = m_connectVersion;
        }
        if (m_procedures.ConnectSequence(version, static_cast<int>(message.lParam))) {
            m_queue.SetTimer(kStatusTimer, kStatusPeriodMs);
            ReadStatus();
        }
    } else if (number == TM_GET_SETUPS) {
        m_procedures.DownloadSetups();
    } else if (number == TM_SAVE_SETUPS) {
        const auto request = static_cast<std::uint32_t>(message.wParam);
        std::optional<SetupArray> setups;
        {
            std::lock_guard lock(m_postMutex);
            if (auto it = m_saveSetups.find(request); it != m_saveSetups.end()) {
                setups = it->second;
                m_saveSetups.erase(it);
            }
        }
        // Edits posted before the store go first: a level travels without a setup and would
        // otherwise land on the setup the store activates.
        SendPendingEdits();
        const bool stored =
            setups && m_procedures.StoreSetups(*setups, static_cast<std::uint8_t>(message.lParam));
        WindowMessage finished;
        finished.message = UM_STORE_FINISHED;
        finished.lParam = static_cast<std::intptr_t>(request);
        finished.success = stored;
        m_sink.PostToWindow(std::move(finished));
    } else if (number == TM_UPDATE_FIRMWARE) {
        VersionRecord version;
        {
            std::lock_guard lock(m_postMutex);
            version = m_updateVersion;
        }
        m_procedures.UpdateOnDemand(version);
    }
    // Every other number is taken from the queue and ignored.
}

void CDspCtlThread::OnTimer(std::uint32_t id) {
    if (id == kStatusTimer) {
        m_queue.KillTimer(kStatusTimer);
        if (m_state.connected) {
            ReadStatus();
            m_queue.SetTimer(kStatusTimer, kStatusPeriodMs);
        }
        return;
    }
    if (id == kSetupTimer) {
        SendSetup();
        return;
    }
    if (!SendDue(m_pendingParams, id, &CDspCtlThread::SendParams)) {
        SendDue(m_pendingLevels, id, &CDspCtlThread::SendLevel);
    }
}

template <typename Pending>
bool CDspCtlThread::SendDue(std::vector<Pending>& list, std::uint32_t id,
                            Sent (CDspCtlThread::*send)(const Pending&)) {
    const auto due =
        std::find_if(list.begin(), list.end(), [id](const Pending& p) { return p.timer == id; });
    if (due == list.end()) return false;
    // The entry leaves the list before its transaction, so a post handled after it starts a new
    // burst for the same words.
    Pending pending = *due;
    list.erase(due);
    if ((this->*send)(pending) == Sent::Lost && pending.retries < kSendRetries) {
        ++pending.retries;
        pending.timer = NewTimerId();
        pending.lastPost = 0;
        list.push_back(pending);
        Pace(list.back().lastPost, list.back().timer);
    } else {
        --m_pendingEdits;
    }
    return true;
}

template <typename Pending>
void CDspCtlThread::SendAll(std::vector<Pending>& list,
                            Sent (CDspCtlThread::*send)(const Pending&)) {
    for (const Pending& pending : list) {
        (this->*send)(pending);
        --m_pendingEdits;
    }
    list.clear();
}

void CDspCtlThread::BeginBusy() {
    m_state.busy = true;
    m_sink.PostToWindow({UM_BUSY, {}, 0, {}});
}

void CDspCtlThread::EndBusy() { m_state.busy = false; }

void CDspCtlThread::PostText(std::string text, std::intptr_t lParam) {
    m_sink.PostToWindow({UM_RESULT_TEXT, std::move(text), lParam, {}});
}

CDspCtlThread::Sent CDspCtlThread::SendParams(const PendingParams& slot) {
    BeginBusy();
    m_queue.KillTimer(slot.timer);
    // The block's bytes as they are now: a later edit of the same words is sent instead of the
    // earlier one. A range outside the image sends nothing and fails.
    std::vector<std::uint8_t> block;
    if (slot.length > 0 && slot.offset < kDeviceImageSize &&
        slot.length <= kDeviceImageSize - slot.offset) {
        std::lock_guard lock(m_state.mutex);
        block.assign(m_state.current.begin() + static_cast<std::ptrdiff_t>(slot.offset),
                     m_state.current.begin() + static_cast<std::ptrdiff_t>(slot.offset + slot.length));
    }
    const bool ok = !block.empty() &&
                    m_socket.WriteParams(block.data(), static_cast<std::uint16_t>(block.size()));
    EndBusy();
    std::uint8_t head[4] = {};
    for (std::size_t i = 0; i < 4 && i < block.size(); ++i) head[i] = block[i];
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%.2x%.2x%.2x%.2x ", head[0], head[1], head[2], head[3]);
    PostText(std::string(prefix) + (ok ? "Set OK." : "Set fail!"), 1);
    if (ok) return Sent::Ok;
    // No reply at all: lost on the way. A reply with an error status: the amplifier refused.
    return !block.empty() && m_socket.LastReplyLength() == 0 ? Sent::Lost : Sent::Refused;
}

CDspCtlThread::Sent CDspCtlThread::SendLevel(const PendingLevel& slot) {
    BeginBusy();
    m_queue.KillTimer(slot.timer);
    const bool ok = m_socket.SetLevel(slot.target, slot.value);
    EndBusy();
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "CH%d ", slot.target + 1);
    PostText(std::string(prefix) + (ok ? "Set channel level OK." : "Set channel level fail."));
    if (ok) return Sent::Ok;
    return m_socket.LastReplyLength() == 0 ? Sent::Lost : Sent::Refused;
}

void CDspCtlThread::SendSetup() {
    BeginBusy();
    m_queue.KillTimer(kSetupTimer);
    const bool ok = m_socket.LoadSetup(m_setupSlot.setup, kLoadSetupTimeoutMs);
    EndBusy();
    PostText(ok ? "Load setup OK." : "Load setup fail!");
}

void CDspCtlThread::SetNoiseKiller(std::uint8_t value) {
    BeginBusy();
    const bool ok = m_socket.SetLevel(kNoiseKillerTarget, value);
    EndBusy();
    PostText(ok ? "Set Noise Killer OK." : "Set Noise Killer fail!");
}

void CDspCtlThread::ReadStatus() {
    std::uint8_t reply[8] = {};
    // A one-byte error reply passes the transaction but carries no status.
    if (!m_socket.ReadStatus(reply) || m_socket.LastReplyLength() != 8) return;
    const StatusRecord status = DecodeStatus(reply);
    {
        std::lock_guard lock(m_state.mutex);
        m_state.status = status;
    }
    m_sink.PostToWindow({UM_STATUS, {}, 0, status});
}

}  // namespace vantrel
