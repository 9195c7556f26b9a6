#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QString>

namespace vantrel {

// The font of a skinned text control from its section's "FontHeight", "FontWidth", "FontWeight"
// and "FontName", read the way the skins were written: height in pixels, negative for the
// character height and positive for the cell height (character plus internal leading); width the
// average character width in pixels; weight 1..1000 (400 normal, 700 bold); 0 means the default
// for each. A missing or empty face falls back to a sans-serif face. Any values give a usable font.
QFont SkinFont(long height, long width, long weight, const QString& faceName);

// Gives `widget` the skin text colour in `role`; disabled text stays grey so that a disabled
// control reads as such whatever the skin colour.
void ApplySkinTextColor(QWidget& widget, QPalette::ColorRole role, const QColor& color);

// A label that draws only its text, centred, in the skin font and colour: the window background
// shows around the letters.
class CTpStatic : public QLabel {
    Q_OBJECT

public:
    CTpStatic(QWidget* parent, int id);

    int Id() const { return m_id; }

    void SetText(const QString& text);
    QString Text() const { return text(); }
    void SetTextColor(const QColor& color);
    QColor TextColor() const { return m_textColor; }

private:
    int m_id;
    QColor m_textColor{0, 0, 0};
};

}  // namespace vantrel
