#include "controls/CGdipButton.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <cstdint>

#include "controls/ControlHost.h"
#include "controls/PictureCache.h"

namespace vantrel {

CGdipButton::CGdipButton(QWidget* parent, int id)
    : QAbstractButton(parent), m_id(id), m_repeatTimer(this) {
    setFocusPolicy(Qt::StrongFocus);
    // Plain moves are needed: they bring the hover look back after a press.
    setMouseTracking(true);
    // A right press is reported to the host, which opens its own menu; nothing else may.
    setContextMenuPolicy(Qt::PreventContextMenu);
    m_repeatTimer.setObjectName(QStringLiteral("repeatTimer"));
    m_repeatTimer.setInterval(kRepeatPeriodMs);
    connect(&m_repeatTimer, &QTimer::timeout, this, [this] { OnRepeatTimer(); });
    connect(this, &QAbstractButton::clicked, this, [this] { OnClicked(); });
}

int CGdipButton::Id() const { return m_id; }

bool CGdipButton::LoadStdImage(const QString& path) {
    m_stdLoaded = true;
    m_std[kPlain] = LoadPicture(path, PictureTone::Plain);
    m_std[kHover] = LoadPicture(path, PictureTone::Bright);
    m_std[kGrey] = LoadPicture(path, PictureTone::DimmedGrey);
    update();
    return !m_std[kPlain].isNull();
}

bool CGdipButton::LoadAltImage(const QString& path) {
    m_hasAlt = true;
    m_alt[kPlain] = LoadPicture(path, PictureTone::Plain);
    m_alt[kHover] = LoadPicture(path, PictureTone::Bright);
    m_alt[kGrey] = LoadPicture(path, PictureTone::Grey);
    update();
    return !m_alt[kPlain].isNull();
}

bool CGdipButton::HasAltImage() const { return m_hasAlt; }

void CGdipButton::SetCheck(int check) {
    m_checked = check != 0 ? 1 : 0;
    m_flipUnreported = false;  // the window's word is final
    update();
}

int CGdipButton::GetCheck() const { return m_checked; }

void CGdipButton::SetToggle(bool toggle) {
    m_toggle = toggle;
    update();
}

bool CGdipButton::IsToggle() const { return m_toggle; }

void CGdipButton::SetAutoRepeat(bool autoRepeat) {
    m_autoRepeat = autoRepeat;
    if (!autoRepeat) m_repeatTimer.stop();
    update();
}

bool CGdipButton::IsAutoRepeat() const { return m_autoRepeat; }

void CGdipButton::SetDisabled(bool disabled) {
    m_disabled = disabled;
    // A disabled button ignores the release, so a press in progress has to end here or its
    // repeat would run on.
    if (disabled) CancelPress();
    update();
}

bool CGdipButton::IsDisabled() const { return m_disabled; }

void CGdipButton::StopAutoRepeat() {
    m_repeatTimer.stop();
    m_held = false;
    update();
}

bool CGdipButton::IsRepeating() const { return m_repeatTimer.isActive(); }

bool CGdipButton::IsHeld() const { return m_held; }

bool CGdipButton::IsHovering() const { return m_hovering; }

CGdipButton::Composition CGdipButton::CurrentComposition() const {
    if (!m_stdLoaded) return Composition::None;
    // Without an alternate picture the standard one stands in for it.
    const bool alternate = m_hasAlt;
    if (IsGreyed()) {
        return m_checked && alternate ? Composition::AlternateGrey : Composition::StandardGrey;
    }
    // The pressed look is always the alternate picture.
    if (isDown() || m_held) return alternate ? Composition::Alternate : Composition::Standard;
    if (m_checked && alternate) {
        return m_hovering ? Composition::AlternateHover : Composition::Alternate;
    }
    return m_hovering ? Composition::StandardHover : Composition::Standard;
}

void CGdipButton::OnRepeatTimer() { SendCommand(); }

void CGdipButton::paintEvent(QPaintEvent*) {
    const QImage* picture = nullptr;
    switch (CurrentComposition()) {
        case Composition::None:
            break;
        case Composition::Standard:
            picture = &m_std[kPlain];
            break;
        case Composition::StandardHover:
            picture = &m_std[kHover];
            break;
        case Composition::StandardGrey:
            picture = &m_std[kGrey];
            break;
        case Composition::Alternate:
            picture = &m_alt[kPlain];
            break;
        case Composition::AlternateHover:
            picture = &m_alt[kHover];
            break;
        case Composition::AlternateGrey:
            picture = &m_alt[kGrey];
            break;
    }
    if (!picture || picture->isNull()) return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), *picture);
}

void CGdipButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        LeftPress(event);
        return;
    }
    event->accept();
    if (event->button() != Qt::RightButton || IsGreyed()) return;
    const QPoint screen = mapToGlobal(event->position().toPoint());
    // The host reads the point through lParam while it handles the message.
    const std::int32_t point[2] = {screen.x(), screen.y()};
    ControlMessage message;
    message.message = UM_BUTTON_RCLICK;
    message.id = m_id;
    message.wParam = m_id;
    message.lParam = reinterpret_cast<std::intptr_t>(point);
    message.screenPoint = screen;
    NotifyHost(this, message);
}

void CGdipButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton || IsGreyed()) return;
    // Stopped whether or not auto-repeat is still set, so no timer outlives its press.
    m_repeatTimer.stop();
    m_held = false;
    const QPointer<CGdipButton> alive(this);    // the click's handler may close the page
    QAbstractButton::mouseReleaseEvent(event);  // clicks when released over the button
    event->accept();
    if (alive) SettlePress();
}

void CGdipButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second click of a quick pair is a press like the first.
    if (event->button() == Qt::LeftButton) {
        LeftPress(event);
        return;
    }
    event->accept();
}

void CGdipButton::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() == Qt::NoButton && !m_hovering &&
        rect().contains(event->position().toPoint())) {
        m_hovering = true;
        update();
    }
    if (IsGreyed()) {
        event->accept();
        return;
    }
    QAbstractButton::mouseMoveEvent(event);
}

void CGdipButton::keyPressEvent(QKeyEvent* event) {
    const bool pushKey = event->key() == Qt::Key_Space || event->key() == Qt::Key_Select;
    if (pushKey && IsGreyed()) {
        event->accept();
        return;
    }
    const bool wasDown = isDown();
    QAbstractButton::keyPressEvent(event);
    AfterPushAttempt(wasDown);
}

void CGdipButton::keyReleaseEvent(QKeyEvent* event) {
    const bool pushKey = event->key() == Qt::Key_Space || event->key() == Qt::Key_Select;
    if (pushKey && IsGreyed()) {
        event->accept();
        return;
    }
    const QPointer<CGdipButton> alive(this);
    QAbstractButton::keyReleaseEvent(event);
    if (alive) SettlePress();
}

void CGdipButton::focusOutEvent(QFocusEvent* event) {
    QAbstractButton::focusOutEvent(event);
    if (!isDown()) {
        m_repeatTimer.stop();
        m_held = false;
    }
    SettlePress();
}

void CGdipButton::enterEvent(QEnterEvent* event) {
    m_hovering = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CGdipButton::leaveEvent(QEvent* event) {
    m_hovering = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CGdipButton::hideEvent(QHideEvent* event) {
    // A hidden button gets no release: end the press now.
    CancelPress();
    m_hovering = false;
    QAbstractButton::hideEvent(event);
}

void CGdipButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) CancelPress();
    QAbstractButton::changeEvent(event);
}

bool CGdipButton::IsGreyed() const { return m_disabled || !isEnabled(); }

void CGdipButton::LeftPress(QMouseEvent* event) {
    event->accept();
    if (IsGreyed()) return;
    if (m_autoRepeat && !m_repeatTimer.isActive()) m_repeatTimer.start();
    m_held = true;
    // The press takes the pointer from the hover look until it moves again.
    m_hovering = false;
    const bool wasDown = isDown();
    QAbstractButton::mousePressEvent(event);
    event->accept();
    AfterPushAttempt(wasDown);
}

void CGdipButton::AfterPushAttempt(bool wasDown) {
    // A toggle flips once when pushed, so the click handler already reads the new state.
    if (m_toggle && !wasDown && isDown()) {
        m_checked ^= 1;
        m_flipUnreported = true;
    }
    update();
}

void CGdipButton::SettlePress() {
    // A press that ended without a click (released off the button, focus lost, cancelled) gives
    // its flip back, so the button never shows a state the window was not told about.
    if (m_flipUnreported && !isDown()) {
        m_checked ^= 1;
        m_flipUnreported = false;
    }
    update();
}

void CGdipButton::CancelPress() {
    m_repeatTimer.stop();
    m_held = false;
    if (isDown()) setDown(false);
    SettlePress();
}

void CGdipButton::OnClicked() {
    m_flipUnreported = false;
    SendCommand();
}

void CGdipButton::SendCommand() {
    ControlMessage message;
    message.message = WM_COMMAND;
    message.id = m_id;
    message.wParam = m_id;
    message.lParam = reinterpret_cast<std::intptr_t>(this);
    NotifyHost(this, message);
}

}  // namespace vantrel
