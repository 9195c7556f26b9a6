#include "model/PresetFile.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>
#include <system_error>
#include <type_traits>

#include "model/Scales.h"
#include "model/TimeAlignment.h"

namespace vantrel {

// Limits applied when a preset is loaded. A file written by this program always lies within them;
// anything else (hand edits, other tools, damage) is brought to the nearest value the rest of the
// program can handle, and no value is moved onto a finer grid than the file's own format:
// - CurrentSetupIndex: 0..3; MarkIndex: 0..20; LevelVal: 0..16.
// - ChannelNum: the nearest of 1, 2, 4, 6; a tie goes up (3 -> 4, 5 -> 6), so no channel a file
//   describes is hidden. The next download from the amplifier sets it anyway.
// - Mode: 2 stays 2, anything else is 0 (the only two modes there are).
// - ANS: 0 stays 0, anything else is 255 (the amplifier knows only these two).
// - Slopes: the nearest of 6, 12, 24, 36, 48; a tie goes to the steeper slope, the safer one for
//   the driver behind the filter.
// - Switches (on, lock, bypass): any non-zero number is 1.
// - GroupFlag, GroupEQFlag: the six bits that name channels; bits 6 and 7 name none.
// - Crossover and custom point frequencies: 16..20893 Hz. Mode 2's limit of 302 Hz is not
//   applied: a preset's Mode is only a hint until the amplifier reports its own, and every editor
//   applies the limit of the current Mode when the value is next changed.
// - Band Freq (informational, drawn by the response curves): 16..20893 Hz, as a whole number.
// - Gains: custom points -24..+6 dB, bands -15..+6 dB; Q 0.4..24; DelayTime 0..20 ms;
//   Trim 0..30 dB.
// - A number out of range is limited on the value written in the file, not on its low byte, so
//   268 is too steep a slope, not a slope of 12.
// - "nan" reads as text that is not a number: 0, then limited. "inf" and "1e999" are limited like
//   any large number.

namespace {

struct Range {
    double low;
    double high;
};

constexpr Range kFreqRange{kMinFreq, kMaxFreq};
constexpr Range kDistanceRange{0.0, kMaxDistanceCm};
constexpr Range kLevelRange{0.0, 16.0};
constexpr Range kCustomGainRange{-24.0, 6.0};
constexpr Range kBandGainRange{-15.0, 6.0};
constexpr Range kQRange{0.4, 24.0};
constexpr Range kDelayRange{0.0, 20.0};
constexpr Range kTrimRange{0.0, 30.0};

constexpr std::array<long, 5> kSlopes = {6, 12, 24, 36, 48};
constexpr std::array<long, 4> kChannelNums = {1, 2, 4, 6};
constexpr std::uint8_t kGroupBits = 0x3F;
constexpr long kMaxMarkIndex = kChannelMarkCount - 1;

constexpr const char* kDspModel = "DSPModel";
constexpr const char* kChannelMark = "ChannelMark";
constexpr const char* kSetupIndex = "SetupIndex";
// Speaker distances for time alignment: a section of its own after the setups, written only when
// a distance was measured, so files without it stay as they always were.
constexpr const char* kDistance = "Distance";

std::size_t At(int i) { return static_cast<std::size_t>(i); }

// ---- formats ----

// "%i".
std::string IntText(long value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// "%i" of a whole-number float field, truncated toward zero. A value no int can hold (never one
// this program makes) is written as the nearest one rather than converted undefinedly.
std::string TruncatedText(float value) {
    double v = std::isnan(value) ? 0.0 : static_cast<double>(value);
    v = std::clamp(v, -2147483648.0, 2147483647.0);
    return IntText(static_cast<long>(v));
}

// "%.1f", always with '.', whatever the process locale says.
std::string RealText(float value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                      std::chars_format::fixed, 1);
    return result.ec == std::errc{} ? std::string(buffer, result.ptr) : std::string("0.0");
}

// ---- limits ----

long ClampLong(long value, long low, long high) { return std::clamp(value, low, high); }

template <std::size_t N>
long Nearest(const std::array<long, N>& allowed, long value) {
    // Far-out values first, so the distances below cannot overflow.
    value = std::clamp(value, allowed.front(), allowed.back());
    long best = allowed.front();
    for (const long candidate : allowed) {
        // Ascending candidates: "<=" lets the higher of two equally near ones win.
        if (std::labs(value - candidate) <= std::labs(value - best)) best = candidate;
    }
    return best;
}

std::uint8_t Byte(long value) { return static_cast<std::uint8_t>(value); }

float LimitReal(double value, Range range) {
    if (std::isnan(value)) value = 0.0;
    value = std::clamp(value, range.low, range.high);
    // No "-0.0" in the model: it would show as "-0.0 dB" or "-0.00 ms".
    if (value == 0.0) value = 0.0;
    return static_cast<float>(value);
}

float LimitWhole(long value, Range range) {
    return static_cast<float>(
        ClampLong(value, static_cast<long>(range.low), static_cast<long>(range.high)));
}

// ---- one table of setup keys for writing and reading ----

std::string DistanceKey(int s, int c) {
    return "Setup" + std::to_string(s + 1) + "Channel" + std::to_string(c + 1);
}

// Visits every key of a setup section in file order with its field, its format (by the visitor
// member called) and its limits. `Setup` is SetupRecord or const SetupRecord.
template <typename Setup, typename Visitor>
void VisitSetup(Setup& setup, Visitor& v) {
    v.Flags("GroupFlag", setup.GroupFlag);
    v.Flags("GroupEQFlag", setup.GroupEQFlag);
    for (int c = 0; c < kChannelCount; ++c) {
        auto& ch = setup.Channels[At(c)];
        const std::string channel = "Channel" + std::to_string(c + 1) + "\\";
        v.Switch(channel + "Levle\\Lock", ch.LevelLock);
        v.Whole(channel + "Levle\\LevelVal", ch.LevelVal, kLevelRange);
        v.Switch(channel + "HighPass\\ON", ch.HighPassOn);
        v.Switch(channel + "HighPass\\Lock", ch.HighPassLock);
        v.Slope(channel + "HighPass\\Slope", ch.HighPassSlope);
        v.Real(channel + "HighPass\\Freq", ch.HighPassFreq, kFreqRange);
        v.Switch(channel + "LowPass\\ON", ch.LowPassOn);
        v.Switch(channel + "LowPass\\Lock", ch.LowPassLock);
        v.Slope(channel + "LowPass\\Slope", ch.LowPassSlope);
        v.Real(channel + "LowPass\\Freq", ch.LowPassFreq, kFreqRange);
        v.Switch(channel + "Delay\\ON", ch.DelayOn);
        v.Real(channel + "Delay\\Time", ch.DelayTime, kDelayRange);
        v.Real(channel + "Delay\\Trim", ch.Trim, kTrimRange);
        v.Switch(channel + "EQ\\Bypass", ch.EQBypass);
        for (int i = 0; i < kCustomPointCount; ++i) {
            auto& point = ch.CustomEQ[At(i)];
            const std::string prefix = channel + "EQ\\CustomEQ" + std::to_string(i + 1) + "\\";
            v.Real(prefix + "Freq", point.Freq, kFreqRange);
            v.Real(prefix + "Gain", point.Gain, kCustomGainRange);
            v.Real(prefix + "Q", point.Q, kQRange);
            v.Switch(prefix + "Bypass", point.Bypass);
        }
        for (int b = 0; b < kEqBandCount; ++b) {
            auto& band = ch.EQBand[At(b)];
            const std::string prefix = channel + "EQ\\EQBand" + std::to_string(b + 1) + "\\";
            v.Real(prefix + "Gain", band.Gain, kBandGainRange);
            v.Real(prefix + "Q", band.Q, kQRange);
            v.Whole(prefix + "Freq", band.Freq, kFreqRange);
        }
    }
}

template <typename Put>
struct SetupWriter {
    const std::string& section;
    Put& put;

    void Flags(const std::string& key, std::uint8_t value) { put(section, key, IntText(value)); }
    void Switch(const std::string& key, std::uint8_t value) { put(section, key, IntText(value)); }
    void Slope(const std::string& key, std::uint8_t value) { put(section, key, IntText(value)); }
    void Whole(const std::string& key, float value, Range) {
        put(section, key, TruncatedText(value));
    }
    void Real(const std::string& key, float value, Range) { put(section, key, RealText(value)); }
};

// Every key in file order through put(section, key, value); progress texts at the points where
// the key-by-key writer showed them.
template <typename Put, typename Report>
void WritePreset(const ParameterModel& model, Put&& put, Report&& report) {
    put(kDspModel, "ChannelNum", IntText(model.ChannelNum));
    put(kDspModel, "Mode", IntText(model.Mode));
    put(kDspModel, "ANS", IntText(model.ANS));
    report("Being Saved");
    for (int c = 0; c < kChannelCount; ++c) {
        put(kChannelMark, "Channel" + std::to_string(c + 1) + "MarkIndex",
            IntText(model.MarkIndex[At(c)]));
    }
    put(kSetupIndex, "CurrentSetupIndex", IntText(model.CurrentSetupIndex));
    for (int s = 0; s < kSetupCount; ++s) {
        const std::string section = "Setup" + std::to_string(s + 1);
        SetupWriter<std::remove_reference_t<Put>> writer{section, put};
        VisitSetup(model.Setups[At(s)], writer);
        report("Being Saved");
        report("Save " + std::to_string((s + 1) * 100 / kSetupCount) + "%");
    }
    for (int s = 0; s < kSetupCount; ++s) {
        for (int c = 0; c < kChannelCount; ++c) {
            const float d = model.Setups[At(s)].Distance[At(c)];
            if (d > 0.0f) put(kDistance, DistanceKey(s, c), RealText(d));
        }
    }
}

// ---- reading ----

// A key's text as read through a 32-character buffer, or nothing when the key is missing.
std::optional<std::string> NumberText(const IniDocument& doc, std::string_view section,
                                      std::string_view key) {
    std::optional<std::string> value = doc.FindValue(section, key);
    if (value) *value = CutToBuffer(*value, kIniNumberBufferChars);
    return value;
}

// Missing keys leave their field exactly as it is. (Reading with the field's own text as the
// default would round a DelayTime of 0.14 to 0.1 merely because its key is absent.)
struct SetupReader {
    const IniDocument& doc;
    const std::string& section;

    std::optional<long> Long(const std::string& key) const {
        const std::optional<std::string> text = NumberText(doc, section, key);
        if (!text) return std::nullopt;
        return ParseIniLong(*text);
    }

    void Flags(const std::string& key, std::uint8_t& field) const {
        if (const auto v = Long(key)) field = Byte(*v & kGroupBits);
    }
    void Switch(const std::string& key, std::uint8_t& field) const {
        if (const auto v = Long(key)) field = *v != 0 ? 1 : 0;
    }
    void Slope(const std::string& key, std::uint8_t& field) const {
        if (const auto v = Long(key)) field = Byte(Nearest(kSlopes, *v));
    }
    void Whole(const std::string& key, float& field, Range range) const {
        if (const auto v = Long(key)) field = LimitWhole(*v, range);
    }
    void Real(const std::string& key, float& field, Range range) const {
        const std::optional<std::string> text = NumberText(doc, section, key);
        if (text) field = LimitReal(ParseIniReal(*text), range);
    }
};

long ReadLong(const IniDocument& doc, std::string_view section, std::string_view key,
              std::string_view def) {
    return ParseIniLong(doc.GetString(section, key, def, kIniNumberBufferChars));
}

// The file can be created or replaced by us: its folder exists and is writable, and an existing
// file is a writable non-folder. A read-only preset stays as it is, although the rename of an
// atomic replace would not ask.
bool CanCreate(const std::filesystem::path& file) {
    namespace fs = std::filesystem;
    if (file.filename().empty()) return false;
    std::error_code ec;
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, ec) || ::access(folder.c_str(), W_OK | X_OK) != 0) return false;
    const fs::file_status status = fs::status(file, ec);
    if (!fs::exists(status)) return true;
    return !fs::is_directory(status) && ::access(file.c_str(), W_OK) == 0;
}

}  // namespace

std::vector<PresetKey> PresetKeys(const ParameterModel& model) {
    std::vector<PresetKey> keys;
    keys.reserve(kPresetKeyCount);
    WritePreset(
        model,
        [&keys](std::string_view section, std::string_view key, std::string value) {
            keys.push_back({std::string(section), std::string(key), std::move(value)});
        },
        [](const std::string&) {});
    return keys;
}

bool SavePresetFile(const ParameterModel& model, const std::filesystem::path& file,
                    const std::function<void(const std::string&)>& progress) {
    if (!CanCreate(file)) return false;
    const auto report = [&progress](const std::string& text) {
        if (progress) progress(text);
    };
    // Built from empty with the same single-key edits WriteIniString makes, so the bytes are
    // those of the key-by-key writer; written once, atomically.
    IniDocument doc;
    bool ok = true;
    WritePreset(
        model,
        [&](std::string_view section, std::string_view key, const std::string& value) {
            ok = doc.SetString(section, key, value) && ok;
        },
        report);
    if (!ok || !doc.SaveAtomic(file)) return false;
    report("Save Completed");
    return true;
}

void LoadPresetDocument(ParameterModel& model, const IniDocument& doc) {
    model.ChannelNum = Byte(Nearest(kChannelNums, ReadLong(doc, kDspModel, "ChannelNum", "4")));
    model.Mode = ReadLong(doc, kDspModel, "Mode", "0") == 2 ? 2 : 0;
    if (const auto ans = NumberText(doc, kDspModel, "ANS")) {
        model.ANS = ParseIniLong(*ans) != 0 ? 255 : 0;
    }
    for (int c = 0; c < kChannelCount; ++c) {
        const std::string key = "Channel" + std::to_string(c + 1) + "MarkIndex";
        model.MarkIndex[At(c)] = static_cast<std::int32_t>(
            ClampLong(ReadLong(doc, kChannelMark, key, "0"), 0, kMaxMarkIndex));
    }
    model.CurrentSetupIndex = static_cast<std::int32_t>(
        ClampLong(ReadLong(doc, kSetupIndex, "CurrentSetupIndex", "0"), 0, kSetupCount - 1));
    for (int s = 0; s < kSetupCount; ++s) {
        const std::string section = "Setup" + std::to_string(s + 1);
        SetupReader reader{doc, section};
        VisitSetup(model.Setups[At(s)], reader);
    }
    // The distances belong to the car the file was made in: a file without them has none.
    for (int s = 0; s < kSetupCount; ++s) {
        for (int c = 0; c < kChannelCount; ++c) {
            float& d = model.Setups[At(s)].Distance[At(c)];
            d = 0.0f;
            if (const auto text = NumberText(doc, kDistance, DistanceKey(s, c))) {
                d = LimitReal(ParseIniReal(*text), kDistanceRange);
            }
        }
    }
}

bool LoadPresetFile(ParameterModel& model, const std::filesystem::path& file) {
    const std::optional<IniDocument> doc = IniDocument::Load(file);
    if (!doc) return false;
    LoadPresetDocument(model, *doc);
    return true;
}

bool RememberPresetPath(const std::filesystem::path& settingsFile, const std::string& presetPath) {
    // Only a settings file that exists and that we may write: never create one.
    if (::access(settingsFile.c_str(), W_OK) != 0) return false;
    std::optional<IniDocument> doc = IniDocument::Load(settingsFile);
    return doc && doc->SetString("FliePath", "Name", presetPath) && doc->SaveAtomic(settingsFile);
}

}  // namespace vantrel
