// Parses arbitrary bytes as an INI file, reads every section and key through every getter, writes
// a key and checks that the result reads back and survives a second parse unchanged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/IniFile.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

void ReadEverything(const vantrel::IniDocument& doc) {
    for (const std::string& section : doc.SectionNames()) {
        for (const std::string& key : doc.KeyNames(section)) {
            Check(doc.FindValue(section, key).has_value());
            for (const std::size_t buffer : {std::size_t{0}, std::size_t{1}, std::size_t{2},
                                             std::size_t{7}, vantrel::kIniDefaultBufferChars}) {
                const std::string value = doc.GetString(section, key, "d", buffer);
                Check(vantrel::Utf16FromStored(value).size() + 1 <= (buffer == 0 ? 1 : buffer));
            }
            (void)doc.GetInt(section, key, 3);
            (void)doc.GetReal(section, key, 3.0);
        }
        (void)doc.FindValue(section, "");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    vantrel::IniDocument doc = vantrel::IniDocument::Parse(bytes);
    ReadEverything(doc);
    (void)vantrel::PathFromStored(bytes);
    (void)vantrel::ParseIniLong(bytes);
    (void)vantrel::ParseIniReal(bytes.substr(0, 64));

    // Unmodified files come back byte for byte.
    Check(doc.Serialize() == bytes);

    // Write into the last section (or a new one) under a key taken from the input.
    const auto sections = doc.SectionNames();
    const std::string section = sections.empty() ? std::string("Fuzz") : sections.back();
    const std::string key(bytes.substr(0, size % 8));
    const std::string value = "v" + std::to_string(size);
    if (doc.SetString(section, key, value)) {
        Check(doc.FindValue(section, key) == value);
        Check(doc.GetInt(section, key, 5) == 0);
    }
    const std::string written = doc.Serialize();
    const vantrel::IniDocument reread = vantrel::IniDocument::Parse(written);
    Check(reread.Serialize() == written);
    Check(reread.SectionNames() == doc.SectionNames());
    for (const std::string& name : doc.SectionNames()) {
        Check(reread.KeyNames(name) == doc.KeyNames(name));
        for (const std::string& k : doc.KeyNames(name)) {
            Check(reread.FindValue(name, k) == doc.FindValue(name, k));
        }
    }
    ReadEverything(reread);
    return 0;
}
