#include "model/Scales.h"

#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "platform/IniFile.h"

namespace vantrel {

namespace {

// Half up for the non-negative values it is meant for: truncation of x + 0.5 toward zero.
double RoundHalfUp(double x) { return std::trunc(x + 0.5); }

// Limits that also catch NaN (a negative frequency's logarithm, say): anything that is not
// within or above the range ends up at the lower limit.
double Limit(double x, double lo, double hi) {
    if (x > hi) return hi;
    if (!(x >= lo)) return lo;
    return x;
}

// wcstod reads "nan"; a NaN typed or loaded is treated as text that does not parse, i.e. 0.
double NoNan(double x) { return std::isnan(x) ? 0.0 : x; }

// Stored results are 32-bit floats. Adding +0 turns a -0 (truncating -0.5 gives -0) into 0, so a
// value of zero never shows or saves as "-0.0".
float Store(double x) { return static_cast<float>(x) + 0.0f; }

double LogGridFreq(double hz, double step, double upper) {
    const double k = RoundHalfUp((std::log10(NoNan(hz)) - 1.0) / step);
    const double f = std::pow(10.0, 1.0 + step * k);
    return Limit(f, kMinFreq, upper);
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...) {
    char buffer[64];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof buffer)
        return std::string(buffer, static_cast<std::size_t>(n));
    // Only a huge value (a float near FLT_MAX printed with "%.2f") gets here.
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    text.resize(static_cast<std::size_t>(n));
    return text;
}

double LevelPercent(float levelVal) { return static_cast<double>(levelVal) * 0.0625 * 100.0; }

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

float QuantizeLevel(double percent) {
    const double level = NoNan(percent) * 16.0 / 100.0;
    if (level > 16.0) return 16.0f;
    if (level < 0.0) return 0.0f;
    return Store(RoundHalfUp(level));
}

float MaxCrossoverFreq(std::uint8_t mode) { return mode == 2 ? kMaxBassFreq : kMaxFreq; }

float QuantizeCrossoverFreq(double hz, std::uint8_t mode) {
    return Store(LogGridFreq(hz, 0.01, MaxCrossoverFreq(mode)));
}

float QuantizeEqFreq(double hz) { return Store(LogGridFreq(hz, 0.02, kMaxFreq)); }

float QuantizeEqGain(double db) {
    const double steps = NoNan(db) / 0.1;
    const double k = steps >= 0.0 ? std::trunc(steps + 0.5) : std::trunc(steps - 0.5);
    return Store(Limit(k * 0.1, -24.0, 6.0));
}

float QuantizeQ(double q) { return Store(Limit(RoundHalfUp(NoNan(q) / 0.1) * 0.1, 0.4, 24.0)); }

float QuantizeDelayTime(double ms) {
    return Store(Limit(RoundHalfUp(NoNan(ms) / 0.02) * 0.02, 0.0, 20.0));
}

float QuantizeDelayDistance(double cm) {
    const double d = Limit(RoundHalfUp(NoNan(cm) / 0.68) * 0.68, 0.0, 680.0);
    return Store(d / kCmPerMs);
}

float QuantizeTrim(double typedDb) {
    const double x = -NoNan(typedDb);
    return Store(Limit(RoundHalfUp(x / 0.1) * 0.1, 0.0, 30.0));
}

float FreqKnobPosition(double hz) {
    // A frequency that has no logarithm (0, negative, NaN, infinite) sits at the knob's end.
    const double f = (hz > 0.0) ? (std::isinf(hz) ? kMaxFreq : hz) : kMinFreq;
    return Store(RoundHalfUp(std::log10(f) / 0.02) * 0.02);
}

float FreqKnobMinimum() { return FreqKnobPosition(kMinFreq); }
float FreqKnobMaximum() { return FreqKnobPosition(kMaxFreq); }

float FreqFromKnob(double knobValue, std::uint8_t mode) {
    return QuantizeCrossoverFreq(std::pow(10.0, NoNan(knobValue)), mode);
}

float StepCrossoverFreq(double hz, int direction, std::uint8_t mode) {
    const double step = direction > 0 ? 0.01 : (direction < 0 ? -0.01 : 0.0);
    const double f = std::pow(10.0, std::log10(NoNan(hz)) + step);
    return Store(Limit(f, kMinFreq, MaxCrossoverFreq(mode)));
}

std::optional<double> ParseTypedNumber(std::string_view text) {
    bool blank = true;
    for (const char c : text) {
        if (!IsBlank(c)) {
            blank = false;
            break;
        }
    }
    if (blank) return std::nullopt;
    const std::optional<double> value = ParseLeadingReal(text);
    if (!value || !std::isfinite(*value)) return std::nullopt;
    return value;
}

std::string LevelText(float levelVal) { return Format("%.2f %%", LevelPercent(levelVal)); }

int LevelBarPercent(float levelVal) {
    const double percent = std::trunc(LevelPercent(levelVal));
    if (std::isnan(percent)) return 0;
    if (percent >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (percent <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(percent);
}

std::string FreqText(float hz) { return Format("%.0f Hz", static_cast<double>(hz)); }

std::string OverviewFreqText(float hz, bool on) {
    // "%0.f": field width 0, precision 0 - the same digits as "%.0f".
    return on ? Format("%0.f", static_cast<double>(hz)) : std::string("-");
}

std::string FilterTypeText(const ChannelRecord& ch, bool beyondEffectiveCount) {
    const bool hp = ch.HighPassOn != 0;
    const bool lp = ch.LowPassOn != 0;
    if (hp && lp) return "BPF";
    if (hp) return "HPF";
    if (lp) return "LPF";
    // A channel beyond the effective count with a filter on still shows its filter type: it is
    // what the record holds, and such a channel is normally reset with both filters off.
    return beyondEffectiveCount ? "-" : "OFF";
}

std::string DelayTimeText(float ms) { return Format("%.2f ms", static_cast<double>(ms)); }

std::string DelayDistanceText(float ms) {
    return Format("%.1f cm", static_cast<double>(ms) * kCmPerMs);
}

std::string TrimText(float trim) { return Format("%.1f dB", 0.0 - static_cast<double>(trim)); }

std::string OverviewDelayText(const ChannelRecord& ch) {
    return ch.DelayOn != 0 ? Format("%.2f", static_cast<double>(ch.DelayTime)) : std::string("-");
}

std::string OverviewTrimText(const ChannelRecord& ch) {
    return ch.DelayOn != 0 ? Format("%.1f", 0.0 - static_cast<double>(ch.Trim)) : std::string("-");
}

std::string EqStateText(const ChannelRecord& ch, bool beyondEffectiveCount) {
    if (beyondEffectiveCount) return "-";
    return ch.EQBypass == 0 ? "ON" : "OFF";
}

std::string GainText(float db) { return Format("%.1f dB", static_cast<double>(db)); }

std::string QText(float q) { return Format("%.1f", static_cast<double>(q)); }

std::string BandFreqPressedText(int band) {
    if (band < 0 || band >= kEqBandCount) return {};
    return Format("%d Hz", EqBandFrequencies[static_cast<std::size_t>(band)]);
}

}  // namespace vantrel
