#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "link/CDSPSocket.h"
#include "link/WorkerMessages.h"
#include "link/WorkerState.h"
#include "platform/Clock.h"

namespace vantrel {

// The worker's long procedures: connect sequence, setup download and store, firmware checks and
// update. Each runs on the worker thread, inside one worker message, and reports through the
// sink; questions go to the user through `questions`.
class DeviceProcedures {
public:
    DeviceProcedures(CDSPSocket& socket, WorkerState& state, WorkerSink& sink,
                     WorkerQuestions& questions, Clock& clock, std::filesystem::path dataFolder);

    // Connect sequence up to and including the activation; true when the amplifier is now
    // connected (the caller starts status polling and reads the status).
    bool ConnectSequence(const VersionRecord& version, int catalogueCount);
    // Setup download into the current and stored image and the worker setups.
    bool DownloadSetups();
    // Setup store of the window's setups, then activation of `activate`.
    bool StoreSetups(const SetupArray& window, std::uint8_t activate);

    enum class Checks { GoOn, End };
    Checks FirmwareChecks(const VersionRecord& version, int catalogueCount);
    // Both stages with the catalogue entry at `entryIndex`; settle = pause after the update.
    bool UpdateFirmware(const VersionRecord& version, std::size_t entryIndex, std::int64_t settleMs);
    // The update on demand (hot key).
    void UpdateOnDemand(const VersionRecord& version);

    // Rereads the catalogue file; a file that cannot be read leaves the previous catalogue.
    void ReloadCatalogue();

private:
    void PostText(const std::string& text, std::intptr_t lParam = 0);
    void PostPlain(std::uint32_t message);
    void SetBusy();
    void ClearBusy();
    // Sleeps on the clock in short steps; ends early once the socket is cancelled.
    void Pause(std::int64_t ms);
    // Up to three attempts of identify and download, a second apart.
    bool IdentifyAndDownload();
    // The device selection with a preselected model code; nothing for Cancel or an index outside
    // the worker's catalogue.
    std::optional<std::size_t> SelectDevice(std::uint16_t presetModelCode);
    // Model code of catalogue entry 0, or the last preselection when the catalogue is empty.
    std::uint16_t FirstEntryModelCode() const;
    // Stage 1, stage 2, update done and settle; false at the first failure.
    bool RunUpdateStages(const VersionRecord& version, std::size_t entryIndex,
                         std::int64_t settleMs);

    CDSPSocket& m_socket;
    WorkerState& m_state;
    WorkerSink& m_sink;
    WorkerQuestions& m_questions;
    Clock& m_clock;
    std::filesystem::path m_dataFolder;
    // The device selection's preselected model code; kept between selections, as one code of
    // the firmware checks leaves it unchanged.
    std::uint16_t m_presetModelCode = 0;
    bool m_connecting = false;  // the download under way ends a connect sequence
    std::uint32_t m_connectLink = 0;  // linkGeneration when the connect sequence began
};

}  // namespace vantrel
