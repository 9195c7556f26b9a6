// Loads arbitrary bytes as a preset over a started model and checks that every value is one the
// rest of the program can handle, then that writing the model and reading it back changes no
// written value (the limits agree with the file's own formats).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ModelChecks.h"
#include "model/ParameterModel.h"
#include "model/PresetFile.h"
#include "platform/IniFile.h"

namespace {

using namespace vantrel;

using fuzz::CheckModel;

// The file the keys make, written directly (SavePresetFile is tested to give these bytes).
std::string FileText(const std::vector<PresetKey>& keys) {
    std::string text;
    const std::string* section = nullptr;
    for (const PresetKey& k : keys) {
        if (section == nullptr || *section != k.section) {
            text += "[" + k.section + "]\r\n";
            section = &k.section;
        }
        text += k.key + "=" + k.value + "\r\n";
    }
    return text;
}

// A value just below zero is written "-0.0" and read back as zero, written "0.0": same number.
bool SameValue(const std::string& a, const std::string& b) {
    return a == b || ((a == "-0.0" || a == "0.0") && (b == "-0.0" || b == "0.0"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ParameterModel model;
    InitSetups(model);
    LoadPresetDocument(model, IniDocument::Parse(bytes));
    CheckModel(model);

    const std::vector<PresetKey> keys = PresetKeys(model);
    fuzz::Check(keys.size() == static_cast<std::size_t>(kPresetKeyCount));
    ParameterModel again = model;
    LoadPresetDocument(again, IniDocument::Parse(FileText(keys)));
    CheckModel(again);
    const std::vector<PresetKey> reread = PresetKeys(again);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        fuzz::Check(SameValue(reread[i].value, keys[i].value));
    }
    return 0;
}
