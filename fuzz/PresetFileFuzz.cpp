// Loads arbitrary bytes as a preset over a started model and checks that every value is one the
// rest of the program can handle, then that writing the model and reading it back changes no
// written value (the limits agree with the file's own formats).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/ParameterModel.h"
#include "model/PresetFile.h"
#include "platform/IniFile.h"

namespace {

using namespace vantrel;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

bool Within(float value, double low, double high) {
    return std::isfinite(value) && value >= low && value <= high;
}

bool IsSwitch(std::uint8_t value) { return value <= 1; }

bool IsSlope(std::uint8_t value) {
    return value == 6 || value == 12 || value == 24 || value == 36 || value == 48;
}

bool IsWhole(float value) { return std::trunc(value) == value; }

void CheckModel(const ParameterModel& m) {
    Check(m.CurrentSetupIndex >= 0 && m.CurrentSetupIndex < kSetupCount);
    Check(m.ChannelNum == 1 || m.ChannelNum == 2 || m.ChannelNum == 4 || m.ChannelNum == 6);
    Check(m.Mode == 0 || m.Mode == 2);
    Check(m.ANS == 0 || m.ANS == 255);
    for (const std::int32_t mark : m.MarkIndex) Check(mark >= 0 && mark < kChannelMarkCount);
    for (const SetupRecord& setup : m.Setups) {
        Check(setup.GroupFlag <= 0x3F && setup.GroupEQFlag <= 0x3F);
        for (const ChannelRecord& ch : setup.Channels) {
            Check(IsSwitch(ch.LevelLock) && IsSwitch(ch.HighPassOn) && IsSwitch(ch.HighPassLock) &&
                  IsSwitch(ch.LowPassOn) && IsSwitch(ch.LowPassLock) && IsSwitch(ch.DelayOn) &&
                  IsSwitch(ch.EQBypass));
            Check(IsSlope(ch.HighPassSlope) && IsSlope(ch.LowPassSlope));
            Check(Within(ch.LevelVal, 0, 16) && IsWhole(ch.LevelVal));
            Check(Within(ch.HighPassFreq, 16, 20893) && Within(ch.LowPassFreq, 16, 20893));
            Check(Within(ch.DelayTime, 0, 20) && Within(ch.Trim, 0, 30));
            for (const EqPoint& p : ch.CustomEQ) {
                Check(Within(p.Freq, 16, 20893) && Within(p.Gain, -24, 6));
                Check(Within(p.Q, 0.4f, 24) && IsSwitch(p.Bypass));
            }
            for (const EqPoint& b : ch.EQBand) {
                Check(Within(b.Freq, 16, 20893) && IsWhole(b.Freq));
                Check(Within(b.Gain, -15, 6) && Within(b.Q, 0.4f, 24));
            }
        }
    }
}

// The file the keys make, written directly (SavePresetFile is tested to give these bytes).
std::string FileText(const std::vector<PresetKey>& keys) {
    std::string text;
    const std::string* section = nullptr;
    for (const PresetKey& k : keys) {
        if (section == nullptr || *section != k.section) {
            text += "[" + k.section + "]\r\n";
            section = &k.section;
        }
        text += k.key + "=" + k.value + "\r\n";
    }
    return text;
}

// A value just below zero is written "-0.0" and read back as zero, written "0.0": same number.
bool SameValue(const std::string& a, const std::string& b) {
    return a == b || ((a == "-0.0" || a == "0.0") && (b == "-0.0" || b == "0.0"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ParameterModel model;
    InitSetups(model);
    LoadPresetDocument(model, IniDocument::Parse(bytes));
    CheckModel(model);

    const std::vector<PresetKey> keys = PresetKeys(model);
    Check(keys.size() == static_cast<std::size_t>(kPresetKeyCount));
    ParameterModel again = model;
    LoadPresetDocument(again, IniDocument::Parse(FileText(keys)));
    CheckModel(again);
    const std::vector<PresetKey> reread = PresetKeys(again);
    for (std::size_t i = 0; i < keys.size(); ++i) Check(SameValue(reread[i].value, keys[i].value));
    return 0;
}
