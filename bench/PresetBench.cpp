// Preset save and load of a full model (four setups, all 2682 keys) through a temporary file, and
// the same save done key by key, as single atomic key writes, for comparison.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "model/ParameterModel.h"
#include "model/PresetFile.h"
#include "platform/IniFile.h"

namespace {

namespace fs = std::filesystem;
using namespace vantrel;

// A folder for the benchmark files, removed at exit.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "vantrel-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!m_path.empty()) fs::remove_all(m_path, ec);
    }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

const fs::path& Folder() {
    static TempFolder folder;
    return folder.Path();
}

// Started values with something different in every setup and channel.
ParameterModel FullModel() {
    ParameterModel m;
    InitSetups(m);
    for (int s = 0; s < kSetupCount; ++s) {
        for (int c = 0; c < kChannelCount; ++c) {
            ChannelRecord& ch =
                m.Setups[static_cast<std::size_t>(s)].Channels[static_cast<std::size_t>(c)];
            const int k = s * kChannelCount + c;
            ch.HighPassFreq = static_cast<float>(20.5 + 10 * k);
            ch.DelayTime = static_cast<float>(0.02 * k);
            for (EqPoint& band : ch.EQBand) band.Gain = static_cast<float>(-0.1 * k);
        }
    }
    return m;
}

void BM_SavePreset(benchmark::State& state) {
    const ParameterModel model = FullModel();
    const fs::path file = Folder() / "save.dat";
    for (auto _ : state) {
        if (!SavePresetFile(model, file)) {
            state.SkipWithError("save failed");
            break;
        }
    }
}
BENCHMARK(BM_SavePreset)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadPreset(benchmark::State& state) {
    const fs::path file = Folder() / "load.dat";
    if (!SavePresetFile(FullModel(), file)) {
        state.SkipWithError("save failed");
        return;
    }
    ParameterModel model;
    for (auto _ : state) {
        if (!LoadPresetFile(model, file)) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(model);
    }
}
BENCHMARK(BM_LoadPreset)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same file as BM_SavePreset, written the slow way: 2682 separate read-modify-replace cycles.
void BM_SavePresetKeyByKey(benchmark::State& state) {
    const std::vector<PresetKey> keys = PresetKeys(FullModel());
    const fs::path file = Folder() / "bykey.dat";
    for (auto _ : state) {
        std::ofstream(file, std::ios::binary | std::ios::trunc).close();
        for (const PresetKey& k : keys) {
            if (!WriteIniString(file, k.section, k.key, k.value)) {
                state.SkipWithError("write failed");
                return;
            }
        }
    }
}
BENCHMARK(BM_SavePresetKeyByKey)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
