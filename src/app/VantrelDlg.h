#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/Settings.h"
#include "controls/ControlHost.h"
#include "link/WorkerState.h"
#include "model/DeviceCatalogue.h"
#include "model/ParameterModel.h"
#include "skin/SkinLayout.h"
#include "skin/SkinReader.h"

class QShortcut;

namespace vantrel {

class CDspCtlThread;
class CSpectrumDisplya;
class ConnectionMonitor;
class DisplayRefresh;
class WifiSource;
class WlanList;
class WorkerBridge;
struct WindowMessage;

// How the window reaches the adaptor.
struct WindowOptions {
    // --adaptor HOST[:PORT]: talk to this adaptor over a direct link, without WiFi management.
    std::optional<std::string> adaptorHost;
    std::optional<std::uint32_t> adaptorPort;
    // Start the worker and the connection monitor (off for tests that only look at the skin).
    bool connect = true;
};

// The main window: two pages of skinned controls over a background picture each, the owner of the
// parameter model, the worker and the connection monitor.
class VantrelDlg : public QWidget, public ControlHost {
public:
    // Pictures, the skin, the settings, the catalogue and the remembered preset are read from
    // `dataFolder`. A missing skin leaves an empty window whose controls exist with zero size.
    explicit VantrelDlg(const std::filesystem::path& dataFolder, WindowOptions options = {},
                        QWidget* parent = nullptr);
    ~VantrelDlg() override;

    // Empty when the window set itself up; otherwise why it cannot run (no catalogue).
    const std::string& StartError() const { return m_startError; }

    void OnControlMessage(const ControlMessage& message) override;

    void ShowEqPage();
    void ShowMainPage();
    bool IsEqPageShown() const { return m_eqPageShown; }
    // The zoom buttons: the spectrum display window with the current setup.
    void ShowSpectrumWindow();
    // Made hidden with the window, gone once the window has closed.
    CSpectrumDisplya* SpectrumWindow() const { return m_spectrumWindow.get(); }

    const SkinControls& Controls() const { return m_controls; }
    ParameterModel& Model() { return m_model; }
    const SkinBackgrounds& Backgrounds() const { return m_backgrounds; }
    const QImage& MainBackground() const { return m_mainBackground; }
    const QImage& EqBackground() const { return m_eqBackground; }
    const QImage& CurrentBackground() const {
        return m_eqPageShown ? m_eqBackground : m_mainBackground;
    }
    CDspCtlThread* Worker() const { return m_worker.get(); }
    WorkerBridge* Bridge() const { return m_bridge.get(); }
    ConnectionMonitor* Monitor() const { return m_monitor.get(); }
    const VersionRecord& Version() const { return m_version; }

    // Shows the current setup in every control.
    void RefreshSetupDisplay();
    // Runs the event loop until the amplifier's setups have been taken over, at most `ms`.
    bool WaitForSetups(int ms);
    bool SetupsLoaded() const { return m_setupsLoaded; }
    // The same for the amplifier's status, which follows the download.
    bool WaitForStatus(int ms);

    // The unsaved-changes question at closing; replaceable so tests answer it.
    std::function<bool()> askSaveOnClose;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    using Handler = void (VantrelDlg::*)(const ControlMessage&);
    using HandlerKey = std::pair<std::uint32_t, int>;  // message number, control identifier

    void SetUpWorker(const WindowOptions& options);
    void AddHandler(std::uint32_t message, int id, Handler handler);
    void ShowPage(bool eqPage);
    void OnShowEqPage(const ControlMessage& message);
    void OnShowMainPage(const ControlMessage& message);
    void OnShowSpectrum(const ControlMessage& message);
    void OnWiFiMenu(const ControlMessage& message);
    void OnWorkerMessage(const WindowMessage& message);
    void TakeOverSetups();
    void ShowSignalPictures(const std::string& standardKey, const std::string& alternateKey);
    void ShowPromptText(const QString& text);
    void OnUpdateKey();
    bool WaitFor(const bool& flag, int ms);
    void StoreBeforeClosing();
    void ShutDownWorker();

    std::filesystem::path m_dataFolder;
    AppSettings m_settings;
    VersionRecord m_version{};
    DeviceCatalogue m_catalogue;
    std::string m_startError;
    SkinReader m_skin;
    ParameterModel m_model;
    SkinBackgrounds m_backgrounds;
    QImage m_mainBackground;
    QImage m_eqBackground;
    bool m_eqPageShown = false;
    bool m_setupsLoaded = false;
    bool m_statusShown = false;
    bool m_marksChanged = false;
    bool m_closing = false;
    SkinControls m_controls;
    std::map<HandlerKey, Handler> m_handlers;
    std::unique_ptr<DisplayRefresh> m_refresh;
    // Declared after the model: it reads the model until it is gone.
    std::unique_ptr<CSpectrumDisplya> m_spectrumWindow;
    std::unique_ptr<WorkerBridge> m_bridge;
    std::unique_ptr<CDspCtlThread> m_worker;
    std::unique_ptr<WifiSource> m_wifiSource;
    std::unique_ptr<WlanList> m_wlan;
    std::unique_ptr<ConnectionMonitor> m_monitor;
};

}  // namespace vantrel
