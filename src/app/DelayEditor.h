#pragma once

#include "app/EditorContext.h"

namespace vantrel {

// The delay block of each channel column: the section switch, the delay and trim knobs and the
// time, distance and trim boxes. It works on its own channel; on a one-channel model the first
// two channels follow each other.
class DelayEditor {
public:
    explicit DelayEditor(EditorContext& context) : m_ctx(context) {}
    void Register(HandlerTable& table);

private:
    enum class Box { Time, Distance, Trim };
    // The delay time or the trim: how each is held, shown and sent.
    struct Value;
    static const Value kDelay;
    static const Value kTrim;

    void OnSwitch(int c);
    void OnKnob(const Value& what, int c);
    void OnTyped(int c, Box box);

    // The new value into the model, every control that shows it, and the amplifier; then the
    // same for the partner of a one-channel model.
    void Set(const Value& what, int c, float value);
    void ShowSwitch(int c);
    void ShowDelay(int c);
    void ShowTrim(int c);
    // The channel a one-channel model mirrors c to, or -1.
    int Mirror(int c) const;

    EditorContext& m_ctx;
};

}  // namespace vantrel
