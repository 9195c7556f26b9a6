#pragma once

#include "app/EditorContext.h"

namespace vantrel {

// The pair strips and channel columns of the main page: pair link and channel select, level,
// strip, channel and master mute, level lock and the channel marks.
class StripEditor {
public:
    explicit StripEditor(EditorContext& context) : m_ctx(context) {}
    void Register(HandlerTable& table);

private:
    void OnPairLink(int pair);
    void OnChannelSelect(int c);
    void OnLevelStep(int pair, int step);
    void OnLevelTyped(int pair);
    void OnStripMute(int pair);
    void OnChannelMute(int c);
    void OnMasterMute();
    void OnLevelLock(int pair);
    void OnMarkChosen(int c);

    // The level of the pair's shown channel in its box and both level bars.
    void ShowLevel(int pair, int shown);
    void SendLevels(int pair);
    // Mute of channel c: the model, MasterMute and every button that shows them.
    void SetChannelMute(int c, bool mute);

    EditorContext& m_ctx;
};

}  // namespace vantrel
