#pragma once

// A measured response exported as text by Room EQ Wizard (or any tool writing the same columns):
// lines starting with '*' are comments, every other non-empty line is frequency (Hz), SPL (dB)
// and optionally phase (degrees), separated by spaces, tabs, semicolons or commas.
//
// Commas: where a line's fields are separated by spaces, tabs or semicolons, a comma inside a
// number is a decimal comma ("1000,5 85,2" is 1000.5 and 85.2); where nothing else separates
// them, commas do ("1000,85.2" is 1000 and 85.2). A comma next to a space ("1000, 85.2") is a
// separator either way.
//
// The reader is strict: a line that is not two or three finite numbers, a frequency that is not
// positive or not above the one before, too many points or too large a file give an error naming
// the line, rather than a curve that silently differs from the file.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

inline constexpr std::size_t kMaxMeasurementPoints = 200000;
inline constexpr std::uintmax_t kMaxMeasurementFileBytes = 32u * 1024u * 1024u;
// Levels and phases a measurement may hold.
inline constexpr double kMaxMeasurementDb = 1000.0;
inline constexpr double kMaxMeasurementPhaseDeg = 1.0e6;
// The band whose mean level the overlay draws at 0 dB.
inline constexpr double kMeasurementReferenceLowHz = 200.0;
inline constexpr double kMeasurementReferenceHighHz = 2000.0;

struct MeasurementPoint {
    double Hz = 0.0;
    double Db = 0.0;
    std::optional<double> PhaseDeg;
};

struct Measurement {
    std::vector<MeasurementPoint> Points;  // frequencies strictly rising
};

struct MeasurementResult {
    std::optional<Measurement> Data;
    std::string Error;  // "line 12: ..." or what is wrong with the whole file; empty on success
};

MeasurementResult ParseMeasurement(std::string_view text);
MeasurementResult LoadMeasurement(const std::filesystem::path& path);

// The level the overlay shifts to 0 dB: the mean of the points within 200 Hz .. 2 kHz, or of all
// points when none lies there; 0 for an empty measurement.
double MeasurementReferenceDb(const Measurement& measurement);

// The level at `hz`, linear in log frequency between the points; nothing outside the measured
// range or for an empty measurement.
std::optional<double> MeasurementDbAt(const Measurement& measurement, double hz);

}  // namespace vantrel
