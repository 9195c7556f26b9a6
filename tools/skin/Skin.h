#pragma once

// The table of the default skin: every control, frame and free text of its pages, and the
// pictures they name.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

#include "Palette.h"

namespace makeskin {

enum Page : unsigned { kMain = 1u, kEq = 2u, kBoth = 3u, kSpectrum = 4u };

enum class Kind { Button, Led, Knob, BandFaders, Fader, Label, Edit, List, LevelBar, Curve };

struct TextStyle {
    int height = 11;
    bool bold = false;
    QColor colour = kValueText;
};

struct Caption {
    QString text;
    QRect rect;
    int align = Qt::AlignCenter;
};

struct Control {
    QString section;
    Kind kind = Kind::Button;
    unsigned pages = kBoth;
    QRect rect;
    QString sta, alt;              // picture paths as the skin file writes them
    QStringList wifiSta, wifiAlt;  // WiFiBtn only: the six signal steps
    int stepHeight = 0, firstCentre = 0, stepNum = 0, valMul = 0;           // knobs
    int faderWidth = 0, faderHeight = 0, faderValMul = 0, thumbHeight = 0;  // faders
    int faderCount = 1;
    double minimum = 0.0, maximum = 1.0, value = 0.0;  // knobs and faders: scale and preview
    TextStyle text;                                    // labels, edits, lists
    QString initialText;
    QColor barColour;                                                            // level bars
    double valLeft = 12.6, valTop = -27.0, valRigth = 25119.0, valBottom = 9.0;  // curves
    Caption caption;          // painted into the background beside the control
    bool chip = false;        // labels that take clicks sit on a key-like chip
    bool previewLit = false;  // the preview shows the alternate picture
};

enum class PanelStyle { Panel, Bar, Display };

// A frame painted into a background; its title, if any, is a note.
struct Panel {
    unsigned pages = kBoth;
    QRect rect;
    PanelStyle style = PanelStyle::Panel;
    QColor stripe;  // a channel's colour along the top edge, when valid
};

// Free text painted into a background: panel titles, group captions, hints.
struct Note {
    unsigned pages = kBoth;
    QRect rect;
    QString text;
    QFont font;
    QColor colour;
    int align = Qt::AlignLeft | Qt::AlignVCenter;
};

struct Line {
    unsigned pages = kBoth;
    QRect rect;  // a filled rectangle, one pixel thin
    QColor colour;
};

struct Skin {
    std::vector<Control> controls;
    std::vector<Panel> panels;
    std::vector<Note> notes;
    std::vector<Line> lines;
    std::map<QString, QImage> pictures;  // by skin path
};

}  // namespace makeskin
