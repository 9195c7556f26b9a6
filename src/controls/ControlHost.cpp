#include "controls/ControlHost.h"

namespace vantrel {

void NotifyHost(QWidget* control, const ControlMessage& message) {
    for (QWidget* w = control ? control->parentWidget() : nullptr; w; w = w->parentWidget()) {
        if (auto* host = dynamic_cast<ControlHost*>(w)) {
            host->OnControlMessage(message);
            return;
        }
    }
}

}  // namespace vantrel
