#include "app/VantrelDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QWindow>
#include <cmath>
#include <fstream>

#include "app/CAboutDlg.h"
#include "app/CWiFiDlg.h"
#include "app/ConnectionMonitor.h"
#include "app/DisplayRefresh.h"
#include "app/CrossoverEditor.h"
#include "app/DelayEditor.h"
#include "app/EqEditor.h"
#include "app/ExchangeCommands.h"
#include "app/MenuEditor.h"
#include "app/SetupEditor.h"
#include "app/StripEditor.h"
#include "app/TuneTools.h"
#include "app/WorkerBridge.h"
#include "app/WorkerSession.h"
#include "controls/CGdipButton.h"
#include "controls/CKnob.h"
#include "controls/CTpComboBox.h"
#include "controls/CTpStatic.h"
#include "controls/PictureCache.h"
#include "curves/CSpectrumCtl.h"
#include "curves/CSpectrumDisplya.h"
#include "link/CDspCtlThread.h"
#include "link/WlanList.h"
#include "model/PresetFile.h"
#include "model/Scales.h"
#include "model/SetupTransfer.h"
#include "platform/IniFile.h"
#include "skin/SkinColours.h"

namespace vantrel {

namespace {

constexpr int kEQLoadBtnId = 1503;
constexpr int kHomeBtnId = 1504;
constexpr int kWiFiBtnId = 1505;
constexpr int kEQLoad2BtnId = 1596;
constexpr int kEQBack2BtnId = 1727;
constexpr int kZoomBtnId = 1598;
constexpr int kEQZoomBtnId = 1729;

// Menu commands of the window background.
enum BackgroundCommand {
    kUndoCommand = 1, kRedoCommand, kCompareCommand, kAlignCommand, kImportPointsCommand,
    kImportBandsCommand, kExportRewCommand, kExportApoCommand, kExportSetupCommand, kAboutCommand
};

// Page and zoom buttons only change what is shown.
bool IsViewOnly(const ControlMessage& message) {
    if (message.message != WM_COMMAND) return false;
    switch (message.id) {
        case kEQLoadBtnId: case kHomeBtnId: case kEQLoad2BtnId: case kEQBack2BtnId:
        case kZoomBtnId: case kEQZoomBtnId:
            return true;
        default:
            return false;
    }
}

constexpr const char* kKeepTuneQuestion =
    "Current setting not saved, discard it and load the setups from the amplifier?";

QString TitleWith(const std::string& title, const std::string& suffix) {
    return QString::fromStdString(title) + "  " + QString::fromStdString(suffix);
}

bool IsDirectLink(const AppSettings& settings) {
    return QString::fromStdString(settings.link).compare("Direct", Qt::CaseInsensitive) == 0;
}

}  // namespace

VantrelDlg::VantrelDlg(const std::filesystem::path& dataFolder, WindowOptions options,
                       QWidget* parent)
    : QWidget(parent), m_dataFolder(dataFolder) {
    SetPictureFolder(QString::fromStdString(dataFolder.string()));

    // Backgrounds, start values, the settings.
    m_skin = SkinReader::LoadFromDataFolder(dataFolder);
    m_backgrounds = LoadSkinBackgrounds(m_skin);
    InitSetups(m_model);
    m_settings = ReadSettings(SettingsFilePath(dataFolder));
    const std::filesystem::path presetFile = dataFolder / PathFromStored(m_settings.presetPath);
    m_version = m_settings.versionRecord;

    // The window takes the size of the main page's picture.
    m_mainBackground = LoadPicture(m_backgrounds.main.fileName);
    SizeWindowToBackground(this, m_mainBackground.size());
    m_version[0] = 4;
    m_version[1] = 0;
    m_controls = CreateSkinControls(this, m_skin, &m_model.Setups[0]);
    m_model.CurrentSetupIndex = 0;
    // The title names the preset only when it was read; a remembered preset that cannot be read
    // is said in the prompt line (a default preset never saved is no news).
    if (LoadPresetFile(m_model, presetFile)) {
        setWindowTitle(TitleWith(m_settings.title, m_settings.presetPath));
    } else {
        setWindowTitle(QString::fromStdString(m_settings.title));
        std::error_code ec;
        const bool isDefault = m_settings.presetPath == kDefaultPresetPath;
        if (std::filesystem::exists(presetFile, ec) || !isDefault) {
            ShowPromptText(QString::fromStdString("Cannot read the preset " +
                                                  m_settings.presetPath + "."));
        }
    }
    for (int c = 0; c < kChannelCount; ++c) {
        if (auto* list = m_controls.ChCBox[static_cast<std::size_t>(c)]) {
            list->SetMark(m_model.MarkIndex[static_cast<std::size_t>(c)]);
        }
    }
    m_spectrumWindow = std::make_unique<CSpectrumDisplya>(m_skin, m_backgrounds.spectrum, this);
    if (auto catalogue = LoadDeviceCatalogue(dataFolder / kCatalogueFile)) {
        m_catalogue = std::move(*catalogue);
    } else {
        m_startError = "The device catalogue " +
                       (dataFolder / kCatalogueFile).string() +
                       " is missing: the tool cannot tell the amplifier models apart without it.";
    }
    m_refresh = std::make_unique<DisplayRefresh>(m_controls, m_model);
    m_refresh->SetSpectrumWindow(m_spectrumWindow.get());
    m_eqBackground = LoadPicture(m_backgrounds.eq.fileName);
    RefreshSetupDisplay();
    SetUpEditors();

    AddHandler(WM_COMMAND, kEQLoadBtnId, &VantrelDlg::OnShowEqPage);
    AddHandler(WM_COMMAND, kEQLoad2BtnId, &VantrelDlg::OnShowEqPage);
    AddHandler(WM_COMMAND, kHomeBtnId, &VantrelDlg::OnShowMainPage);
    AddHandler(WM_COMMAND, kEQBack2BtnId, &VantrelDlg::OnShowMainPage);
    AddHandler(WM_COMMAND, kZoomBtnId, &VantrelDlg::OnShowSpectrum);
    AddHandler(WM_COMMAND, kEQZoomBtnId, &VantrelDlg::OnShowSpectrum);
    AddHandler(UM_BUTTON_RCLICK, kWiFiBtnId, &VantrelDlg::OnWiFiMenu);

    // The update key: Ctrl+Alt+F7, which many desktops keep for console switching, and a second
    // key from the settings (Ctrl+Shift+F7 unless told otherwise).
    const QString secondKey = QString::fromStdString(
        ReadIniString(SettingsFilePath(dataFolder), "OEM", "UpdateKey", "Ctrl+Shift+F7"));
    for (const QKeySequence& key : {QKeySequence("Ctrl+Alt+F7"), QKeySequence(secondKey)}) {
        if (key.isEmpty()) continue;
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::ApplicationShortcut);
        QObject::connect(shortcut, &QShortcut::activated, this, [this] { OnUpdateKey(); });
    }

    if (options.connect && m_startError.empty()) SetUpWorker(options);
}

VantrelDlg::~VantrelDlg() {
    if (m_session) m_session->Shutdown();
}

CDspCtlThread* VantrelDlg::Worker() const { return m_session ? m_session->Worker() : nullptr; }

WorkerBridge* VantrelDlg::Bridge() const { return m_session ? m_session->Bridge() : nullptr; }

ConnectionMonitor* VantrelDlg::Monitor() const {
    return m_session ? m_session->Monitor() : nullptr;
}

void VantrelDlg::SetUpEditors() {
    m_editorContext = std::unique_ptr<EditorContext>(
        new EditorContext{m_model, m_controls, *m_refresh, m_editPath, editorHooks, m_tune, this,
                          [this](const QString& text) { ShowPromptText(text); }});
    m_stripEditor = std::make_unique<StripEditor>(*m_editorContext);
    m_crossoverEditor = std::make_unique<CrossoverEditor>(*m_editorContext);
    m_delayEditor = std::make_unique<DelayEditor>(*m_editorContext);
    m_eqEditor = std::make_unique<EqEditor>(*m_editorContext);
    m_menuEditor = std::make_unique<MenuEditor>(*m_editorContext);
    m_setupEditor = std::make_unique<SetupEditor>(
        *m_editorContext, [this](const std::filesystem::path& path) { OnPresetChanged(path); });
    m_stripEditor->Register(m_handlers);
    m_crossoverEditor->Register(m_handlers);
    m_delayEditor->Register(m_handlers);
    m_eqEditor->Register(m_handlers);
    m_menuEditor->Register(m_handlers);
    m_setupEditor->Register(m_handlers);
    // The tune as read at start is what there is to lose.
    m_editorContext->MarkSaved();
    SetUpTuneTools();
}

void VantrelDlg::SetUpTuneTools() {
    m_tuneTools = std::make_unique<TuneTools>(*m_editorContext,
                                              [this](bool stored) { ShowComparing(stored); });
    m_exchange = std::make_unique<ExchangeCommands>(*m_editorContext, *m_tuneTools);
    // In the free corner right of the status line; it says which tune plays.
    m_compareButton = new QPushButton(QStringLiteral("A/B"), this);
    m_compareButton->setObjectName(QStringLiteral("CompareBtn"));
    m_compareButton->setFocusPolicy(Qt::NoFocus);
    m_compareButton->setToolTip(QStringLiteral("Hear the stored setup against your edits (B)"));
    m_compareButton->setGeometry(width() - 104, height() - 38, 92, 28);
    QObject::connect(m_compareButton, &QPushButton::clicked, this,
                     [this] { m_tuneTools->ToggleCompare(); });
    ShowComparing(false);

    const auto addKey = [this](const QKeySequence& key, auto action) {
        auto* shortcut = new QShortcut(key, this);
        QObject::connect(shortcut, &QShortcut::activated, this, action);
    };
    addKey(QKeySequence::Undo, [this] { m_tuneTools->Undo(); });
    addKey(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { m_tuneTools->Redo(); });
    addKey(QKeySequence(Qt::CTRL | Qt::Key_Y), [this] { m_tuneTools->Redo(); });
    addKey(QKeySequence(Qt::Key_B), [this] { m_tuneTools->ToggleCompare(); });
}

void VantrelDlg::ShowComparing(bool stored) {
    if (!m_compareButton) return;
    using namespace skincolour;
    m_compareButton->setText(stored ? QStringLiteral("B: STORED") : QStringLiteral("A/B"));
    // Lit in the skin's accent while the stored setup plays, like every lit control.
    const QString style = QStringLiteral(
        "QPushButton { background: %1; color: %2; font-weight: bold; border: 1px solid %3; "
        "border-radius: 4px; }");
    m_compareButton->setStyleSheet(
        stored ? style.arg(kAccent.name(), kWindowBottom.name(), kAccent.name())
               : style.arg(kBarTop.name(), kValueText.name(), kPanelBorder.name()));
}

void VantrelDlg::SetUpWorker(const WindowOptions& options) {
    WorkerSessionHooks hooks;
    hooks.workerMessage = [this](const WindowMessage& message) { OnWorkerMessage(message); };
    hooks.showPrompt = [this](const QString& text) { ShowPromptText(text); };
    hooks.showSignalPictures = [this](const SignalImageKeys& keys) {
        ShowSignalPictures(keys.standard, keys.alternate);
    };
    hooks.connectRecord = [this] {
        return std::pair{m_version, static_cast<int>(m_catalogue.Entries.size())};
    };
    hooks.linkLost = [this] {
        std::array<std::uint8_t, kChannelCount> marks{};
        m_refresh->SetAdaptorLink(false, marks);
        if (m_tuneTools) m_tuneTools->DropCompare();
    };
    m_session = std::make_unique<WorkerSession>(m_dataFolder, std::move(hooks), this);
    m_editPath.session = m_session.get();

    WorkerSession::Adaptor adaptor;
    adaptor.direct = options.adaptorHost.has_value() || IsDirectLink(m_settings);
    adaptor.address = options.adaptorHost.value_or(m_settings.adaptorAddress);
    adaptor.port = options.adaptorPort.value_or(m_settings.adaptorPort);
    m_session->Start(adaptor, m_model.MarkIndex, m_model.ANS);
}

void VantrelDlg::AddHandler(std::uint32_t message, int id, Handler handler) {
    m_handlers.Add(message, id, [this, handler](const ControlMessage& m) { (this->*handler)(m); });
}

void VantrelDlg::OnControlMessage(const ControlMessage& message) {
    if (message.message == UM_WIFI_CONNECT) {
        if (Monitor()) Monitor()->OnWifiConnect(static_cast<int>(message.wParam),
                                                static_cast<int>(message.lParam));
        return;
    }
    const bool edits = m_tuneTools && !IsViewOnly(message);
    if (edits) m_tuneTools->BeforeMessage();
    m_handlers.Dispatch(message);
    if (edits) m_tuneTools->AfterMessage(message);
}

void VantrelDlg::ShowEqPage() { ShowPage(true); }

void VantrelDlg::ShowMainPage() { ShowPage(false); }

void VantrelDlg::ShowPage(bool eqPage) {
    m_eqPageShown = eqPage;
    SizeWindowToBackground(this, CurrentBackground().size());
    // Painting is held while the controls change places instead of hiding the window: an unmapped
    // top-level window may come back elsewhere under some window managers.
    setUpdatesEnabled(false);
    ShowPageSet(m_controls, eqPage ? SkinPage::Eq : SkinPage::Main);
    setUpdatesEnabled(true);
    show();
    raise();
    activateWindow();
    RefreshSetupDisplay();
    update();
}

void VantrelDlg::OnShowEqPage(const ControlMessage&) { ShowEqPage(); }

void VantrelDlg::OnShowMainPage(const ControlMessage&) { ShowMainPage(); }

void VantrelDlg::OnShowSpectrum(const ControlMessage&) { ShowSpectrumWindow(); }

void VantrelDlg::ShowSpectrumWindow() {
    if (!m_spectrumWindow) return;
    m_spectrumWindow->SetSetup(&m_model.CurrentSetup(), EffectiveChannelCount(m_model));
    m_spectrumWindow->ShowSpectrum();
}

void VantrelDlg::RefreshSetupDisplay() {
    if (m_refresh) m_refresh->RefreshSetupDisplay(m_model.CurrentSetupIndex);
}

// The WiFi button's right-click menu: "Select Device" opens the WiFi dialog.
void VantrelDlg::OnWiFiMenu(const ControlMessage& message) {
    if (!m_session || !m_session->Wlan() || !Monitor()) return;
    QMenu menu(this);
    QAction* select = menu.addAction("Select Device");
    if (menu.exec(message.screenPoint + QPoint(0, 10)) != select) return;
    Monitor()->Stop();
    m_session->Wlan()->EnumInterfaces();
    QPointer<CWiFiDlg> dialog = new CWiFiDlg(
        *m_session->Wlan(),
        [this](const ControlMessage& report) {
            if (report.message == UM_WIFI_CONNECT) {
                OnControlMessage(report);
            }
        },
        this);
    dialog->ShowLists();
    dialog->show();
}

void VantrelDlg::ShowPromptText(const QString& text) {
    if (m_controls.Prompt2Stc && m_controls.Prompt1Stc) {
        ShowPrompt(*m_controls.Prompt2Stc, *m_controls.Prompt1Stc, text);
    }
}

void VantrelDlg::ShowSignalPictures(const std::string& standardKey,
                                    const std::string& alternateKey) {
    CGdipButton* button = m_controls.WiFiBtn;
    if (!button) return;
    button->LoadStdImage(m_skin.ReadSkinString("WiFiBtn", standardKey));
    button->LoadAltImage(m_skin.ReadSkinString("WiFiBtn", alternateKey));
    button->update();
}

void VantrelDlg::OnWorkerMessage(const WindowMessage& message) {
    switch (message.message) {
        case UM_RESULT_TEXT:
            ShowPromptText(QString::fromStdString(message.text));
            break;
        case UM_SETUPS_LOADED:
            TakeOverSetups();
            break;
        case UM_STORE_FINISHED:
            if (m_setupEditor) {
                m_setupEditor->OnStoreFinished(static_cast<std::uint32_t>(message.lParam),
                                               message.success);
            }
            break;
        case UM_STATUS:
            if (m_controls.VoltageStc && m_controls.TempStc && m_controls.RunTimeStc) {
                std::array<CLedCtl*, 3> leds{};
                for (std::size_t i = 0; i < leds.size(); ++i) leds[i] = m_controls.ClipLedStc[i];
                ShowStatus(*m_controls.VoltageStc, *m_controls.TempStc, *m_controls.RunTimeStc,
                           leds, message.status);
            }
            m_statusShown = true;
            break;
        case UM_RETRY_TIMER:
            // Nothing posts it; its timer runs out without an effect.
            QTimer::singleShot(1000, this, [] {});
            break;
        default:  // UM_COMM_FAIL: the worker's own text says it all
            break;
    }
}

// The amplifier's setups replace the window's, on the grids of the controls. A tune the window
// holds unsaved (edited offline, or opened from a file) is not dropped without asking: kept, it
// goes to the amplifier instead and stays unsaved until stored.
void VantrelDlg::TakeOverSetups() {
    if (!m_session) return;
    const bool asked = m_tune.reloadRequested;
    m_tune.reloadRequested = false;
    const bool keepWindowTune =
        !asked && HasUnsavedChanges() &&
        !m_editorContext->AskYesNo(kKeepTuneQuestion, QStringLiteral("Warning"));
    const ParameterModel windowTune = m_model;

    const DownloadedSetups d = m_session->TakeDownload();
    std::array<std::uint8_t, kChannelCount> marks = d.marks;
    const DeviceModelEntry* entry = vantrel::TakeOverSetups(m_model, d.setups, d.image,
                                                            d.noiseKiller, d.activeSetup,
                                                            m_catalogue);
    m_version[0] = m_model.ChannelNum;
    m_version[1] = m_model.Mode;
    // The custom point frequency knobs follow the amplifier's frequency range.
    const double top = m_model.Mode == 2 ? kMaxBassFreq : kMaxFreq;
    const double start = m_model.Mode == 2 ? 100.0 : 1000.0;
    for (CKnob* knob : m_controls.CEQFcyKnob) {
        if (!knob) continue;
        knob->SetRange(knob->Minimum(), FreqKnobPosition(top));
        knob->SetDefaultValue(FreqKnobPosition(start));
    }
    for (std::size_t c = 0; c < marks.size(); ++c) {
        m_model.MarkIndex[c] = std::min<int>(marks[c], kChannelMarkCount - 1);
    }
    if (entry) {
        if (m_controls.ModelStc) m_controls.ModelStc->SetText(QString::fromStdString(entry->Name));
        setWindowTitle(TitleWith(m_settings.title, entry->Name));
    }
    // What the amplifier holds is the saved tune either way.
    MarkTuneSaved();
    if (keepWindowTune) {
        m_model.Setups = windowTune.Setups;
        m_model.ANS = windowTune.ANS;
        for (std::size_t c = 0; c < static_cast<std::size_t>(kImageChannelCount); ++c) {
            const auto mark = static_cast<std::uint8_t>(windowTune.MarkIndex[c]);
            m_tune.marksChanged = m_tune.marksChanged || mark != marks[c];
            marks[c] = mark;
            m_model.MarkIndex[c] = mark;
            m_editPath.WriteChannelAssign(static_cast<int>(c), mark);
        }
    }
    m_refresh->SetAdaptorLink(true, marks);
    RefreshSetupDisplay();
    if (keepWindowTune) {
        // The amplifier plays the kept tune, its levels included.
        std::vector<int> channels(static_cast<std::size_t>(ImageChannelCount(m_model)));
        for (std::size_t c = 0; c < channels.size(); ++c) channels[c] = static_cast<int>(c);
        m_editorContext->SendCurrentSetup(channels);
        m_editPath.SetNoiseKiller(m_model.ANS);
    }
    // Steps made on another tune would not undo into this one.
    if (m_tuneTools) m_tuneTools->Restart();
    m_setupsLoaded = true;
}

void VantrelDlg::OnUpdateKey() {
    if (m_session) m_session->UpdateFirmware(m_version);
}

bool VantrelDlg::WaitForSetups(int ms) { return WaitFor(m_setupsLoaded, ms); }

bool VantrelDlg::WaitForStatus(int ms) { return WaitFor(m_statusShown, ms); }

bool VantrelDlg::WaitFor(const bool& flag, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!flag && timer.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return flag;
}

void VantrelDlg::paintEvent(QPaintEvent*) {
    // The window is sized to the picture, so it is drawn unscaled at the client origin.
    QPainter painter(this);
    painter.drawImage(0, 0, CurrentBackground());
}

// Enter and Escape never close the window; an edit box takes its own Enter before this.
void VantrelDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

// The window is dragged by its background.
void VantrelDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle()) {
        windowHandle()->startSystemMove();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

// The window manager owns the system menu here, so the About entry lives in the background's
// context menu.
void VantrelDlg::contextMenuEvent(QContextMenuEvent* event) {
    ShowBackgroundMenu(event->globalPos());
}

void VantrelDlg::ShowBackgroundMenu(QPoint screenPoint) {
    TuneTools& tools = *m_tuneTools;
    const int shown = m_exchange->ShownEqChannel() + 1;
    std::vector<MenuItem> items = {
        {kUndoCommand, QStringLiteral("Undo\tCtrl+Z"), tools.CanUndo()},
        {kRedoCommand, QStringLiteral("Redo\tCtrl+Shift+Z"), tools.CanRedo()},
        {kCompareCommand,
         tools.ComparingStored() ? QStringLiteral("A/B: back to your edits\tB")
                                 : QStringLiteral("A/B: hear the stored setup\tB"),
         tools.ComparingStored() || m_editPath.Online()},
        {kAlignCommand, QStringLiteral("Time alignment..."), true},
        {kImportPointsCommand, QStringLiteral("Import filters into the EQ points..."), true},
        {kImportBandsCommand, QStringLiteral("Import filters into the graphic EQ..."), true},
        {kExportRewCommand, QStringLiteral("Export the EQ of CH %1 as REW filters...").arg(shown),
         true},
        {kExportApoCommand,
         QStringLiteral("Export the EQ of CH %1 for Equalizer APO...").arg(shown), true},
        {kExportSetupCommand, QStringLiteral("Export the setup for CamillaDSP..."), true},
    };
    if (!m_settings.aboutMenu.empty()) {
        items.push_back({kAboutCommand, QString::fromStdString(m_settings.aboutMenu), true});
    }
    switch (m_editorContext->PopupMenu(items, screenPoint)) {
        case kUndoCommand: tools.Undo(); break;
        case kRedoCommand: tools.Redo(); break;
        case kCompareCommand: tools.ToggleCompare(); break;
        case kAlignCommand: tools.AlignTime(); break;
        case kImportPointsCommand: m_exchange->ImportEq(false); break;
        case kImportBandsCommand: m_exchange->ImportEq(true); break;
        case kExportRewCommand: m_exchange->ExportEq(false); break;
        case kExportApoCommand: m_exchange->ExportEq(true); break;
        case kExportSetupCommand: m_exchange->ExportSetup(); break;
        case kAboutCommand: {
            CAboutDlg box(QString::fromStdString(m_settings.aboutTitle),
                          QString::fromStdString(m_settings.aboutVer), this);
            box.exec();
            break;
        }
        default: break;
    }
}

// Back in the main window, the EQ group the spectrum window may have narrowed is restored.
void VantrelDlg::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow() || !m_refresh) return;
    if (m_model.CurrentSetupIndex >= 0 && m_model.CurrentSetupIndex < kSetupCount) {
        m_model.CurrentSetup().GroupEQFlag = m_refresh->SavedEqGroup();
    }
}

// Asks once about unsaved changes and, on Yes, stores all setups before the window goes; the
// window keeps painting but takes no input meanwhile.
bool VantrelDlg::HasUnsavedChanges() const { return m_editorContext && m_editorContext->Unsaved(); }

void VantrelDlg::MarkTuneSaved() {
    if (m_editorContext) m_editorContext->MarkSaved();
}

void VantrelDlg::OnPresetChanged(const std::filesystem::path& path) {
    m_settings.presetPath = path.string();
    setWindowTitle(TitleWith(m_settings.title, m_settings.presetPath));
    // The preset itself is fine; only the next start will not open it by itself.
    const std::filesystem::path settings = SettingsFilePath(m_dataFolder);
    if (!RememberPresetPath(settings, m_settings.presetPath)) {
        ShowPromptText(
            QString::fromStdString("Cannot remember the preset in " + settings.string()));
    }
}

void VantrelDlg::StoreBeforeClosing() {
    if (!m_session || !m_session->Online() || !HasUnsavedChanges()) return;
    const bool yes = askSaveOnClose
                         ? askSaveOnClose()
                         : QMessageBox::warning(this, "Warning",
                                                "Current setting not saved, Save before switching?",
                                                QMessageBox::Yes | QMessageBox::No) ==
                               QMessageBox::Yes;
    if (!yes) return;
    if (m_session->FinalStore(m_model)) {
        MarkTuneSaved();
    } else {
        ShowPromptText(SetupEditor::kStoreFailed);
    }
}

void VantrelDlg::closeEvent(QCloseEvent* event) {
    if (m_closing) {
        QWidget::closeEvent(event);
        return;
    }
    m_closing = true;
    // Whatever is stored now is the edits, never the tune played for comparison.
    if (m_tuneTools) m_tuneTools->LeaveCompare();
    StoreBeforeClosing();
    hide();
    // Closed first, so a group chosen there is given back before the window goes.
    if (m_spectrumWindow) {
        m_spectrumWindow->close();
        m_spectrumWindow.reset();
    }
    if (m_session) m_session->Shutdown();
    QWidget::closeEvent(event);
}

}  // namespace vantrel
