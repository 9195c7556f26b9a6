#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

#include "app/EditorContext.h"

namespace vantrel {

// The buttons that work on whole setups and files: the four setup buttons, Store, Reset, the
// reload on the WiFi button, Open and Save of preset files and the noise killer.
class SetupEditor {
public:
    static constexpr const char* kSaveQuestion =
        "Current setting not saved, Save before switching?";
    static constexpr const char* kReloadQuestion =
        "Current setting not saved, discard it and reload the setups from the amplifier?";
    static constexpr const char* kResetQuestion =
        "Current setting not saved, discard it and reset all setups?";
    static constexpr const char* kStoreFailed = "Setups not stored: the changes are still unsaved.";
    static constexpr const char* kOpenFailed = "Open preset fail!";
    static constexpr const char* kSaveFailed = "Save preset fail!";

    // `presetChanged` receives the path of a preset that was opened or saved: the window shows it
    // in its title and remembers it.
    SetupEditor(EditorContext& context,
                std::function<void(const std::filesystem::path&)> presetChanged)
        : m_ctx(context), m_presetChanged(std::move(presetChanged)) {}
    void Register(HandlerTable& table);

    // UM_STORE_FINISHED: only a store that succeeded makes its setups the saved ones.
    void OnStoreFinished(std::uint32_t request, bool stored);

private:
    void OnSetup(int s);
    void OnStore();
    void OnReset();
    void OnReload();
    void OnOpen();
    void OnSave();
    void OnNoiseKiller();

    void PostStore(int activate, bool switching);
    // The current setup's whole image and its level messages, as the rebuild writes them.
    void SendCurrentSetup();
    // A setup is entered unmuted; the amplifier learns it through the channels' gain words.
    void UnmuteSetup(int s);

    EditorContext& m_ctx;
    std::function<void(const std::filesystem::path&)> m_presetChanged;
};

}  // namespace vantrel
