#pragma once

// Undo and redo of the tune.
//
// The history keeps the tune as a flat byte string (TuneBytes) and each step as the runs of bytes
// that changed, with their values before and after. A step of a fader move is a few dozen bytes,
// so hundreds of steps cost little memory however large the model is.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "model/ParameterModel.h"

namespace vantrel {

// The part of the model that edits change and an undo puts back: every setup's values (all but
// the EQ page's channel selection, which is a view), the noise killer and the channel marks.
// The current setup, the channel count and the mode belong to the session and the amplifier.
std::vector<std::uint8_t> TuneBytes(const ParameterModel& model);
// Writes tune bytes back into `model`; false, writing nothing, when they are not the size
// TuneBytes gives.
bool ApplyTuneBytes(ParameterModel& model, std::span<const std::uint8_t> bytes);

class TuneHistory {
public:
    static constexpr std::size_t kDefaultCapacity = 500;
    static constexpr std::int64_t kDefaultJoinMs = 1000;

    // Keeps at most `capacity` steps (the oldest go first). Changes from one source that follow
    // each other within `joinMs` of the step's last change form one step.
    explicit TuneHistory(std::size_t capacity = kDefaultCapacity,
                         std::int64_t joinMs = kDefaultJoinMs);

    // The model as it stands is where the history starts: every step is forgotten.
    void Reset(const ParameterModel& model);
    // Records what changed since the last recorded state as a step made by `source` (a control,
    // a menu command) at `nowMs`. A change from the step's own source within the join time grows
    // that step instead, so a knob drag or a held button is one step. Redo steps are dropped.
    // False when nothing changed.
    bool Record(const ParameterModel& model, std::uint64_t source, std::int64_t nowMs);
    // The next change starts a step of its own, whatever its source.
    void Seal() { m_open = false; }

    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }
    std::size_t UndoCount() const { return m_undo.size(); }
    std::size_t RedoCount() const { return m_redo.size(); }

    // Puts the tune back to before the last step (after the last undone step); false when there
    // is none. A change not yet recorded is recorded first, so it is what the undo takes back.
    // The model's other fields stay.
    bool Undo(ParameterModel& model, std::int64_t nowMs);
    bool Redo(ParameterModel& model, std::int64_t nowMs);

    // Heap bytes the history holds: the steps and the recorded tune.
    std::size_t MemoryBytes() const;

private:
    // Runs of [offset u32][length u16][bytes before][bytes after], one allocation per step.
    struct Step {
        std::vector<std::uint8_t> runs;
        std::uint64_t source = 0;
        std::int64_t lastMs = 0;
    };

    static Step Diff(std::span<const std::uint8_t> from, std::span<const std::uint8_t> to);
    // Writes a step's "before" (undo) or "after" (redo) bytes into `tune`.
    static void Apply(const Step& step, bool after, std::vector<std::uint8_t>& tune);

    std::size_t m_capacity;
    std::int64_t m_joinMs;
    std::vector<std::uint8_t> m_tune;  // the last recorded tune
    std::deque<Step> m_undo;
    std::vector<Step> m_redo;
    bool m_open = false;  // the last undo step may still grow
};

}  // namespace vantrel
