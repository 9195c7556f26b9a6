#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vantrel {

// The amplifier's answer to the identify command.
struct IdentityRecord {
    std::uint8_t channelNum = 0;  // 1 stands for two channels
    std::uint8_t modelCode = 0;
    std::uint8_t mcuMain = 0, mcuSub = 0;
    std::uint8_t dspMain = 0, dspSub = 0;
    std::array<char, 2> family{};  // "QV" regular firmware, "GM" firmware to be (re)installed
};

// The amplifier's answer to the status command, running time already in minutes.
struct StatusRecord {
    std::uint8_t voltage = 0;      // 0.1 V units
    std::uint8_t temperature = 0;  // raw converter value
    std::uint8_t protection = 0;
    std::uint32_t runningMinutes = 0;
};

IdentityRecord DecodeIdentity(const std::uint8_t reply[8]);
// Running time arrives big-endian in 10-minute units.
StatusRecord DecodeStatus(const std::uint8_t reply[8]);

double SupplyVolts(const StatusRecord& status);
// Degrees Celsius from the thermistor divider reading, truncated toward zero; 0 for a reading
// that is zero or negative as a signed byte.
int TemperatureCelsius(std::uint8_t raw);

// The status display texts.
std::string FormatVoltage(const StatusRecord& status);      // "12.4 V"
std::string FormatTemperature(const StatusRecord& status);  // "45 C"
std::string FormatRunningTime(const StatusRecord& status);  // "1234 m"

}  // namespace vantrel
