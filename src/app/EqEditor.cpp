#include "app/EqEditor.h"

#include <cstddef>
#include <cstdint>

#include "app/DisplayRefresh.h"
#include "controls/CFaderCtrl.h"
#include "controls/CGdipButton.h"
#include "controls/CKnob.h"
#include "controls/CLedCtl.h"
#include "controls/CTpEdit.h"
#include "controls/CTpStatic.h"
#include "curves/CSpectrumCtl.h"
#include "model/Scales.h"
#include "skin/SkinLayout.h"

namespace vantrel {
namespace {

std::size_t At(int i) { return static_cast<std::size_t>(i); }

bool Bit(std::uint8_t flags, int bit) { return ((flags >> bit) & 1u) != 0; }

// Writes the Q and frequency words of a point that is not bypassed; they ride in the point's
// 24 bytes that the caller posts.
void WritePointQAndFreq(DeviceImage& image, const ParameterModel& model, int setup, int c, int j) {
    UpdateCustomPointQ(image, model, setup, c, j);
    UpdateCustomPointFreq(image, model, setup, c, j);
}

}  // namespace

void EqEditor::Register(HandlerTable& table) {
    SkinControls& k = m_ctx.controls;
    for (int c = 0; c < kChannelCount; ++c) {
        table.Add(WM_COMMAND, k.EqGroupBtn[At(c)]->Id(),
                  [this, c](const ControlMessage&) { OnChannelSelect(c); });
    }
    for (int p = 0; p < static_cast<int>(SkinControls::kStrips); ++p) {
        table.Add(WM_COMMAND, k.Eq2GroupBtn[At(p)]->Id(),
                  [this, p](const ControlMessage&) { OnPairSelect(p); });
    }
    for (int b = 0; b < kEqBandCount; ++b) {
        const int id = k.EQBandFader[At(b)]->Id();
        table.Add(UM_FADER_PRESSED, id, [this, b](const ControlMessage&) { OnBandPressed(b); });
        table.Add(UM_FADER_CHANGED, id, [this, b](const ControlMessage&) { OnBandMoved(b); });
    }
    for (int j = 0; j < kCustomPointCount; ++j) {
        const std::size_t i = At(j);
        table.Add(UM_FADER_CHANGED, k.CustmEQFader[i]->Id(),
                  [this, j](const ControlMessage&) { OnPointGainFader(j); });
        table.Add(UM_KNOB_CHANGED, k.CEQQKnob[i]->Id(),
                  [this, j](const ControlMessage&) { OnPointQKnob(j); });
        table.Add(UM_KNOB_CHANGED, k.CEQFcyKnob[i]->Id(),
                  [this, j](const ControlMessage&) { OnPointFreqKnob(j); });
        table.Add(UM_EDIT_ENTERED, k.CustmEQFreqEdt[i]->Id(),
                  [this, j](const ControlMessage&) { OnPointFreqTyped(j); });
        table.Add(UM_EDIT_ENTERED, k.CustmEQGainEdt[i]->Id(),
                  [this, j](const ControlMessage&) { OnPointGainTyped(j); });
        table.Add(UM_EDIT_ENTERED, k.CustmEQQEdt[i]->Id(),
                  [this, j](const ControlMessage&) { OnPointQTyped(j); });
        table.Add(WM_COMMAND, k.CEQPassBtn[i]->Id(),
                  [this, j](const ControlMessage&) { OnPointBypass(j); });
    }
    for (const CGdipButton* button : {k.EQBypassBtn, k.BypassBtn}) {
        table.Add(WM_COMMAND, button->Id(),
                  [this, button](const ControlMessage&) { OnEqBypass(button); });
    }
    table.Add(WM_COMMAND, k.EQResetBtn->Id(), [this](const ControlMessage&) { OnEqReset(); });
    for (const CSpectrumCtl* curve : {k.SpectrumCurve, k.EQSpectrumCurve}) {
        table.Add(UM_CURVE_POINT_MOVED, curve->Id(),
                  [this](const ControlMessage& message) { OnCurvePointMoved(message); });
    }
}

// --- Selection -----------------------------------------------------------------------------------

void EqEditor::OnChannelSelect(int c) {
    SkinControls& k = m_ctx.controls;
    const int n = m_ctx.ChannelCount();
    if (c >= n) return;
    // The shown channel cannot be deselected; a one-channel model always edits its linked pair.
    k.EqGroupBtn[At(c)]->SetCheck(1);
    if (m_ctx.model.ChannelNum == 1) return;

    for (int other = 0; other < n; ++other) {
        if (other != c) k.EqGroupBtn[At(other)]->SetCheck(0);
    }
    for (int p = 0; p < n / 2; ++p) k.Eq2GroupBtn[At(p)]->SetCheck(0);
    m_ctx.Setup().GroupEQFlag = static_cast<std::uint8_t>(1u << c);
    RefreshDisplay();
}

void EqEditor::OnPairSelect(int p) {
    SkinControls& k = m_ctx.controls;
    CGdipButton* button = k.Eq2GroupBtn[At(p)];
    if (m_ctx.model.ChannelNum == 1) {
        button->SetCheck(1);
        return;
    }
    const int n = m_ctx.ChannelCount();
    const int first = 2 * p;
    const int second = first + 1;
    if (second >= n) return;
    SetupRecord& setup = m_ctx.Setup();

    if (button->GetCheck() == 0) {
        k.EqGroupBtn[At(first)]->SetCheck(1);
        k.EqGroupBtn[At(second)]->SetCheck(0);
        setup.GroupEQFlag = static_cast<std::uint8_t>(1u << first);
    } else {
        // The EQ of the channel that was shown becomes the EQ of both; channel 2p's when neither
        // was shown.
        const bool firstShown = k.EqGroupBtn[At(first)]->GetCheck() != 0;
        const bool secondShown = k.EqGroupBtn[At(second)]->GetCheck() != 0;
        if (secondShown && !firstShown) {
            CopyChannelEq(m_ctx.model, m_ctx.SetupIndex(), second, first);
            SendChannelEq(first);
        }
        CopyChannelEq(m_ctx.model, m_ctx.SetupIndex(), first, second);
        SendChannelEq(second);
        k.EqGroupBtn[At(first)]->SetCheck(1);
        k.EqGroupBtn[At(second)]->SetCheck(1);
        setup.GroupEQFlag = static_cast<std::uint8_t>(3u << first);
    }

    for (int c = 0; c < n; ++c) {
        if (c != first && c != second) k.EqGroupBtn[At(c)]->SetCheck(0);
    }
    for (int other = 0; other < n / 2; ++other) {
        if (other != p) k.Eq2GroupBtn[At(other)]->SetCheck(0);
    }
    RefreshDisplay();
}

// --- Graphic bands -------------------------------------------------------------------------------

std::vector<int> EqEditor::SetBandGain(int b, float gain) {
    SkinControls& k = m_ctx.controls;
    m_ctx.refresh.SetSelectedBand(b);
    std::vector<int> changed;
    for (int c : Targets()) {
        EqPoint& band = Channel(c).EQBand[At(b)];
        if (band.Gain != gain) changed.push_back(c);
        band.Gain = gain;
    }
    k.EQBandFreqEdt->SetText(ToQString(BandFreqPressedText(b)));
    k.EQBandGainEdt->SetText(ToQString(GainText(gain)));
    return changed;
}

void EqEditor::OnBandPressed(int b) {
    const float gain = m_ctx.controls.EQBandFader[At(b)]->Value();
    // A press selects the band. It also gives every target the shown channel's gain; a target
    // that had another gain has changed and is sent, so the amplifier does not keep the old one.
    const std::vector<int> changed = SetBandGain(b, gain);
    for (int c : changed) {
        m_ctx.sink.Send([&](DeviceImage& image) {
            return UpdateBandGain(image, m_ctx.model, m_ctx.SetupIndex(), c, b);
        });
    }
    if (!changed.empty()) RedrawCurves();
}

void EqEditor::OnBandMoved(int b) {
    SetBandGain(b, m_ctx.controls.EQBandFader[At(b)]->Value());
    for (int c : Targets()) {
        m_ctx.sink.Send([&](DeviceImage& image) {
            return UpdateBandGain(image, m_ctx.model, m_ctx.SetupIndex(), c, b);
        });
    }
    RedrawCurves();
}

void EqEditor::OnEqReset() {
    const std::vector<int> targets = Targets();
    for (int c : targets) {
        ChannelRecord& ch = Channel(c);
        for (int b = 0; b < kEqBandCount; ++b) {
            EqPoint& band = ch.EQBand[At(b)];
            band.Gain = 0.0f;
            band.Q = 3.0f;
            band.Freq = static_cast<float>(EqBandFrequencies[At(b)]);
        }
    }
    m_ctx.controls.EQResetBtn->SetCheck(0);
    RefreshDisplay();
    for (int c : targets) {
        m_ctx.sink.Send([&](DeviceImage& image) {
            return UpdateAllBandGains(image, m_ctx.model, m_ctx.SetupIndex(), c);
        });
    }
}

void EqEditor::OnEqBypass(const CGdipButton* clicked) {
    SkinControls& k = m_ctx.controls;
    const int bypass = clicked->GetCheck();
    // One flag behind the buttons of both pages.
    k.EQBypassBtn->SetCheck(bypass);
    k.BypassBtn->SetCheck(bypass);
    for (int c : Targets()) {
        ChannelRecord& ch = Channel(c);
        ch.EQBypass = static_cast<std::uint8_t>(bypass);
        k.ChEQStc[At(c)]->SetText(ToQString(EqStateText(ch, false)));
        m_ctx.sink.Send([&](DeviceImage& image) {
            return UpdateEqBypass(image, m_ctx.model, m_ctx.SetupIndex(), c);
        });
    }
    RedrawCurves();
}

// --- Custom points -------------------------------------------------------------------------------

void EqEditor::SetPointValue(int j, float EqPoint::*field, float value, PointUpdate update) {
    for (int c : Targets()) {
        Channel(c).CustomEQ[At(j)].*field = value;
        m_ctx.sink.Send([&](DeviceImage& image) {
            return update(image, m_ctx.model, m_ctx.SetupIndex(), c, j);
        });
    }
}

void EqEditor::OnPointGainFader(int j) {
    SkinControls& k = m_ctx.controls;
    const float gain = k.CustmEQFader[At(j)]->Value();
    SetPointValue(j, &EqPoint::Gain, gain, UpdateCustomPointGain);
    k.CustmEQGainEdt[At(j)]->SetText(ToQString(GainText(gain)));
    RedrawCurves();
}

void EqEditor::OnPointQKnob(int j) {
    SkinControls& k = m_ctx.controls;
    const float q = k.CEQQKnob[At(j)]->Value();
    SetPointValue(j, &EqPoint::Q, q, UpdateCustomPointQ);
    k.CustmEQQEdt[At(j)]->SetText(ToQString(QText(q)));
    RedrawCurves();
}

void EqEditor::OnPointFreqKnob(int j) {
    SkinControls& k = m_ctx.controls;
    CKnob* knob = k.CEQFcyKnob[At(j)];
    const std::uint8_t mode = m_ctx.model.Mode;
    const float freq = FreqFromKnob(knob->Value(), mode);
    SetPointValue(j, &EqPoint::Freq, freq, UpdateCustomPointFreq);
    k.CustmEQFreqEdt[At(j)]->SetText(ToQString(FreqText(freq)));
    // Past the mode's upper limit the knob stops where the frequency is, rather than pointing at
    // one the point does not have.
    if (freq >= MaxCrossoverFreq(mode) && knob->Value() > FreqKnobPosition(freq)) {
        knob->SetValue(FreqKnobPosition(freq));
    }
    RedrawCurves();
}

std::optional<double> EqEditor::TypedNumber(CTpEdit* edit, const std::string& modelText) {
    const std::optional<double> number = ParseTypedNumber(edit->Text().toStdString());
    if (!number) edit->SetText(ToQString(modelText));
    return number;
}

void EqEditor::OnPointFreqTyped(int j) {
    SkinControls& k = m_ctx.controls;
    CTpEdit* edit = k.CustmEQFreqEdt[At(j)];
    const std::optional<double> number = TypedNumber(edit, FreqText(ShownPoint(j).Freq));
    if (!number) return;
    // Typed frequencies have their own grid and the full range whatever the mode.
    const float freq = QuantizeEqFreq(*number);
    SetPointValue(j, &EqPoint::Freq, freq, UpdateCustomPointFreq);
    edit->SetText(ToQString(FreqText(freq)));
    k.CEQFcyKnob[At(j)]->SetValue(FreqKnobPosition(freq));
    RedrawCurves();
}

void EqEditor::OnPointGainTyped(int j) {
    SkinControls& k = m_ctx.controls;
    CTpEdit* edit = k.CustmEQGainEdt[At(j)];
    const std::optional<double> number = TypedNumber(edit, GainText(ShownPoint(j).Gain));
    if (!number) return;
    const float gain = QuantizeEqGain(*number);
    SetPointValue(j, &EqPoint::Gain, gain, UpdateCustomPointGain);
    edit->SetText(ToQString(GainText(gain)));
    k.CustmEQFader[At(j)]->SetValue(gain);
    RedrawCurves();
}

void EqEditor::OnPointQTyped(int j) {
    SkinControls& k = m_ctx.controls;
    CTpEdit* edit = k.CustmEQQEdt[At(j)];
    const std::optional<double> number = TypedNumber(edit, QText(ShownPoint(j).Q));
    if (!number) return;
    const float q = QuantizeQ(*number);
    SetPointValue(j, &EqPoint::Q, q, UpdateCustomPointQ);
    edit->SetText(ToQString(QText(q)));
    k.CEQQKnob[At(j)]->SetValue(q);
    RedrawCurves();
}

void EqEditor::OnPointBypass(int j) {
    SkinControls& k = m_ctx.controls;
    const int bypass = k.CEQPassBtn[At(j)]->GetCheck();
    for (int c : Targets()) {
        Channel(c).CustomEQ[At(j)].Bypass = static_cast<std::uint8_t>(bypass);
        m_ctx.sink.Send([&](DeviceImage& image) {
            ImagePosts posts =
                UpdateCustomPointBypass(image, m_ctx.model, m_ctx.SetupIndex(), c, j);
            // Q and frequency edits made while the point was bypassed were not sent; the point
            // comes back with all of its words.
            WritePointQAndFreq(image, m_ctx.model, m_ctx.SetupIndex(), c, j);
            return posts;
        });
    }
    k.CEQLedStc[At(j)]->SetLedOn(bypass != 0);
    RedrawCurves();
}

void EqEditor::SendWholePoint(int c, int j) {
    m_ctx.sink.Send([&](DeviceImage& image) {
        // The gain update posts the point's 24 bytes (nothing while bypassed); Q and frequency
        // are written into the same bytes before they go.
        ImagePosts posts = UpdateCustomPointGain(image, m_ctx.model, m_ctx.SetupIndex(), c, j);
        WritePointQAndFreq(image, m_ctx.model, m_ctx.SetupIndex(), c, j);
        return posts;
    });
}

void EqEditor::OnCurvePointMoved(const ControlMessage& message) {
    if (message.wParam < 0 || message.wParam >= kChannelCount) return;
    if (message.lParam < 0 || message.lParam >= kCustomPointCount) return;
    const int j = static_cast<int>(message.lParam);
    SkinControls& k = m_ctx.controls;
    // The curve has moved point j of every selected channel. The page's controls show the
    // channel the page shows, as everywhere else on it.
    const EqPoint& point = ShownPoint(j);
    k.CEQFcyKnob[At(j)]->SetValue(FreqKnobPosition(point.Freq));
    k.CEQQKnob[At(j)]->SetValue(point.Q);
    k.CustmEQFader[At(j)]->SetValue(point.Gain);
    k.CustmEQFreqEdt[At(j)]->SetText(ToQString(FreqText(point.Freq)));
    k.CustmEQGainEdt[At(j)]->SetText(ToQString(GainText(point.Gain)));
    k.CustmEQQEdt[At(j)]->SetText(ToQString(QText(point.Q)));
    RedrawCurves();
    for (int c : Targets()) SendWholePoint(c, j);
}

// --- Helpers -------------------------------------------------------------------------------------

std::vector<int> EqEditor::Targets() const {
    const std::uint8_t flag = m_ctx.Setup().GroupEQFlag;
    const int n = m_ctx.ChannelCount();
    std::vector<int> targets;
    for (int c = 0; c < n; ++c) {
        if (Bit(flag, c)) targets.push_back(c);
    }
    if (targets.empty()) {
        const int shown = DisplayRefresh::ShownEqChannel(flag);
        if (shown < n) targets.push_back(shown);
    }
    return targets;
}

ChannelRecord& EqEditor::Channel(int c) { return m_ctx.Setup().Channels[At(c)]; }

EqPoint& EqEditor::ShownPoint(int j) {
    return Channel(m_ctx.refresh.ShownEqChannel()).CustomEQ[At(j)];
}

void EqEditor::SendChannelEq(int c) {
    m_ctx.sink.Send([&](DeviceImage& image) {
        return UpdateChannelEq(image, m_ctx.model, m_ctx.SetupIndex(), c);
    });
}

void EqEditor::RefreshDisplay() { m_ctx.refresh.RefreshSetupDisplay(m_ctx.SetupIndex()); }

void EqEditor::RedrawCurves() {
    m_ctx.refresh.SyncEqSelection(m_ctx.SetupIndex(), DisplayRefresh::kRecolourOnly);
}

}  // namespace vantrel
