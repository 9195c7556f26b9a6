#pragma once

#include <QColor>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "curves/ExactResponse.h"
#include "curves/Measurement.h"
#include "model/DeviceImage.h"
#include "model/ParameterModel.h"

class QLabel;

namespace vantrel {

// The hover readout's tooltip: one tool covering the whole control. While active it appears
// once the pointer has rested for the delay, follows the pointer while shown and goes after ten
// times the delay; inactive, it is hidden at once. Timers drive it; DelayElapsed and
// DisplayElapsed are what they call, so a test can run a delay out without waiting for it.
class CurveTip {
public:
    explicit CurveTip(QWidget* tool);

    void SetDelay(int ms) { m_delayMs = ms; }
    int Delay() const { return m_delayMs; }
    void SetActive(bool active);
    bool IsActive() const { return m_active; }
    void SetText(const QString& text);
    QString Text() const { return m_text; }

    // The pointer moved over the tool (control coordinates): a waiting tip starts its delay
    // again, a shown one follows.
    void PointerMoved(QPoint pos);
    void Hide();

    bool IsWaiting() const { return m_delayTimer.isActive(); }
    bool IsShown() const;
    // The tip's own text as shown.
    QString ShownText() const;

    void DelayElapsed();
    void DisplayElapsed() { Hide(); }

private:
    void Place();

    QWidget* m_tool;
    QLabel* m_label;  // a tool-tip window owned by the tool
    QTimer m_delayTimer;
    QTimer m_displayTimer;
    int m_delayMs = 10;
    bool m_active = true;
    QString m_text;
    QPoint m_pos;
};

// Which response the curves show: the analog display model of the parameters (ChannelResponse)
// or the 48 kHz filters the amplifier runs, decoded from the image the setup gives (ExactResponse).
enum class CurveMode : std::uint8_t { Classic, Exact };

// One entry of the curve's right-click menu.
struct CurveMenuItem {
    int command = 0;
    QString text;
    bool checkable = false;
    bool checked = false;
    bool enabled = true;
};

// The menu and the dialogs the curve raises. Tests answer them; an empty one falls back to the
// real menu, file dialog or message box.
struct CurveHooks {
    // The command of the chosen item, 0 when none was chosen.
    std::function<int(const std::vector<CurveMenuItem>& items, QPoint screenPoint)> popupMenu;
    // The measurement file to load; empty on Cancel.
    std::function<QString(QWidget* parent)> chooseMeasurementFile;
    std::function<void(const QString& text, const QString& caption)> showWarning;
};

// The response curve control: the magnitude response of each channel of one setup over the
// skin's plot (which carries the grid), frequency on a logarithmic axis. Channels in the setup's
// GroupEQFlag are drawn thin in full colour over the others, dimmed and thick; their custom EQ
// points get square markers and, when editing is on, can be dragged. A finished drag reports
// UM_CURVE_POINT_MOVED (wParam: channel of the held point, lParam: point index 0..3).
//
// A right-click menu switches between the classic and the exact curves, adds the summed response
// of the selected channel's pair (dashed white; from the exact responses, as only they carry the
// phase) and loads or clears a measurement. A measurement is drawn in grey, shifted so that its
// mean level within 200 Hz .. 2 kHz sits at 0 dB, together with the predicted result: the
// measurement plus the first selected channel's response (as the mode draws it), in orange.
// Channels 5 and 6 have no place in the amplifier's image; the exact mode draws them the classic
// way.
class CSpectrumCtl : public QWidget {
public:
    // Commands of the right-click menu.
    enum MenuCommand : int {
        kMenuExact = 1,
        kMenuPairSum,
        kMenuLoadMeasurement,
        kMenuClearMeasurement,
    };
    static inline const QColor kMeasurementColor{160, 160, 160};
    static inline const QColor kPredictionColor{255, 160, 0};
    static inline const QColor kPairSumColor{255, 255, 255};

    // Where a dragged point may go: the custom point range, which lies inside the plot edges.
    static constexpr float kMinPointFreq = 16.0f;
    static constexpr float kMaxPointFreq = 20893.0f;
    static constexpr float kMinPointGain = -24.0f;
    static constexpr float kMaxPointGain = 6.0f;
    // The readout's tooltip delays, in ms: at creation, near a curve, away from the curves.
    static constexpr int kCreateTipDelayMs = 10;
    static constexpr int kNearTipDelayMs = 1000;
    static constexpr int kAwayTipDelayMs = 100;
    static constexpr int kNearRows = 4;   // how far from a curve the pointer still reads it
    static constexpr int kHitPixels = 5;  // how far from a point marker a press still holds it

    CSpectrumCtl(QWidget* parent, int id);

    int Id() const { return m_id; }

    // Plot edges as the skin names them: "ValLeft" is the frequency at the left edge, "ValRigth"
    // the one at the right edge, "ValTop" the gain drawn at the bottom edge and "ValBottom" the
    // gain drawn at the top edge. An axis that cannot be drawn (a frequency of 0 or below, equal
    // edges, a value that is not a number) keeps the default edges 12.6..25119 Hz or -27..9 dB.
    void SetPlotRange(float left, float top, float right, float bottom);
    float MinFrequency() const { return m_fmin; }
    float MaxFrequency() const { return m_fmax; }
    float MinGain() const { return m_gmin; }
    float MaxGain() const { return m_gmax; }

    // Colour of channel c (0..5); other indices are ignored.
    void SetChannelColor(int c, const QColor& color);
    QColor ChannelColor(int c) const;

    void SetEditable(bool editable) { m_editable = editable; }
    bool IsEditable() const { return m_editable; }

    // The setup whose channels are drawn; not owned, none at creation. Points can be dragged
    // only in a setup handed over writable; a read-only one is drawn and read out only.
    // A different setup ends a drag in progress.
    void SetSetup(SetupRecord* setup);
    void SetSetup(const SetupRecord* setup);
    void SetSetup(std::nullptr_t) { SetSetup(static_cast<SetupRecord*>(nullptr)); }
    const SetupRecord* Setup() const { return m_setup; }
    SetupRecord* WritableSetup() const { return m_writableSetup; }

    // Channels considered, held to 0..6.
    void SetChannelCount(int count);
    int ChannelCount() const { return m_channelCount; }

    // The mappings between the client area and the plot. FrequencyAt is held to the plot's
    // frequencies, GainAt to the custom point gains (-24..+6 dB), RowOf and ColumnOf to the
    // client area (right and bottom edge included).
    float FrequencyAt(int x) const;
    float GainAt(int y) const;
    int RowOf(float gain) const;
    int ColumnOf(float freq) const;

    // The hover readout: its text ("%.2fdB , %dHz") and its tooltip.
    QString ReadoutText() const { return m_readoutText; }
    float LastResponse() const { return m_lastResponse; }
    CurveTip& Readout() { return m_tip; }
    const CurveTip& Readout() const { return m_tip; }

    void SetCurveMode(CurveMode mode);
    CurveMode Mode() const { return m_mode; }
    void SetShowPairSum(bool show);
    bool ShowsPairSum() const { return m_showPairSum; }
    void SetMeasurement(std::optional<Measurement> measurement);
    const std::optional<Measurement>& CurrentMeasurement() const { return m_measurement; }
    void SetHooks(CurveHooks hooks) { m_hooks = std::move(hooks); }

    // The right-click menu at `screenPoint`, and what its commands do.
    void ShowContextMenu(QPoint screenPoint);
    void RunMenuCommand(int command);
    // Reads a measurement file; false, and a warning with the reader's message, when it fails.
    bool LoadMeasurementFile(const QString& path);

    // The response of channel c at the frequencies given, as the mode draws it: dB per point.
    void ChannelRow(int c, const float* freqs, std::size_t count, float* out);
    // The channel whose pair sum and predicted result are drawn: the first selected one, or -1.
    int FirstSelectedChannel() const;

    bool IsDragging() const { return m_dragging; }
    int DragChannel() const { return m_dragChannel; }
    int DragPoint() const { return m_dragPoint; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool IsSelected(int c) const;
    void UpdateReadout(QPoint pos);
    bool StartDrag(QPoint pos);
    void DragTo(QPoint pos);
    void EndDrag();
    // Decodes the setup's image channels for the exact mode; true when there are any.
    bool DecodeExact();
    // ChannelRow from the exact responses as last decoded.
    void Row(int c, const float* freqs, std::size_t count, float* out) const;
    void DrawOverlays(QPainter& painter, std::size_t columns);

    int m_id;
    float m_fmin = 12.6f;
    float m_fmax = 25119.0f;
    float m_gmin = -27.0f;
    float m_gmax = 9.0f;
    std::array<QColor, kChannelCount> m_colors{};
    bool m_editable = false;
    const SetupRecord* m_setup = nullptr;
    SetupRecord* m_writableSetup = nullptr;
    int m_channelCount = kChannelCount;

    float m_lastResponse = 0.0f;
    QString m_readoutText;
    QPoint m_lastPointerPos{0, 0};
    CurveTip m_tip;

    bool m_dragging = false;
    int m_dragPoint = 0;
    int m_dragChannel = 0;

    // Reused by every paint: the frequency of each column and one channel's response there.
    std::vector<float> m_columnFreqs;
    std::vector<float> m_columnResponse;

    CurveMode m_mode = CurveMode::Classic;
    bool m_showPairSum = false;
    std::optional<Measurement> m_measurement;
    CurveHooks m_hooks;
    // The exact responses of the last paint or readout, from a scratch image of our own.
    std::unique_ptr<DeviceImage> m_scratch;
    ExactSetup m_exact;
};

}  // namespace vantrel
