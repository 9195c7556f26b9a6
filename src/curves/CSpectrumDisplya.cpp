#include "curves/CSpectrumDisplya.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <string>

#include "controls/CTpStatic.h"
#include "controls/PictureCache.h"
#include "curves/CSpectrumCtl.h"
#include "skin/SkinLayout.h"

namespace vantrel {

namespace {

// As the main window's layout reads them: places far off any screen are typing slips, and a
// negative size is none.
constexpr long long kMaxCoordinate = 1 << 20;

int Coordinate(long long value) {
    return static_cast<int>(std::clamp(value, -kMaxCoordinate, kMaxCoordinate));
}

int Extent(long long value) { return static_cast<int>(std::clamp(value, 0LL, kMaxCoordinate)); }

QRect ReadRect(const SkinReader& skin, const std::string& section) {
    return QRect(
        Coordinate(skin.ReadSkinInt(section, "Left")), Coordinate(skin.ReadSkinInt(section, "Top")),
        Extent(skin.ReadSkinInt(section, "Width")), Extent(skin.ReadSkinInt(section, "Height")));
}

}  // namespace

CSpectrumDisplya::CSpectrumDisplya(const SkinReader& skin, const SkinBackground& background,
                                   QWidget* mainWindow)
    : QWidget(nullptr, Qt::Window), m_mainWindow(mainWindow) {
    setWindowTitle(QStringLiteral("Spectrum Display"));
    // A side window: closing it, or leaving it open, never decides when the program ends.
    setAttribute(Qt::WA_QuitOnClose, false);

    // Without the picture the window is empty; its controls work all the same.
    m_background = LoadPicture(background.fileName);
    SizeWindowToBackground(this, m_background.size());

    const std::string curveSection = "ZoomSpectrumCurve";
    m_zoomCurve = new CSpectrumCtl(this, kZoomSpectrumCurveId);
    m_zoomCurve->setGeometry(ReadRect(skin, curveSection));
    m_zoomCurve->SetPlotRange(skin.ReadSkinFloat(curveSection, "ValLeft"),
                              skin.ReadSkinFloat(curveSection, "ValTop"),
                              skin.ReadSkinFloat(curveSection, "ValRigth"),
                              skin.ReadSkinFloat(curveSection, "ValBottom"));
    const std::array<QColor, kChannelCount> colors = SkinCurveColors();
    for (int c = 0; c < kChannelCount; ++c) {
        m_zoomCurve->SetChannelColor(c, colors[static_cast<std::size_t>(c)]);
    }
    m_zoomCurve->hide();

    for (int n = 0; n < kChannelCount; ++n) {
        const std::string section = "SpDispChStc" + std::to_string(n);
        auto* label = new CTpStatic(this, kSpDispChStcFirstId + n);
        label->setGeometry(ReadRect(skin, section));
        label->SetText(QStringLiteral("CH%1").arg(n + 1));
        label->setFont(SkinFont(
            skin.ReadSkinInt(section, "FontHeight"), skin.ReadSkinInt(section, "FontWidth"),
            skin.ReadSkinInt(section, "FontWeight"), skin.ReadSkinString(section, "FontName")));
        label->SetTextColor(
            skin.ReadSkinColor(section, "FontCollorR", "FontCollorG", "FontCollorB"));
        // These labels are buttons: they take the clicks other labels let through.
        label->setAttribute(Qt::WA_TransparentForMouseEvents, false);
        label->installEventFilter(this);
        m_labels[static_cast<std::size_t>(n)] = label;
    }

    if (m_mainWindow) m_mainWindow->installEventFilter(this);
}

CSpectrumDisplya::~CSpectrumDisplya() {
    if (m_mainWindow) m_mainWindow->removeEventFilter(this);
}

CTpStatic* CSpectrumDisplya::ChannelLabel(int n) const {
    if (n < 0 || n >= kChannelCount) return nullptr;
    return m_labels[static_cast<std::size_t>(n)];
}

void CSpectrumDisplya::SetSetup(SetupRecord* setup, int channelCount) {
    m_zoomCurve->SetSetup(setup);
    m_zoomCurve->SetChannelCount(channelCount);
    SaveEqGroup();
    UpdateChannelLabels();
}

const SetupRecord* CSpectrumDisplya::Setup() const { return m_zoomCurve->Setup(); }

void CSpectrumDisplya::ShowSpectrum() {
    show();
    m_zoomCurve->show();
    m_zoomCurve->update();
    raise();
    activateWindow();
}

void CSpectrumDisplya::UpdateChannelLabels() {
    const SetupRecord* setup = m_zoomCurve->Setup();
    if (!setup) return;
    for (int n = 0; n < kChannelCount; ++n) {
        const bool selected = ((setup->GroupEQFlag >> n) & 1u) != 0;
        // SetTextColor repaints a visible label.
        m_labels[static_cast<std::size_t>(n)]->SetTextColor(selected ? m_zoomCurve->ChannelColor(n)
                                                                     : kUnselectedLabelColor);
    }
}

void CSpectrumDisplya::OnControlMessage(const ControlMessage& message) {
    if (message.message != WM_COMMAND) return;
    const int n = message.id - kSpDispChStcFirstId;
    if (n >= 0 && n < kChannelCount) OnChannelLabelClicked(n);
}

void CSpectrumDisplya::OnChannelLabelClicked(int n) {
    SetupRecord* setup = m_zoomCurve->WritableSetup();
    // A label past the amplifier's channels stands for nothing.
    if (!setup || n >= m_zoomCurve->ChannelCount()) return;
    setup->GroupEQFlag = static_cast<std::uint8_t>(1u << n);
    m_eqGroupChanged = true;
    UpdateChannelLabels();
    m_zoomCurve->update();
}

void CSpectrumDisplya::SaveEqGroup() {
    const SetupRecord* setup = m_zoomCurve->Setup();
    if (!setup) return;
    m_savedEqGroup = setup->GroupEQFlag;
    m_eqGroupChanged = false;
}

void CSpectrumDisplya::RestoreEqGroup() {
    SetupRecord* setup = m_zoomCurve->WritableSetup();
    if (!setup || !m_eqGroupChanged) return;
    setup->GroupEQFlag = m_savedEqGroup;
    m_eqGroupChanged = false;
    // What stays on show says which group is in force again.
    UpdateChannelLabels();
    m_zoomCurve->update();
}

void CSpectrumDisplya::paintEvent(QPaintEvent*) {
    // Sized to the picture, so it is drawn unscaled at the client origin.
    QPainter painter(this);
    painter.drawImage(0, 0, m_background);
}

void CSpectrumDisplya::showEvent(QShowEvent* event) {
    SaveEqGroup();
    UpdateChannelLabels();
    QWidget::showEvent(event);
}

void CSpectrumDisplya::hideEvent(QHideEvent* event) {
    RestoreEqGroup();
    QWidget::hideEvent(event);
}

void CSpectrumDisplya::closeEvent(QCloseEvent* event) {
    RestoreEqGroup();
    // Accepted: the window hides and stays for the next zoom button.
    event->accept();
}

void CSpectrumDisplya::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) RestoreEqGroup();
    QWidget::changeEvent(event);
}

bool CSpectrumDisplya::eventFilter(QObject* watched, QEvent* event) {
    if (m_mainWindow && watched == m_mainWindow.data()) {
        // The main window hears of losing the focus after the window that took it is already
        // the active one: that tells a focus coming from the main window.
        if (event->type() == QEvent::WindowDeactivate && QApplication::activeWindow() == this) {
            SaveEqGroup();
        }
        return false;
    }
    const auto label = std::find(m_labels.begin(), m_labels.end(), watched);
    if (label == m_labels.end()) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // Taken, so that the release comes back to the label.
            return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) return false;
            if ((*label)->rect().contains(mouse->position().toPoint())) {
                const int id = (*label)->Id();
                NotifyHost(*label, {WM_COMMAND, id, id, 0, {}});
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace vantrel
