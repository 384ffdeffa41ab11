// The generation step in cells per second (cells of the window visited).
#include <benchmark/benchmark.h>

#include <random>
#include <utility>

#include "engine/cell_board.h"
#include "engine/rules.h"
#include "engine/step.h"

using namespace cellarium;

namespace {

struct Pair {
    std::unique_ptr<CellBoard> cur, scratch;
};

Pair Soup(int side, double density) {
    Pair p{CellBoard::Create(side, side), CellBoard::Create(side, side)};
    std::mt19937_64 rng(1);
    std::bernoulli_distribution live(density);
    for (int y = 1; y < side - 1; ++y)
        for (int x = 1; x < side - 1; ++x) p.cur->At(x, y) = live(rng) ? 1 : 0;
    p.cur->SetWholeBounds();
    return p;
}

Pair Glider(int side) {
    Pair p{CellBoard::Create(side, side), CellBoard::Create(side, side)};
    const int c = side / 2;
    for (auto [x, y] : {std::pair{1, 0}, {2, 1}, {0, 2}, {1, 2}, {2, 2}}) {
        p.cur->At(c + x, c + y) = 1;
        p.cur->IncludeCell(Point{c + x, c + y});
    }
    p.cur->liveCount = 5;
    return p;
}

void RunSteps(benchmark::State& state, Pair& p, StepKernel kernel, bool wholeBox) {
    ResetRules();
    const StepRule rule{g_survive, g_born};
    int64_t cells = 0;
    int generation = 0;
    for (auto _ : state) {
        if (wholeBox) p.cur->SetWholeBounds();
        const Rect b = p.cur->bounds;
        const int rows = std::min(b.bottom + 2, p.cur->height - 2) - std::max(b.top - 2, 1) + 1;
        const int cols = std::min(b.right + 2, p.cur->width - 2) - std::max(b.left - 2, 1) + 1;
        if (rows > 0 && cols > 0) cells += int64_t(rows) * cols;
        StepCounts c = kernel(*p.cur, *p.scratch, generation % 256 + 1, rule);
        benchmark::DoNotOptimize(c);
        std::swap(p.cur, p.scratch);
        ++generation;
    }
    state.counters["cells/s"] = benchmark::Counter(double(cells), benchmark::Counter::kIsRate);
}

void BM_ReferenceSoup800(benchmark::State& state) {
    Pair p = Soup(800, 0.5);
    RunSteps(state, p, &StepReference, true);
}
BENCHMARK(BM_ReferenceSoup800)->Unit(benchmark::kMillisecond);

void BM_ReferenceGlider800(benchmark::State& state) {
    Pair p = Glider(800);
    RunSteps(state, p, &StepReference, false);
}
BENCHMARK(BM_ReferenceGlider800)->Unit(benchmark::kMicrosecond);

void BM_SelectedSoup800(benchmark::State& state) {
    Pair p = Soup(800, 0.5);
    state.SetLabel(SelectedStepKernelName());
    RunSteps(state, p, SelectedStepKernel(), true);
}
BENCHMARK(BM_SelectedSoup800)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
