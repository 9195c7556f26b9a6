#pragma once

// Conversions between the device image and the setups when all four setups are stored in or
// downloaded from the amplifier, and the window's takeover of downloaded setups.

#include <array>
#include <cstdint>

#include "model/DeviceCatalogue.h"
#include "model/DeviceImage.h"
#include "model/ParameterModel.h"

namespace vantrel {

using SetupArray = std::array<SetupRecord, kSetupCount>;

// Channels the conversions cover for an amplifier reporting `channelCode` (identity byte 0, read
// like ChannelNum): the effective count, at most the four the image holds.
int TransferChannelCount(std::uint8_t channelCode);

// The amplifier's active setup number as a setup index. Setups are 0..3; anything above reads
// as 0 (a byte of 4 included, which would otherwise index past the four setups).
int ActiveSetupIndex(std::uint8_t activeSetup);

// Store conversion: raw values of `window` into the image, for every setup and every covered
// channel. Delay, output gain, custom point gains and band gains are written whatever DelayOn,
// Mute and the bypasses say; on/off and bypass flags go to the switch record, which is rewritten
// whole (byte 2 = DelayOn); a filter that is off gets its four section types 0xFFFFFFFF; the
// enable pairs and all control words stay. The fields read are copied into `worker`.
void StoreConversion(const SetupArray& window, SetupArray& worker, DeviceImage& image,
                     std::uint8_t channelCode);

// Download conversion: the image into `worker`, for every setup and every covered channel; other
// fields of `worker` keep their contents. Bytes from the amplifier are not trusted: every field
// comes out finite and within the range the model allows (delay 0..20 ms, trim 0..30 dB, level
// 0..16, frequencies 16..20893 Hz, gains -24..+6 / -15..+6 dB, Q 0.4..24). The output gain word is
// read unsigned, since unity gain is 0x80000000; a gain of 0 (a channel muted by a single edit)
// gives the largest trim, 30 dB.
void DownloadConversion(const DeviceImage& image, std::uint8_t channelCode, SetupArray& worker);

// The window's side of a finished download: ChannelNum and Mode from the catalogue entry of the
// model code in image byte 137 (entry 0 when no entry has it; both kept when the catalogue is
// empty), ANS from the amplifier, the downloaded channels copied onto their grids, channels at or
// above the effective count reset, MasterMute and the group flags per setup, and the amplifier's
// active setup as the current one. Channels 5 and 6 of a six-channel model are not in the image
// and keep the window's values. Returns the entry used (for the model label and the title), or
// nullptr for an empty catalogue. The custom point knob limits of the reset channels are the
// window's to set.
const DeviceModelEntry* TakeOverSetups(ParameterModel& window, const SetupArray& downloaded,
                                       const DeviceImage& image, std::uint8_t noiseKiller,
                                       std::uint8_t activeSetup, const DeviceCatalogue& catalogue);

}  // namespace vantrel
