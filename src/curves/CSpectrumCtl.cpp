#include "curves/CSpectrumCtl.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QScreen>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <limits>

#include "controls/ControlHost.h"
#include "curves/ChannelResponse.h"

namespace vantrel {

namespace {

constexpr float kDefaultMinFrequency = 12.6f;
constexpr float kDefaultMaxFrequency = 25119.0f;
constexpr float kDefaultMinGain = -27.0f;
constexpr float kDefaultMaxGain = 9.0f;

// A dragged point near 0 dB keeps its frequency until the pointer has moved this far, in
// decades, so that a point pulled along the 0 dB line does not creep sideways.
constexpr double kDeadZoneDecades = 0.01;
constexpr double kDeadZoneGainDb = 0.1;

// The readout tip goes away after ten times its delay.
constexpr int kTipDisplayFactor = 10;
// Below and right of the pointer, clear of the cursor picture.
const QPoint kTipOffset(2, 16);

// Marker colours of the custom points 1 to 4.
const std::array<QColor, kCustomPointCount> kPointColors = {
    QColor(153, 0, 255), QColor(204, 204, 0), QColor(0, 255, 0), QColor(255, 0, 0)};
constexpr int kMarkerHalf = 4;

// `value` held to lo..hi; not-a-number gives lo, so nothing undefined reaches an int.
double Hold(double value, double lo, double hi) {
    if (!(value > lo)) return lo;
    if (!(value < hi)) return hi;
    return value;
}

int RoundHalfUp(double value) {
    return static_cast<int>(std::floor(
        Hold(value + 0.5, std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
}

bool FrequencyAxisUsable(float left, float right) {
    return std::isfinite(left) && std::isfinite(right) && left > 0.0f && right > 0.0f &&
           left != right;
}

bool GainAxisUsable(float top, float bottom) {
    return std::isfinite(top) && std::isfinite(bottom) && top != bottom;
}

QColor Dimmed(const QColor& color) {
    return QColor(color.red() / 3, color.green() / 3, color.blue() / 3);
}

}  // namespace

CurveTip::CurveTip(QWidget* tool) : m_tool(tool), m_label(new QLabel(tool, Qt::ToolTip)) {
    m_label->setTextFormat(Qt::PlainText);
    m_label->setPalette(QToolTip::palette());
    m_label->setFont(QToolTip::font());
    m_label->setForegroundRole(QPalette::ToolTipText);
    m_label->setBackgroundRole(QPalette::ToolTipBase);
    m_label->setAutoFillBackground(true);
    m_label->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_label->setMargin(2);
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_label->hide();
    m_delayTimer.setSingleShot(true);
    m_displayTimer.setSingleShot(true);
    QObject::connect(&m_delayTimer, &QTimer::timeout, [this] { DelayElapsed(); });
    QObject::connect(&m_displayTimer, &QTimer::timeout, [this] { DisplayElapsed(); });
}

void CurveTip::SetActive(bool active) {
    m_active = active;
    if (!active) Hide();
}

void CurveTip::SetText(const QString& text) {
    m_text = text;
    if (!IsShown()) return;
    if (text.isEmpty()) {
        Hide();
        return;
    }
    m_label->setText(text);
    m_label->adjustSize();
    Place();
}

void CurveTip::PointerMoved(QPoint pos) {
    m_pos = pos;
    if (!m_active) return;
    if (IsShown()) {
        Place();
    } else {
        // The tip waits for the pointer to rest.
        m_delayTimer.start(m_delayMs);
    }
}

void CurveTip::Hide() {
    m_delayTimer.stop();
    m_displayTimer.stop();
    m_label->hide();
}

bool CurveTip::IsShown() const { return m_label->isVisible(); }

QString CurveTip::ShownText() const { return m_label->text(); }

void CurveTip::DelayElapsed() {
    m_delayTimer.stop();
    if (!m_active || m_text.isEmpty() || !m_tool->isVisible()) return;
    m_label->setText(m_text);
    m_label->adjustSize();
    Place();
    m_label->show();
    m_displayTimer.start(kTipDisplayFactor * m_delayMs);
}

void CurveTip::Place() {
    QPoint at = m_tool->mapToGlobal(m_pos) + kTipOffset;
    if (const QScreen* screen = m_tool->screen()) {
        // Kept on the screen: a tip at the right or bottom edge turns inwards.
        const QRect area = screen->availableGeometry();
        at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - m_label->width())));
        at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - m_label->height())));
    }
    m_label->move(at);
}

CSpectrumCtl::CSpectrumCtl(QWidget* parent, int id) : QWidget(parent), m_id(id), m_tip(this) {
    m_tip.SetDelay(kCreateTipDelayMs);
    m_tip.SetActive(true);
    // The readout follows the pointer without a button held.
    setMouseTracking(true);
}

void CSpectrumCtl::SetPlotRange(float left, float top, float right, float bottom) {
    const bool frequencies = FrequencyAxisUsable(left, right);
    m_fmin = frequencies ? left : kDefaultMinFrequency;
    m_fmax = frequencies ? right : kDefaultMaxFrequency;
    const bool gains = GainAxisUsable(top, bottom);
    m_gmin = gains ? top : kDefaultMinGain;
    m_gmax = gains ? bottom : kDefaultMaxGain;
    update();
}

void CSpectrumCtl::SetChannelColor(int c, const QColor& color) {
    if (c < 0 || c >= kChannelCount) return;
    m_colors[static_cast<std::size_t>(c)] = color;
    update();
}

QColor CSpectrumCtl::ChannelColor(int c) const {
    if (c < 0 || c >= kChannelCount) return {};
    return m_colors[static_cast<std::size_t>(c)];
}

void CSpectrumCtl::SetSetup(SetupRecord* setup) {
    // A drag belongs to the points of one setup.
    if (setup != m_setup) m_dragging = false;
    m_setup = setup;
    m_writableSetup = setup;
    update();
}

void CSpectrumCtl::SetSetup(const SetupRecord* setup) {
    if (setup != m_setup) m_dragging = false;
    m_setup = setup;
    m_writableSetup = nullptr;
    update();
}

void CSpectrumCtl::SetChannelCount(int count) {
    m_channelCount = std::clamp(count, 0, kChannelCount);
    update();
}

float CSpectrumCtl::FrequencyAt(int x) const {
    const double left = 0.0;
    const double right = width();
    const double fraction = right > left ? (x - left) / (right - left) : 0.0;
    const double lo = std::log10(static_cast<double>(m_fmin));
    const double hi = std::log10(static_cast<double>(m_fmax));
    const double f = std::pow(10.0, lo + (hi - lo) * fraction);
    return static_cast<float>(
        Hold(f, std::min(m_fmin, m_fmax), static_cast<double>(std::max(m_fmin, m_fmax))));
}

float CSpectrumCtl::GainAt(int y) const {
    const double top = 0.0;
    const double bottom = height();
    const double fraction = bottom > top ? (bottom - y) / (bottom - top) : 0.0;
    const double g = m_gmin + (static_cast<double>(m_gmax) - m_gmin) * fraction;
    return static_cast<float>(Hold(g, kMinPointGain, kMaxPointGain));
}

int CSpectrumCtl::RowOf(float gain) const {
    const int top = 0;
    const int bottom = height();
    const double row = bottom -
                       (static_cast<double>(gain) - m_gmin) * (bottom - top) /
                           (static_cast<double>(m_gmax) - m_gmin) +
                       0.5;
    // Held first, so the truncation only ever sees values of the client area.
    return static_cast<int>(Hold(row, top, bottom));
}

int CSpectrumCtl::ColumnOf(float freq) const {
    const int left = 0;
    const int right = width();
    const double lo = std::log10(static_cast<double>(m_fmin));
    const double hi = std::log10(static_cast<double>(m_fmax));
    const double column =
        (std::log10(static_cast<double>(freq)) - lo) * (right - left) / (hi - lo) + 0.5;
    return static_cast<int>(std::floor(Hold(column, left, right)));
}

bool CSpectrumCtl::IsSelected(int c) const {
    return m_setup && ((m_setup->GroupEQFlag >> c) & 1u) != 0;
}

void CSpectrumCtl::paintEvent(QPaintEvent*) {
    // The skin background under the control carries the grid and the scale; without a setup
    // there is nothing of ours on it.
    if (!m_setup || width() <= 0 || height() <= 0) return;

    const int left = 0;
    const int right = width();
    const auto columns = static_cast<std::size_t>(right - left);
    m_columnFreqs.resize(columns);
    m_columnResponse.resize(columns);
    for (std::size_t i = 0; i < columns; ++i) {
        m_columnFreqs[i] = FrequencyAt(left + static_cast<int>(i));
    }

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    QPolygonF line;
    line.reserve(static_cast<qsizetype>(columns));

    // The unselected curves first, thick and dim, so that the selected ones lie on top.
    for (const bool selected : {false, true}) {
        const int penWidth = selected ? 1 : 2;
        // An odd width is centred on the pixel, an even one on the line between two.
        const double yOffset = penWidth % 2 == 1 ? 0.5 : 0.0;
        for (int c = 0; c < m_channelCount; ++c) {
            if (IsSelected(c) != selected) continue;
            const ChannelRecord& channel = m_setup->Channels[static_cast<std::size_t>(c)];
            ChannelResponseRow(channel, m_columnFreqs.data(), columns, m_columnResponse.data());
            line.clear();
            for (std::size_t i = 0; i < columns; ++i) {
                line.append(QPointF(left + static_cast<double>(i) + 0.5,
                                    RowOf(m_columnResponse[i]) + yOffset));
            }
            const QColor color = m_colors[static_cast<std::size_t>(c)];
            painter.setPen(QPen(selected ? color : Dimmed(color), penWidth, Qt::SolidLine,
                                Qt::FlatCap, Qt::RoundJoin));
            painter.drawPolyline(line);
        }
    }

    // Markers of the selected channels' custom points, point 1 on top; a bypassed point has
    // none but can still be taken hold of.
    for (int c = 0; c < m_channelCount; ++c) {
        if (!IsSelected(c)) continue;
        const ChannelRecord& channel = m_setup->Channels[static_cast<std::size_t>(c)];
        for (int j = kCustomPointCount - 1; j >= 0; --j) {
            const EqPoint& point = channel.CustomEQ[static_cast<std::size_t>(j)];
            if (point.Bypass != 0) continue;
            const int x = ColumnOf(point.Freq);
            const int y = RowOf(point.Gain);
            painter.setPen(QPen(kPointColors[static_cast<std::size_t>(j)], 1, Qt::SolidLine,
                                Qt::SquareCap, Qt::MiterJoin));
            painter.drawRect(QRectF(x - kMarkerHalf + 0.5, y - kMarkerHalf + 0.5, 2 * kMarkerHalf,
                                    2 * kMarkerHalf));
        }
    }
}

void CSpectrumCtl::UpdateReadout(QPoint pos) {
    if (!m_setup) {
        m_tip.SetActive(false);
        return;
    }
    const float f = FrequencyAt(pos.x());
    // The last selected channel decides whether the tip shows; the text is that of the last
    // one the pointer was near.
    bool near = false;
    for (int c = 0; c < m_channelCount; ++c) {
        if (!IsSelected(c)) continue;
        m_lastResponse = ChannelResponseDb(m_setup->Channels[static_cast<std::size_t>(c)], f);
        near = std::abs(RowOf(m_lastResponse) - pos.y()) <= kNearRows;
        if (near) {
            m_readoutText = QString::asprintf("%.2fdB , %dHz", static_cast<double>(m_lastResponse),
                                              RoundHalfUp(static_cast<double>(f)));
        }
    }
    m_tip.SetDelay(near ? kNearTipDelayMs : kAwayTipDelayMs);
    m_tip.SetActive(near);
    if (pos != m_lastPointerPos) {
        m_tip.SetText(m_readoutText);
        m_lastPointerPos = pos;
    }
    m_tip.PointerMoved(pos);
}

bool CSpectrumCtl::StartDrag(QPoint pos) {
    if (!m_writableSetup || !m_editable) return false;
    bool hit = false;
    for (int c = 0; c < m_channelCount; ++c) {
        if (!IsSelected(c)) continue;
        const ChannelRecord& channel = m_setup->Channels[static_cast<std::size_t>(c)];
        // Bypassed points count: they are invisible, not out of reach. Within a channel the
        // first point hit wins; a later channel's hit replaces an earlier one.
        for (int j = 0; j < kCustomPointCount; ++j) {
            const EqPoint& point = channel.CustomEQ[static_cast<std::size_t>(j)];
            if (std::abs(pos.x() - ColumnOf(point.Freq)) <= kHitPixels &&
                std::abs(pos.y() - RowOf(point.Gain)) <= kHitPixels) {
                hit = true;
                m_dragChannel = c;
                m_dragPoint = j;
                break;
            }
        }
    }
    m_dragging = hit;
    return hit;
}

void CSpectrumCtl::DragTo(QPoint pos) {
    if (!m_writableSetup || !m_editable) return;
    const float gain = GainAt(pos.y());
    // The plot reaches a little beyond the custom point range; the point stays inside it.
    const float freq = std::clamp(FrequencyAt(pos.x()), kMinPointFreq, kMaxPointFreq);
    bool changed = false;
    for (int c = 0; c < m_channelCount; ++c) {
        if (!IsSelected(c)) continue;
        EqPoint& point = m_writableSetup->Channels[static_cast<std::size_t>(c)]
                             .CustomEQ[static_cast<std::size_t>(m_dragPoint)];
        changed = changed || point.Gain != gain;
        point.Gain = gain;
        const double shift = std::abs(std::log10(static_cast<double>(point.Freq)) -
                                      std::log10(static_cast<double>(freq)));
        // A frequency that is not a number or not above 0 always moves.
        if (!(shift < kDeadZoneDecades) || std::abs(static_cast<double>(gain)) >= kDeadZoneGainDb) {
            changed = changed || point.Freq != freq;
            point.Freq = freq;
        }
    }
    if (changed) update();
}

void CSpectrumCtl::EndDrag() {
    m_dragging = false;
    ControlMessage message;
    message.message = UM_CURVE_POINT_MOVED;
    message.id = m_id;
    message.wParam = m_dragChannel;
    message.lParam = m_dragPoint;
    NotifyHost(this, message);
}

void CSpectrumCtl::mousePressEvent(QMouseEvent* event) {
    m_tip.Hide();
    // Taken even when nothing is hit, so that the moves of this press stay with the control.
    event->accept();
    if (event->button() == Qt::LeftButton && !m_dragging) {
        StartDrag(event->position().toPoint());
    }
}

void CSpectrumCtl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    UpdateReadout(pos);
    if (!m_dragging) return;
    if (!(event->buttons() & Qt::LeftButton)) {
        // The release went elsewhere: the move is over where it was let go.
        EndDrag();
        return;
    }
    DragTo(pos);
}

void CSpectrumCtl::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton && m_dragging) EndDrag();
}

void CSpectrumCtl::leaveEvent(QEvent* event) {
    m_tip.Hide();
    QWidget::leaveEvent(event);
}

void CSpectrumCtl::hideEvent(QHideEvent* event) {
    m_tip.Hide();
    // Hidden mid-drag (a page switch), the release never comes; the point stays where it was
    // pulled and the host hears of it.
    if (m_dragging) EndDrag();
    QWidget::hideEvent(event);
}

}  // namespace vantrel
