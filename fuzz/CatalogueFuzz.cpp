// Parses arbitrary bytes as a device catalogue, looks model codes up, and drives the device
// selection through every list choice and OK, checking that every answer stays in range.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/DeviceCatalogue.h"
#include "model/DeviceSelection.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

bool IsChannelNum(std::uint8_t n) { return n == 1 || n == 2 || n == 4 || n == 6; }

void CheckSelection(const vantrel::DeviceSelection& dialog) {
    const auto& entries = dialog.Catalogue().Entries;
    const auto& filtered = dialog.FilteredEntries();
    Check(dialog.ModelListNames().size() == filtered.size());
    for (std::size_t i = 0; i < filtered.size(); ++i) {
        Check(filtered[i] < entries.size());
        Check(i == 0 || filtered[i - 1] < filtered[i]);  // catalogue order
    }
    const int model = dialog.ModelListIndex();
    Check(model == vantrel::kNoListItem ||
          (model >= 0 && static_cast<std::size_t>(model) < filtered.size()));
    Check(dialog.Selected().has_value() == (model != vantrel::kNoListItem));
    const std::optional<std::uint8_t> ok = dialog.Ok();
    Check(ok.has_value() == dialog.Selected().has_value());
    if (ok) {
        Check(*ok < entries.size() && *ok != vantrel::kDeviceSelectCancelled);
        Check(entries[*ok].Name == dialog.Selected()->Name);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const vantrel::DeviceCatalogue catalogue = vantrel::ParseDeviceCatalogue(bytes);
    Check(catalogue.Entries.size() <= vantrel::kMaxCatalogueEntries);

    for (const vantrel::DeviceModelEntry& entry : catalogue.Entries) {
        Check(IsChannelNum(vantrel::EntryChannelNum(entry)));
        Check(vantrel::EntryMode(entry) == 0 || vantrel::EntryMode(entry) == 2);
    }
    const std::uint16_t code = size >= 2 ? static_cast<std::uint16_t>(data[0] | data[1] << 8) : 0;
    for (const std::uint16_t lookup : {code, std::uint16_t{3}, std::uint16_t{0xFFFF}}) {
        const std::optional<std::size_t> index = vantrel::FindCatalogueEntry(catalogue, lookup);
        Check(!index || catalogue.Entries[*index].ModelCode == lookup);
        std::uint8_t channelNum = 4;
        std::uint8_t mode = 0;
        const vantrel::DeviceModelEntry* entry =
            vantrel::ApplyCatalogueEntry(catalogue, lookup, channelNum, mode);
        Check((entry == nullptr) == catalogue.Entries.empty());
        Check(IsChannelNum(channelNum) && (mode == 0 || mode == 2));
    }

    vantrel::DeviceSelection dialog(catalogue, code);
    CheckSelection(dialog);
    // Every model, then every channel count under every type, with a model pick in between.
    for (int m = -1; m <= static_cast<int>(dialog.FilteredEntries().size()); ++m) {
        dialog.SelectModel(m);
        CheckSelection(dialog);
    }
    for (int t = -1; t <= static_cast<int>(vantrel::kTypeList.size()); ++t) {
        dialog.SelectType(t);
        CheckSelection(dialog);
        for (int c = -1; c <= static_cast<int>(vantrel::kChannelsList.size()); ++c) {
            dialog.SelectChannels(c);
            CheckSelection(dialog);
            const int last = static_cast<int>(dialog.FilteredEntries().size()) - 1;
            dialog.SelectModel(last);
            CheckSelection(dialog);
        }
    }
    Check(vantrel::DeviceSelection::Cancel() == vantrel::kDeviceSelectCancelled);
    return 0;
}
