#include "app/StripEditor.h"

#include <algorithm>

#include "app/DisplayRefresh.h"
#include "controls/CGdipButton.h"
#include "controls/CProgressBar.h"
#include "controls/CTpComboBox.h"
#include "controls/CTpEdit.h"
#include "model/Scales.h"
#include "skin/SkinLayout.h"

namespace vantrel {
namespace {

std::size_t At(int i) { return static_cast<std::size_t>(i); }

bool Bit(std::uint8_t flags, int bit) { return ((flags >> bit) & 1u) != 0; }

std::uint8_t SelectOnly(std::uint8_t flags, int pair, int c) {
    const auto cleared = static_cast<std::uint8_t>(flags & ~(3u << (2 * pair)));
    return static_cast<std::uint8_t>(cleared | (1u << c));
}

constexpr int kMaxLevel = 16;

}  // namespace

void StripEditor::Register(HandlerTable& table) {
    SkinControls& k = m_ctx.controls;
    const auto click = [&](CGdipButton* button, auto handler) {
        table.Add(WM_COMMAND, button->Id(), [handler](const ControlMessage&) { handler(); });
    };
    click(k.MuteBtn, [this] { OnMasterMute(); });
    for (int p = 0; p < static_cast<int>(SkinControls::kStrips); ++p) {
        const std::size_t i = At(p);
        click(k.GroupBtn[i], [this, p] { OnPairLink(p); });
        click(k.LevelMuteBtn[i], [this, p] { OnStripMute(p); });
        click(k.LevelLockBtn[i], [this, p] { OnLevelLock(p); });
        click(k.LevelPlusBtn[i], [this, p] { OnLevelStep(p, +1); });
        click(k.LevelReduceBtn[i], [this, p] { OnLevelStep(p, -1); });
        table.Add(UM_EDIT_ENTERED, k.LevelEdit[i]->Id(),
                  [this, p](const ControlMessage&) { OnLevelTyped(p); });
    }
    for (int c = 0; c < kChannelCount; ++c) {
        const std::size_t i = At(c);
        click(k.GroupCtlBtn[i], [this, c] { OnChannelSelect(c); });
        click(k.EQMuteBtn[i], [this, c] { OnChannelMute(c); });
        table.Add(UM_LIST_SELECTED, k.ChCBox[i]->Id(),
                  [this, c](const ControlMessage&) { OnMarkChosen(c); });
    }
}

void StripEditor::OnPairLink(int pair) {
    SkinControls& k = m_ctx.controls;
    CGdipButton* link = k.GroupBtn[At(pair)];
    // A one-channel model keeps its pair linked.
    if (m_ctx.model.ChannelNum == 1) {
        link->SetCheck(1);
        link->update();
        return;
    }
    SetupRecord& setup = m_ctx.Setup();
    const int s = m_ctx.SetupIndex();
    const int first = 2 * pair;
    const int second = first + 1;
    if (link->GetCheck() != 0) {
        // The selected channel's strip settings become the pair's.
        if (k.GroupCtlBtn[At(first)]->GetCheck() != 0) {
            CopyChannelStrip(m_ctx.model, s, first, second, false);
            m_ctx.sink.Send([&](DeviceImage& image) {
                return UpdateLinkedPairCopy(image, m_ctx.model, s, second);
            });
        }
        if (k.GroupCtlBtn[At(second)]->GetCheck() != 0) {
            CopyChannelStrip(m_ctx.model, s, second, first, false);
            m_ctx.sink.Send([&](DeviceImage& image) {
                return UpdateLinkedPairCopy(image, m_ctx.model, s, first);
            });
        }
        k.GroupCtlBtn[At(first)]->SetCheck(1);
        k.GroupCtlBtn[At(second)]->SetCheck(1);
        setup.GroupFlag = static_cast<std::uint8_t>(setup.GroupFlag | (3u << first));
    } else {
        k.GroupCtlBtn[At(first)]->SetCheck(1);
        k.GroupCtlBtn[At(second)]->SetCheck(0);
        setup.GroupFlag = SelectOnly(setup.GroupFlag, pair, first);
    }
    m_ctx.SyncPair(pair);
    m_ctx.refresh.RefreshSetupDisplay(s);
}

void StripEditor::OnChannelSelect(int c) {
    SkinControls& k = m_ctx.controls;
    // The selected channel cannot be deselected; a one-channel model keeps both selected.
    k.GroupCtlBtn[At(c)]->SetCheck(1);
    if (m_ctx.model.ChannelNum == 1) return;
    const int pair = c / 2;
    k.GroupCtlBtn[At(PartnerChannel(c))]->SetCheck(0);
    k.GroupBtn[At(pair)]->SetCheck(0);
    SetupRecord& setup = m_ctx.Setup();
    setup.GroupFlag = SelectOnly(setup.GroupFlag, pair, c);
    m_ctx.SyncPair(pair);
    m_ctx.refresh.RefreshSetupDisplay(m_ctx.SetupIndex());
}

void StripEditor::ShowLevel(int pair, int shown) {
    SkinControls& k = m_ctx.controls;
    const float level = m_ctx.Setup().Channels[At(shown)].LevelVal;
    k.LevelEdit[At(pair)]->SetText(ToQString(LevelText(level)));
    for (int c = 2 * pair; c <= 2 * pair + 1; ++c) {
        k.CHLevelBar[At(c)]->SetLevel(LevelBarPercent(level));
    }
}

void StripEditor::SendLevels(int pair) {
    const int s = m_ctx.SetupIndex();
    m_ctx.sink.Send([&](DeviceImage& image) {
        ImagePosts posts;
        for (int c = 2 * pair; c <= 2 * pair + 1; ++c) {
            if (auto level = UpdateLevel(image, m_ctx.model, s, c)) posts.AddLevel(*level);
        }
        return posts;
    });
}

// The level is a pair value: both channels take every step, linked or not.
void StripEditor::OnLevelStep(int pair, int step) {
    SkinControls& k = m_ctx.controls;
    CGdipButton* button = step > 0 ? k.LevelPlusBtn[At(pair)] : k.LevelReduceBtn[At(pair)];
    if (button->IsDisabled()) return;
    SetupRecord& setup = m_ctx.Setup();
    const int first = 2 * pair;
    const bool anySelected = Bit(setup.GroupFlag, first) || Bit(setup.GroupFlag, first + 1);
    if (anySelected) {
        const int shown = Bit(setup.GroupFlag, first) ? first : first + 1;
        for (int c = first; c <= first + 1; ++c) {
            float& level = setup.Channels[At(c)].LevelVal;
            level = std::clamp(level + static_cast<float>(step), 0.0f,
                               static_cast<float>(kMaxLevel));
        }
        ShowLevel(pair, shown);
    }
    m_ctx.SyncPair(pair);
    button->SetCheck(0);
    SendLevels(pair);
}

void StripEditor::OnLevelTyped(int pair) {
    SkinControls& k = m_ctx.controls;
    SetupRecord& setup = m_ctx.Setup();
    const int first = 2 * pair;
    const int shown = Bit(setup.GroupFlag, first) ? first : first + 1;
    const std::optional<double> typed =
        ParseTypedNumber(k.LevelEdit[At(pair)]->Text().toStdString());
    // A locked level, an empty box or text without a number change nothing.
    const bool locked = k.LevelPlusBtn[At(pair)]->IsDisabled();
    const bool selected = Bit(setup.GroupFlag, first) || Bit(setup.GroupFlag, first + 1);
    if (!typed || locked || !selected) {
        ShowLevel(pair, shown);
        return;
    }
    const float level = QuantizeLevel(*typed);
    for (int c = first; c <= first + 1; ++c) setup.Channels[At(c)].LevelVal = level;
    ShowLevel(pair, shown);
    m_ctx.SyncPair(pair);
    SendLevels(pair);
}

void StripEditor::SetChannelMute(int c, bool mute) {
    SkinControls& k = m_ctx.controls;
    SetupRecord& setup = m_ctx.Setup();
    setup.Channels[At(c)].Mute = mute ? 1 : 0;
    if (!mute) {
        setup.MasterMute = 0;
    } else {
        const int n = m_ctx.ChannelCount();
        bool all = true;
        for (int i = 0; i < n; ++i) all = all && setup.Channels[At(i)].Mute != 0;
        if (all) setup.MasterMute = 1;
    }
    k.MuteBtn->SetCheck(setup.MasterMute);
    // The strip's button and the EQ page's button show the same mute.
    k.EQMuteBtn[At(c)]->SetCheck(mute);
    const int pair = c / 2;
    if (pair < static_cast<int>(SkinControls::kStrips) &&
        ShownStripChannel(setup.GroupFlag, pair) == c) {
        k.LevelMuteBtn[At(pair)]->SetCheck(mute);
    }
}

void StripEditor::OnStripMute(int pair) {
    const bool mute = m_ctx.controls.LevelMuteBtn[At(pair)]->GetCheck() != 0;
    const std::vector<int> targets = PairTargets(m_ctx.Setup().GroupFlag, pair);
    for (const int c : targets) SetChannelMute(c, mute);
    m_ctx.controls.LevelMuteBtn[At(pair)]->SetCheck(mute);
    m_ctx.SyncPair(pair);
    const int s = m_ctx.SetupIndex();
    for (const int c : targets) {
        m_ctx.sink.Send([&](DeviceImage& image) {
            return UpdateChannelMute(image, m_ctx.model, s, c);
        });
    }
}

void StripEditor::OnChannelMute(int c) {
    const bool mute = m_ctx.controls.EQMuteBtn[At(c)]->GetCheck() != 0;
    SetChannelMute(c, mute);
    const int s = m_ctx.SetupIndex();
    m_ctx.sink.Send([&](DeviceImage& image) {
        return UpdateChannelMute(image, m_ctx.model, s, c);
    });
}

void StripEditor::OnMasterMute() {
    SkinControls& k = m_ctx.controls;
    SetupRecord& setup = m_ctx.Setup();
    setup.MasterMute = k.MuteBtn->GetCheck() != 0 ? 1 : 0;
    const int n = m_ctx.ChannelCount();
    for (int p = 0; p < n / 2 && p < static_cast<int>(SkinControls::kStrips); ++p) {
        k.LevelMuteBtn[At(p)]->SetCheck(setup.MasterMute);
    }
    for (int c = 0; c < n; ++c) {
        k.EQMuteBtn[At(c)]->SetCheck(setup.MasterMute);
        setup.Channels[At(c)].Mute = setup.MasterMute;
    }
    const int s = m_ctx.SetupIndex();
    m_ctx.sink.Send([&](DeviceImage& image) { return UpdateMasterMute(image, m_ctx.model, s); });
}

// The lock lives in the model and the preset only; the amplifier knows nothing of it.
void StripEditor::OnLevelLock(int pair) {
    SkinControls& k = m_ctx.controls;
    const bool locked = k.LevelLockBtn[At(pair)]->GetCheck() != 0;
    for (int c = 2 * pair; c <= 2 * pair + 1; ++c) {
        m_ctx.Setup().Channels[At(c)].LevelLock = locked ? 1 : 0;
    }
    k.LevelPlusBtn[At(pair)]->SetDisabled(locked);
    k.LevelReduceBtn[At(pair)]->SetDisabled(locked);
    k.LevelEdit[At(pair)]->SetReadOnly(locked);
    m_ctx.SyncPair(pair);
}

void StripEditor::OnMarkChosen(int c) {
    SkinControls& k = m_ctx.controls;
    const int mark = k.ChCBox[At(c)]->Mark();
    m_ctx.model.MarkIndex[At(c)] = mark;
    // A one-channel model has one mark for both outputs of its pair.
    if (m_ctx.model.ChannelNum == 1 && c < 2) {
        const int other = PartnerChannel(c);
        k.ChCBox[At(other)]->SetMark(mark);
        m_ctx.model.MarkIndex[At(other)] = mark;
    }
    // The amplifier's block holds the marks of the four image channels; it travels with the next
    // store.
    for (int i = 0; i < kImageChannelCount; ++i) {
        m_ctx.sink.WriteChannelAssign(i, static_cast<std::uint8_t>(k.ChCBox[At(i)]->Mark()));
    }
    m_ctx.tune.marksChanged = true;
}

}  // namespace vantrel
