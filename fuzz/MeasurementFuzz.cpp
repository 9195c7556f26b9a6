// Reads arbitrary text as a measurement: either an error naming what is wrong, or points with
// positive, finite, strictly rising frequencies and finite levels, never more than the limit; the
// reference level and the interpolation stay finite.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "curves/Measurement.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantrel;
    const MeasurementResult result =
        ParseMeasurement(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!result.Data) {
        if (result.Error.empty()) std::abort();
        return 0;
    }
    const auto& points = result.Data->Points;
    if (!result.Error.empty() || points.empty() || points.size() > kMaxMeasurementPoints) {
        std::abort();
    }
    for (std::size_t i = 0; i < points.size(); ++i) {
        const MeasurementPoint& p = points[i];
        if (!(p.Hz > 0.0) || !std::isfinite(p.Hz) || !std::isfinite(p.Db)) std::abort();
        if (p.PhaseDeg && !std::isfinite(*p.PhaseDeg)) std::abort();
        if (i > 0 && !(p.Hz > points[i - 1].Hz)) std::abort();
    }
    if (!std::isfinite(MeasurementReferenceDb(*result.Data))) std::abort();
    // Held to the measured range: the geometric mean of one point's frequency with itself can
    // round just below it.
    const double mid = std::clamp(std::sqrt(points.front().Hz) * std::sqrt(points.back().Hz),
                                  points.front().Hz, points.back().Hz);
    const auto level = MeasurementDbAt(*result.Data, mid);
    if (!level || !std::isfinite(*level)) std::abort();
    return 0;
}
