#include "app/DelayEditor.h"

#include "app/DisplayRefresh.h"
#include "controls/CGdipButton.h"
#include "controls/CKnob.h"
#include "controls/CLedCtl.h"
#include "controls/CTpEdit.h"
#include "controls/CTpStatic.h"
#include "model/Scales.h"
#include "skin/SkinLayout.h"

namespace vantrel {
namespace {

std::size_t At(int i) { return static_cast<std::size_t>(i); }

}  // namespace

void DelayEditor::Register(HandlerTable& table) {
    SkinControls& k = m_ctx.controls;
    for (int c = 0; c < kChannelCount; ++c) {
        const std::size_t i = At(c);
        table.Add(WM_COMMAND, k.TimeONBtn[i]->Id(), [this, c](const ControlMessage&) {
            OnSwitch(c);
        });
        table.Add(UM_KNOB_CHANGED, k.TimeDlyKnob[i]->Id(), [this, c](const ControlMessage&) {
            OnKnob(kDelay, c);
        });
        table.Add(UM_KNOB_CHANGED, k.TimeAtnKnob[i]->Id(), [this, c](const ControlMessage&) {
            OnKnob(kTrim, c);
        });
        table.Add(UM_EDIT_ENTERED, k.DlyTimeEdt[i]->Id(), [this, c](const ControlMessage&) {
            OnTyped(c, Box::Time);
        });
        table.Add(UM_EDIT_ENTERED, k.DlyDisEdt[i]->Id(), [this, c](const ControlMessage&) {
            OnTyped(c, Box::Distance);
        });
        table.Add(UM_EDIT_ENTERED, k.TrimEdt[i]->Id(), [this, c](const ControlMessage&) {
            OnTyped(c, Box::Trim);
        });
    }
}

int DelayEditor::Mirror(int c) const {
    if (m_ctx.model.ChannelNum != 1 || c > 1) return -1;
    return c == 0 ? 1 : 0;
}

void DelayEditor::ShowSwitch(int c) {
    SkinControls& k = m_ctx.controls;
    const ChannelRecord& ch = m_ctx.Setup().Channels[At(c)];
    k.TimeONBtn[At(c)]->SetCheck(ch.DelayOn);
    k.TimeLedStc[At(c)]->SetLedOn(ch.DelayOn != 0);
    k.ChDLYStc[At(c)]->SetText(ToQString(OverviewDelayText(ch)));
    k.ChTRIMStc[At(c)]->SetText(ToQString(OverviewTrimText(ch)));
}

void DelayEditor::ShowDelay(int c) {
    SkinControls& k = m_ctx.controls;
    const ChannelRecord& ch = m_ctx.Setup().Channels[At(c)];
    k.DlyTimeEdt[At(c)]->SetText(ToQString(DelayTimeText(ch.DelayTime)));
    k.DlyDisEdt[At(c)]->SetText(ToQString(DelayDistanceText(ch.DelayTime)));
    k.ChDLYStc[At(c)]->SetText(ToQString(OverviewDelayText(ch)));
}

void DelayEditor::ShowTrim(int c) {
    SkinControls& k = m_ctx.controls;
    const ChannelRecord& ch = m_ctx.Setup().Channels[At(c)];
    k.TrimEdt[At(c)]->SetText(ToQString(TrimText(ch.Trim)));
    k.ChTRIMStc[At(c)]->SetText(ToQString(OverviewTrimText(ch)));
}

// The section gates both the delay and the trim: switching it sends the delay (or 0) and the
// output gain (trimmed, or unity) together.
void DelayEditor::OnSwitch(int c) {
    SkinControls& k = m_ctx.controls;
    const std::uint8_t on = k.TimeONBtn[At(c)]->GetCheck() != 0 ? 1 : 0;
    const int mirror = Mirror(c);
    const int s = m_ctx.SetupIndex();
    for (const int channel : {c, mirror}) {
        if (channel < 0) continue;
        m_ctx.Setup().Channels[At(channel)].DelayOn = on;
        ShowSwitch(channel);
    }
    m_ctx.SyncPair(c / 2);
    if (mirror >= 0) m_ctx.SyncPair(0);
    for (const int channel : {c, mirror}) {
        if (channel < 0) continue;
        m_ctx.sink.Send([&](DeviceImage& image) {
            return UpdateDelaySwitch(image, m_ctx.model, s, channel);
        });
    }
}

// What the delay and the trim each are: the field, its knobs, the knob's value on the field's
// grid, the controls that show it and the update that sends it.
struct DelayEditor::Value {
    float ChannelRecord::*field;
    std::array<CKnob*, SkinControls::kChannels> SkinControls::*knobs;
    float (*fromKnob)(float knobValue);
    void (DelayEditor::*show)(int c);
    ImagePosts (*update)(DeviceImage&, const ParameterModel&, int setup, int channel);
};

namespace {

float DelayFromKnob(float value) { return QuantizeDelayTime(value); }
float TrimFromKnob(float value) { return QuantizeTrim(-static_cast<double>(value)); }

}  // namespace

const DelayEditor::Value DelayEditor::kDelay{&ChannelRecord::DelayTime, &SkinControls::TimeDlyKnob,
                                             DelayFromKnob, &DelayEditor::ShowDelay, UpdateDelay};
const DelayEditor::Value DelayEditor::kTrim{&ChannelRecord::Trim, &SkinControls::TimeAtnKnob,
                                            TrimFromKnob, &DelayEditor::ShowTrim, UpdateTrim};

void DelayEditor::Set(const Value& what, int c, float value) {
    const int s = m_ctx.SetupIndex();
    const int mirror = Mirror(c);
    for (const int channel : {c, mirror}) {
        if (channel < 0) continue;
        m_ctx.Setup().Channels[At(channel)].*what.field = value;
        (this->*what.show)(channel);
        // The knob that was turned keeps its own position; the others show the model.
        CKnob* knob = (m_ctx.controls.*what.knobs)[At(channel)];
        if (what.fromKnob(knob->Value()) != value) knob->SetValue(value);
        m_ctx.SyncPair(channel / 2);
        // Nothing goes out while the section is off; switching it on sends the value.
        m_ctx.sink.Send([&](DeviceImage& image) {
            return what.update(image, m_ctx.model, s, channel);
        });
    }
}

// Knob values land on the value grids: a drag moves the knob by any amount per pixel, and the
// amplifier and the preset take what the boxes show.
void DelayEditor::OnKnob(const Value& what, int c) {
    Set(what, c, what.fromKnob((m_ctx.controls.*what.knobs)[At(c)]->Value()));
}

void DelayEditor::OnTyped(int c, Box box) {
    SkinControls& k = m_ctx.controls;
    CTpEdit* edit = box == Box::Time       ? k.DlyTimeEdt[At(c)]
                    : box == Box::Distance ? k.DlyDisEdt[At(c)]
                                           : k.TrimEdt[At(c)];
    const std::optional<double> typed = ParseTypedNumber(edit->Text().toStdString());
    if (!typed) {
        // Nothing usable was typed: the box shows the value again.
        if (box == Box::Trim) {
            ShowTrim(c);
        } else {
            ShowDelay(c);
        }
        return;
    }
    switch (box) {
        case Box::Time:
            Set(kDelay, c, QuantizeDelayTime(*typed));
            break;
        case Box::Distance:
            Set(kDelay, c, QuantizeDelayDistance(*typed));
            break;
        case Box::Trim:
            Set(kTrim, c, QuantizeTrim(*typed));
            break;
    }
}

}  // namespace vantrel
