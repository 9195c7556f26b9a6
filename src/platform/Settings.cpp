#include "platform/Settings.h"

#include "platform/IniFile.h"

namespace vantrel {

namespace {

constexpr std::size_t kTextChars = 256;
constexpr std::size_t kPathChars = 1024;

// A version field: read as text like every number in this file, then truncated to a byte (300 is
// 44, -3 is 253).
std::uint8_t VersionByte(const std::filesystem::path& file, const char* key, const char* def) {
    const long value = ParseIniLong(ReadIniString(file, "DSPVer", key, def, kIniNumberBufferChars));
    return static_cast<std::uint8_t>(static_cast<unsigned long>(value) & 0xFFu);
}

}  // namespace

AppSettings ReadSettings(const std::filesystem::path& iniFile) {
    AppSettings s;

    s.presetPath = ReadIniString(iniFile, "FliePath", "Name", "", kPathChars);
    if (s.presetPath.empty()) s.presetPath = kDefaultPresetPath;

    s.title = ReadIniString(iniFile, "OEM", "Title", "", kTextChars);
    s.aboutMenu = ReadIniString(iniFile, "OEM", "AboutMenu", "", kTextChars);
    s.aboutTitle = ReadIniString(iniFile, "OEM", "AboutTitle", "", kTextChars);
    s.aboutVer = ReadIniString(iniFile, "OEM", "AboutVer", "", kTextChars);

    s.versionRecord[0] = 4;  // ChannelNum
    s.versionRecord[1] = 0;  // Mode
    // The two name characters; a missing or one-character name leaves zeros.
    const std::u16string name =
        Utf16FromStored(ReadIniString(iniFile, "DSPVer", "Name", "", kTextChars));
    for (std::size_t i = 0; i < 2 && i < name.size(); ++i) {
        s.versionRecord[6 + i] = static_cast<std::uint8_t>(name[i] & 0xFFu);
    }
    s.versionRecord[2] = VersionByte(iniFile, "MCUMainVer", "1");
    s.versionRecord[3] = VersionByte(iniFile, "MCUSubVer", "0");
    s.versionRecord[8] = VersionByte(iniFile, "MCUMainVer3", "1");
    s.versionRecord[9] = VersionByte(iniFile, "MCUSubVer3", "0");
    s.versionRecord[4] = VersionByte(iniFile, "DSPMainVer", "1");
    s.versionRecord[5] = VersionByte(iniFile, "DSPSubVer", "0");

    s.adaptorAddress = ReadIniString(iniFile, "Server", "IP", "", kTextChars);
    // Out-of-range ports wrap to 32 bits here; whoever opens the connection judges them.
    s.adaptorPort = static_cast<std::uint32_t>(static_cast<unsigned long>(
        ParseIniLong(ReadIniString(iniFile, "Server", "Port", "58000", kIniNumberBufferChars))));
    s.link = ReadIniString(iniFile, "Server", "Link", "", kTextChars);
    return s;
}

std::filesystem::path SettingsFilePath(const std::filesystem::path& dataFolder) {
    return dataFolder / kSettingsFile;
}

}  // namespace vantrel
