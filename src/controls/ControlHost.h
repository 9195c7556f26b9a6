#pragma once

#include <QPoint>
#include <QWidget>
#include <cstdint>

namespace vantrel {

// Notifications from the skinned controls to the window that holds them.
enum : std::uint32_t {
    WM_COMMAND = 0x0111,  // a button was clicked
    UM_BUTTON_RCLICK = 1124,
    UM_KNOB_CHANGED = 1125,
    UM_FADER_CHANGED = 1126,
    UM_EDIT_ENTERED = 1127,
    UM_WIFI_CONNECT = 1128,
    UM_WIFI_SCAN = 1129,
    UM_LIST_SELECTED = 1264,
    UM_CURVE_POINT_MOVED = 1266,
    UM_FADER_PRESSED = 1267,
};

struct ControlMessage {
    std::uint32_t message = 0;
    int id = 0;                 // the sending control's identifier
    std::intptr_t wParam = 0;   // as each control documents (usually the identifier)
    std::intptr_t lParam = 0;
    QPoint screenPoint;         // UM_BUTTON_RCLICK: where the right button went down
};

// A window that receives its controls' notifications, synchronously, as the control's parent did
// with window messages.
class ControlHost {
public:
    virtual ~ControlHost() = default;
    virtual void OnControlMessage(const ControlMessage& message) = 0;
};

// Delivers `message` to the nearest ancestor of `control` that is a ControlHost; does nothing
// when there is none.
void NotifyHost(QWidget* control, const ControlMessage& message);

}  // namespace vantrel
