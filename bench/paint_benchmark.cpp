// The cost of one timer tick on the desktop: the generation step, and the
// paint of a 480 x 640 client area through the Qt back end's surface (one
// indexed image over the board's bytes, one drawImage) at zoom 1 and 4, on
// an 800 x 800 and a 10000 x 10000 soup, and zoomed out to 1:64, where each
// pixel shows a live cell of its 64 x 64 block (the whole 10000 x 10000 board
// in the client area). A plain copy of the client area's 480 x 640 x 4 bytes
// runs beside them as the floor. Each paint reports its share of the run
// loop's frame budget (16 ms): under 1 it leaves the frame time to the step.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "document/run_loop.h"
#include "document/shrunk_cells.h"
#include "engine/cell_board.h"
#include "engine/rule.h"
#include "engine/step.h"
#include "framework/view.h"
#include "platform/qt/qt_offscreen.h"

using namespace cellarium;

namespace {

// Qt's raster engine spreads large fills over worker threads, which the
// benchmark's own CPU time (the calling thread's) does not see: the whole
// process's CPU time per iteration, in microseconds, shows what a paint costs.
class ProcessCpu {
public:
    ProcessCpu() : start_(std::clock()) {}
    void Report(benchmark::State& state) const {
        const double us = double(std::clock() - start_) * 1e6 / CLOCKS_PER_SEC;
        state.counters["process_cpu_us"] = us / double(std::max<int64_t>(state.iterations(), 1));
    }

private:
    std::clock_t start_;
};

constexpr int kClientWidth = 480;
constexpr int kClientHeight = 640;

struct Boards {
    std::unique_ptr<CellBoard> cur, scratch;
    std::array<RgbQuad, 256> colours{};
};

Boards& SoupBoards(int side) {
    static int madeFor = 0;
    static Boards b;
    if (madeFor != side) {
        b = Boards{};
        madeFor = side;
        b.cur = CellBoard::Create(side, side);
        b.scratch = CellBoard::Create(side, side);
        std::mt19937_64 rng(1);
        for (int y = 1; y < side - 1; ++y) {
            uint8_t* row = b.cur->EditCells() + std::size_t(y) * std::size_t(side);
            for (int x = 1; x < side - 1; x += 64) {
                const uint64_t bits = rng();
                for (int i = 0; i < 64 && x + i < side - 1; ++i)
                    row[x + i] = uint8_t(((bits >> i) & 1) * (1 + (i & 0x7F)));
            }
        }
        b.cur->SetWholeBounds();
        std::memset(b.scratch->EditCells(), 0, b.scratch->CellCount());
        for (int i = 0; i < 256; ++i)
            b.colours[std::size_t(i)] = RgbQuad{uint8_t(i), uint8_t(i * 3), uint8_t(255 - i), 0};
    }
    return b;
}

// What the view's draw does for a client area scrolled to the board's middle.
void Draw(DrawingSurface& surface, const CellBoard& board, const RgbQuad* colours, int z);

void PaintClient(QtOffscreenTarget& target, const CellBoard& board, const RgbQuad* colours, int z) {
    target.Paint([&](DrawingSurface& surface) { Draw(surface, board, colours, z); });
}

// z below 0 is zoom out: one pixel for every block of -z x -z cells, the
// board's middle in the middle of the client area, as the view draws it.
void Draw(DrawingSurface& surface, const CellBoard& board, const RgbQuad* colours, int z) {
    CDC dc(surface);
    const IndexedImage image{board.width, board.height, board.width, board.Cells(), colours};
    const int w = kClientWidth, h = kClientHeight;
    if (z < 0) {
        static std::vector<uint8_t> shrunk;
        shrunk.resize(std::size_t(w) * std::size_t(h));
        const int k = -z;
        const int blocksX = (board.width + k - 1) / k, blocksY = (board.height + k - 1) / k;
        ShrinkCells(board.Cells(), board.width, board.height, k, blocksX / 2 - w / 2,
                    blocksY / 2 - h / 2, w, h, shrunk.data());
        const IndexedImage picture{w, h, w, shrunk.data(), colours};
        dc.StretchImage(picture, CRect{0, 0, w, h}, CRect{0, 0, w, h});
        return;
    }
    const CPoint s{z * board.width / 2 - w / 2, z * board.height / 2 - h / 2};
    if (z == 1)
        dc.CopyImage(image, s, CPoint{0, 0}, w, h);
    else
        dc.StretchImage(image, CRect{s.x / z, s.y / z, s.x / z + w / z, s.y / z + h / z},
                        CRect{0, 0, w, h});
}

void Paint(benchmark::State& state, int side, int z) {
    Boards& b = SoupBoards(side);
    QtOffscreenTarget target(kClientWidth, kClientHeight);
    const ProcessCpu cpu;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        PaintClient(target, *b.cur, b.colours.data(), z);
        benchmark::ClobberMemory();
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    cpu.Report(state);
    state.counters["frame_budget_share"] = took / std::chrono::duration<double>(kFrameBudget) /
                                           double(std::max<int64_t>(state.iterations(), 1));
    state.counters["pixels/s"] =
        benchmark::Counter(double(kClientWidth) * kClientHeight * double(state.iterations()),
                           benchmark::Counter::kIsRate);
}

void Step(benchmark::State& state, int side) {
    Boards& b = SoupBoards(side);
    const Rule rule;
    const StepKernel kernel = SelectedStepKernel();
    int newborn = 1;
    for (auto _ : state) {
        // Always the same generation, so the soup stays a soup.
        StepCounts c = kernel(*b.cur, *b.scratch, newborn, rule, nullptr);
        benchmark::DoNotOptimize(c);
        benchmark::ClobberMemory();
        newborn = newborn % 255 + 1;
    }
}

// A whole tick: the step, then the paint of the new generation.
void Tick(benchmark::State& state, int side, int z) {
    Boards& b = SoupBoards(side);
    const Rule rule;
    const StepKernel kernel = SelectedStepKernel();
    QtOffscreenTarget target(kClientWidth, kClientHeight);
    const ProcessCpu cpu;
    for (auto _ : state) {
        StepCounts c = kernel(*b.cur, *b.scratch, 1, rule, nullptr);
        benchmark::DoNotOptimize(c);
        PaintClient(target, *b.scratch, b.colours.data(), z);
        benchmark::ClobberMemory();
    }
    cpu.Report(state);
}

void CopyFloor(benchmark::State& state) {
    std::vector<uint8_t> from(std::size_t(kClientWidth) * kClientHeight * 4, 7), to(from.size());
    const ProcessCpu cpu;
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::ClobberMemory();
    }
    cpu.Report(state);
}

}  // namespace

int main(int argc, char** argv) {
    QtWindowlessSession qt(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::AddCustomContext("selected step kernel", SelectedStepKernelName());
    benchmark::RegisterBenchmark("Copy480x640x4", CopyFloor)->Unit(benchmark::kMicrosecond);
    for (int side : {800, 10000}) {
        const std::string n = std::to_string(side);
        const benchmark::TimeUnit unit =
            side > 1000 ? benchmark::kMillisecond : benchmark::kMicrosecond;
        for (int z : {1, 4, -64}) {
            const std::string zoom =
                z > 0 ? "zoom" + std::to_string(z) : "zoom1:" + std::to_string(-z);
            benchmark::RegisterBenchmark(("Paint/Soup" + n + "/" + zoom).c_str(),
                                         [side, z](benchmark::State& s) { Paint(s, side, z); })
                ->Unit(benchmark::kMicrosecond);
        }
        benchmark::RegisterBenchmark(("Step/Soup" + n).c_str(), [side](benchmark::State& s) {
            Step(s, side);
        })->Unit(unit);
        benchmark::RegisterBenchmark(("Tick/Soup" + n + "/zoom1").c_str(),
                                     [side](benchmark::State& s) { Tick(s, side, 1); })
            ->Unit(unit);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
