#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "link/AmpStatus.h"
#include "model/DeviceCatalogue.h"
#include "model/DeviceImage.h"
#include "model/SetupTransfer.h"

namespace vantrel {

// The firmware version record: ChannelNum, Mode, MCU main/sub of line 2, DSP main/sub, the two
// family letters, MCU main/sub of line 3.
using VersionRecord = std::array<std::uint8_t, 10>;

// The worker's device-side state. The worker thread owns most of it; what the window also reads
// or writes is either atomic or behind `mutex`, which is held only while copying.
struct WorkerState {
    // Worker thread only.
    std::array<std::uint8_t, 8> identity{};
    DeviceCatalogue catalogue;
    // Written by the worker under mutex; the window copies them after UM_SETUPS_LOADED.
    SetupArray setups{};
    std::uint8_t activeSetup = 0;

    // Shared with the window.
    mutable std::mutex mutex;
    DeviceImage current{};                        // guarded by mutex
    DeviceImage stored{};                         // guarded by mutex
    std::array<std::uint8_t, 6> channelAssign{};  // guarded by mutex
    StatusRecord status{};                        // guarded by mutex
    std::atomic<std::uint8_t> noiseKiller{255};
    std::atomic<bool> connected{false};
    // Counted up whenever the window finds the link down: a connect sequence sets `connected`
    // only on the link it started on.
    std::atomic<std::uint32_t> linkGeneration{0};
    std::atomic<bool> busy{false};
};

}  // namespace vantrel
