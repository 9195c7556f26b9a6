#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/ParameterModel.h"

namespace vantrel {

// Frequency limits of crossovers and custom points.
inline constexpr float kMinFreq = 16.0f;
inline constexpr float kMaxFreq = 20893.0f;
inline constexpr float kMaxBassFreq = 302.0f;  // Mode 2 ("ClassD Bass")
inline constexpr float kCmPerMs = 34.0f;

// Typed or loaded values onto their grids and limits. Every result is a 32-bit float; rounding is
// half up (truncate(x + 0.5)) unless the function says otherwise.
float QuantizeLevel(double percent);
float QuantizeCrossoverFreq(double hz, std::uint8_t mode);
float QuantizeEqFreq(double hz);
float QuantizeEqGain(double db);
float QuantizeQ(double q);
float QuantizeDelayTime(double ms);
float QuantizeDelayDistance(double cm);  // returns DelayTime in ms
float QuantizeTrim(double typedDb);      // typed as a negative number, returns attenuation
float FreqKnobPosition(double hz);
// Custom point frequency from a knob value in log10(Hz).
float FreqFromKnob(double knobValue, std::uint8_t mode);
// One plus/minus step of a crossover frequency (direction +1 or -1), limited.
float StepCrossoverFreq(double hz, int direction, std::uint8_t mode);
float MaxCrossoverFreq(std::uint8_t mode);

// The number a typed box starts with, as the C library's strtod reads it ("12.5 Hz" is 12.5).
// Nothing for an empty box and for text that starts with no finite number ("abc", "-", "nan"):
// such an edit changes nothing, where reading it as 0 would send a wrong value.
std::optional<double> ParseTypedNumber(std::string_view text);

// Display texts.
std::string LevelText(float levelVal);             // "%.2f %%" of LevelVal x 6.25
int LevelBarPercent(float levelVal);               // LevelVal x 6.25, truncated
std::string FreqText(float hz);                    // "%.0f Hz"
std::string OverviewFreqText(float hz, bool on);   // "%0.f" or "-"
// "HPF", "LPF", "BPF", "OFF"; "-" for a channel beyond the effective count with both filters off.
std::string FilterTypeText(const ChannelRecord& ch, bool beyondEffectiveCount);
std::string DelayTimeText(float ms);               // "%.2f ms"
std::string DelayDistanceText(float ms);           // "%.1f cm" of ms x 34
std::string TrimText(float trim);                  // "%.1f dB" of 0 - Trim
std::string OverviewDelayText(const ChannelRecord& ch);  // "%.2f" or "-"
std::string OverviewTrimText(const ChannelRecord& ch);   // "%.1f" or "-"
std::string EqStateText(const ChannelRecord& ch, bool beyondEffectiveCount);  // "ON", "OFF", "-"
std::string GainText(float db);                    // "%.1f dB"
std::string QText(float q);                        // "%.1f"
std::string BandFreqPressedText(int band);         // "%d Hz" of EqBandFrequencies[band]

// Range of the custom point frequency knob in log10(Hz): FreqKnobPosition of 16 Hz and of
// 20893 Hz (1.2 and 4.32).
float FreqKnobMinimum();
float FreqKnobMaximum();

}  // namespace vantrel
