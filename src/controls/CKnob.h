#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "controls/CValueCtrl.h"

namespace vantrel {

// The skin's rotary control: one frame of a vertical film strip of pre-rendered knob positions,
// chosen from the value. Every change is reported with UM_KNOB_CHANGED (wParam = the identifier,
// lParam = 0); a press reports nothing.
class CKnob : public CValueCtrl {
    Q_OBJECT

public:
    CKnob(QWidget* parent, int id);

    // Strip while focused (also the source of the dimmed picture); the alternate one is shown
    // otherwise. Paths as written in the skin.
    void LoadStandardStrip(const QString& storedPath);
    void LoadAlternateStrip(const QString& storedPath);
    void SetStandardStrip(const QImage& strip);
    void SetAlternateStrip(const QImage& strip);

    // Frame geometry of both strips: frames of `stepHeight` rows whose centres lie at
    // `firstFrameCentre`, + stepHeight, ... up to frame `lastFrameIndex`.
    void SetStripGeometry(int stepHeight, int firstFrameCentre, int lastFrameIndex);
    int StepHeight() const { return m_stepHeight; }
    int FirstFrameCentre() const { return m_firstFrameCentre; }
    int LastFrameIndex() const { return m_lastFrameIndex; }

    // A disabled knob shows its dimmed picture and takes no input; the same holds while the
    // widget itself is disabled.
    void SetDisabled(bool disabled);
    bool IsDisabled() const { return !isEnabled(); }

    // The frame shown for the current value, always within 0..LastFrameIndex().
    int FrameIndex() const;

protected:
    std::uint32_t ChangedMessage() const override;

    void paintEvent(QPaintEvent* event) override;

private:
    int m_stepHeight = 0;
    int m_firstFrameCentre = 0;
    int m_lastFrameIndex = 0;
    QImage m_standard;
    QImage m_alternate;
    QImage m_dimmed;  // m_standard through the dimmed grey matrix, made when m_standard changes
};

}  // namespace vantrel
