#pragma once

#include <QColor>
#include <QString>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/IniFile.h"

namespace vantrel {

// Where the skin file lies, as the program names it, relative to the data folder.
inline constexpr std::string_view kSkinFilePath = "PNGRes\\Res.Pic";

// The skin file, parsed once and then read key by key with the profile rules: section and key
// names without regard to case, blanks around values dropped, a missing file, section or key
// giving the default.
class SkinReader {
public:
    // A reader without a file: every key reads its default.
    SkinReader() = default;
    explicit SkinReader(IniDocument document);

    // Nothing readable at `file` gives a reader without a file; that is not an error.
    static SkinReader Load(const std::filesystem::path& file);
    // The skin file of a data folder.
    static SkinReader LoadFromDataFolder(const std::filesystem::path& dataFolder);

    bool HasFile() const { return m_document.has_value(); }

    // Text of at most 31 characters (default "0") converted like wcstol: "12abc" is 12, "abc" 0.
    // Values beyond the 32-bit range stop at its ends, as a 32-bit long would.
    int ReadSkinInt(std::string_view section, std::string_view key) const;
    // Text of at most 31 characters converted like wcstod; the default depends on the key
    // (SkinFloatDefault).
    float ReadSkinFloat(std::string_view section, std::string_view key) const;
    // At most 255 characters, default empty.
    QString ReadSkinString(std::string_view section, std::string_view key) const;
    // Three integer keys as red, green and blue; the low 8 bits of each value count (300 is 44).
    QColor ReadSkinColor(std::string_view section, std::string_view redKey,
                         std::string_view greenKey, std::string_view blueKey) const;

private:
    std::optional<IniDocument> m_document;
};

// Default of a real key, as the text the reader falls back on: "12.6" for "ValLeft", "-27.0" for
// "ValTop", "25119.0" for "ValRigth", "9.0" for "ValBottom", "0.0" for any other key.
std::string_view SkinFloatDefault(std::string_view key);

// A colour component from a skin integer: its low 8 bits.
int SkinColorComponent(int value);

struct SkinBackground {
    QString fileName;  // as written in the skin file
    int left = 0;
    int top = 0;
};

// The three backgrounds: main page, EQ page and the spectrum display window. "Left" and "Top" are
// kept as read; nothing places a window by them.
struct SkinBackgrounds {
    SkinBackground main;
    SkinBackground eq;
    SkinBackground spectrum;
};

SkinBackground ReadSkinBackground(const SkinReader& skin, std::string_view section);
SkinBackgrounds LoadSkinBackgrounds(const SkinReader& skin);

}  // namespace vantrel
