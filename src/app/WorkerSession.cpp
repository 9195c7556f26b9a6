#include "app/WorkerSession.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

#include "app/ConnectionMonitor.h"
#include "app/NmWifiSource.h"
#include "app/WorkerBridge.h"
#include "link/CDspCtlThread.h"
#include "link/WlanList.h"
#include "platform/Clock.h"
#include "platform/DirectLinkSource.h"

namespace vantrel {

namespace {

// The worker's final store may take its full time-outs (20 + 20 + 120 s); the window waits for it
// but keeps painting.
constexpr qint64 kFinalStoreLimitMs = 170000;

}  // namespace

WorkerSession::WorkerSession(const std::filesystem::path& dataFolder, WorkerSessionHooks hooks,
                             QWidget* dialogParent)
    : m_dataFolder(dataFolder), m_hooks(std::move(hooks)), m_dialogParent(dialogParent) {}

WorkerSession::~WorkerSession() { Shutdown(); }

void WorkerSession::Start(const Adaptor& adaptor,
                          const std::array<std::int32_t, kChannelCount>& marks,
                          std::uint8_t noiseKiller) {
    m_bridge = std::make_unique<WorkerBridge>();
    m_bridge->SetDialogParent(m_dialogParent);
    m_worker = std::make_unique<CDspCtlThread>(*m_bridge, *m_bridge, SystemClock(), m_dataFolder);
    m_bridge->SetBusyFlag(m_worker->State().busy);
    m_bridge->SetHandler([this](const WindowMessage& message) { OnWorkerMessage(message); });

    m_worker->SetAdaptor(adaptor.address, adaptor.port);
    m_worker->Start();
    {
        WorkerState& state = m_worker->State();
        std::lock_guard lock(state.mutex);
        for (std::size_t c = 0; c < state.channelAssign.size(); ++c) {
            state.channelAssign[c] = static_cast<std::uint8_t>(marks[c]);
        }
    }
    m_worker->State().noiseKiller = noiseKiller;

    if (adaptor.direct) {
        m_wifiSource = std::make_unique<DirectLinkSource>(adaptor.address, adaptor.port);
    } else {
        m_wifiSource = std::make_unique<NmWifiSource>();
    }
    m_wlan = std::make_unique<WlanList>(*m_wifiSource);
    m_wlan->EnumInterfaces();

    ConnectionMonitorHooks hooks;
    hooks.showPrompt = m_hooks.showPrompt;
    hooks.showSignalPictures = m_hooks.showSignalPictures;
    // No reset before connecting: the window keeps its tune until the amplifier's has arrived.
    hooks.postConnect = [this] {
        if (!m_hooks.connectRecord) return;
        const auto [version, catalogueCount] = m_hooks.connectRecord();
        m_worker->PostConnect(version, catalogueCount);
    };
    hooks.clearWorkerConnected = [this] {
        m_worker->SetConnected(false);
        if (m_hooks.linkLost) m_hooks.linkLost();
    };
    m_monitor = std::make_unique<ConnectionMonitor>(*m_wlan, adaptor.address, std::move(hooks));
    if (adaptor.direct) m_monitor->Start();
}

void WorkerSession::OnWorkerMessage(const WindowMessage& message) {
    if (message.message == UM_STORE_FINISHED && m_awaitedStore &&
        static_cast<std::uint32_t>(message.lParam) == *m_awaitedStore) {
        m_awaitedResult = message.success;
    }
    if (m_hooks.workerMessage) m_hooks.workerMessage(message);
}

void WorkerSession::Shutdown() {
    if (m_monitor) m_monitor->Stop();
    // Questions the worker waits on are answered Cancel first, so stopping it cannot wait on us.
    if (m_bridge) m_bridge->Shutdown();
    if (m_worker) m_worker->Stop();
}

bool WorkerSession::AdaptorLinked() const { return m_monitor && m_monitor->IsAdaptorLinked(); }

bool WorkerSession::Online() const {
    return m_worker && AdaptorLinked() && m_worker->IsConnected();
}

void WorkerSession::Send(const ImageUpdate& update) {
    if (!Online()) return;
    ImagePosts posts;
    {
        WorkerState& state = m_worker->State();
        std::lock_guard lock(state.mutex);
        posts = update(state.current);
    }
    // The worker keeps pending posts by range and level target, so the slot only spreads them.
    std::size_t params = 0;
    std::size_t levels = 0;
    for (const ImagePost& post : posts) {
        if (post.What == ImagePost::Kind::Level) {
            m_worker->Post(TM_SET_LEVEL_0 + static_cast<std::uint32_t>(levels++ % kSlotCount),
                           static_cast<std::uintptr_t>(post.Level.Channel), post.Level.Level);
        } else {
            m_worker->Post(TM_SET_PARAMS_0 + static_cast<std::uint32_t>(params++ % kSlotCount),
                           post.Range.Offset, static_cast<std::intptr_t>(post.Range.Length));
        }
    }
}

void WorkerSession::WriteChannelAssign(int channel, std::uint8_t mark) {
    if (!Online() || channel < 0 || channel >= kChannelCount) return;
    WorkerState& state = m_worker->State();
    std::lock_guard lock(state.mutex);
    state.channelAssign[static_cast<std::size_t>(channel)] = mark;
}

DownloadedSetups WorkerSession::TakeDownload() const {
    DownloadedSetups d;
    if (!m_worker) return d;
    WorkerState& state = m_worker->State();
    {
        std::lock_guard lock(state.mutex);
        d.setups = state.setups;
        d.image = state.current;
        d.marks = state.channelAssign;
        d.activeSetup = state.activeSetup;
    }
    d.noiseKiller = state.noiseKiller;
    return d;
}

bool WorkerSession::ImageUnsaved() const {
    if (!m_worker) return false;
    const WorkerState& state = m_worker->State();
    std::lock_guard lock(state.mutex);
    return state.current != state.stored;
}

void WorkerSession::RevertImage() {
    if (!m_worker) return;
    std::vector<int> changed;
    {
        WorkerState& state = m_worker->State();
        std::lock_guard lock(state.mutex);
        for (int s = 0; s < kSetupCount; ++s) {
            const auto begin = static_cast<std::ptrdiff_t>(SetupImageOffset(s));
            const auto end = begin + static_cast<std::ptrdiff_t>(kSetupImageSize);
            if (!std::equal(state.current.begin() + begin, state.current.begin() + end,
                            state.stored.begin() + begin)) {
                changed.push_back(s);
            }
        }
        state.current = state.stored;
    }
    // The amplifier played the edits; it gets the stored words back.
    Send([&](DeviceImage&) {
        ImagePosts posts;
        for (const int s : changed) posts.AddRange(SetupImageOffset(s), kSetupImageSize);
        return posts;
    });
}

std::optional<std::uint32_t> WorkerSession::Store(const ParameterModel& model,
                                                  std::uint8_t activate) {
    if (!Online()) return std::nullopt;
    WorkerState& state = m_worker->State();
    {
        std::lock_guard lock(state.mutex);
        for (std::size_t c = 0; c < static_cast<std::size_t>(kImageChannelCount); ++c) {
            state.channelAssign[c] = static_cast<std::uint8_t>(model.MarkIndex[c]);
        }
    }
    state.noiseKiller = model.ANS;
    return m_worker->PostSaveSetups(model.Setups, activate);
}

void WorkerSession::LoadSetup(int setup) {
    if (Online()) m_worker->Post(TM_LOAD_SETUP, static_cast<std::uintptr_t>(setup));
}

void WorkerSession::Reload() {
    if (Online()) m_worker->Post(TM_GET_SETUPS);
}

void WorkerSession::SetNoiseKiller(std::uint8_t value) {
    if (!m_worker) return;
    m_worker->State().noiseKiller = value;
    if (Online()) m_worker->Post(TM_SET_NOISE_KILLER, value, value);
}

bool WorkerSession::FinalStore(const ParameterModel& model) {
    const std::optional<std::uint32_t> request =
        Store(model, static_cast<std::uint8_t>(model.CurrentSetupIndex));
    if (!request) return false;
    m_awaitedStore = request;
    m_awaitedResult.reset();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The answer to this request, however long other work holds the worker first.
    QElapsedTimer timer;
    timer.start();
    while (!m_awaitedResult && timer.elapsed() < kFinalStoreLimitMs) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    QApplication::restoreOverrideCursor();
    m_awaitedStore.reset();
    return m_awaitedResult.value_or(false);
}

void WorkerSession::UpdateFirmware(const VersionRecord& version) {
    if (!m_worker || !AdaptorLinked()) return;
    m_worker->PostUpdateFirmware(version);
}

}  // namespace vantrel
