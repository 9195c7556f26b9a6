// Frame codec throughput for the largest block the tool moves (a whole parameter image).
#include <benchmark/benchmark.h>

#include <vector>

#include "link/Frame.h"

namespace {

void BM_BuildAndParseImageFrame(benchmark::State& state) {
    std::vector<std::uint8_t> payload(12176 + 4, 0x5A);
    std::vector<std::uint8_t> buffer(vantrel::kFrameBufferSize);
    std::vector<std::uint8_t> out(payload.size());
    for (auto _ : state) {
        vantrel::BuildFrame(buffer.data(), 0x86, payload.data(),
                            static_cast<std::uint16_t>(payload.size()));
        benchmark::DoNotOptimize(vantrel::ParseReply(buffer.data(), 0x86,
                                                     static_cast<std::uint16_t>(payload.size()),
                                                     out.data()));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(payload.size()));
}
BENCHMARK(BM_BuildAndParseImageFrame);

}  // namespace
