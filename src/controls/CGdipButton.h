#pragma once

#include <QAbstractButton>
#include <QImage>
#include <QTimer>

namespace vantrel {

// The skinned image button. It has a standard and an alternate picture and shows one of them
// plain, brightened while the pointer rests over it, or grey while disabled. It works as a push
// button, as a toggle button (each press flips the checked state; 0 shows the standard picture,
// 1 the alternate one) or as an auto-repeat button (a click every 150 ms while held). The host
// receives clicks as WM_COMMAND and right-button presses as UM_BUTTON_RCLICK.
class CGdipButton : public QAbstractButton {
    Q_OBJECT

public:
    // What a paint shows; the brightened and grey looks are made once per picture, at load.
    enum class Composition {
        None,  // no standard picture was ever loaded: nothing of its own is drawn
        Standard,
        StandardHover,
        StandardGrey,
        Alternate,
        AlternateHover,
        AlternateGrey,
    };

    static constexpr int kRepeatPeriodMs = 150;

    CGdipButton(QWidget* parent, int id);

    int Id() const;

    // Pictures through LoadPicture; true when the file decoded. An undecodable file leaves that
    // picture empty, so the button shows nothing in its looks. Every alternate load marks the
    // button as having an alternate picture, decoded or not.
    bool LoadStdImage(const QString& path);
    bool LoadAltImage(const QString& path);
    bool HasAltImage() const;

    void SetCheck(int check);  // any non-zero value checks
    int GetCheck() const;      // 0 or 1
    void SetToggle(bool toggle);
    bool IsToggle() const;
    void SetAutoRepeat(bool autoRepeat);
    bool IsAutoRepeat() const;
    // Grey and deaf to presses. A disabled QWidget (setEnabled(false)) behaves the same.
    void SetDisabled(bool disabled);
    bool IsDisabled() const;

    // Ends a running repeat and the held look; for the window when a repeated change hits a
    // limit. The button stays pushed until the window or the release says otherwise.
    void StopAutoRepeat();
    bool IsRepeating() const;
    bool IsHeld() const;
    bool IsHovering() const;

    Composition CurrentComposition() const;

    // The repeat timer's handler: reports one click. Public so tests step the repeat.
    void OnRepeatTimer();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    enum Tone { kPlain, kHover, kGrey, kToneCount };

    bool IsGreyed() const;
    void LeftPress(QMouseEvent* event);
    void AfterPushAttempt(bool wasDown);
    void SettlePress();
    void CancelPress();
    void OnClicked();
    void SendCommand();

    int m_id;
    QImage m_std[kToneCount];
    QImage m_alt[kToneCount];
    bool m_stdLoaded = false;
    bool m_hasAlt = false;
    bool m_disabled = false;
    bool m_toggle = false;
    bool m_hovering = false;
    int m_checked = 0;
    bool m_autoRepeat = false;
    bool m_held = false;
    bool m_flipUnreported = false;  // this press flipped the toggle and no click has reported it
    QTimer m_repeatTimer;
};

}  // namespace vantrel
