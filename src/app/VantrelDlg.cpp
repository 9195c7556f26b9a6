#include "app/VantrelDlg.h"

#include <QCloseEvent>
#include <QPainter>

#include "controls/PictureCache.h"
#include "curves/CSpectrumCtl.h"
#include "curves/CSpectrumDisplya.h"

namespace vantrel {

namespace {

constexpr int kEQLoadBtnId = 1503;
constexpr int kHomeBtnId = 1504;
constexpr int kEQLoad2BtnId = 1596;
constexpr int kEQBack2BtnId = 1727;
constexpr int kZoomBtnId = 1598;
constexpr int kEQZoomBtnId = 1729;

}  // namespace

VantrelDlg::VantrelDlg(const std::filesystem::path& dataFolder, QWidget* parent) : QWidget(parent) {
    SetPictureFolder(QString::fromStdString(dataFolder.string()));
    InitSetups(m_model);

    const SkinReader skin = SkinReader::LoadFromDataFolder(dataFolder);
    m_backgrounds = LoadSkinBackgrounds(skin);
    m_mainBackground = LoadPicture(m_backgrounds.main.fileName);
    SizeWindowToBackground(this, m_mainBackground.size());
    m_controls = CreateSkinControls(this, skin, &m_model.Setups[0]);
    m_eqBackground = LoadPicture(m_backgrounds.eq.fileName);
    m_spectrumWindow = std::make_unique<CSpectrumDisplya>(skin, m_backgrounds.spectrum, this);
    PointCurvesAtCurrentSetup();

    AddHandler(WM_COMMAND, kEQLoadBtnId, &VantrelDlg::OnShowEqPage);
    AddHandler(WM_COMMAND, kEQLoad2BtnId, &VantrelDlg::OnShowEqPage);
    AddHandler(WM_COMMAND, kHomeBtnId, &VantrelDlg::OnShowMainPage);
    AddHandler(WM_COMMAND, kEQBack2BtnId, &VantrelDlg::OnShowMainPage);
    AddHandler(WM_COMMAND, kZoomBtnId, &VantrelDlg::OnShowSpectrum);
    AddHandler(WM_COMMAND, kEQZoomBtnId, &VantrelDlg::OnShowSpectrum);
}

VantrelDlg::~VantrelDlg() = default;

void VantrelDlg::AddHandler(std::uint32_t message, int id, Handler handler) {
    m_handlers[{message, id}] = handler;
}

void VantrelDlg::OnControlMessage(const ControlMessage& message) {
    const auto it = m_handlers.find({message.message, message.id});
    if (it != m_handlers.end()) (this->*(it->second))(message);
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

void VantrelDlg::PointCurvesAtCurrentSetup() {
    SetupRecord* setup = &m_model.CurrentSetup();
    const int channels = EffectiveChannelCount(m_model);
    for (CSpectrumCtl* curve : {m_controls.SpectrumCurve, m_controls.EQSpectrumCurve}) {
        if (!curve) continue;
        curve->SetSetup(setup);
        curve->SetChannelCount(channels);
    }
    if (m_spectrumWindow) m_spectrumWindow->SetSetup(setup, channels);
}

void VantrelDlg::RefreshSetupDisplay() { PointCurvesAtCurrentSetup(); }

void VantrelDlg::paintEvent(QPaintEvent*) {
    // The window is sized to the picture, so it is drawn unscaled at the client origin.
    QPainter painter(this);
    painter.drawImage(0, 0, CurrentBackground());
}

void VantrelDlg::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (!event->isAccepted() || !m_spectrumWindow) return;
    // Closed first, so a group chosen there is given back before the window goes.
    m_spectrumWindow->close();
    m_spectrumWindow.reset();
}

}  // namespace vantrel
