#include "skin/SkinReader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <utility>

namespace vantrel {

namespace {

// Numbers are read as text into a 32-character buffer, texts into a 256-character one.
constexpr std::size_t kTextBufferChars = 256;

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        return lower(x) == lower(y);
    });
}

}  // namespace

SkinReader::SkinReader(IniDocument document) : m_document(std::move(document)) {}

SkinReader SkinReader::Load(const std::filesystem::path& file) {
    std::optional<IniDocument> document = IniDocument::Load(file);
    return document ? SkinReader(std::move(*document)) : SkinReader();
}

SkinReader SkinReader::LoadFromDataFolder(const std::filesystem::path& dataFolder) {
    return Load(dataFolder / PathFromStored(kSkinFilePath));
}

int SkinReader::ReadSkinInt(std::string_view section, std::string_view key) const {
    const std::string text = m_document
                                 ? m_document->GetString(section, key, "0", kIniNumberBufferChars)
                                 : std::string("0");
    return static_cast<int>(std::clamp<long>(ParseIniLong(text), INT_MIN, INT_MAX));
}

float SkinReader::ReadSkinFloat(std::string_view section, std::string_view key) const {
    const std::string_view def = SkinFloatDefault(key);
    const std::string text = m_document
                                 ? m_document->GetString(section, key, def, kIniNumberBufferChars)
                                 : std::string(def);
    return static_cast<float>(ParseIniReal(text));
}

QString SkinReader::ReadSkinString(std::string_view section, std::string_view key) const {
    if (!m_document) return {};
    return QString::fromStdString(m_document->GetString(section, key, "", kTextBufferChars));
}

QColor SkinReader::ReadSkinColor(std::string_view section, std::string_view redKey,
                                 std::string_view greenKey, std::string_view blueKey) const {
    return QColor(SkinColorComponent(ReadSkinInt(section, redKey)),
                  SkinColorComponent(ReadSkinInt(section, greenKey)),
                  SkinColorComponent(ReadSkinInt(section, blueKey)));
}

std::string_view SkinFloatDefault(std::string_view key) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kDefaults = {{
        {"ValLeft", "12.6"},
        {"ValTop", "-27.0"},
        {"ValRigth", "25119.0"},
        {"ValBottom", "9.0"},
    }};
    for (const auto& [name, value] : kDefaults) {
        if (SameName(name, key)) return value;
    }
    return "0.0";
}

int SkinColorComponent(int value) { return value & 0xFF; }

SkinBackground ReadSkinBackground(const SkinReader& skin, std::string_view section) {
    SkinBackground background;
    background.fileName = skin.ReadSkinString(section, "FileName");
    background.left = skin.ReadSkinInt(section, "Left");
    background.top = skin.ReadSkinInt(section, "Top");
    return background;
}

SkinBackgrounds LoadSkinBackgrounds(const SkinReader& skin) {
    return {ReadSkinBackground(skin, "MainBkg"), ReadSkinBackground(skin, "EqBkg"),
            ReadSkinBackground(skin, "SpBkg")};
}

}  // namespace vantrel
