#include "curves/Measurement.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <system_error>

#include "platform/FileText.h"

namespace vantrel {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == ';'; }

// Frequency, SPL, phase. A line is given up on once it has more, so that one endless line cannot
// fill the memory with fields.
constexpr std::size_t kMaxFields = 3;

std::string FieldCountError(std::size_t count) {
    return "expected frequency, SPL and optional phase, found " +
           (count > kMaxFields ? "more than 3" : std::to_string(count)) + " fields";
}

// The fields of one line, or an error text.
bool SplitFields(std::string_view line, std::vector<std::string>& fields, std::string& error) {
    fields.clear();
    std::string current;
    auto flush = [&] {
        if (!current.empty()) fields.push_back(current);
        current.clear();
    };
    for (std::size_t i = 0; i < line.size() && fields.size() <= kMaxFields; ++i) {
        const char c = line[i];
        if (IsSpace(c)) {
            flush();
        } else if (c == ',') {
            // Next to a space or at the edge of a field it separates.
            const bool edge = current.empty() || i + 1 == line.size() || IsSpace(line[i + 1]);
            if (edge) {
                flush();
            } else {
                current += c;
            }
        } else {
            current += c;
        }
    }
    flush();
    if (fields.size() == 1) {
        // Nothing but commas between the numbers: they are the separators.
        const std::string whole = fields.front();
        fields.clear();
        std::size_t start = 0;
        for (std::size_t at = whole.find(','); fields.size() <= kMaxFields;
             at = whole.find(',', start)) {
            fields.push_back(whole.substr(start, at == std::string::npos ? at : at - start));
            if (at == std::string::npos) break;
            start = at + 1;
        }
    } else {
        // Fields separated otherwise: a comma left inside a number is a decimal comma.
        for (std::string& field : fields) {
            const auto commas = std::count(field.begin(), field.end(), ',');
            if (commas == 0) continue;
            if (commas > 1 || field.find('.') != std::string::npos) {
                error = "\"" + field + "\" is not a number";
                return false;
            }
            std::replace(field.begin(), field.end(), ',', '.');
        }
    }
    if (fields.size() < 2 || fields.size() > kMaxFields) {
        error = FieldCountError(fields.size());
        return false;
    }
    return true;
}

bool ParseNumber(const std::string& field, double& value) {
    const char* first = field.data();
    const char* last = first + field.size();
    if (first != last && *first == '+') ++first;  // from_chars takes no plus sign
    const auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last && std::isfinite(value);
}

std::string AtLine(std::size_t line, const std::string& what) {
    return "line " + std::to_string(line) + ": " + what;
}

MeasurementResult Failed(std::string error) { return {std::nullopt, std::move(error)}; }

}  // namespace

MeasurementResult ParseMeasurement(std::string_view text) {
    // A UTF-8 byte order mark, as some editors write one.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    Measurement result;
    std::vector<std::string> fields;
    std::string error;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '*') continue;

        if (!SplitFields(line.substr(first), fields, error))
            return Failed(AtLine(lineNumber, error));
        if (fields.size() < 2 || fields.size() > 3) {
            return Failed(AtLine(lineNumber, "expected frequency, SPL and optional phase, found " +
                                                 std::to_string(fields.size()) + " fields"));
        }
        MeasurementPoint point;
        double phase = 0.0;
        if (!ParseNumber(fields[0], point.Hz) || !ParseNumber(fields[1], point.Db) ||
            (fields.size() == 3 && !ParseNumber(fields[2], phase))) {
            return Failed(
                AtLine(lineNumber, "\"" + std::string(line) + "\" is not a row of numbers"));
        }
        if (fields.size() == 3) point.PhaseDeg = phase;
        if (!(point.Hz > 0.0))
            return Failed(AtLine(lineNumber, "the frequency must be above 0 Hz"));
        // No sound is measured outside these; sums and interpolation of such values would
        // overflow.
        if (!(std::abs(point.Db) <= kMaxMeasurementDb) ||
            !(std::abs(phase) <= kMaxMeasurementPhaseDeg)) {
            return Failed(AtLine(
                lineNumber,
                "the level or phase is out of range (level within +-" +
                    std::to_string(static_cast<int>(kMaxMeasurementDb)) + " dB, phase within +-" +
                    std::to_string(static_cast<int>(kMaxMeasurementPhaseDeg)) + " degrees)"));
        }
        if (!result.Points.empty() && !(point.Hz > result.Points.back().Hz)) {
            return Failed(AtLine(lineNumber, "the frequencies must rise from line to line"));
        }
        if (result.Points.size() == kMaxMeasurementPoints) {
            return Failed(AtLine(lineNumber,
                                 "more than " + std::to_string(kMaxMeasurementPoints) + " points"));
        }
        result.Points.push_back(point);
    }
    if (result.Points.empty()) return Failed("the file holds no measurement points");
    return {std::move(result), {}};
}

MeasurementResult LoadMeasurement(const std::filesystem::path& path) {
    const TextRead read = ReadTextFile(path, kMaxMeasurementFileBytes);
    if (!read.text) return Failed(read.error);
    return ParseMeasurement(*read.text);
}

double MeasurementReferenceDb(const Measurement& measurement) {
    double sum = 0.0;
    std::size_t n = 0;
    double all = 0.0;
    for (const MeasurementPoint& p : measurement.Points) {
        all += p.Db;
        if (p.Hz >= kMeasurementReferenceLowHz && p.Hz <= kMeasurementReferenceHighHz) {
            sum += p.Db;
            ++n;
        }
    }
    if (n > 0) return sum / static_cast<double>(n);
    if (measurement.Points.empty()) return 0.0;
    return all / static_cast<double>(measurement.Points.size());
}

std::optional<double> MeasurementDbAt(const Measurement& measurement, double hz) {
    const auto& pts = measurement.Points;
    if (pts.empty() || !(hz >= pts.front().Hz) || !(hz <= pts.back().Hz)) return std::nullopt;
    const auto above = std::upper_bound(
        pts.begin(), pts.end(), hz, [](double f, const MeasurementPoint& p) { return f < p.Hz; });
    if (above == pts.end()) return pts.back().Db;
    const MeasurementPoint& hi = *above;
    const MeasurementPoint& lo = *std::prev(above);
    const double t = std::log(hz / lo.Hz) / std::log(hi.Hz / lo.Hz);
    return lo.Db + t * (hi.Db - lo.Db);
}

}  // namespace vantrel
