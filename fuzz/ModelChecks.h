#pragma once

// The limits every model keeps, whatever file or amplifier its values came from: the fuzz targets
// trap on the first value outside them.
#include <cmath>
#include <cstdint>

#include "model/ParameterModel.h"

namespace vantrel::fuzz {

inline void Check(bool condition) {
    if (!condition) __builtin_trap();
}

inline bool Within(float value, double low, double high) {
    return std::isfinite(value) && value >= low && value <= high;
}

inline bool IsSwitch(std::uint8_t value) { return value <= 1; }

inline bool IsSlope(std::uint8_t value) {
    return value == 6 || value == 12 || value == 24 || value == 36 || value == 48;
}

inline bool IsWhole(float value) { return std::trunc(value) == value; }

inline void CheckChannel(const ChannelRecord& ch) {
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

inline void CheckModel(const ParameterModel& m) {
    Check(m.CurrentSetupIndex >= 0 && m.CurrentSetupIndex < kSetupCount);
    Check(m.ChannelNum == 1 || m.ChannelNum == 2 || m.ChannelNum == 4 || m.ChannelNum == 6);
    Check(m.Mode == 0 || m.Mode == 2);
    Check(m.ANS == 0 || m.ANS == 255);
    for (const std::int32_t mark : m.MarkIndex) Check(mark >= 0 && mark < kChannelMarkCount);
    for (const SetupRecord& setup : m.Setups) {
        Check(setup.GroupFlag <= 0x3F && setup.GroupEQFlag <= 0x3F);
        for (const ChannelRecord& ch : setup.Channels) CheckChannel(ch);
    }
}

}  // namespace vantrel::fuzz
