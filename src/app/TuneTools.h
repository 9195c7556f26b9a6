#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/EditorContext.h"
#include "model/TuneHistory.h"

namespace vantrel {

// Undo and redo of every edit, the A/B comparison of the edits with the stored tune, and time
// alignment from measured distances. The window tells it about each control notification, before
// and after its handler runs.
class TuneTools {
public:
    // `showComparing(true)` while the stored tune plays, false when the edits play again.
    TuneTools(EditorContext& ctx, std::function<void(bool)> showComparing);

    // Before a notification's handler: an edit, a store or a switch while the stored tune plays
    // goes back to the edits first, so nothing is edited or stored on top of the stored tune.
    void BeforeMessage();
    // After a notification's handler: what the handler changed is one undo step, or grows the
    // step of the same control's burst.
    void AfterMessage(const ControlMessage& message);
    // After a change made outside the notifications (a menu of the window's own): a step of its
    // own.
    void Record(std::uint64_t source);
    // The tune was replaced by the amplifier's: the history starts again and the edits play.
    void Restart();

    // Take back the last step, or do again the last step taken back; the amplifier gets what
    // differs. False when there was nothing to do.
    bool Undo();
    bool Redo();
    bool CanUndo() const { return m_history.CanUndo(); }
    bool CanRedo() const { return m_history.CanRedo(); }

    // Switches the amplifier between the edits of the current setup and the tune last stored in
    // or read from the amplifier. Needs the amplifier.
    void ToggleCompare();
    bool ComparingStored() const { return m_compared.has_value(); }
    // Back to the edits, if the stored tune plays.
    void LeaveCompare();
    // The link went down: nothing plays any more, the edits are what the window holds.
    void DropCompare();

    // Asks for the distances of the current setup's channels and sets the delays from them, as
    // one undoable edit.
    void AlignTime();

    const TuneHistory& History() const { return m_history; }
    // Milliseconds of a steady clock; tests replace it.
    std::function<std::int64_t()> clock;

    // Sources of the changes made by the window's own commands.
    static constexpr std::uint64_t kAlignSource = 1ull << 40;
    static constexpr std::uint64_t kImportSource = 2ull << 40;

private:
    void AfterChange(const ParameterModel& before);
    // One step back (undo) or forward (redo).
    bool Walk(bool back);

    EditorContext& m_ctx;
    std::function<void(bool)> m_showComparing;
    TuneHistory m_history;
    // While the stored setup plays: the tune sent for it, which leaving goes back from.
    std::optional<ParameterModel> m_compared;
};

}  // namespace vantrel
