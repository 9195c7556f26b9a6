#pragma once

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <array>
#include <cstdint>

#include "controls/ControlHost.h"
#include "model/ParameterModel.h"
#include "skin/SkinReader.h"

namespace vantrel {

class CSpectrumCtl;
class CTpStatic;

inline constexpr int kZoomSpectrumCurveId = 1772;
inline constexpr int kSpDispChStcFirstId = 1773;  // label n has 1773 + n

// "Spectrum Display": the current setup's response curves enlarged in a window of their own, on
// the "SpBkg" picture, with a "CH" label per channel. Clicking a label shows that channel alone in
// full colour; the choice lasts while the window has the focus: hiding, closing or leaving it
// gives the setup its EQ group back. Closing only hides the window.
class CSpectrumDisplya : public QWidget, public ControlHost {
public:
    // Built hidden from `skin`; `background` is the "SpBkg" entry as LoadSkinBackgrounds read it,
    // its picture read through the picture cache. `mainWindow` (not owned, may be null) is the
    // window from which gaining the focus takes the EQ group anew.
    CSpectrumDisplya(const SkinReader& skin, const SkinBackground& background, QWidget* mainWindow);
    ~CSpectrumDisplya() override;

    // The setup the zoom curve draws (may be null) and the amplifier's channel count. The
    // setup's EQ group as it is now is the one given back later.
    void SetSetup(SetupRecord* setup, int channelCount);
    const SetupRecord* Setup() const;

    // The zoom buttons: shows the window with its curve and brings it to the front.
    void ShowSpectrum();

    // Label n in channel n's colour when the channel is in the EQ group, else grey.
    void UpdateChannelLabels();

    // Label clicks arrive here as WM_COMMAND with identifiers 1773..1778.
    void OnControlMessage(const ControlMessage& message) override;

    CSpectrumCtl* ZoomCurve() const { return m_zoomCurve; }
    CTpStatic* ChannelLabel(int n) const;
    const QImage& Background() const { return m_background; }
    std::uint8_t SavedEqGroup() const { return m_savedEqGroup; }

    static inline const QColor kUnselectedLabelColor{180, 180, 180};

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnChannelLabelClicked(int n);
    void SaveEqGroup();
    void RestoreEqGroup();

    QImage m_background;
    QPointer<QWidget> m_mainWindow;
    CSpectrumCtl* m_zoomCurve = nullptr;
    std::array<CTpStatic*, kChannelCount> m_labels{};
    std::uint8_t m_savedEqGroup = 0;
    // Set by a label click: only a group this window changed is given back, so that a change
    // made elsewhere meanwhile is never overwritten with an old value.
    bool m_eqGroupChanged = false;
};

}  // namespace vantrel
