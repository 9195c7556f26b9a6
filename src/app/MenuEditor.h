#pragma once

#include <QPoint>
#include <cstdint>
#include <vector>

#include "app/EditorContext.h"

namespace vantrel {

// The right-click menu of the setup buttons, the channel-select buttons of the main page and the
// EQ-group buttons of the EQ page: Reset, Copy and Paste of a setup, of a channel's strip or of a
// channel's EQ. Copy remembers only the button; the values are read when pasting.
class MenuEditor {
public:
    static constexpr int kCopyCommand = 32771;
    static constexpr int kPasteCommand = 32772;
    static constexpr int kResetCommand = 32773;

    // Button codes: setup buttons 1..4, main-page channel buttons 5..10, EQ-page channel
    // buttons 11..16; 0 for a button without this menu.
    static constexpr std::int32_t kFirstSetupCode = 1;
    static constexpr std::int32_t kFirstChannelCode = 5;
    static constexpr std::int32_t kFirstChannelEqCode = 11;

    explicit MenuEditor(EditorContext& context) : m_ctx(context) {}
    void Register(HandlerTable& table);

    // The menu's items for button `code`, texts and enabling as they stand now.
    std::vector<MenuItem> MenuFor(std::int32_t code) const;

    std::int32_t MenuTarget() const { return m_menuTarget; }
    std::int32_t ClipboardSource() const { return m_clipboardSource; }
    std::uint8_t ClipboardValid() const { return m_clipboardValid; }

private:
    void OnRightClick(std::int32_t code, QPoint screenPoint);
    void Paste();
    void Reset();
    // Redisplays the current setup, rebuilds the image of every setup and, online, sends the
    // current setup's image and the levels of `levelChannels`.
    void ShowAndSend(const std::vector<int>& levelChannels);

    EditorContext& m_ctx;
    std::int32_t m_menuTarget = 0;
    std::int32_t m_clipboardSource = 0;
    std::uint8_t m_clipboardValid = 0;
};

}  // namespace vantrel
