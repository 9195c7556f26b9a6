#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace vantrel {

// The settings file, relative to the data folder.
inline constexpr const char* kSettingsFile = "INI/InitFile.dat";
// The preset file when the settings name none; stored form, see PathFromStored.
inline constexpr const char* kDefaultPresetPath = "INI\\Default.dat";

struct AppSettings {
    std::string presetPath;  // stored form, backslashes and all
    std::string title;
    std::string aboutMenu;
    std::string aboutTitle;
    std::string aboutVer;
    // The firmware version record as the amplifier reports it: ChannelNum, Mode, MCU main/sub,
    // DSP main/sub, two name characters, MCU main/sub of the second controller. Until the
    // amplifier answers, ChannelNum and Mode are assumed (4, 0) and the rest come from the file.
    std::array<std::uint8_t, 10> versionRecord{};
    std::string adaptorAddress;
    std::uint32_t adaptorPort = 0;
    std::string link;  // "Direct": connect straight to the adaptor, no WiFi management
};

// Reads every setting from `iniFile`, one read per key straight from the file; a missing file or
// key gives the defaults.
AppSettings ReadSettings(const std::filesystem::path& iniFile);

// `dataFolder`/INI/InitFile.dat.
std::filesystem::path SettingsFilePath(const std::filesystem::path& dataFolder);

}  // namespace vantrel
