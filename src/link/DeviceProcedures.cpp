#include "link/DeviceProcedures.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/FirmwareFiles.h"
#include "model/DeviceCatalogue.h"
#include "model/SetupTransfer.h"

namespace vantrel {

namespace {

constexpr const char* kTextLoading = "Loading setup data, please wait...";
constexpr const char* kTextCommFail = "Communication fail, please retry.";
constexpr const char* kTextGetOk = "Get setup data OK.";
constexpr const char* kTextGetFail = "Get setup data fail!";
constexpr const char* kTextSaveOk = "Save setup data OK.";
constexpr const char* kTextSaveFail = "Save setup data fail!";
constexpr const char* kTextUpdating = "Updating in progress, please wait...";
constexpr const char* kTextUpdateOk = "Firmare update success!";
constexpr const char* kTextUpdateFail = "Update fail!";
constexpr const char* kOfferLinkFail =
    "Adaptor link to amplifier fail, Please check connection between amplifier and adaptor. Or "
    "try updating amplifier firmware to fix.\n Press Yes to update firmware.";
constexpr const char* kOfferNewFirmware =
    "New firmware available, Update?\n Note: All setup will lost!";

// Amplifier memory the transfers use.
constexpr std::uint16_t kNoiseKillerAddress = 20584;
constexpr std::uint16_t kChannelAssignAddress = 20585;
constexpr std::uint16_t kActiveSetupAddress = 20591;
constexpr std::uint16_t kMcuImageAddress = 0;

constexpr std::uint32_t kSmallReadTimeoutMs = 20000;
constexpr std::uint32_t kImageReadTimeoutMs = 150000;
constexpr std::uint32_t kSmallWriteTimeoutMs = 20000;
constexpr std::uint32_t kImageWriteTimeoutMs = 120000;
constexpr std::uint32_t kMcuWriteTimeoutMs = 200000;
constexpr std::uint32_t kConnectLoadSetupTimeoutMs = 5000;
constexpr std::uint32_t kStoreLoadSetupTimeoutMs = 10000;

constexpr int kDownloadAttempts = 3;
constexpr std::int64_t kAttemptPauseMs = 1000;
constexpr std::int64_t kDownloadFailPauseMs = 100;
constexpr std::int64_t kStagePauseMs = 15000;
constexpr std::int64_t kConnectSettleMs = 15000;
constexpr std::int64_t kOnDemandSettleMs = 12000;
constexpr std::int64_t kPauseStepMs = 50;

// The MCU image carries the amplifier's identity (CMD_IDENTIFY layout) at this offset.
constexpr std::size_t kIdentityBlockOffset = 20728;
constexpr std::size_t kIdentityBlockSize = 8;
// Model codes above this take the line-3 firmware.
constexpr std::uint16_t kLastLine2ModelCode = 9;

bool IsFamily(const std::array<std::uint8_t, 8>& identity, char first, char second) {
    return identity[6] == static_cast<std::uint8_t>(first) &&
           identity[7] == static_cast<std::uint8_t>(second);
}

bool IsBass(const DeviceModelEntry& entry) { return entry.Type == kBassAmplifierType; }

}  // namespace

DeviceProcedures::DeviceProcedures(CDSPSocket& socket, WorkerState& state, WorkerSink& sink,
                                   WorkerQuestions& questions, Clock& clock,
                                   std::filesystem::path dataFolder)
    : m_socket(socket),
      m_state(state),
      m_sink(sink),
      m_questions(questions),
      m_clock(clock),
      m_dataFolder(std::move(dataFolder)) {}

void DeviceProcedures::PostText(const std::string& text, std::intptr_t lParam) {
    WindowMessage message;
    message.message = UM_RESULT_TEXT;
    message.text = text;
    message.lParam = lParam;
    m_sink.PostToWindow(std::move(message));
}

void DeviceProcedures::PostPlain(std::uint32_t number) {
    WindowMessage message;
    message.message = number;
    m_sink.PostToWindow(std::move(message));
}

void DeviceProcedures::SetBusy() {
    m_state.busy = true;
    PostPlain(UM_BUSY);
}

void DeviceProcedures::ClearBusy() { m_state.busy = false; }

// Short steps, so that a worker being stopped never sits out a long pause.
void DeviceProcedures::Pause(std::int64_t ms) {
    while (ms > 0 && !m_socket.IsCancelled()) {
        const std::int64_t step = std::min(ms, kPauseStepMs);
        m_clock.SleepMs(step);
        ms -= step;
    }
}

void DeviceProcedures::ReloadCatalogue() {
    if (auto catalogue = LoadDeviceCatalogue(m_dataFolder / kCatalogueFile)) {
        m_state.catalogue = std::move(*catalogue);
    }
}

bool DeviceProcedures::ConnectSequence(const VersionRecord& version, int catalogueCount) {
    PostText(kTextLoading);
    m_state.identity[0] = version[0];
    m_state.identity[1] = version[1];
    ReloadCatalogue();

    SetBusy();
    const bool identified = m_socket.Identify(m_state.identity.data());
    ClearBusy();
    if (!identified) {
        m_state.connected = false;
        PostText(kTextCommFail);
        PostPlain(UM_COMM_FAIL);
        return false;
    }

    // A declined or failed update leaves nothing downloaded: the tool is not connected then,
    // whatever an earlier sequence left in the flag.
    if (FirmwareChecks(version, catalogueCount) == Checks::End) {
        m_state.connected = false;
        return false;
    }

    m_connecting = true;
    // The flag is earned on the link as it is now; a drop meanwhile makes the sequence's result
    // stale.
    m_connectLink = m_state.linkGeneration;
    const bool downloaded = IdentifyAndDownload();
    m_connecting = false;
    if (!downloaded) {
        m_state.connected = false;
        return false;
    }
    m_socket.LoadSetup(m_state.activeSetup, kConnectLoadSetupTimeoutMs);
    m_state.connected = m_state.linkGeneration == m_connectLink;
    return true;
}

bool DeviceProcedures::IdentifyAndDownload() {
    for (int attempt = 0; attempt < kDownloadAttempts; ++attempt) {
        if (attempt > 0) Pause(kAttemptPauseMs);
        if (m_socket.Identify(m_state.identity.data()) && DownloadSetups()) return true;
    }
    return false;
}

bool DeviceProcedures::DownloadSetups() {
    std::string type;
    if (const auto index = FindCatalogueEntry(m_state.catalogue, m_state.identity[1])) {
        type = m_state.catalogue.Entries[*index].Type;
    }
    const auto memory = AssembleTemplateImage(
        FirmwarePairPath(m_dataFolder, type == kBassAmplifierType ? "E3" : "E2"));
    if (!memory || memory->size() < kDeviceImageAddress + kDeviceImageSize) return false;

    // The template fills in whatever a failed read leaves.
    {
        std::lock_guard lock(m_state.mutex);
        m_state.activeSetup =
            static_cast<std::uint8_t>(ActiveSetupIndex((*memory)[kActiveSetupAddress]));
        std::copy_n(memory->begin() + kDeviceImageAddress, kDeviceImageSize,
                    m_state.current.begin());
    }

    SetBusy();
    bool ok = false;
    std::array<std::uint8_t, 6> assign{};
    std::uint8_t active = 0;
    std::uint8_t noiseKiller = 0;
    // Large, so kept off the stack of the worker thread.
    auto image = std::make_unique<DeviceImage>();
    if (m_socket.ReadMemory(kChannelAssignAddress, static_cast<std::uint16_t>(assign.size()),
                            assign.data(), kSmallReadTimeoutMs)) {
        std::lock_guard lock(m_state.mutex);
        m_state.channelAssign = assign;
        ok = true;
    }
    if (ok) {
        ok = m_socket.ReadMemory(kActiveSetupAddress, 1, &active, kSmallReadTimeoutMs);
        // Setups are 0..3; any other byte would index past them.
        if (ok) {
            std::lock_guard lock(m_state.mutex);
            m_state.activeSetup = static_cast<std::uint8_t>(ActiveSetupIndex(active));
        }
    }
    if (ok) {
        ok = m_socket.ReadMemory(kNoiseKillerAddress, 1, &noiseKiller, kSmallReadTimeoutMs);
        if (ok) m_state.noiseKiller = noiseKiller;
    }
    if (ok) {
        ok = m_socket.ReadMemory(kDeviceImageAddress, static_cast<std::uint16_t>(kDeviceImageSize),
                                 image->data(), kImageReadTimeoutMs);
    }

    if (!ok) {
        ClearBusy();
        Pause(kDownloadFailPauseMs);
        PostText(kTextGetFail);
        return false;
    }

    {
        // The window copies the setups and the image under the same lock when it takes them over.
        std::lock_guard lock(m_state.mutex);
        DownloadConversion(*image, m_state.identity[0], m_state.setups);
        m_state.current = *image;
        m_state.stored = *image;
    }
    ClearBusy();
    PostText(kTextGetOk);
    // A connect is complete once identified and downloaded: the window may send from the moment
    // it takes the setups over, for instance the tune it chose to keep.
    if (m_connecting) m_state.connected = m_state.linkGeneration == m_connectLink;
    PostPlain(UM_SETUPS_LOADED);
    return true;
}

bool DeviceProcedures::StoreSetups(const SetupArray& window, std::uint8_t activate) {
    // Converted into the current image itself, under the lock, so that no window edit made
    // meanwhile is lost; what is sent is a private copy.
    auto image = std::make_unique<DeviceImage>();
    std::array<std::uint8_t, 6> assign{};
    {
        std::lock_guard lock(m_state.mutex);
        StoreConversion(window, m_state.setups, m_state.current, m_state.identity[0]);
        *image = m_state.current;
        assign = m_state.channelAssign;
    }
    const std::uint8_t noiseKiller = m_state.noiseKiller;

    SetBusy();
    // A write counts only when the amplifier answers with a non-zero value.
    bool ok =
        m_socket.WriteMemory(kChannelAssignAddress, assign.data(),
                             static_cast<std::uint16_t>(assign.size()), kSmallWriteTimeoutMs) != 0;
    ok =
        ok && m_socket.WriteMemory(kNoiseKillerAddress, &noiseKiller, 1, kSmallWriteTimeoutMs) != 0;
    ok = ok && m_socket.WriteMemory(kDeviceImageAddress, image->data(),
                                    static_cast<std::uint16_t>(kDeviceImageSize),
                                    kImageWriteTimeoutMs) != 0;
    if (!ok) {
        ClearBusy();
        PostText(kTextSaveFail);
        return false;
    }

    m_socket.LoadSetup(activate, kStoreLoadSetupTimeoutMs);
    {
        // The stored image is what the amplifier now holds, even if the window edited the
        // current image while the store ran.
        std::lock_guard lock(m_state.mutex);
        m_state.stored = *image;
    }
    ClearBusy();
    PostText(kTextSaveOk);
    return true;
}

std::optional<std::size_t> DeviceProcedures::SelectDevice(std::uint16_t presetModelCode) {
    m_presetModelCode = presetModelCode;
    const auto chosen = m_questions.SelectDevice(m_state.catalogue, m_presetModelCode);
    // An index outside our own catalogue names no model: as good as Cancel.
    if (!chosen || *chosen >= m_state.catalogue.Entries.size()) return std::nullopt;
    return *chosen;
}

std::uint16_t DeviceProcedures::FirstEntryModelCode() const {
    return m_state.catalogue.Entries.empty() ? m_presetModelCode
                                             : m_state.catalogue.Entries.front().ModelCode;
}

DeviceProcedures::Checks DeviceProcedures::FirmwareChecks(const VersionRecord& version,
                                                          int catalogueCount) {
    const auto& d = m_state.identity;
    const auto& v = version;

    if (d[0] == 0 && IsFamily(d, 'G', 'M')) {
        if (!m_questions.AskYesNo(kOfferLinkFail)) return Checks::End;
        const auto index = SelectDevice(FirstEntryModelCode());
        if (!index) return Checks::End;
        if (!UpdateFirmware(version, *index, kConnectSettleMs)) return Checks::End;
    }

    if (IsFamily(d, 'G', 'M')) {
        if (!m_questions.AskYesNo(kOfferNewFirmware)) return Checks::End;
        if (d[0] >= 1 && d[0] <= 4) {
            // Channel codes 1..4 suggest a model; code 3 keeps the last preselection.
            static constexpr std::uint16_t kPresetForChannels[] = {4, 0, 0, 1};
            const std::uint16_t preset =
                d[0] == 3 ? m_presetModelCode : kPresetForChannels[d[0] - 1];
            const auto index = SelectDevice(preset);
            if (!index) return Checks::End;
            if (!UpdateFirmware(version, *index, kConnectSettleMs)) return Checks::End;
        }
    }

    if (IsFamily(d, 'Q', 'V')) {
        const bool belowLine2 = v[2] > d[2] || (v[2] == d[2] && v[3] > d[3]);
        const bool betweenLines = v[2] < d[2] && d[2] < v[8];
        const bool belowLine3 = d[2] == v[8] && d[3] < v[9];
        const bool dspBelow = v[4] > d[4] || (v[4] == d[4] && v[5] > d[5]);
        if (belowLine2 || betweenLines || belowLine3 || dspBelow) {
            if (!m_questions.AskYesNo(kOfferNewFirmware)) return Checks::End;
            const std::uint16_t preset =
                d[1] > catalogueCount ? static_cast<std::uint16_t>(catalogueCount) : d[1];
            const auto index = SelectDevice(preset);
            if (!index) return Checks::End;
            if (!UpdateFirmware(version, *index, kConnectSettleMs)) return Checks::End;
        }
    }
    return Checks::GoOn;
}

bool DeviceProcedures::UpdateFirmware(const VersionRecord& version, std::size_t entryIndex,
                                      std::int64_t settleMs) {
    PostText(kTextUpdating);
    SetBusy();
    if (!RunUpdateStages(version, entryIndex, settleMs)) {
        ClearBusy();
        PostText(kTextUpdateFail);
        return false;
    }
    ClearBusy();
    PostText(kTextUpdateOk);
    return true;
}

bool DeviceProcedures::RunUpdateStages(const VersionRecord& version, std::size_t entryIndex,
                                       std::int64_t settleMs) {
    if (entryIndex >= m_state.catalogue.Entries.size()) return false;
    const DeviceModelEntry entry = m_state.catalogue.Entries[entryIndex];
    const bool line2 = entry.ModelCode <= kLastLine2ModelCode;

    const auto dsp =
        AssembleFirmwareImage(FirmwarePairPath(m_dataFolder, line2 ? "D2" : "D3"), kDspImageLimit);
    if (!dsp || !m_socket.WriteFirmware(dsp->data(), static_cast<std::uint16_t>(dsp->size()))) {
        return false;
    }
    Pause(kStagePauseMs);

    auto mcu = AssembleFirmwareImage(FirmwarePairPath(m_dataFolder, IsBass(entry) ? "E3" : "E2"),
                                     kMcuImageLimit);
    // An image without room for the identity block is not one the amplifier can run.
    if (!mcu || mcu->size() < kIdentityBlockOffset + kIdentityBlockSize) return false;
    std::uint8_t* block = mcu->data() + kIdentityBlockOffset;
    block[0] = entry.Channels;
    block[1] = static_cast<std::uint8_t>(entry.ModelCode & 0xFF);
    block[2] = line2 ? version[2] : version[8];
    block[3] = line2 ? version[3] : version[9];
    block[4] = version[4];
    block[5] = version[5];
    block[6] = version[6];
    block[7] = version[7];
    if (m_socket.WriteMemory(kMcuImageAddress, mcu->data(), static_cast<std::uint16_t>(mcu->size()),
                             kMcuWriteTimeoutMs) == 0) {
        return false;
    }

    m_socket.UpdateDone();
    Pause(settleMs);
    return true;
}

void DeviceProcedures::UpdateOnDemand(const VersionRecord& version) {
    m_state.identity[0] = version[0];
    m_state.identity[1] = version[1];
    ReloadCatalogue();
    if (!m_questions.AskYesNo(kOfferNewFirmware)) return;
    const auto index = SelectDevice(FirstEntryModelCode());
    if (!index) return;
    if (!UpdateFirmware(version, *index, kOnDemandSettleMs)) return;
    if (IdentifyAndDownload()) {
        m_socket.LoadSetup(m_state.activeSetup, kConnectLoadSetupTimeoutMs);
    }
}

}  // namespace vantrel
