#pragma once

// The main window's control table: every skinned control's skin section, kind, count, identifier,
// page and settings, in one place for the window that creates the controls and for the generator
// that draws the default skin. No Qt here.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/ParameterModel.h"

namespace vantrel {

// What a skin section builds, and so which keys it has.
enum class SkinKind {
    ImageButton,
    Led,
    Knob,
    BandFaderBank,  // 27 faders from one section
    Fader,
    Label,
    Edit,
    List,
    LevelBar,
    Curve,
};

// The page set a control belongs to; Both stays visible on either page.
enum class SkinPage { Main, Eq, Both };

enum SkinFlag : std::uint8_t {
    kSkinToggle = 1,        // button keeps its checked state
    kSkinAutoRepeat = 2,    // button repeats while held
    kSkinNumbered = 4,      // initial text followed by the channel number i + 1
    kSkinSharedId = 8,      // every element has the base identifier
    kSkinReadOnly = 16,     // edit box
    kSkinPointEditing = 32  // response curve with draggable points
};

// One row of the main window's control table.
struct SkinControlSpec {
    std::string_view name;  // skin section; arrays append the index from 0
    SkinKind kind;
    int count;
    int baseId;  // element i has baseId + i unless kSkinSharedId
    SkinPage page;
    std::string_view text = {};  // initial text of labels and edit boxes
    std::uint8_t flags = 0;

    bool Has(SkinFlag flag) const { return (flags & flag) != 0; }
    int IdOf(int index) const { return Has(kSkinSharedId) ? baseId : baseId + index; }
    // The section element `index` is read from.
    std::string SectionOf(int index) const;
};

// Range of a knob or fader as the window sets it after creation.
struct SkinValueRange {
    float minimum;
    float maximum;
    float value;  // also the default (double-click)
    float step;
    float dragRate;  // per pixel
};

inline constexpr int kBandFaderFirstId = 1731;

// The rows in the table's order.
std::span<const SkinControlSpec> SkinControlTable();
const SkinControlSpec* FindSkinControl(std::string_view name);
// The order of creation: each step holds names whose elements are created index by index
// together (strip by strip, channel by channel, band by band); a one-name step creates its whole
// array. Creation order is stacking order, so it decides which control covers which.
const std::vector<std::vector<std::string_view>>& SkinCreationOrder();
// The range set after creation for the knobs and faders of `name`.
const SkinValueRange* SkinRangeOf(std::string_view name);

}  // namespace vantrel
