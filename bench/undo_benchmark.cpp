// What a run costs the undo history on the largest board: the board where the
// run started, packed (engine/cell_pack.h), and packed and unpacked again.
// The board is a 10000 x 10000 soup of density 0.3 after 1000 generations,
// the ash a long run leaves. The counters give the packed size in bytes and
// as a share of the board's bytes; the times are one core's.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <random>

#include "engine/cell_board.h"
#include "engine/cell_pack.h"
#include "engine/rule.h"
#include "engine/step.h"

using namespace cellarium;

namespace {

constexpr int kSide = 10000;

// Built once: generating the ash takes a while.
const CellBoard& Ash() {
    static std::unique_ptr<CellBoard> ash = [] {
        std::unique_ptr<CellBoard> cur = CellBoard::Create(kSide, kSide);
        std::unique_ptr<CellBoard> scratch = CellBoard::Create(kSide, kSide);
        if (!cur || !scratch) std::abort();
        std::mt19937_64 rng(3);
        std::bernoulli_distribution live(0.3);
        int32_t count = 0;
        for (int y = 1; y < kSide - 1; ++y)
            for (int x = 1; x < kSide - 1; ++x)
                if (live(rng)) {
                    cur->Set(x, y, 1);
                    ++count;
                }
        cur->liveCount = count;
        cur->SetWholeBounds();
        const int generations = std::getenv("UNDO_BENCH_GENERATIONS")
                                    ? std::atoi(std::getenv("UNDO_BENCH_GENERATIONS"))
                                    : 1000;
        int32_t births = 0, deaths = 0;
        for (int g = 0; g < generations; ++g) {
            cur->ComputeNext(*scratch, Rule(), (g & 0xFF) + 1, births, deaths);
            std::swap(cur, scratch);
        }
        return cur;
    }();
    return *ash;
}

void BM_PackRunStart(benchmark::State& state) {
    const CellBoard& board = Ash();
    SetStepThreads(1);
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::vector<uint8_t> packed = PackCells(board.Cells(), board.CellCount());
        bytes = packed.size();
        benchmark::DoNotOptimize(packed.data());
    }
    state.counters["packed_bytes"] = double(bytes);
    state.counters["share_of_board"] = double(bytes) / double(board.CellCount());
    state.counters["live_cells"] = double(board.liveCount);
}
BENCHMARK(BM_PackRunStart)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UnpackRunStart(benchmark::State& state) {
    const CellBoard& board = Ash();
    const std::vector<uint8_t> packed = PackCells(board.Cells(), board.CellCount());
    std::unique_ptr<CellBoard> target = CellBoard::Create(kSide, kSide);
    for (auto _ : state) {
        if (!UnpackCells(packed, target->EditCells(), target->CellCount()))
            state.SkipWithError("bad");
        benchmark::DoNotOptimize(target->Cells());
    }
}
BENCHMARK(BM_UnpackRunStart)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
