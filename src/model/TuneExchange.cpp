#include "model/TuneExchange.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>

#include "model/Scales.h"

namespace vantrel {

namespace {

constexpr std::array<int, 5> kSlopes = {6, 12, 24, 36, 48};
constexpr int kMaxButterworthOrder = 8;
constexpr double kBandGainLow = -15.0;
constexpr double kBandGainHigh = 6.0;
constexpr double kPointGainLow = -24.0;
constexpr double kPointGainHigh = 6.0;
constexpr double kQLow = 0.4;
constexpr double kQHigh = 24.0;
constexpr double kButterworthQ = 0.70710678118654752;
// Sections within 1% of each other's frequency belong to one crossover; a Q within 2% of a
// Butterworth Q is that Q written with two decimals.
constexpr double kSameFreq = 0.01;
constexpr double kSameQ = 0.02;

std::size_t At(int i) { return static_cast<std::size_t>(i); }

// ---- numbers as text, never through the C locale ----

std::string Chars(double value, std::chars_format format, int precision) {
    char buffer[512];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    if (result.ec != std::errc{}) return "0";
    std::string text(buffer, result.ptr);
    // No "-0" for a negative value that rounds to zero.
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

// Exported numbers: fixed decimals.
std::string Fixed(double value, int decimals) {
    return Chars(value, std::chars_format::fixed, decimals);
}

// Numbers in messages: up to six significant digits, no trailing zeros.
std::string Short(double value) { return Chars(value, std::chars_format::general, 6); }

// YAML numbers: the float's shortest exact text, always with a decimal point so every reader
// takes it as a real number.
std::string Real(float value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value + 0.0f);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".en") == std::string::npos) text += ".0";
    return text;
}

// ---- reading lines ----

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> Lines(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::vector<std::string_view> Tokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsBlank(text[i])) ++i;
        if (i > start) tokens.push_back(text.substr(start, i - start));
    }
    return tokens;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

bool Same(std::string_view a, std::string_view b) { return Upper(a) == Upper(b); }

// A word of the file in a message: a few characters of it, not a whole damaged file.
std::string Shown(std::string_view word) {
    return word.size() <= 24 ? std::string(word) : std::string(word.substr(0, 21)) + "...";
}

// A number as these files write it: optional sign, decimal point or comma, exponent, maybe a
// unit written onto it ("1000Hz", "-3dB"). Nothing for anything else, and for infinities and NaN.
std::optional<double> ReadNumber(std::string_view token) {
    while (!token.empty() && IsLetter(token.back())) token.remove_suffix(1);
    std::string text(token);
    std::replace(text.begin(), text.end(), ',', '.');
    std::size_t start = 0;
    if (!text.empty() && text[0] == '+') start = 1;
    if (start == text.size() ||
        !(IsDigit(text[start]) || text[start] == '.' || (text[start] == '-' && start == 0))) {
        return std::nullopt;
    }
    double value = 0.0;
    const char* first = text.data() + start;
    const char* last = text.data() + text.size();
    const auto result = std::from_chars(first, last, value);
    if (result.ptr != last) return std::nullopt;
    // Beyond a double: as large as a double can be (limited later like any large value), or 0.
    if (result.ec == std::errc::result_out_of_range) {
        const std::size_t e = text.find_first_of("eE");
        const bool tiny = e != std::string::npos && e + 1 < text.size() && text[e + 1] == '-';
        value = tiny ? 0.0 : (text[start] == '-' ? -1e308 : 1e308);
    } else if (result.ec != std::errc{}) {
        return std::nullopt;
    }
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

// "000", "500,5": a further digit group of a number written with spaces between the groups.
bool IsDigitGroup(std::string_view token) {
    if (token.size() < 3 || !IsDigit(token[0]) || !IsDigit(token[1]) || !IsDigit(token[2])) {
        return false;
    }
    if (token.size() == 3) return true;
    if (token[3] != '.' && token[3] != ',') return false;
    return token.size() > 4 &&
           std::all_of(token.begin() + 4, token.end(), [](char c) { return IsDigit(c); });
}

struct Value {
    bool present = false;  // the keyword is there
    std::optional<double> number;
    std::string text;  // as written, for messages
};

// The value after keyword `key` ("Fc", "Gain", "Q"), or after "BW Oct".
Value KeywordValue(const std::vector<std::string_view>& tokens, std::string_view key) {
    Value value;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (!Same(tokens[i], key)) continue;
        value.present = true;
        std::size_t j = i + 1;
        if (Same(key, "BW") && j < tokens.size() && Same(tokens[j], "Oct")) ++j;
        if (j >= tokens.size()) return value;
        value.text = std::string(tokens[j]);
        // "1 000,5": digit groups after a first group of one to three digits.
        std::string joined(tokens[j]);
        bool open = joined.size() <= 3 &&
                    std::all_of(joined.begin(), joined.end(), [](char c) { return IsDigit(c); });
        while (open && j + 1 < tokens.size() && IsDigitGroup(tokens[j + 1])) {
            value.text += " ";
            value.text += tokens[j + 1];
            joined += tokens[j + 1];
            open = tokens[j + 1].size() == 3;
            ++j;
        }
        value.number = ReadNumber(joined);
        value.text = Shown(value.text);
        return value;
    }
    return value;
}

// ---- filters read from a file ----

enum class Kind { Peak, HighPass, LowPass };

struct Filter {
    std::string label;  // "Filter 3" or "Line 7"
    Kind kind = Kind::Peak;
    int order = 2;  // of a high- or low-pass section
    double fc = 1000.0;
    double gain = 0.0;
    double q = kButterworthQ;
};

struct ReadFile {
    std::vector<Filter> filters;
    std::optional<double> preampDb;
    std::optional<double> delayMs;
    int commands = 0;  // Preamp and Delay lines used
    std::vector<std::string> messages;
};

struct TypeInfo {
    Kind kind;
    int order;
    bool needsGain;
    bool needsQ;
};

std::optional<TypeInfo> FilterType(const std::string& type) {
    if (type == "PK" || type == "PEQ" || type == "MODAL")
        return TypeInfo{Kind::Peak, 2, true, true};
    if (type == "HP") return TypeInfo{Kind::HighPass, 2, false, false};
    if (type == "LP") return TypeInfo{Kind::LowPass, 2, false, false};
    if (type == "HPQ") return TypeInfo{Kind::HighPass, 2, false, true};
    if (type == "LPQ") return TypeInfo{Kind::LowPass, 2, false, true};
    if (type == "HP1") return TypeInfo{Kind::HighPass, 1, false, false};
    if (type == "LP1") return TypeInfo{Kind::LowPass, 1, false, false};
    return std::nullopt;
}

// Reads the part of a filter line after its colon; adds the filter or a message.
void ReadFilter(std::string_view body, const std::string& label, ReadFile& file) {
    const std::vector<std::string_view> tokens = Tokens(body);
    auto skip = [&](const std::string& why) { file.messages.push_back(label + ": " + why); };
    if (tokens.empty()) return skip("no filter settings, skipped");
    const std::string state = Upper(tokens[0]);
    if (state != "ON" && state != "OFF") return skip("neither ON nor OFF, skipped");
    if (tokens.size() < 2) return skip("no filter type, skipped");
    const std::string type = Upper(tokens[1]);
    if (type == "NONE") return;
    if (state == "OFF") return skip("OFF, skipped");
    const std::optional<TypeInfo> info = FilterType(type);
    if (!info) {
        return skip("type " + Shown(tokens[1]) +
                    " is not supported (only peaking, high-pass and low-pass filters), skipped");
    }
    const std::vector<std::string_view> params(tokens.begin() + 2, tokens.end());
    Filter filter;
    filter.label = label;
    filter.kind = info->kind;
    filter.order = info->order;

    const Value fc = KeywordValue(params, "Fc");
    if (!fc.number) {
        return skip(fc.present ? "Fc '" + fc.text + "' is not a number, skipped"
                               : "no Fc, skipped");
    }
    if (!(*fc.number > 0.0))
        return skip("Fc " + Short(*fc.number) + " Hz is no frequency, skipped");
    filter.fc = *fc.number;

    if (info->needsGain) {
        const Value gain = KeywordValue(params, "Gain");
        if (!gain.number) {
            return skip(gain.present ? "Gain '" + gain.text + "' is not a number, skipped"
                                     : "no Gain, skipped");
        }
        filter.gain = *gain.number;
    }
    const Value q = KeywordValue(params, "Q");
    const Value bw = KeywordValue(params, "BW");
    if (q.present && !q.number) return skip("Q '" + q.text + "' is not a number, skipped");
    if (!q.present && bw.present && !bw.number) {
        return skip("BW '" + bw.text + "' is not a number, skipped");
    }
    if (q.number && info->order == 2) {
        filter.q = *q.number;
    } else if (bw.number && info->kind == Kind::Peak) {
        // Bandwidth in octaves as the Q of the same filter.
        const double n = std::pow(2.0, *bw.number);
        filter.q = n > 1.0 ? std::sqrt(n) / (n - 1.0) : kQHigh * 2.0;
    } else if (info->needsQ) {
        return skip("no Q, skipped");
    }
    if (!(filter.q > 0.0)) return skip("Q " + Short(filter.q) + " is no quality, skipped");
    file.filters.push_back(filter);
}

// "Filter 12" -> 12 as a label, "Filter" -> the line number. Nothing when `head` is no filter
// command.
std::optional<std::string> FilterLabel(std::string_view head, int lineNumber) {
    head = Trim(head);
    if (head.size() < 6 || !Same(head.substr(0, 6), "Filter")) return std::nullopt;
    const std::string_view number = Trim(head.substr(6));
    if (number.empty()) return "Line " + std::to_string(lineNumber);
    if (!std::all_of(number.begin(), number.end(), [](char c) { return IsDigit(c); })) {
        return std::nullopt;
    }
    // Head and number are trimmed separately: "Filter12" is as good as "Filter 12".
    return "Filter " + std::string(number);
}

ReadFile ReadRew(std::string_view text) {
    ReadFile file;
    const std::vector<std::string_view> lines = Lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = Trim(lines[i]);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const auto label = FilterLabel(line.substr(0, colon), static_cast<int>(i + 1));
        if (label) ReadFilter(line.substr(colon + 1), *label, file);
    }
    return file;
}

// "Preamp: -3 dB", "Delay: 1.5 ms".
void ReadApoAmount(std::string_view command, std::string_view body, const std::string& label,
                   ReadFile& file) {
    const std::vector<std::string_view> tokens = Tokens(body);
    const bool preamp = Same(command, "Preamp");
    const std::string name = preamp ? "Preamp" : "Delay";
    const std::optional<double> number = tokens.empty() ? std::nullopt : ReadNumber(tokens[0]);
    if (!number) {
        file.messages.push_back(label + ": " + name + " without a number, ignored");
        return;
    }
    // The unit: the next word, or letters written onto the number.
    std::string_view unit = tokens.size() > 1 ? tokens[1] : std::string_view();
    if (unit.empty()) {
        const std::string_view t = tokens[0];
        std::size_t letters = 0;
        while (letters < t.size() && IsLetter(t[t.size() - 1 - letters])) ++letters;
        unit = t.substr(t.size() - letters);
    }
    if (preamp ? !(unit.empty() || Same(unit, "dB")) : !Same(unit, "ms")) {
        file.messages.push_back(label + ": " + name + " " + Short(*number) + " " +
                                (unit.empty() ? std::string("without a unit") : Shown(unit)) +
                                " ignored: only " + (preamp ? "dB" : "ms") + " can be taken over");
        return;
    }
    std::optional<double>& sum = preamp ? file.preampDb : file.delayMs;
    sum = sum.value_or(0.0) + *number;
    ++file.commands;
}

ReadFile ReadApo(std::string_view text) {
    ReadFile file;
    const std::vector<std::string_view> lines = Lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = Trim(lines[i]);
        if (line.empty() || line.front() == '#') continue;
        const std::string label = "Line " + std::to_string(i + 1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            file.messages.push_back(label + ": not a command, ignored");
            continue;
        }
        const std::string_view command = Trim(line.substr(0, colon));
        const std::string_view body = line.substr(colon + 1);
        if (const auto filterLabel = FilterLabel(command, static_cast<int>(i + 1))) {
            ReadFilter(body, *filterLabel, file);
        } else if (Same(command, "Preamp") || Same(command, "Delay")) {
            ReadApoAmount(command, body, label, file);
        } else if (Same(command, "Channel")) {
            file.messages.push_back(label +
                                    ": Channel: ignored; the filters of every channel "
                                    "section go into this one channel");
        } else {
            file.messages.push_back(label + ": " + Shown(command) +
                                    ": ignored (not a filter, preamp or delay)");
        }
    }
    return file;
}

// ---- onto the amplifier's grids ----

// The top of a frequency range is a value of its own: a typed frequency beyond it is held as the
// limit, which lies between two grid steps. Written out exactly and read back, it stays the limit
// rather than moving to the step below.
float AtLimitOr(float quantised, double in, float limit) {
    return static_cast<float>(in) == limit ? limit : quantised;
}

struct Imported {
    EqImport result;
    std::uint8_t mode = 0;

    void Note(const std::string& text) { result.messages.push_back(text); }

    // A message when `in` was limited to [lo, hi] or moved more than 1% (relative) onto a grid.
    void NoteValue(const std::string& label, const char* what, const char* unit, double in,
                   float out, double lo, double hi, const char* range, const char* grid) {
        const double o = static_cast<double>(out);
        if (in < lo || in > hi) {
            Note(label + ": " + what + " " + Short(in) + unit + " limited to " + Short(o) + unit +
                 " (" + range + ")");
        } else if (grid != nullptr && std::abs(o - in) > 0.01 * std::abs(in)) {
            Note(label + ": " + what + " " + Short(in) + unit + " rounded to " + Short(o) + unit +
                 " (" + grid + ")");
        }
    }

    EqPoint Point(const Filter& f) {
        EqPoint point;
        point.Freq = AtLimitOr(QuantizeEqFreq(f.fc), f.fc, kMaxFreq);
        point.Gain = QuantizeEqGain(f.gain);
        point.Q = QuantizeQ(f.q);
        point.Bypass = 0;
        NoteValue(f.label, "Fc", " Hz", f.fc, point.Freq, kMinFreq, kMaxFreq,
                  "custom point range 16..20893 Hz", "custom point steps of 1/50 decade");
        NoteValue(f.label, "gain", " dB", f.gain, point.Gain, kPointGainLow, kPointGainHigh,
                  "custom point range -24..+6 dB", nullptr);
        NoteValue(f.label, "Q", "", f.q, point.Q, kQLow, kQHigh, "Q range 0.4..24",
                  "Q steps of 0.1");
        return point;
    }
};

std::string Describe(const Filter& f) {
    return f.label + " (PK " + Short(f.fc) + " Hz, " + Short(f.gain) + " dB)";
}

void ImportPoints(const std::vector<Filter>& peaks, Imported& imp) {
    // The strongest four, kept in file order.
    std::vector<std::size_t> order(peaks.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return std::abs(peaks[a].gain) > std::abs(peaks[b].gain);
    });
    std::vector<bool> kept(peaks.size(), false);
    for (std::size_t i = 0; i < order.size() && i < At(kCustomPointCount); ++i)
        kept[order[i]] = true;

    // Points that are not bypassed first, so an exported channel comes back point for point.
    std::vector<int> slots;
    for (int pass = 0; pass < 2; ++pass) {
        for (int j = 0; j < kCustomPointCount; ++j) {
            const bool bypassed = imp.result.channel.CustomEQ[At(j)].Bypass != 0;
            if (bypassed == (pass == 1)) slots.push_back(j);
        }
    }
    std::size_t next = 0;
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        if (!kept[i]) {
            imp.Note(Describe(peaks[i]) +
                     " dropped: only the four strongest peaking filters fit the custom points");
            continue;
        }
        imp.result.channel.CustomEQ[At(slots[next++])] = imp.Point(peaks[i]);
        ++imp.result.applied;
    }
    for (; next < slots.size(); ++next) {
        EqPoint& point = imp.result.channel.CustomEQ[At(slots[next])];
        if (point.Bypass == 0) point.Gain = 0.0f;
    }
}

// The band whose centre is nearest to `hz` on a log scale.
int NearestBand(double hz) {
    int best = 0;
    double bestDistance = 1e300;
    for (int b = 0; b < kEqBandCount; ++b) {
        const double d = std::abs(std::log(hz / EqBandFrequencies[At(b)]));
        if (d < bestDistance) {
            bestDistance = d;
            best = b;
        }
    }
    return best;
}

void ImportBands(const std::vector<Filter>& peaks, Imported& imp) {
    std::array<double, kEqBandCount> sums{};
    std::array<bool, kEqBandCount> hit{};
    // Half the third-octave spacing of the bands, and a little for the rounded band centres.
    const double halfBand = std::log(2.0) / 6.0 * 1.05;
    for (const Filter& f : peaks) {
        const int b = NearestBand(f.fc);
        const double centre = EqBandFrequencies[At(b)];
        const std::string band = "band " + std::to_string(b + 1) + " (" + Short(centre) + " Hz)";
        if (std::abs(std::log(f.fc / centre)) > halfBand) {
            imp.Note(f.label + ": Fc " + Short(f.fc) + " Hz is outside the bands (" +
                     Short(EqBandFrequencies.front()) + ".." + Short(EqBandFrequencies.back()) +
                     " Hz); added to " + band);
        }
        const double bandQ = imp.result.channel.EQBand[At(b)].Q;
        if (f.q > bandQ * 1.5 || f.q < bandQ / 1.5) {
            imp.Note(f.label + ": Q " + Short(f.q) + " differs from the bands' fixed Q " +
                     Short(bandQ) + "; added to " + band + " with Q " + Short(bandQ));
        }
        sums[At(b)] += f.gain;
        hit[At(b)] = true;
        ++imp.result.applied;
    }
    for (int b = 0; b < kEqBandCount; ++b) {
        const double sum = sums[At(b)];
        float gain = QuantizeEqGain(sum);
        gain =
            std::clamp(gain, static_cast<float>(kBandGainLow), static_cast<float>(kBandGainHigh));
        if (hit[At(b)] && (sum < kBandGainLow || sum > kBandGainHigh)) {
            imp.Note("Band " + std::to_string(b + 1) + " (" + Short(EqBandFrequencies[At(b)]) +
                     " Hz): " + Short(sum) + " dB from the filters limited to " +
                     Short(static_cast<double>(gain)) + " dB (band range -15..+6 dB)");
        }
        imp.result.channel.EQBand[At(b)].Gain = gain;
    }
}

// Q of the second-order sections of a Butterworth filter of `order`, highest first.
std::vector<double> ButterworthQs(int order) {
    std::vector<double> qs;
    constexpr double kPi = 3.14159265358979323846;
    for (int k = 1; k <= order / 2; ++k) {
        qs.push_back(1.0 / (2.0 * std::sin((2 * k - 1) * kPi / (2.0 * order))));
    }
    return qs;
}

int SlopeOfOrder(int order) {
    for (const int slope : kSlopes) {
        if (slope >= 6 * order) return slope;
    }
    return kSlopes.back();
}

bool IsButterworth(const std::vector<const Filter*>& sections, int& order) {
    int firstOrder = 0;
    std::vector<double> qs;
    for (const Filter* s : sections) {
        if (s->order == 1)
            ++firstOrder;
        else
            qs.push_back(s->q);
    }
    order = firstOrder + 2 * static_cast<int>(qs.size());
    if (firstOrder > 1 || order > kMaxButterworthOrder) return false;
    if (firstOrder != order % 2) return false;
    std::sort(qs.begin(), qs.end(), std::greater<>());
    const std::vector<double> expected = ButterworthQs(order);
    for (std::size_t i = 0; i < qs.size(); ++i) {
        if (std::abs(qs[i] - expected[i]) > kSameQ * expected[i]) return false;
    }
    return true;
}

void ImportCrossover(const std::vector<Filter>& filters, Kind kind, Imported& imp) {
    std::vector<const Filter*> all;
    for (const Filter& f : filters) {
        if (f.kind == kind) all.push_back(&f);
    }
    if (all.empty()) return;
    const char* name = kind == Kind::HighPass ? "high-pass" : "low-pass";
    const double fc = all.front()->fc;
    std::vector<const Filter*> group;
    for (const Filter* f : all) {
        if (std::abs(f->fc - fc) <= kSameFreq * fc) {
            group.push_back(f);
        } else {
            imp.Note(f->label + ": a further " + name + " at " + Short(f->fc) +
                     " Hz dropped (one " + name + " per channel)");
        }
    }
    int order = 0;
    if (!IsButterworth(group, order)) {
        const Filter* first = group.front();
        order = first->order;
        if (group.size() > 1) {
            std::string dropped;
            for (std::size_t i = 1; i < group.size(); ++i) {
                dropped += (i > 1 ? ", " : "") + group[i]->label;
            }
            imp.Note(first->label + ": the " + name + " sections at " + Short(fc) +
                     " Hz do not make a Butterworth filter; kept this one, dropped " + dropped);
        } else if (order == 2 && std::abs(first->q - kButterworthQ) > kSameQ * kButterworthQ) {
            imp.Note(first->label + ": Q " + Short(first->q) + " taken as a 12 dB/oct " + name +
                     " with the Butterworth Q 0.71");
        }
        group.resize(1);
    }
    const int slope = SlopeOfOrder(order);
    if (slope != 6 * order) {
        imp.Note(group.front()->label + ": " + std::to_string(6 * order) + " dB/oct " + name +
                 " set to " + std::to_string(slope) + " dB/oct (slopes 6, 12, 24, 36, 48)");
    }
    const float freq =
        AtLimitOr(QuantizeCrossoverFreq(fc, imp.mode), fc, MaxCrossoverFreq(imp.mode));
    const std::string range =
        imp.mode == 2 ? "crossover range 16..302 Hz in bass mode" : "crossover range 16..20893 Hz";
    imp.NoteValue(group.front()->label, "Fc", " Hz", fc, freq, kMinFreq, MaxCrossoverFreq(imp.mode),
                  range.c_str(), "crossover steps of 1/100 decade");
    ChannelRecord& ch = imp.result.channel;
    (kind == Kind::HighPass ? ch.HighPassOn : ch.LowPassOn) = 1;
    (kind == Kind::HighPass ? ch.HighPassFreq : ch.LowPassFreq) = freq;
    (kind == Kind::HighPass ? ch.HighPassSlope : ch.LowPassSlope) =
        static_cast<std::uint8_t>(slope);
    imp.result.applied += static_cast<int>(group.size());
}

void ImportDelaySection(const ReadFile& file, Imported& imp) {
    if (!file.preampDb && !file.delayMs) return;
    ChannelRecord& ch = imp.result.channel;
    if (ch.DelayOn == 0) {
        ch.Trim = 0.0f;
        ch.DelayTime = 0.0f;
        imp.Note("Delay section switched on for the file's preamp or delay");
    }
    ch.DelayOn = 1;
    if (file.preampDb) {
        ch.Trim = QuantizeTrim(*file.preampDb);
        imp.NoteValue("Preamp", "gain", " dB", *file.preampDb, 0.0f - ch.Trim, -30.0, 0.0,
                      "trim range -30..0 dB: the amplifier only attenuates", nullptr);
    }
    if (file.delayMs) {
        ch.DelayTime = QuantizeDelayTime(*file.delayMs);
        imp.NoteValue("Delay", "delay", " ms", *file.delayMs, ch.DelayTime, 0.0, 20.0,
                      "delay range 0..20 ms", nullptr);
    }
    imp.result.applied += file.commands;
}

// ---- writing ----

struct FilterLine {
    std::string type;
    float fc;  // written exactly, so it reads back onto the same grid step
    std::optional<double> gain;
    double q;  // 0: none written
    int qDecimals;
};

// The sections of a Butterworth crossover of `slope` dB/oct: both formats name them alike.
void AddCrossover(std::vector<FilterLine>& lines, bool highPass, float freq, std::uint8_t slope) {
    const int order = std::clamp(slope / 6, 1, kMaxButterworthOrder);
    const std::string first = highPass ? "HP1" : "LP1";
    if (order == 2) {
        lines.push_back({highPass ? "HP" : "LP", freq, std::nullopt, 0.0, 0});
        return;
    }
    for (const double q : ButterworthQs(order)) {
        lines.push_back({highPass ? "HPQ" : "LPQ", freq, std::nullopt, q, 4});
    }
    if (order % 2 == 1) lines.push_back({first, freq, std::nullopt, 0.0, 0});
}

std::vector<FilterLine> ExportLines(const ChannelRecord& ch) {
    std::vector<FilterLine> lines;
    if (ch.HighPassOn != 0) AddCrossover(lines, true, ch.HighPassFreq, ch.HighPassSlope);
    if (ch.LowPassOn != 0) AddCrossover(lines, false, ch.LowPassFreq, ch.LowPassSlope);
    for (const EqPoint& p : ch.CustomEQ) {
        if (p.Bypass == 0) lines.push_back({"PK", p.Freq, p.Gain, p.Q, 2});
    }
    if (ch.EQBypass == 0) {
        for (int b = 0; b < kEqBandCount; ++b) {
            const EqPoint& band = ch.EQBand[At(b)];
            if (band.Gain != 0.0f) {
                lines.push_back(
                    {"PK", static_cast<float>(EqBandFrequencies[At(b)]), band.Gain, band.Q, 2});
            }
        }
    }
    return lines;
}

std::string Pad(std::string text, std::size_t width, bool left = false) {
    if (text.size() >= width) return text;
    const std::string fill(width - text.size(), ' ');
    return left ? fill + text : text + fill;
}

std::string OneLine(std::string_view text) {
    std::string line(text);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return line;
}

}  // namespace

EqFileFormat GuessEqFileFormat(std::string_view text) {
    static constexpr std::array<std::string_view, 16> kApoCommands = {
        "Preamp",      "Delay", "Channel", "Include", "Copy",  "Device", "Stage", "GraphicEQ",
        "Convolution", "If",    "ElseIf",  "Else",    "EndIf", "Eval",   "IIR",   "VSTPlugin"};
    for (const std::string_view raw : Lines(text)) {
        const std::string_view line = Trim(raw);
        const std::size_t colon = line.find(':');
        if (line.empty() || line.front() == '#' || colon == std::string_view::npos) continue;
        const std::string_view command = Trim(line.substr(0, colon));
        for (const std::string_view apo : kApoCommands) {
            if (Same(command, apo)) return EqFileFormat::Apo;
        }
    }
    return EqFileFormat::Rew;
}

EqImport ImportChannelEq(std::string_view text, EqFileFormat format, const ChannelRecord& channel,
                         EqImportTarget target, std::uint8_t mode) {
    ReadFile file = format == EqFileFormat::Rew ? ReadRew(text) : ReadApo(text);
    Imported imp;
    imp.mode = mode;
    imp.result.channel = channel;
    imp.result.messages = std::move(file.messages);

    std::vector<Filter> peaks;
    for (const Filter& f : file.filters) {
        if (f.kind == Kind::Peak) peaks.push_back(f);
    }
    ImportCrossover(file.filters, Kind::HighPass, imp);
    ImportCrossover(file.filters, Kind::LowPass, imp);
    // A file without peaking filters (only crossovers, say) leaves the EQ alone.
    if (!peaks.empty()) {
        if (target == EqImportTarget::Points) {
            ImportPoints(peaks, imp);
        } else {
            ImportBands(peaks, imp);
            if (imp.result.channel.EQBypass != 0) {
                imp.Note("EQ bypass is on: the imported bands are not heard until it is off");
            }
        }
    }
    ImportDelaySection(file, imp);
    if (imp.result.applied == 0) {
        imp.result.channel = channel;
        imp.Note("Nothing in the file could be used");
    }
    return imp.result;
}

std::string ExportChannelEq(const ChannelRecord& channel, EqFileFormat format,
                            std::string_view title) {
    const bool rew = format == EqFileFormat::Rew;
    std::string out;
    if (rew) {
        out += "Filter Settings file\n\n";
        if (!title.empty()) out += "Notes: " + OneLine(title) + "\n";
        out += "Equaliser: Generic\n\n";
    } else {
        if (!title.empty()) out += "# " + OneLine(title) + "\n";
        if (channel.DelayOn != 0) {
            out += "Preamp: " + Fixed(0.0 - static_cast<double>(channel.Trim), 1) + " dB\n";
            out += "Delay: " + Fixed(channel.DelayTime, 2) + " ms\n";
        }
    }
    int n = 0;
    for (const FilterLine& line : ExportLines(channel)) {
        ++n;
        std::string text;
        if (rew) {
            text = "Filter " + Pad(std::to_string(n), 2, true) + ": ON  " + Pad(line.type, 8) +
                   " Fc " + Pad(Real(line.fc), 8, true) + " Hz";
            if (line.gain) text += "  Gain " + Pad(Fixed(*line.gain, 1), 5, true) + " dB";
            if (line.q > 0.0) text += "  Q " + Pad(Fixed(line.q, line.qDecimals), 6, true);
        } else {
            text = "Filter " + std::to_string(n) + ": ON " + line.type + " Fc " + Real(line.fc) +
                   " Hz";
            if (line.gain) text += " Gain " + Fixed(*line.gain, 1) + " dB";
            if (line.q > 0.0) text += " Q " + Fixed(line.q, line.qDecimals);
        }
        out += text + "\n";
    }
    return out;
}

std::string ExportCamillaDsp(const SetupRecord& setup, int channelCount, std::string_view title) {
    const int channels = std::clamp(channelCount, 1, kChannelCount);
    std::string out;
    if (!title.empty()) out += "# " + OneLine(title) + "\n";
    out +=
        "# Capture and playback are placeholders: replace them with the real devices.\n"
        "devices:\n"
        "  samplerate: 48000\n"
        "  chunksize: 1024\n"
        "  capture:\n"
        "    type: Stdin\n"
        "    channels: " +
        std::to_string(channels) +
        "\n"
        "    format: S32_LE\n"
        "  playback:\n"
        "    type: Stdout\n"
        "    channels: " +
        std::to_string(channels) +
        "\n"
        "    format: S32_LE\n"
        "\n"
        "filters:\n";
    std::vector<std::vector<std::string>> names(At(channels));
    for (int c = 0; c < channels; ++c) {
        const ChannelRecord& ch = setup.Channels[At(c)];
        const std::string prefix = "ch" + std::to_string(c + 1) + "_";
        auto filter = [&](const std::string& name, const std::string& type,
                          const std::string& parameters) {
            names[At(c)].push_back(name);
            out += "  " + name + ":\n    type: " + type + "\n    parameters:\n" + parameters;
        };
        auto crossover = [&](const char* name, const char* type, std::uint8_t on, float freq,
                             std::uint8_t slope) {
            if (on == 0) return;
            filter(prefix + name, "BiquadCombo",
                   std::string("      type: ") + type + "\n      freq: " + Real(freq) +
                       "\n      order: " + std::to_string(std::clamp(slope / 6, 1, 8)) + "\n");
        };
        auto peaking = [&](const std::string& name, float freq, float gain, float q) {
            filter(name, "Biquad",
                   "      type: Peaking\n      freq: " + Real(freq) +
                       "\n      gain: " + Real(gain) + "\n      q: " + Real(q) + "\n");
        };
        crossover("hp", "ButterworthHighpass", ch.HighPassOn, ch.HighPassFreq, ch.HighPassSlope);
        crossover("lp", "ButterworthLowpass", ch.LowPassOn, ch.LowPassFreq, ch.LowPassSlope);
        for (int j = 0; j < kCustomPointCount; ++j) {
            const EqPoint& p = ch.CustomEQ[At(j)];
            if (p.Bypass == 0 && p.Gain != 0.0f) {
                peaking(prefix + "peq" + std::to_string(j + 1), p.Freq, p.Gain, p.Q);
            }
        }
        for (int b = 0; ch.EQBypass == 0 && b < kEqBandCount; ++b) {
            const EqPoint& band = ch.EQBand[At(b)];
            if (band.Gain == 0.0f) continue;
            const std::string number = (b < 9 ? "0" : "") + std::to_string(b + 1);
            peaking(prefix + "band" + number, static_cast<float>(EqBandFrequencies[At(b)]),
                    band.Gain, band.Q);
        }
        if (ch.DelayOn != 0 && ch.DelayTime > 0.0f) {
            filter(prefix + "delay", "Delay",
                   "      delay: " + Real(ch.DelayTime) + "\n      unit: ms\n");
        }
        const bool trimmed = ch.DelayOn != 0 && ch.Trim > 0.0f;
        if (trimmed || ch.Mute != 0) {
            const float gain = trimmed ? 0.0f - ch.Trim : 0.0f;
            filter(prefix + "gain", "Gain",
                   "      gain: " + Real(gain) +
                       "\n      scale: dB\n      inverted: false\n"
                       "      mute: " +
                       (ch.Mute != 0 ? "true" : "false") + "\n");
        }
    }
    bool any = false;
    for (const auto& list : names) any = any || !list.empty();
    if (!any) {
        // A configuration with no filter at all still needs the section to be a mapping.
        out.erase(out.size() - std::string("filters:\n").size());
        out += "filters: {}\n\npipeline: []\n";
        return out;
    }
    out += "\npipeline:\n";
    for (int c = 0; c < channels; ++c) {
        if (names[At(c)].empty()) continue;
        out += "  - type: Filter\n    channels: [" + std::to_string(c) + "]\n    names:\n";
        for (const std::string& name : names[At(c)]) out += "      - " + name + "\n";
    }
    return out;
}

std::string DecimalText(double value, int decimals) {
    return Chars(value, std::chars_format::fixed, decimals);
}

}  // namespace vantrel
