#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/EditorContext.h"
#include "link/WorkerState.h"
#include "model/ParameterModel.h"

class QWidget;

namespace vantrel {

class CDspCtlThread;
class ConnectionMonitor;
class WifiSource;
class WlanList;
class WorkerBridge;
struct WindowMessage;
struct SignalImageKeys;

// Where the session reaches the window. Every callback may be empty.
struct WorkerSessionHooks {
    // Every worker message but UM_BUSY, on the window thread.
    std::function<void(const WindowMessage&)> workerMessage;
    std::function<void(const QString&)> showPrompt;
    std::function<void(const SignalImageKeys&)> showSignalPictures;
    // The firmware version record and the catalogue size for TM_CONNECT.
    std::function<std::pair<VersionRecord, int>()> connectRecord;
    // The adaptor link went down.
    std::function<void()> linkLost;
};

// What the amplifier sent with UM_SETUPS_LOADED, copied under the worker's lock.
struct DownloadedSetups {
    SetupArray setups{};
    DeviceImage image{};
    std::array<std::uint8_t, kChannelCount> marks{};
    std::uint8_t activeSetup = 0;
    std::uint8_t noiseKiller = 255;
};

// The worker's life on the window's side: it starts the worker thread, its bridge and the
// connection monitor, hands edits to the worker, runs the final store and shuts everything down
// in the order that cannot wait on the window. It is also the window's EditSink.
class WorkerSession : public EditSink {
public:
    struct Adaptor {
        std::string address;
        std::uint32_t port = 58000;
        bool direct = false;  // no WiFi management: the monitor runs at once
    };

    WorkerSession(const std::filesystem::path& dataFolder, WorkerSessionHooks hooks,
                  QWidget* dialogParent);
    ~WorkerSession() override;
    WorkerSession(const WorkerSession&) = delete;
    WorkerSession& operator=(const WorkerSession&) = delete;

    // Starts the worker on `adaptor` with the window's channel marks and noise killer, then the
    // monitor (at once for a direct link).
    void Start(const Adaptor& adaptor, const std::array<std::int32_t, kChannelCount>& marks,
               std::uint8_t noiseKiller);
    // Monitor, bridge, worker: in this order, so that stopping the worker never waits on us.
    void Shutdown();

    // EditSink.
    bool Online() const override;
    void Send(const ImageUpdate& update) override;
    void WriteChannelAssign(int channel, std::uint8_t mark) override;
    std::optional<std::uint32_t> Store(const ParameterModel& model,
                                       std::uint8_t activate) override;
    void LoadSetup(int setup) override;
    void Reload() override;
    void SetNoiseKiller(std::uint8_t value) override;
    bool ImageUnsaved() const override;
    void RevertImage() override;

    bool AdaptorLinked() const;
    DownloadedSetups TakeDownload() const;
    // Stores all four setups before the window closes and waits, with the window painting and
    // user input dropped, until the worker answers this very request. True when it was stored.
    bool FinalStore(const ParameterModel& model);
    // The firmware update on demand; only while the adaptor link is up.
    void UpdateFirmware(const VersionRecord& version);

    CDspCtlThread* Worker() const { return m_worker.get(); }
    WorkerBridge* Bridge() const { return m_bridge.get(); }
    ConnectionMonitor* Monitor() const { return m_monitor.get(); }
    WlanList* Wlan() const { return m_wlan.get(); }

private:
    void OnWorkerMessage(const WindowMessage& message);

    std::filesystem::path m_dataFolder;
    WorkerSessionHooks m_hooks;
    QWidget* m_dialogParent;
    std::unique_ptr<WorkerBridge> m_bridge;
    std::unique_ptr<CDspCtlThread> m_worker;
    std::unique_ptr<WifiSource> m_wifiSource;
    std::unique_ptr<WlanList> m_wlan;
    std::unique_ptr<ConnectionMonitor> m_monitor;
    // The store the final store waits on, and its answer once it has come back.
    std::optional<std::uint32_t> m_awaitedStore;
    std::optional<bool> m_awaitedResult;
};

}  // namespace vantrel
