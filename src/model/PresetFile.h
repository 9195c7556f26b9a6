#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "model/ParameterModel.h"
#include "platform/IniFile.h"

namespace vantrel {

// Preset files: the whole ParameterModel as an INI file of 2682 keys in sections "DSPModel",
// "ChannelMark", "SetupIndex" and "Setup1".."Setup4". Key names hold literal backslashes
// ("Channel2\HighPass\Freq").
//
// Paths are paths of this system. A path stored in a file ("INI\Default.dat" in the settings) is
// the caller's to convert with PathFromStored before it reaches these functions.

// Keys per channel: level 2, high-pass 4, low-pass 4, delay 3, EQ bypass 1, then 4 per custom
// point and 3 per graphic band.
inline constexpr int kPresetChannelKeyCount =
    2 + 4 + 4 + 3 + 1 + 4 * kCustomPointCount + 3 * kEqBandCount;
// "DSPModel" 3, "ChannelMark" 6, "SetupIndex" 1, and per setup the two group flags and the
// channels.
inline constexpr int kPresetKeyCount =
    3 + kChannelCount + 1 + kSetupCount * (2 + kChannelCount * kPresetChannelKeyCount);

struct PresetKey {
    std::string section;
    std::string key;
    std::string value;
};

// Every key of the preset file of `model`, in writing order, values formatted as stored.
std::vector<PresetKey> PresetKeys(const ParameterModel& model);

// Writes the whole model in one atomic replace of `file`: the bytes are those 2682 single key
// writes into an emptied file would leave, but a failed save leaves any earlier file untouched.
// False, without writing and without progress texts, when the file cannot be created (missing
// folder, folder or existing file not writable, a folder in the way); false without
// "Save Completed" when the write itself fails.
// Progress texts: "Being Saved" after "DSPModel", then "Being Saved" and "Save 25%" .. "Save 100%"
// after each setup, then "Save Completed".
bool SavePresetFile(const ParameterModel& model, const std::filesystem::path& file,
                    const std::function<void(const std::string&)>& progress = {});

// Reads a preset into `model`; false, changing nothing, when the file cannot be read. Values out
// of range are limited (see PresetFile.cpp), so any file leaves a model the program can use.
// A setup key missing from the file leaves its field exactly as it was.
bool LoadPresetFile(ParameterModel& model, const std::filesystem::path& file);

// LoadPresetFile on a document already parsed.
void LoadPresetDocument(ParameterModel& model, const IniDocument& doc);

// Stores `presetPath` as "FliePath"/"Name" of an existing, writable settings file; never creates
// one. False when nothing was written.
bool RememberPresetPath(const std::filesystem::path& settingsFile, const std::string& presetPath);

}  // namespace vantrel
