// Cost of one repaint of the response curves: six busy channels over a 1000-column axis, computed
// point by point with ChannelResponseDb and row by row with ChannelResponseRow, and the exact
// response (the 48 kHz filters decoded from a rebuilt image) row by row. The target for a repaint
// is 1 ms; the summary at the end gives the ratios.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "curves/ChannelResponse.h"
#include "curves/ExactResponse.h"
#include "model/DeviceImage.h"
#include "model/ParameterModel.h"

namespace {

using vantrel::ChannelRecord;
using vantrel::kChannelCount;

constexpr std::size_t kColumns = 1000;

// Every band and point active and both crossovers on, slightly different per channel.
ChannelRecord BusyChannel(int c) {
    constexpr std::array<std::uint8_t, kChannelCount> kHighSlopes = {6, 12, 24, 36, 48, 24};
    constexpr std::array<std::uint8_t, kChannelCount> kLowSlopes = {48, 36, 24, 12, 6, 12};
    ChannelRecord ch;
    ch.HighPassOn = 1;
    ch.HighPassFreq = static_cast<float>(20 + 10 * c);
    ch.HighPassSlope = kHighSlopes[static_cast<std::size_t>(c)];
    ch.LowPassOn = 1;
    ch.LowPassFreq = static_cast<float>(8000 + 2000 * c);
    ch.LowPassSlope = kLowSlopes[static_cast<std::size_t>(c)];
    for (int p = 0; p < vantrel::kCustomPointCount; ++p) {
        vantrel::EqPoint& point = ch.CustomEQ[static_cast<std::size_t>(p)];
        point.Freq = static_cast<float>(40.0 * std::pow(6.0, p) * (1.0 + 0.1 * c));
        point.Gain = p % 2 == 0 ? -12.0f + static_cast<float>(c) : 4.5f;
        point.Q = 0.7f + 3.0f * static_cast<float>(p);
        point.Bypass = 0;
    }
    for (int b = 0; b < vantrel::kEqBandCount; ++b) {
        vantrel::EqPoint& band = ch.EQBand[static_cast<std::size_t>(b)];
        const float gain = static_cast<float>((b * 7 + c * 5) % 22 - 15);
        band.Freq = static_cast<float>(vantrel::EqBandFrequencies[static_cast<std::size_t>(b)]);
        band.Gain = gain == 0.0f ? 2.5f : gain;
        band.Q = 3.0f;
    }
    return ch;
}

struct Scene {
    vantrel::SetupRecord setup;
    std::array<ChannelRecord, kChannelCount> channels;
    std::vector<float> axis;
    std::vector<float> out;

    Scene() : axis(kColumns), out(kColumns * kChannelCount) {
        for (int c = 0; c < kChannelCount; ++c)
            channels[static_cast<std::size_t>(c)] = BusyChannel(c);
        setup.Channels = channels;
        for (std::size_t i = 0; i < kColumns; ++i) {
            const double t = static_cast<double>(i) / static_cast<double>(kColumns - 1);
            axis[i] = static_cast<float>(12.6 * std::pow(25119.0 / 12.6, t));
        }
    }
};

void CountPoints(benchmark::State& state) {
    const auto points = static_cast<double>(kColumns * kChannelCount);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points));
    state.counters["per_point"] = benchmark::Counter(
        points, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_RepaintPerCall(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        for (std::size_t c = 0; c < scene.channels.size(); ++c) {
            for (std::size_t i = 0; i < kColumns; ++i) {
                scene.out[c * kColumns + i] =
                    vantrel::ChannelResponseDb(scene.channels[c], scene.axis[i]);
            }
        }
        benchmark::DoNotOptimize(scene.out.data());
        benchmark::ClobberMemory();
    }
    CountPoints(state);
}
BENCHMARK(BM_RepaintPerCall)->Unit(benchmark::kMicrosecond);

void BM_RepaintRow(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        for (std::size_t c = 0; c < scene.channels.size(); ++c) {
            vantrel::ChannelResponseRow(scene.channels[c], scene.axis.data(), kColumns,
                                        scene.out.data() + c * kColumns);
        }
        benchmark::DoNotOptimize(scene.out.data());
        benchmark::ClobberMemory();
    }
    CountPoints(state);
}
BENCHMARK(BM_RepaintRow)->Unit(benchmark::kMicrosecond);

// The exact response of all six channels. The image holds four, so channels 5 and 6 repeat 1 and
// 2 here: the measure is six exact rows.
void BM_RepaintExact(benchmark::State& state) {
    Scene scene;
    const vantrel::ExactSetup exact = vantrel::DecodeExactSetup(scene.setup, kChannelCount);
    for (auto _ : state) {
        for (std::size_t c = 0; c < kChannelCount; ++c) {
            vantrel::ExactResponseRow(exact.Channels[c % vantrel::kImageChannelCount],
                                      scene.axis.data(), kColumns, scene.out.data() + c * kColumns);
        }
        benchmark::DoNotOptimize(scene.out.data());
        benchmark::ClobberMemory();
    }
    CountPoints(state);
}
BENCHMARK(BM_RepaintExact)->Unit(benchmark::kMicrosecond);

// What an exact repaint of the control costs: the scratch image rebuilt and decoded, four exact
// rows and, for channels 5 and 6, two classic ones.
void BM_RepaintExactAsDrawn(benchmark::State& state) {
    Scene scene;
    auto scratch = std::make_unique<vantrel::DeviceImage>();
    scratch->fill(0);
    for (auto _ : state) {
        const vantrel::ExactSetup exact =
            vantrel::DecodeExactSetup(scene.setup, kChannelCount, *scratch);
        for (std::size_t c = 0; c < kChannelCount; ++c) {
            float* out = scene.out.data() + c * kColumns;
            if (static_cast<int>(c) < exact.Count) {
                vantrel::ExactResponseRow(exact.Channels[c], scene.axis.data(), kColumns, out);
            } else {
                vantrel::ChannelResponseRow(scene.channels[c], scene.axis.data(), kColumns, out);
            }
        }
        benchmark::DoNotOptimize(scene.out.data());
        benchmark::ClobberMemory();
    }
    CountPoints(state);
}
BENCHMARK(BM_RepaintExactAsDrawn)->Unit(benchmark::kMicrosecond);

// The rebuild and decode alone, once per repaint.
void BM_DecodeExactSetup(benchmark::State& state) {
    Scene scene;
    auto scratch = std::make_unique<vantrel::DeviceImage>();
    scratch->fill(0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(vantrel::DecodeExactSetup(scene.setup, kChannelCount, *scratch));
    }
}
BENCHMARK(BM_DecodeExactSetup)->Unit(benchmark::kMicrosecond);

// The dashed pair sum over the columns: complex responses of both channels per column.
void BM_PairSumRow(benchmark::State& state) {
    Scene scene;
    const vantrel::ExactSetup exact = vantrel::DecodeExactSetup(scene.setup, kChannelCount);
    for (auto _ : state) {
        vantrel::ExactPairSumRow(exact.Channels[0], exact.Channels[1], scene.axis.data(), kColumns,
                                 scene.out.data());
        benchmark::DoNotOptimize(scene.out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PairSumRow)->Unit(benchmark::kMicrosecond);

// Console output as usual, plus the median time per repaint of each benchmark for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0)
                continue;
            m_seconds[run.run_name.function_name].push_back(run.real_accumulated_time /
                                                            static_cast<double>(run.iterations));
        }
    }

    // Median seconds per repaint, 0 when the benchmark did not run.
    double Median(const std::string& name) {
        std::vector<double>& times = m_seconds[name];
        if (times.empty()) return 0.0;
        std::sort(times.begin(), times.end());
        const std::size_t mid = times.size() / 2;
        return times.size() % 2 == 1 ? times[mid] : (times[mid - 1] + times[mid]) / 2.0;
    }

private:
    std::map<std::string, std::vector<double>> m_seconds;
};

// Largest difference between the two paths over the benchmark's own scene.
double MaxDifferenceDb() {
    Scene scene;
    std::vector<float> row(kColumns);
    double worst = 0.0;
    for (const ChannelRecord& ch : scene.channels) {
        vantrel::ChannelResponseRow(ch, scene.axis.data(), kColumns, row.data());
        for (std::size_t i = 0; i < kColumns; ++i) {
            const double diff = std::abs(static_cast<double>(row[i]) -
                                         vantrel::ChannelResponseDb(ch, scene.axis[i]));
            worst = std::max(worst, diff);
        }
    }
    return worst;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double perCall = reporter.Median("BM_RepaintPerCall");
    const double row = reporter.Median("BM_RepaintRow");
    const double exact = reporter.Median("BM_RepaintExact");
    const double asDrawn = reporter.Median("BM_RepaintExactAsDrawn");
    const double decode = reporter.Median("BM_DecodeExactSetup");
    const double pairSum = reporter.Median("BM_PairSumRow");
    std::printf("\nRepaint of %d channels x %zu columns (median):\n", kChannelCount, kColumns);
    if (perCall > 0.0) std::printf("  per call  %9.1f us\n", perCall * 1e6);
    if (row > 0.0) std::printf("  row       %9.1f us\n", row * 1e6);
    if (perCall > 0.0 && row > 0.0) std::printf("  ratio     %9.1f x\n", perCall / row);
    if (exact > 0.0)
        std::printf("  exact     %9.1f us (%.2f x the classic row)\n", exact * 1e6,
                    row > 0.0 ? exact / row : 0.0);
    if (asDrawn > 0.0)
        std::printf("  exact as drawn (rebuild, 4 exact + 2 classic) %9.1f us\n", asDrawn * 1e6);
    if (decode > 0.0) std::printf("  rebuild and decode of the setup %9.1f us\n", decode * 1e6);
    if (pairSum > 0.0) std::printf("  pair sum row %9.1f us\n", pairSum * 1e6);
    std::printf("  largest difference between the paths: %.2g dB\n", MaxDifferenceDb());
    return 0;
}
