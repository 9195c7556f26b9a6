#include "app/VantrelDlg.h"

#include <QPainter>

#include "controls/PictureCache.h"

namespace vantrel {

namespace {

constexpr int kEQLoadBtnId = 1503;
constexpr int kHomeBtnId = 1504;
constexpr int kEQLoad2BtnId = 1596;
constexpr int kEQBack2BtnId = 1727;

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

    AddHandler(WM_COMMAND, kEQLoadBtnId, &VantrelDlg::OnShowEqPage);
    AddHandler(WM_COMMAND, kEQLoad2BtnId, &VantrelDlg::OnShowEqPage);
    AddHandler(WM_COMMAND, kHomeBtnId, &VantrelDlg::OnShowMainPage);
    AddHandler(WM_COMMAND, kEQBack2BtnId, &VantrelDlg::OnShowMainPage);
}

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

void VantrelDlg::RefreshSetupDisplay() {}

void VantrelDlg::paintEvent(QPaintEvent*) {
    // The window is sized to the picture, so it is drawn unscaled at the client origin.
    QPainter painter(this);
    painter.drawImage(0, 0, CurrentBackground());
}

}  // namespace vantrel
