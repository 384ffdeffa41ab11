// The generation step in cells per second (cells of the window visited), for
// every kernel this CPU runs side by side with the reference, and a plain
// memory copy of the same board as the yardstick of what the memory allows.
//
// Each iteration steps the same source board into the scratch board, so every
// iteration sees the same generation: a 50% soup stays a 50% soup however long
// the benchmark runs, instead of settling into sparse ash after a few hundred
// generations (which would flatter the branchy reference step).
#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "engine/cell_board.h"
#include "engine/rules.h"
#include "engine/step.h"

using namespace cellarium;

namespace {

struct Pair {
    std::unique_ptr<CellBoard> cur, scratch;
};

using Filler = std::function<void(CellBoard&)>;

// A 50% soup over the whole interior, bounds the whole box.
void Soup(CellBoard& b) {
    std::mt19937_64 rng(1);
    for (int y = 1; y < b.height - 1; ++y) {
        uint8_t* row = b.cells + std::size_t(y) * std::size_t(b.width);
        for (int x = 1; x < b.width - 1; x += 64) {
            const uint64_t bits = rng();
            for (int i = 0; i < 64 && x + i < b.width - 1; ++i) row[x + i] = (bits >> i) & 1;
        }
    }
    b.SetWholeBounds();
}

void PutGlider(CellBoard& b, int x, int y) {
    for (auto [dx, dy] : {std::pair{1, 0}, {2, 1}, {0, 2}, {1, 2}, {2, 2}}) {
        b.At(x + dx, y + dy) = 1;
        b.IncludeCell(Point{x + dx, y + dy});
    }
}

// One glider in the middle: a 7 x 7 window, the cost of a step's overhead.
void Glider(CellBoard& b) { PutGlider(b, b.width / 2, b.height / 2); }

// A sparse pattern: a glider every 50 cells each way, so the window is the
// whole board but 0.2% of its cells are live.
void Sparse(CellBoard& b) {
    for (int y = 10; y + 3 < b.height - 1; y += 50)
        for (int x = 10; x + 3 < b.width - 1; x += 50) PutGlider(b, x, y);
}

// The boards of one pattern and size, made when its first benchmark runs and
// shared by the kernels that follow; the previous pattern's boards go first.
Pair& Boards(const std::string& name, int side, const Filler& fill) {
    static std::string madeFor;
    static Pair p;
    if (madeFor != name) {
        p = Pair{};
        madeFor = name;
        p.cur = CellBoard::Create(side, side);
        p.scratch = CellBoard::Create(side, side);
        fill(*p.cur);
        // Touch the scratch board's pages so the first iteration does not pay for them.
        std::memset(p.scratch->cells, 0, p.scratch->CellCount());
    }
    return p;
}

void Step(benchmark::State& state, StepKernel kernel, Pair& p) {
    ResetRules();
    const StepRule rule{g_survive, g_born};
    const Rect bounds = p.cur->bounds;
    const int rows = std::min(bounds.bottom + 2, p.cur->height - 2) - std::max(bounds.top - 2, 1) + 1;
    const int cols = std::min(bounds.right + 2, p.cur->width - 2) - std::max(bounds.left - 2, 1) + 1;
    int newborn = 1;
    for (auto _ : state) {
        StepCounts c = kernel(*p.cur, *p.scratch, newborn, rule);
        benchmark::DoNotOptimize(c);
        benchmark::ClobberMemory();
        newborn = newborn % 255 + 1;
    }
    const double cells = double(rows) * double(cols) * double(state.iterations());
    state.counters["cells/s"] = benchmark::Counter(cells, benchmark::Counter::kIsRate);
}

void Copy(benchmark::State& state, Pair& p) {
    for (auto _ : state) {
        std::memcpy(p.scratch->cells, p.cur->cells, p.cur->CellCount());
        benchmark::ClobberMemory();
    }
    const double cells = double(p.cur->CellCount()) * double(state.iterations());
    state.counters["cells/s"] = benchmark::Counter(cells, benchmark::Counter::kIsRate);
}

void RegisterAll() {
    const std::pair<const char*, Filler> patterns[] = {
        {"Soup", Soup}, {"Glider", Glider}, {"Sparse", Sparse}};
    for (int side : {800, 10000}) {
        const benchmark::TimeUnit unit = side > 1000 ? benchmark::kMillisecond : benchmark::kMicrosecond;
        for (const auto& [pattern, fill] : patterns) {
            const std::string name = pattern + std::to_string(side);
            auto boards = [name, side, fill = fill]() -> Pair& { return Boards(name, side, fill); };
            for (const StepKernelInfo& k : StepKernels()) {
                if (!k.supported) continue;
                benchmark::RegisterBenchmark((name + "/" + k.name).c_str(),
                                             [boards, kernel = k.kernel](benchmark::State& s) {
                                                 Step(s, kernel, boards());
                                             })
                    ->Unit(unit);
            }
            if (std::string(pattern) == "Soup")
                benchmark::RegisterBenchmark((name + "/memcpy").c_str(),
                                             [boards](benchmark::State& s) { Copy(s, boards()); })
                    ->Unit(unit);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::AddCustomContext("selected step kernel", SelectedStepKernelName());
    RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
