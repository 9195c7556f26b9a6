#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/EditorContext.h"
#include "controls/ControlHost.h"
#include "link/WorkerState.h"
#include "model/DeviceCatalogue.h"
#include "model/ParameterModel.h"
#include "platform/Settings.h"
#include "skin/SkinLayout.h"
#include "skin/SkinReader.h"

class QPushButton;
class QShortcut;

namespace vantrel {

class CDspCtlThread;
class CSpectrumDisplya;
class ConnectionMonitor;
class CrossoverEditor;
class DelayEditor;
class ExchangeCommands;
class DisplayRefresh;
class EqEditor;
class MenuEditor;
class SetupEditor;
class StripEditor;
class TuneTools;
class WorkerBridge;
class WorkerSession;
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
    CDspCtlThread* Worker() const;
    WorkerBridge* Bridge() const;
    ConnectionMonitor* Monitor() const;
    WorkerSession* Session() const { return m_session.get(); }
    DisplayRefresh& Refresh() { return *m_refresh; }
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
    // The editors' warnings (the crossing warning); replaceable so tests answer them.
    EditorHooks editorHooks;
    // Edits go here instead of to the worker while set (tests record them); null restores the
    // worker.
    void RouteEditsTo(EditSink* sink) { m_editPath.route = sink; }
    bool MarksChanged() const { return m_tune.marksChanged; }
    // The model, the marks or the image differ from what the amplifier last stored or sent.
    bool HasUnsavedChanges() const;
    // The model as it stands counts as stored (after a download, or a test's own set-up).
    void MarkTuneSaved();
    // One message from the worker, as the bridge delivers it on the window thread.
    void OnWorkerMessage(const WindowMessage& message);
    // Undo and redo, the A/B comparison and time alignment.
    TuneTools& Tools() { return *m_tuneTools; }
    // The A/B button; it says which tune plays.
    QPushButton* CompareButton() const { return m_compareButton; }
    // The window background's right-click menu at `screenPoint`.
    void ShowBackgroundMenu(QPoint screenPoint);

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    using Handler = void (VantrelDlg::*)(const ControlMessage&);

    // The editors' sink: the worker session, unless a test routes the edits elsewhere.
    struct EditPath : EditSink {
        EditSink* route = nullptr;
        EditSink* session = nullptr;
        EditSink* Target() const { return route ? route : session; }
        bool Online() const override { return Target() && Target()->Online(); }
        void Send(const ImageUpdate& update) override {
            if (Target()) Target()->Send(update);
        }
        void WriteChannelAssign(int channel, std::uint8_t mark) override {
            if (Target()) Target()->WriteChannelAssign(channel, mark);
        }
        std::optional<std::uint32_t> Store(const ParameterModel& model,
                                           std::uint8_t activate) override {
            return Target() ? Target()->Store(model, activate) : std::nullopt;
        }
        void LoadSetup(int setup) override {
            if (Target()) Target()->LoadSetup(setup);
        }
        void Reload() override {
            if (Target()) Target()->Reload();
        }
        void SetNoiseKiller(std::uint8_t value) override {
            if (Target()) Target()->SetNoiseKiller(value);
        }
        bool ImageUnsaved() const override { return Target() && Target()->ImageUnsaved(); }
        void RevertImage() override {
            if (Target()) Target()->RevertImage();
        }
    };

    void SetUpWorker(const WindowOptions& options);
    void SetUpEditors();
    void AddHandler(std::uint32_t message, int id, Handler handler);
    void ShowPage(bool eqPage);
    void OnShowEqPage(const ControlMessage& message);
    void OnShowMainPage(const ControlMessage& message);
    void OnShowSpectrum(const ControlMessage& message);
    void OnWiFiMenu(const ControlMessage& message);
    void TakeOverSetups();
    void ShowSignalPictures(const std::string& standardKey, const std::string& alternateKey);
    void ShowPromptText(const QString& text);
    void OnUpdateKey();
    bool WaitFor(const bool& flag, int ms);
    void StoreBeforeClosing();
    void OnPresetChanged(const std::filesystem::path& path);
    void SetUpTuneTools();
    void ShowComparing(bool stored);

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
    TuneState m_tune;
    bool m_closing = false;
    SkinControls m_controls;
    HandlerTable m_handlers;
    std::unique_ptr<DisplayRefresh> m_refresh;
    // Declared after the model: it reads the model until it is gone.
    std::unique_ptr<CSpectrumDisplya> m_spectrumWindow;
    EditPath m_editPath;
    std::unique_ptr<EditorContext> m_editorContext;
    std::unique_ptr<StripEditor> m_stripEditor;
    std::unique_ptr<CrossoverEditor> m_crossoverEditor;
    std::unique_ptr<DelayEditor> m_delayEditor;
    std::unique_ptr<EqEditor> m_eqEditor;
    std::unique_ptr<MenuEditor> m_menuEditor;
    std::unique_ptr<SetupEditor> m_setupEditor;
    std::unique_ptr<TuneTools> m_tuneTools;
    std::unique_ptr<ExchangeCommands> m_exchange;
    QPushButton* m_compareButton = nullptr;
    std::unique_ptr<WorkerSession> m_session;
};

}  // namespace vantrel
