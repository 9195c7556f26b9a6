#include "link/AmpStatus.h"

#include <cmath>
#include <cstdio>

namespace vantrel {

IdentityRecord DecodeIdentity(const std::uint8_t reply[8]) {
    IdentityRecord id;
    id.channelNum = reply[0];
    id.modelCode = reply[1];
    id.mcuMain = reply[2];
    id.mcuSub = reply[3];
    id.dspMain = reply[4];
    id.dspSub = reply[5];
    id.family = {static_cast<char>(reply[6]), static_cast<char>(reply[7])};
    return id;
}

StatusRecord DecodeStatus(const std::uint8_t reply[8]) {
    StatusRecord status;
    status.voltage = reply[0];
    status.temperature = reply[1];
    status.protection = reply[2];
    const std::uint32_t tens = (std::uint32_t{reply[4]} << 24) | (std::uint32_t{reply[5]} << 16) |
                               (std::uint32_t{reply[6]} << 8) | std::uint32_t{reply[7]};
    status.runningMinutes = tens * 10u;
    return status;
}

double SupplyVolts(const StatusRecord& status) { return status.voltage * 0.1; }

int TemperatureCelsius(std::uint8_t raw) {
    // 100-kOhm NTC (beta 3950, referenced to 298 K) under 15 kOhm from 5 V, read by an 8-bit
    // converter with a 3.3-V reference.
    const double t = static_cast<std::int8_t>(raw);
    const double v = t / 255.0 * 3.3;
    if (v <= 0) return 0;
    const double r = (75000.0 - v * 15000.0) / v / 100000.0;
    if (r <= 0) return 0;
    const double celsius = 1.0 / (std::log(r) / 3950.0 + 0.003355704697986577) - 273.0;
    if (!std::isfinite(celsius)) return 0;
    return static_cast<int>(celsius);
}

std::string FormatVoltage(const StatusRecord& status) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f V", SupplyVolts(status));
    return text;
}

std::string FormatTemperature(const StatusRecord& status) {
    char text[32];
    std::snprintf(text, sizeof text, "%d C", TemperatureCelsius(status.temperature));
    return text;
}

std::string FormatRunningTime(const StatusRecord& status) {
    char text[32];
    std::snprintf(text, sizeof text, "%lu m", static_cast<unsigned long>(status.runningMinutes));
    return text;
}

}  // namespace vantrel
