#pragma once

#include <QApplication>
#include <QDialog>
#include <QWheelEvent>
#include <functional>
#include <vector>

#include "controls/ControlHost.h"

namespace vantrel::test {

// Records what the controls report to their window. A dialog, so that a key a control let through
// would reach a default button or move the focus.
class RecordingHost : public QDialog, public ControlHost {
public:
    void OnControlMessage(const ControlMessage& message) override {
        messages.push_back(message);
        if (onMessage) onMessage(message);
    }
    std::vector<ControlMessage> messages;
    std::function<void(const ControlMessage&)> onMessage;
};

// One wheel event of `delta` eighths of a degree (120 = one notch) over `widget`.
inline void SendWheel(QWidget* widget, int delta) {
    const QPointF pos(3, 3);
    QWheelEvent event(pos, widget->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

}  // namespace vantrel::test
