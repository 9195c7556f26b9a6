#include "curves/CSpectrumCtl.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QScreen>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <filesystem>
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

const QString kMeasurementCaption = QStringLiteral("Load measurement");

// A polyline over the columns that have a value, broken where one has none.
void DrawBrokenLine(QPainter& painter, const std::vector<std::optional<double>>& rows) {
    QPolygonF line;
    auto flush = [&] {
        if (line.size() > 1) painter.drawPolyline(line);
        line.clear();
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i]) {
            line.append(QPointF(static_cast<double>(i) + 0.5, *rows[i] + 0.5));
        } else {
            flush();
        }
    }
    flush();
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

void CSpectrumCtl::SetCurveMode(CurveMode mode) {
    m_mode = mode;
    update();
}

void CSpectrumCtl::SetShowPairSum(bool show) {
    m_showPairSum = show;
    update();
}

void CSpectrumCtl::SetMeasurement(std::optional<Measurement> measurement) {
    m_measurement = std::move(measurement);
    update();
}

void CSpectrumCtl::ShowContextMenu(QPoint screenPoint) {
    m_tip.Hide();
    const std::vector<CurveMenuItem> items = {
        {kMenuExact, QStringLiteral("Exact response"), true, m_mode == CurveMode::Exact, true},
        {kMenuPairSum, QStringLiteral("Show pair sum"), true, m_showPairSum, true},
        {kMenuLoadMeasurement, QStringLiteral("Load measurement..."), false, false, true},
        {kMenuClearMeasurement, QStringLiteral("Clear measurement"), false, false,
         m_measurement.has_value()},
    };
    int chosen = 0;
    if (m_hooks.popupMenu) {
        chosen = m_hooks.popupMenu(items, screenPoint);
    } else {
        QMenu menu(this);
        for (const CurveMenuItem& item : items) {
            QAction* action = menu.addAction(item.text);
            action->setData(item.command);
            action->setCheckable(item.checkable);
            action->setChecked(item.checked);
            action->setEnabled(item.enabled);
        }
        const QAction* action = menu.exec(screenPoint);
        chosen = action ? action->data().toInt() : 0;
    }
    RunMenuCommand(chosen);
}

void CSpectrumCtl::RunMenuCommand(int command) {
    switch (command) {
        case kMenuExact:
            SetCurveMode(m_mode == CurveMode::Exact ? CurveMode::Classic : CurveMode::Exact);
            break;
        case kMenuPairSum:
            SetShowPairSum(!m_showPairSum);
            break;
        case kMenuLoadMeasurement: {
            const QString path = m_hooks.chooseMeasurementFile
                                     ? m_hooks.chooseMeasurementFile(this)
                                     : QFileDialog::getOpenFileName(
                                           this, kMeasurementCaption, QString(),
                                           QStringLiteral("Measurement text (*.txt *.frd *.csv)"));
            if (!path.isEmpty()) LoadMeasurementFile(path);
            break;
        }
        case kMenuClearMeasurement:
            SetMeasurement(std::nullopt);
            break;
        default:
            break;
    }
}

bool CSpectrumCtl::LoadMeasurementFile(const QString& path) {
    MeasurementResult result =
        LoadMeasurement(std::filesystem::path(QFile::encodeName(path).toStdString()));
    if (!result.Data) {
        const QString text = QString::fromStdString(result.Error);
        if (m_hooks.showWarning) {
            m_hooks.showWarning(text, kMeasurementCaption);
        } else {
            QMessageBox::warning(this, kMeasurementCaption, text);
        }
        return false;
    }
    SetMeasurement(std::move(result.Data));
    return true;
}

bool CSpectrumCtl::DecodeExact() {
    m_exact = ExactSetup{};
    if (!m_setup) return false;
    if (!m_scratch) {
        m_scratch = std::make_unique<DeviceImage>();
        m_scratch->fill(0);
    }
    m_exact = DecodeExactSetup(*m_setup, m_channelCount, *m_scratch);
    return m_exact.Count > 0;
}

void CSpectrumCtl::Row(int c, const float* freqs, std::size_t count, float* out) const {
    if (!m_setup || c < 0 || c >= kChannelCount) {
        std::fill(out, out + count, 0.0f);
        return;
    }
    if (m_mode == CurveMode::Exact && c < m_exact.Count) {
        ExactResponseRow(m_exact.Channels[static_cast<std::size_t>(c)], freqs, count, out);
        return;
    }
    // Classic mode, and channels 5 and 6, which the image has no place for.
    ChannelResponseRow(m_setup->Channels[static_cast<std::size_t>(c)], freqs, count, out);
}

void CSpectrumCtl::ChannelRow(int c, const float* freqs, std::size_t count, float* out) {
    if (m_mode == CurveMode::Exact) DecodeExact();
    Row(c, freqs, count, out);
}

int CSpectrumCtl::FirstSelectedChannel() const {
    for (int c = 0; c < m_channelCount; ++c) {
        if (IsSelected(c)) return c;
    }
    return -1;
}

void CSpectrumCtl::DrawOverlays(QPainter& painter, std::size_t columns) {
    const int selected = FirstSelectedChannel();
    std::vector<std::optional<double>> rows(columns);

    if (m_measurement) {
        const double reference = MeasurementReferenceDb(*m_measurement);
        std::vector<std::optional<double>> measured(columns);
        for (std::size_t i = 0; i < columns; ++i) {
            measured[i] = MeasurementDbAt(*m_measurement, m_columnFreqs[i]);
            if (measured[i]) *measured[i] -= reference;
            rows[i] = measured[i] ? std::optional<double>(RowOf(static_cast<float>(*measured[i])))
                                  : std::nullopt;
        }
        painter.setPen(QPen(kMeasurementColor, 1, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
        DrawBrokenLine(painter, rows);
        if (selected >= 0) {
            Row(selected, m_columnFreqs.data(), columns, m_columnResponse.data());
            for (std::size_t i = 0; i < columns; ++i) {
                rows[i] = measured[i] ? std::optional<double>(RowOf(
                                            static_cast<float>(*measured[i] + m_columnResponse[i])))
                                      : std::nullopt;
            }
            painter.setPen(QPen(kPredictionColor, 1, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
            DrawBrokenLine(painter, rows);
        }
    }

    // The pair sum needs the phase, which only the exact responses carry: it is drawn for pairs
    // the image holds.
    if (m_showPairSum && selected >= 0) {
        const int first = selected - selected % 2;
        if (first + 1 < m_exact.Count) {
            ExactPairSumRow(m_exact.Channels[static_cast<std::size_t>(first)],
                            m_exact.Channels[static_cast<std::size_t>(first + 1)],
                            m_columnFreqs.data(), columns, m_columnResponse.data());
            for (std::size_t i = 0; i < columns; ++i) rows[i] = RowOf(m_columnResponse[i]);
            painter.setPen(QPen(kPairSumColor, 1, Qt::DashLine, Qt::FlatCap, Qt::RoundJoin));
            DrawBrokenLine(painter, rows);
        }
    }

    if (m_mode == CurveMode::Exact) {
        painter.setPen(kMeasurementColor);
        painter.drawText(QRect(4, 2, width() - 8, height() - 4), Qt::AlignRight | Qt::AlignTop,
                         QStringLiteral("Exact"));
    }
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

    if (m_mode == CurveMode::Exact || m_showPairSum) DecodeExact();

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
            Row(c, m_columnFreqs.data(), columns, m_columnResponse.data());
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

    DrawOverlays(painter, columns);

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
    if (m_mode == CurveMode::Exact) DecodeExact();
    for (int c = 0; c < m_channelCount; ++c) {
        if (!IsSelected(c)) continue;
        Row(c, &f, 1, &m_lastResponse);
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

void CSpectrumCtl::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    ShowContextMenu(event->globalPos());
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
