#pragma once

// The scales of response curves, shared by the backgrounds and the preview.

#include <QRect>
#include <QString>
#include <algorithm>
#include <array>
#include <cmath>

#include "Skin.h"

namespace makeskin {

// Scale of a response curve, laid out with the mapping the curve control draws with.
struct PlotMap {
    QRect r;
    double logLeft, logRight, gainBottom, gainTop;

    explicit PlotMap(const Control& c)
        : r(c.rect),
          logLeft(std::log10(static_cast<double>(static_cast<float>(c.valLeft)))),
          logRight(std::log10(static_cast<double>(static_cast<float>(c.valRigth)))),
          gainBottom(static_cast<double>(static_cast<float>(c.valTop))),
          gainTop(static_cast<double>(static_cast<float>(c.valBottom))) {}

    int X(double hz) const {
        const double v =
            std::floor((std::log10(hz) - logLeft) * r.width() / (logRight - logLeft) + 0.5);
        return r.left() + std::clamp(static_cast<int>(v), 0, r.width());
    }
    int Y(double db) const {
        const double v =
            std::trunc(r.height() - (db - gainBottom) * r.height() / (gainTop - gainBottom) + 0.5);
        return r.top() + std::clamp(static_cast<int>(v), 0, r.height());
    }
    // The lowest gain line: the bottom edge rounded up to a multiple of 3 dB.
    int FirstLine() const { return static_cast<int>(std::ceil(gainBottom / 3.0)) * 3; }
};

inline constexpr std::array<int, 10> kGridFrequencies = {20,   50,   100,  200,   500,
                                                         1000, 2000, 5000, 10000, 20000};

QString FrequencyText(int hz);

}  // namespace makeskin
