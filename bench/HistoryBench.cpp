// The cost of the undo history: recording one step after an edit (the window does it after every
// control notification), one undo, and the memory 500 steps take.
#include <benchmark/benchmark.h>

#include "model/ParameterModel.h"
#include "model/TuneHistory.h"

namespace {

using namespace vantrel;

// Edit i of a varied sequence: levels, filters, EQ bands and points across channels and setups.
void Edit(ParameterModel& model, int i) {
    ChannelRecord& ch = model.Setups[static_cast<std::size_t>(i % 4)]
                            .Channels[static_cast<std::size_t>(i % 6)];
    const float step = static_cast<float>(i % 50);
    switch (i % 4) {
        case 0: ch.LevelVal = step / 4.0f; break;
        case 1: ch.HighPassFreq = 40.0f + step; break;
        case 2: ch.EQBand[static_cast<std::size_t>(i % 27)].Gain = step / 5.0f - 5.0f; break;
        default: ch.CustomEQ[static_cast<std::size_t>(i % 4)] = {200.0f + step, step / 10.0f, 2.0f, 0};
    }
}

ParameterModel StartModel() {
    ParameterModel model;
    InitSetups(model);
    return model;
}

void BM_RecordStep(benchmark::State& state) {
    ParameterModel model = StartModel();
    TuneHistory history;
    history.Reset(model);
    int i = 0;
    for (auto _ : state) {
        Edit(model, ++i);
        benchmark::DoNotOptimize(history.Record(model, static_cast<std::uint64_t>(i), i * 2000));
    }
}
BENCHMARK(BM_RecordStep);

// A knob drag: the same control again within the join time, so the step grows.
void BM_RecordGrowingStep(benchmark::State& state) {
    ParameterModel model = StartModel();
    TuneHistory history;
    history.Reset(model);
    int i = 0;
    for (auto _ : state) {
        model.Setups[0].Channels[0].DelayTime = static_cast<float>(++i % 1000) * 0.02f;
        benchmark::DoNotOptimize(history.Record(model, 1, i));
    }
}
BENCHMARK(BM_RecordGrowingStep);

void BM_UndoRedo(benchmark::State& state) {
    ParameterModel model = StartModel();
    TuneHistory history;
    history.Reset(model);
    for (int i = 1; i <= 500; ++i) {
        Edit(model, i);
        history.Record(model, static_cast<std::uint64_t>(i), i * 2000);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(history.Undo(model, 0));
        benchmark::DoNotOptimize(history.Redo(model, 0));
    }
    state.SetLabel("one undo and one redo");
}
BENCHMARK(BM_UndoRedo);

void BM_HistoryMemory(benchmark::State& state) {
    const auto steps = static_cast<int>(state.range(0));
    std::size_t bytes = 0;
    for (auto _ : state) {
        ParameterModel model = StartModel();
        TuneHistory history(static_cast<std::size_t>(steps));
        history.Reset(model);
        for (int i = 1; i <= steps; ++i) {
            Edit(model, i);
            history.Record(model, static_cast<std::uint64_t>(i), i * 2000);
        }
        bytes = history.MemoryBytes();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["history_bytes"] = static_cast<double>(bytes);
    state.counters["tune_bytes"] = static_cast<double>(TuneBytes(StartModel()).size());
}
BENCHMARK(BM_HistoryMemory)->Arg(500)->Unit(benchmark::kMillisecond);

}  // namespace
