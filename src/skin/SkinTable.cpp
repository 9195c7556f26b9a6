#include "skin/SkinTable.h"

#include <array>
#include <cmath>

namespace vantrel {

namespace {

constexpr SkinKind kButton = SkinKind::ImageButton;
constexpr SkinKind kLed = SkinKind::Led;
constexpr SkinKind kKnob = SkinKind::Knob;
constexpr SkinKind kLabel = SkinKind::Label;
constexpr SkinKind kEdit = SkinKind::Edit;
constexpr SkinPage M = SkinPage::Main;
constexpr SkinPage E = SkinPage::Eq;
constexpr SkinPage B = SkinPage::Both;
constexpr std::uint8_t kToggle = kSkinToggle;
constexpr std::uint8_t kRepeat = kSkinAutoRepeat;

// The control table. Several labels share identifiers with other controls; the window reaches
// every control through its reference, never by identifier, so that does no harm.
constexpr std::array<SkinControlSpec, 86> kTable = {{
    {"LogoBtn", kButton, 1, 1501, B},
    {"MuteBtn", kButton, 1, 1502, B, "", kToggle},
    {"EQLoadBtn", kButton, 1, 1503, M},
    {"HomeBtn", kButton, 1, 1504, E},
    {"WiFiBtn", kButton, 1, 1505, B},
    {"ExitBtn", kButton, 1, 1506, B, "", kToggle},
    {"OpenBtn", kButton, 1, 1507, B},
    {"ResetBtn", kButton, 1, 1508, B},
    {"StoreBtn", kButton, 1, 1509, B},
    {"SaveBtn", kButton, 1, 1510, B},
    {"SetupBtn", kButton, 4, 1511, B, "", kToggle},
    {"GroupBtn", kButton, 3, 1515, M, "", kToggle},
    {"GroupCtlBtn", kButton, 6, 1518, M, "", kToggle},
    {"LevelMuteBtn", kButton, 3, 1524, M, "", kToggle},
    {"LevelLockBtn", kButton, 3, 1527, M, "", kToggle},
    {"LevelPlusBtn", kButton, 3, 1530, M},
    {"LevelReduceBtn", kButton, 3, 1533, M},
    {"HighPlusBtn", kButton, 3, 1536, M, "", kRepeat},
    {"HighReduceBtn", kButton, 3, 1539, M, "", kRepeat},
    {"LowPlusBtn", kButton, 3, 1542, M, "", kRepeat},
    {"LowReduceBtn", kButton, 3, 1545, M, "", kRepeat},
    {"HighONBtn", kButton, 3, 1548, M, "", kToggle},
    {"LowONBtn", kButton, 3, 1551, M, "", kToggle},
    {"HighLockBtn", kButton, 3, 1554, M, "", kToggle},
    {"LowLockBtn", kButton, 3, 1557, M, "", kToggle},
    {"TimeONBtn", kButton, 6, 1560, M, "", kToggle},
    {"High6dBBtn", kButton, 3, 1566, M, "", kToggle},
    {"High12dBBtn", kButton, 3, 1569, M, "", kToggle},
    {"High24dBBtn", kButton, 3, 1572, M, "", kToggle},
    {"High36dBBtn", kButton, 3, 1575, M, "", kToggle},
    {"High48dBBtn", kButton, 3, 1578, M, "", kToggle},
    {"Low6dBBtn", kButton, 3, 1581, M, "", kToggle},
    {"Low12dBBtn", kButton, 3, 1584, M, "", kToggle},
    {"Low24dBBtn", kButton, 3, 1587, M, "", kToggle},
    {"Low36dBBtn", kButton, 3, 1590, M, "", kToggle},
    {"Low48dBBtn", kButton, 3, 1593, M, "", kToggle},
    {"ClipLedStc", kLed, 3, 1599, M},
    {"TimeLedStc", kLed, 6, 1602, M},
    {"TimeDlyKnob", kKnob, 6, 1614, M},
    {"TimeAtnKnob", kKnob, 6, 1620, M},
    {"EQLoad2Btn", kButton, 1, 1596, M},
    {"BypassBtn", kButton, 1, 1597, M, "", kToggle},
    {"ZoomBtn", kButton, 1, 1598, M},
    {"CEQFcyKnob", kKnob, 4, 1680, E},
    {"CEQQKnob", kKnob, 4, 1684, E},
    {"CustmEQFader", SkinKind::Fader, 4, 1688, E},
    {"CustmEQGainEdt", kEdit, 4, 1696, E, "0 dB"},
    {"CustmEQQEdt", kEdit, 4, 1700, E, "0"},
    {"CustmEQFreqEdt", kEdit, 4, 1692, E, "0"},
    {"CEQPassBtn", kButton, 4, 1704, E, "", kToggle},
    {"CEQLedStc", kLed, 4, 1708, E},
    {"EqGroupBtn", kButton, 6, 1712, E, "", kToggle},
    {"EQMuteBtn", kButton, 6, 1721, E, "", kToggle},
    {"Eq2GroupBtn", kButton, 3, 1718, E, "", kToggle},
    {"EQBack2Btn", kButton, 1, 1727, E},
    {"EQBypassBtn", kButton, 1, 1728, E, "", kToggle},
    {"EQZoomBtn", kButton, 1, 1729, E},
    {"EQResetBtn", kButton, 1, 1730, E},
    {"EQBandFader", SkinKind::BandFaderBank, kEqBandCount, kBandFaderFirstId, E},
    {"ModelStc", kLabel, 1, 1644, B, "KV-PX6 "},
    {"ChStc", kLabel, 6, 1645, B, "CH ", kSkinNumbered},
    {"SpChStc", kLabel, 6, 1651, M, "CH", kSkinNumbered},
    {"EQSpChStc", kLabel, 6, 1764, E, "CH", kSkinNumbered},
    {"ChCBox", SkinKind::List, 6, 1657, B},
    {"ChFLMkStc", kLabel, 6, 1663, B, "OFF"},
    {"ChHPFStc", kLabel, 6, 1669, B, "1000"},
    {"ChLPFStc", kLabel, 6, 1675, B, "10000"},
    {"ChDLYStc", kLabel, 6, 1681, B, "0"},
    {"ChTRIMStc", kLabel, 6, 1687, B, "0"},
    {"ChEQStc", kLabel, 6, 1693, B, "OFF"},
    {"Prompt1Stc", kLabel, 1, 1699, B, ""},
    {"Prompt2Stc", kLabel, 1, 1670, B, ""},
    {"VoltageStc", kLabel, 1, 1671, B, "- V"},
    {"TempStc", kLabel, 1, 1672, B, "- C"},
    {"RunTimeStc", kLabel, 1, 1673, B, "-"},
    {"LevelEdit", kEdit, 3, 1605, M, "0 %"},
    {"HighPassEdit", kEdit, 3, 1608, M, "1000 Hz"},
    {"LowPassEdit", kEdit, 3, 1611, M, "10000 Hz"},
    {"DlyTimeEdt", kEdit, 6, 1626, M, "0 ms"},
    {"DlyDisEdt", kEdit, 6, 1632, M, "0 cm"},
    {"TrimEdt", kEdit, 6, 1638, M, "0 dB"},
    {"EQBandFreqEdt", kEdit, 1, 1762, E, "40 Hz", kSkinReadOnly},
    {"EQBandGainEdt", kEdit, 1, 1763, E, "0 dB", kSkinReadOnly},
    {"CHLevelBar", SkinKind::LevelBar, 6, 1674, B, "", kSkinSharedId},
    {"SpectrumCurve", SkinKind::Curve, 1, 1770, M},
    {"EQSpectrumCurve", SkinKind::Curve, 1, 1771, E, "", kSkinPointEditing},
}};

// 0.02 x the integer part of (log10(f) / 0.02 + 0.5): the frequency knob works in decimal
// logarithms on a grid of 0.02.
float FrequencyKnobValue(double hertz) {
    return static_cast<float>(0.02 * std::floor(std::log10(hertz) / 0.02 + 0.5));
}

struct NamedRange {
    std::string_view name;
    SkinValueRange range;
};

const std::array<NamedRange, 6>& Ranges() {
    static const std::array<NamedRange, 6> ranges = {{
        {"TimeDlyKnob", {0.0f, 20.0f, 0.0f, 0.02f, 0.02f}},
        {"TimeAtnKnob", {0.0f, 30.0f, 0.0f, 0.1f, 0.1f}},
        {"CEQFcyKnob",
         {FrequencyKnobValue(16.0), FrequencyKnobValue(20893.0), FrequencyKnobValue(1000.0), 0.02f,
          0.02f}},
        {"CEQQKnob", {0.4f, 24.0f, 3.0f, 0.1f, 0.1f}},
        {"CustmEQFader", {-24.0f, 6.0f, 0.0f, 0.1f, 0.1f}},
        {"EQBandFader", {-15.0f, 6.0f, 0.0f, 0.1f, 0.1f}},
    }};
    return ranges;
}

}  // namespace

std::string SkinControlSpec::SectionOf(int index) const {
    // Single controls and the band fader bank read one section named after the control.
    if (count == 1 || kind == SkinKind::BandFaderBank) return std::string(name);
    return std::string(name) + std::to_string(index);
}

std::span<const SkinControlSpec> SkinControlTable() { return kTable; }

const SkinControlSpec* FindSkinControl(std::string_view name) {
    for (const SkinControlSpec& spec : kTable) {
        if (spec.name == name) return &spec;
    }
    return nullptr;
}

const std::vector<std::vector<std::string_view>>& SkinCreationOrder() {
    static const std::vector<std::vector<std::string_view>> order = {
        {"LogoBtn"},
        {"MuteBtn"},
        {"EQLoadBtn"},
        {"HomeBtn"},
        {"WiFiBtn"},
        {"ExitBtn"},
        {"OpenBtn"},
        {"ResetBtn"},
        {"StoreBtn"},
        {"SaveBtn"},
        {"SetupBtn"},
        {"GroupBtn"},
        {"GroupCtlBtn"},
        // strip by strip
        {"LevelMuteBtn",  "LevelLockBtn", "LevelPlusBtn", "LevelReduceBtn", "HighPlusBtn",
         "HighReduceBtn", "LowPlusBtn",   "LowReduceBtn", "HighONBtn",      "LowONBtn",
         "HighLockBtn",   "LowLockBtn",   "High6dBBtn",   "High12dBBtn",    "High24dBBtn",
         "High36dBBtn",   "High48dBBtn",  "Low6dBBtn",    "Low12dBBtn",     "Low24dBBtn",
         "Low36dBBtn",    "Low48dBBtn",   "ClipLedStc"},
        // channel by channel
        {"TimeONBtn", "TimeLedStc", "TimeDlyKnob", "TimeAtnKnob"},
        {"EQLoad2Btn"},
        {"BypassBtn"},
        {"ZoomBtn"},
        // band by band
        {"CEQFcyKnob", "CEQQKnob", "CustmEQFader", "CustmEQGainEdt", "CustmEQQEdt",
         "CustmEQFreqEdt", "CEQPassBtn", "CEQLedStc"},
        {"EqGroupBtn", "EQMuteBtn"},
        {"Eq2GroupBtn"},
        {"EQBack2Btn"},
        {"EQBypassBtn"},
        {"EQZoomBtn"},
        {"EQResetBtn"},
        {"EQBandFader"},
        {"ModelStc"},
        {"ChStc", "SpChStc", "EQSpChStc"},
        {"ChCBox", "ChFLMkStc", "ChHPFStc", "ChLPFStc", "ChDLYStc", "ChTRIMStc", "ChEQStc"},
        {"Prompt1Stc"},
        {"Prompt2Stc"},
        {"VoltageStc"},
        {"TempStc"},
        {"RunTimeStc"},
        {"LevelEdit", "HighPassEdit", "LowPassEdit"},
        {"DlyTimeEdt", "DlyDisEdt", "TrimEdt"},
        {"EQBandFreqEdt"},
        {"EQBandGainEdt"},
        {"CHLevelBar"},
        {"SpectrumCurve"},
        {"EQSpectrumCurve"},
    };
    return order;
}

const SkinValueRange* SkinRangeOf(std::string_view name) {
    for (const NamedRange& entry : Ranges()) {
        if (entry.name == name) return &entry.range;
    }
    return nullptr;
}

}  // namespace vantrel
