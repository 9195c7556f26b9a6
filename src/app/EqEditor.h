#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/EditorContext.h"

namespace vantrel {

class CGdipButton;
class CTpEdit;

// The EQ page: channel and pair selection, the 27 graphic band faders, the four custom points
// (fader, knobs, typed boxes, bypass), EQ bypass on both pages, the graphic EQ reset and the
// points dragged on the response curves. An edit reaches every channel of the current setup's
// GroupEQFlag; the page shows the channel of its highest bit.
class EqEditor {
public:
    explicit EqEditor(EditorContext& context) : m_ctx(context) {}
    void Register(HandlerTable& table);

private:
    // One word update of a custom point, as DeviceImage has them.
    using PointUpdate = ImagePosts (*)(DeviceImage&, const ParameterModel&, int, int, int);

    void OnChannelSelect(int c);
    void OnPairSelect(int p);
    void OnBandPressed(int b);
    void OnBandMoved(int b);
    void OnPointGainFader(int j);
    void OnPointQKnob(int j);
    void OnPointFreqKnob(int j);
    void OnPointFreqTyped(int j);
    void OnPointGainTyped(int j);
    void OnPointQTyped(int j);
    void OnPointBypass(int j);
    void OnEqBypass(const CGdipButton* clicked);
    void OnEqReset();
    void OnCurvePointMoved(const ControlMessage& message);

    // The channels an EQ edit reaches: the GroupEQFlag bits below the effective channel count.
    // A flag without such a bit leaves the page showing channel 1, which is then the one edited,
    // so the page's controls never move without the model.
    std::vector<int> Targets() const;
    ChannelRecord& Channel(int c);
    EqPoint& ShownPoint(int j);
    // Sets band b of every target to `gain` and shows the band in the two band boxes; the
    // channels whose gain changed.
    std::vector<int> SetBandGain(int b, float gain);
    // Sets one field of point j in every target, then sends that word of each.
    void SetPointValue(int j, float EqPoint::*field, float value, PointUpdate update);
    // The number typed into `edit`. Nothing for an empty box or text that is not a number: then
    // the box shows `modelText` again and nothing changes.
    static std::optional<double> TypedNumber(CTpEdit* edit, const std::string& modelText);
    void SendChannelEq(int c);
    void SendWholePoint(int c, int j);
    void RefreshDisplay();
    // Redraws both curves, the channel labels and the spectrum window.
    void RedrawCurves();

    EditorContext& m_ctx;
};

}  // namespace vantrel
