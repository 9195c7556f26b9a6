#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>

#include "controls/CValueCtrl.h"

namespace vantrel {

// The skin's vertical slider: a thumb picture travelling over whatever the parent painted. It
// reports every change with UM_FADER_CHANGED and a left-button press with UM_FADER_PRESSED
// (wParam = the identifier, lParam = 0), so the window can select the band before a drag.
class CFaderCtrl : public CValueCtrl {
    Q_OBJECT

public:
    CFaderCtrl(QWidget* parent, int id);

    // Thumb while focused; the alternate one is shown otherwise. Paths as written in the skin.
    void LoadStandardPicture(const QString& storedPath);
    void LoadAlternatePicture(const QString& storedPath);
    void SetStandardPicture(const QImage& picture);
    void SetAlternatePicture(const QImage& picture);

    // Where the fader stands in its parent; the height is the thumb's travel. The control moves
    // itself there before it is painted (it may have been created with another size).
    void SetPlacementRect(const QRect& rect);
    QRect PlacementRect() const { return m_placement; }

    // Top of the thumb in client coordinates for the current value; beyond the travel for values
    // outside the range.
    int ThumbTop() const;

protected:
    std::uint32_t ChangedMessage() const override;
    std::optional<std::uint32_t> PressedMessage() const override;
    void Repaint() override;

    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Settle();

    QRect m_placement;  // empty until the creator sets it
    QImage m_standard;
    QImage m_alternate;
};

}  // namespace vantrel
