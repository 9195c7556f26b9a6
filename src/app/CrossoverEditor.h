#pragma once

#include <cstddef>
#include <vector>

#include "app/EditorContext.h"

namespace vantrel {

// The crossover controls of the three pair strips: frequency steps and typed frequencies with the
// rule that a channel's high-pass never lies above its low-pass, on/off, lock and slope of each
// filter. Edits reach the pair's target channels; the strip shows its shown channel.
class CrossoverEditor {
public:
    explicit CrossoverEditor(EditorContext& context) : m_ctx(context) {}
    void Register(HandlerTable& table);

private:
    // direction +1 for the plus button, -1 for the minus button.
    void OnStep(CrossoverKind kind, int pair, int direction);
    void OnTyped(CrossoverKind kind, int pair);
    void OnSwitch(CrossoverKind kind, int pair);
    void OnLock(CrossoverKind kind, int pair);
    void OnSlope(CrossoverKind kind, int pair, std::size_t slopeIndex);

    // The channel's overview label of the filter: the frequency while on, "-" while off.
    void ShowOverview(CrossoverKind kind, int channel);
    // The strip's edit box: the frequency of the shown channel.
    void ShowBox(CrossoverKind kind, int pair);
    // The filter-type labels of the channels in `pairMask` whose GroupFlag bit is set.
    void ShowFilterType(int setup, int pairMask);
    // Online: the filter's block of each channel whose filter is on (or of every channel when
    // `evenWhenOff`).
    void SendBlocks(CrossoverKind kind, const std::vector<int>& channels, bool evenWhenOff = false);

    EditorContext& m_ctx;
};

}  // namespace vantrel
