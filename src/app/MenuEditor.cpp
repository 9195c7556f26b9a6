#include "app/MenuEditor.h"

#include <algorithm>

#include "app/DisplayRefresh.h"
#include "controls/CGdipButton.h"
#include "skin/SkinLayout.h"

namespace vantrel {
namespace {

std::size_t At(int i) { return static_cast<std::size_t>(i); }

enum class MenuKind { None, Setup, Channel, ChannelEq };

MenuKind KindOf(std::int32_t code) {
    if (code >= MenuEditor::kFirstSetupCode && code < MenuEditor::kFirstChannelCode) {
        return MenuKind::Setup;
    }
    if (code >= MenuEditor::kFirstChannelCode && code < MenuEditor::kFirstChannelEqCode) {
        return MenuKind::Channel;
    }
    if (code >= MenuEditor::kFirstChannelEqCode &&
        code < MenuEditor::kFirstChannelEqCode + kChannelCount) {
        return MenuKind::ChannelEq;
    }
    return MenuKind::None;
}

// The 0-based setup or channel a button code stands for.
int IndexOf(std::int32_t code) {
    switch (KindOf(code)) {
        case MenuKind::Setup:
            return code - MenuEditor::kFirstSetupCode;
        case MenuKind::Channel:
            return code - MenuEditor::kFirstChannelCode;
        case MenuKind::ChannelEq:
            return code - MenuEditor::kFirstChannelEqCode;
        case MenuKind::None:
            break;
    }
    return -1;
}

// Both bits of c's pair set in a flag byte.
bool PairLinked(std::uint8_t flags, int c) {
    const unsigned both = 3u << (2 * (c / 2));
    return (flags & both) == both;
}

bool IsSetupIndex(int s) { return s >= 0 && s < kSetupCount; }

}  // namespace

void MenuEditor::Register(HandlerTable& table) {
    SkinControls& k = m_ctx.controls;
    const auto rightClick = [&](CGdipButton* button, std::int32_t code) {
        table.Add(UM_BUTTON_RCLICK, button->Id(), [this, code](const ControlMessage& message) {
            OnRightClick(code, message.screenPoint);
        });
    };
    for (int s = 0; s < kSetupCount; ++s) rightClick(k.SetupBtn[At(s)], kFirstSetupCode + s);
    for (int c = 0; c < kChannelCount; ++c) {
        rightClick(k.GroupCtlBtn[At(c)], kFirstChannelCode + c);
        rightClick(k.EqGroupBtn[At(c)], kFirstChannelEqCode + c);
    }
}

std::vector<MenuItem> MenuEditor::MenuFor(std::int32_t code) const {
    std::vector<MenuItem> items{{kResetCommand, QStringLiteral("Reset"), true},
                                {kCopyCommand, QStringLiteral("Copy"), true},
                                {kPasteCommand, QStringLiteral("Paste"), false}};
    MenuItem& reset = items[0];
    MenuItem& copy = items[1];
    MenuItem& paste = items[2];
    const MenuKind kind = KindOf(code);
    const int n = IndexOf(code) + 1;  // as the user counts
    const bool copied = m_clipboardValid == 1 && KindOf(m_clipboardSource) == kind &&
                        m_clipboardSource != code;
    const int source = IndexOf(m_clipboardSource) + 1;
    switch (kind) {
        case MenuKind::Setup: {
            const bool current = n == m_ctx.model.CurrentSetupIndex + 1;
            copy.text = QStringLiteral("Copy Setup %1").arg(n);
            if (current) reset.text = QStringLiteral("Reset Setup %1").arg(n);
            reset.enabled = current;
            // Only onto the current setup: another one would change unseen and unsent.
            if (copied && current) {
                paste.text = QStringLiteral("Paste Setup %1 to %2").arg(source).arg(n);
                paste.enabled = true;
            }
            break;
        }
        case MenuKind::Channel:
        case MenuKind::ChannelEq:
            copy.text = QStringLiteral("Copy Channel %1").arg(n);
            reset.text = QStringLiteral("Reset Channel %1").arg(n);
            if (copied) {
                paste.text = QStringLiteral("Paste Channel %1 to %2").arg(source).arg(n);
                paste.enabled = true;
            }
            break;
        case MenuKind::None:
            return {};
    }
    return items;
}

void MenuEditor::OnRightClick(std::int32_t code, QPoint screenPoint) {
    m_menuTarget = code;
    const std::vector<MenuItem> items = MenuFor(code);
    if (items.empty()) return;
    const int command = m_ctx.PopupMenu(items, screenPoint + QPoint(0, 10));
    // The rules are asked again: the model may have changed while the menu was open (a download
    // can end meanwhile), and a greyed command must never run.
    const std::vector<MenuItem> now = MenuFor(m_menuTarget);
    const bool allowed = std::any_of(now.begin(), now.end(), [command](const MenuItem& item) {
        return item.command == command && item.enabled;
    });
    if (!allowed) return;
    switch (command) {
        case kCopyCommand:
            m_clipboardSource = m_menuTarget;
            m_clipboardValid = 1;
            break;
        case kPasteCommand:
            Paste();
            break;
        case kResetCommand:
            Reset();
            break;
        default:
            break;
    }
}

void MenuEditor::Paste() {
    ParameterModel& model = m_ctx.model;
    const int s = m_ctx.SetupIndex();
    if (!IsSetupIndex(s)) return;
    const int c = IndexOf(m_clipboardSource);
    const int t = IndexOf(m_menuTarget);
    std::vector<int> levelChannels;
    switch (KindOf(m_menuTarget)) {
        case MenuKind::Setup:
            model.Setups[At(t)] = model.Setups[At(c)];
            // Levels travel outside the setup image: without these the amplifier would keep the
            // old ones.
            for (int ch = 0; ch < m_ctx.ChannelCount(); ++ch) levelChannels.push_back(ch);
            break;
        case MenuKind::Channel: {
            const std::uint8_t groupFlag = model.Setups[At(s)].GroupFlag;
            CopyChannelStrip(model, s, c, t, true);
            if (PairLinked(groupFlag, t)) CopyChannelStrip(model, s, c, PartnerChannel(t), true);
            // The copy sets the level of t's whole pair.
            levelChannels = {t, PartnerChannel(t)};
            break;
        }
        case MenuKind::ChannelEq: {
            const std::uint8_t groupEqFlag = model.Setups[At(s)].GroupEQFlag;
            CopyChannelEq(model, s, c, t);
            if (PairLinked(groupEqFlag, t)) CopyChannelEq(model, s, c, PartnerChannel(t));
            break;
        }
        case MenuKind::None:
            return;
    }
    ShowAndSend(levelChannels);
}

void MenuEditor::Reset() {
    ParameterModel& model = m_ctx.model;
    const int s = m_ctx.SetupIndex();
    if (!IsSetupIndex(s)) return;
    const int c = IndexOf(m_menuTarget);
    const bool mode2 = model.Mode == 2;
    const std::uint8_t noiseKiller = model.ANS;
    std::vector<int> levelChannels;
    switch (KindOf(m_menuTarget)) {
        case MenuKind::Setup:
            ResetSetup(model, s);
            // The noise killer is the user's choice for the amplifier, not part of a setup.
            model.ANS = noiseKiller;
            for (int ch = 0; ch < m_ctx.ChannelCount(); ++ch) levelChannels.push_back(ch);
            break;
        case MenuKind::Channel: {
            // A bass model resets the whole pair; when linked, the model has done so already.
            const bool linked = PairLinked(model.Setups[At(s)].GroupFlag, c);
            ResetChannelStrip(model, c);
            if (mode2 && !linked) ResetChannelStrip(model, PartnerChannel(c));
            levelChannels = {c, PartnerChannel(c)};
            break;
        }
        case MenuKind::ChannelEq: {
            const bool linked = PairLinked(model.Setups[At(s)].GroupEQFlag, c);
            ResetChannelEq(model, c);
            if (mode2 && !linked) ResetChannelEq(model, PartnerChannel(c));
            break;
        }
        case MenuKind::None:
            return;
    }
    ShowAndSend(levelChannels);
}

void MenuEditor::ShowAndSend(const std::vector<int>& levelChannels) {
    const int s = m_ctx.SetupIndex();
    m_ctx.refresh.RefreshSetupDisplay(s);
    m_ctx.SendCurrentSetup(levelChannels);
}

}  // namespace vantrel
