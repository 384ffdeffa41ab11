// The population graph's frame: one run's counts reduced to one span a pixel
// column, for each series, at run lengths from a thousand to ten million
// generations. A frame must stay well under its 2 ms share however long the
// run.
#include <benchmark/benchmark.h>

#include <random>

#include "document/population_history.h"

namespace cellarium {
namespace {

void GraphFrame(benchmark::State& state) {
    PopulationHistory history;
    std::mt19937 random(7);
    history.Restart(0, 1000);
    for (int64_t g = 1; g < state.range(0); ++g)
        history.Add(int32_t(g), int32_t(random() % 5000), int32_t(random() % 300),
                    int32_t(random() % 300));
    const int columns = 800;
    for (auto _ : state) {
        for (auto field :
             {&GenerationCounts::live, &GenerationCounts::births, &GenerationCounts::deaths})
            benchmark::DoNotOptimize(history.Columns(columns, field));
    }
    state.counters["generations"] = double(state.range(0));
}
BENCHMARK(GraphFrame)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace cellarium

BENCHMARK_MAIN();
