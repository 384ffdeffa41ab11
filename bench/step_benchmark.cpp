// The generation step in cells per second (cells of the window visited), for
// every kernel this CPU runs side by side with the reference, and a plain
// memory copy of the same board as the yardstick of what the memory allows;
// with "/hash" the step also gives the live hash; and the runner's soup fill.
// Run800 and Run10000 instead run a soup on as a run does, each step into the
// board the step before read.
//
// Each iteration steps the same source board into the scratch board, so every
// iteration sees the same generation: a 50% soup stays a 50% soup however long
// the benchmark runs, instead of settling into sparse ash after a few hundred
// generations (which would flatter the branchy reference step).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/birth_log.h"
#include "engine/cell_board.h"
#include "engine/rule.h"
#include "engine/soup.h"
#include "engine/step.h"
#include "engine/step/kernels.h"
#include "formats/rule_notation.h"

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
        uint8_t* row = b.EditCells() + std::size_t(y) * std::size_t(b.width);
        for (int x = 1; x < b.width - 1; x += 64) {
            const uint64_t bits = rng();
            for (int i = 0; i < 64 && x + i < b.width - 1; ++i) row[x + i] = (bits >> i) & 1;
        }
    }
    b.SetWholeBounds();
}

void PutGlider(CellBoard& b, int x, int y) {
    for (auto [dx, dy] : {std::pair{1, 0}, {2, 1}, {0, 2}, {1, 2}, {2, 2}}) {
        b.Set(x + dx, y + dy, 1);
        b.IncludeCell(Point{x + dx, y + dy});
    }
}

// One glider in the middle: a 7 x 7 window, the cost of a step's overhead.
void Glider(CellBoard& b) {
    PutGlider(b, b.width / 2, b.height / 2);
}

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
        std::memset(p.scratch->EditCells(), 0, p.scratch->CellCount());
    }
    return p;
}

// With a live hash wanted, the kernel's hashed form is stepped.
void Step(benchmark::State& state, const StepKernelInfo& k, Pair& p, bool hash,
          const Rule& rule = Rule()) {
    const Rect bounds = p.cur->bounds;
    const int rows =
        std::min(bounds.bottom + 2, p.cur->height - 2) - std::max(bounds.top - 2, 1) + 1;
    const int cols =
        std::min(bounds.right + 2, p.cur->width - 2) - std::max(bounds.left - 2, 1) + 1;
    int newborn = 1;
    uint64_t liveHash = 0;
    for (auto _ : state) {
        StepCounts c = hash ? k.kernel(*p.cur, *p.scratch, newborn, rule, &liveHash)
                            : k.kernel(*p.cur, *p.scratch, newborn, rule, nullptr);
        benchmark::DoNotOptimize(c);
        benchmark::DoNotOptimize(liveHash);
        benchmark::ClobberMemory();
        newborn = newborn % 255 + 1;
    }
    const double cells = double(rows) * double(cols) * double(state.iterations());
    state.counters["cells/s"] = benchmark::Counter(cells, benchmark::Counter::kIsRate);
}

void Copy(benchmark::State& state, Pair& p) {
    for (auto _ : state) {
        std::memcpy(p.scratch->EditCells(), p.cur->Cells(), p.cur->CellCount());
        benchmark::ClobberMemory();
    }
    const double cells = double(p.cur->CellCount()) * double(state.iterations());
    state.counters["cells/s"] = benchmark::Counter(cells, benchmark::Counter::kIsRate);
}

// The memcpy of the board split into `threads` bands of rows, each copied on
// its own thread, the calling thread taking the first: what the memory allows
// that many threads. The helpers are made once and wait by yielding, so only
// the copy is measured.
void CopyThreaded(benchmark::State& state, Pair& p, int threads) {
    const std::size_t bytes = p.cur->CellCount();
    auto copyBand = [&p, bytes, threads](int b) {
        const std::size_t from = bytes * std::size_t(b) / std::size_t(threads);
        const std::size_t to = bytes * std::size_t(b + 1) / std::size_t(threads);
        std::memcpy(p.scratch->EditCells() + from, p.cur->Cells() + from, to - from);
    };
    std::atomic<uint64_t> round{0};
    std::atomic<int> done{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> helpers;
    for (int b = 1; b < threads; ++b)
        helpers.emplace_back([&, b] {
            uint64_t seen = 0;
            for (;;) {
                uint64_t r;
                while ((r = round.load(std::memory_order_acquire)) == seen) {
                    if (stop.load(std::memory_order_relaxed)) return;
                    std::this_thread::yield();
                }
                seen = r;
                copyBand(b);
                done.fetch_add(1, std::memory_order_release);
            }
        });
    for (auto _ : state) {
        done.store(0, std::memory_order_relaxed);
        round.fetch_add(1, std::memory_order_release);
        copyBand(0);
        while (done.load(std::memory_order_acquire) != threads - 1) std::this_thread::yield();
        benchmark::ClobberMemory();
    }
    stop = true;
    for (std::thread& h : helpers) h.join();
    const double cells = double(bytes) * double(state.iterations());
    state.counters["cells/s"] = benchmark::Counter(cells, benchmark::Counter::kIsRate);
}

// Every fast kernel on 1 and 2 step threads, against the memcpy on as many
// threads; the smaller boards tell where two threads start to pay (the step
// threads' threshold in engine/step/kernels.h).
void RegisterThreaded() {
    for (int side : {200, 400, 800, 4000, 10000}) {
        const benchmark::TimeUnit unit =
            side > 1000 ? benchmark::kMillisecond : benchmark::kMicrosecond;
        const std::string name = "ThreadedSoup" + std::to_string(side);
        auto boards = [name, side]() -> Pair& { return Boards(name, side, Soup); };
        for (int threads : {1, 2}) {
            const std::string suffix = "/threads:" + std::to_string(threads);
            for (const StepKernelInfo& k : StepKernels()) {
                if (!k.supported || k.kernel == &StepReference) continue;
                benchmark::RegisterBenchmark((name + "/" + k.name + suffix).c_str(),
                                             [boards, threads, &k](benchmark::State& s) {
                                                 // Bands on every window, so that the 800 x 800
                                                 // figures show whether the threaded path would pay
                                                 // there.
                                                 SetStepThreads(threads);
                                                 g_stepThreadedCells = 0;
                                                 Step(s, k, boards(), false);
                                                 g_stepThreadedCells = kThreadedCells;
                                                 SetStepThreads(1);
                                             })
                    ->Unit(unit)
                    ->UseRealTime();
            }
            benchmark::RegisterBenchmark(
                (name + "/memcpy" + suffix).c_str(),
                [boards, threads](benchmark::State& s) { CopyThreaded(s, boards(), threads); })
                ->Unit(unit)
                ->UseRealTime();
        }
    }
}

void RegisterAll() {
    const std::pair<const char*, Filler> patterns[] = {
        {"Soup", Soup}, {"Glider", Glider}, {"Sparse", Sparse}};
    for (int side : {800, 10000}) {
        const benchmark::TimeUnit unit =
            side > 1000 ? benchmark::kMillisecond : benchmark::kMicrosecond;
        for (const auto& [pattern, fill] : patterns) {
            const std::string name = pattern + std::to_string(side);
            auto boards = [name, side, fill = fill]() -> Pair& { return Boards(name, side, fill); };
            for (const StepKernelInfo& k : StepKernels()) {
                if (!k.supported) continue;
                // On soups also with the live hash: what asking for it costs.
                for (bool hash : {false, true}) {
                    if (hash && std::string(pattern) != "Soup") continue;
                    benchmark::RegisterBenchmark(
                        (name + "/" + k.name + (hash ? "/hash" : "")).c_str(),
                        [boards, &k, hash](benchmark::State& s) {
                            SetStepThreads(1);  // the kernel alone; threads are measured below
                            Step(s, k, boards(), hash);
                        })
                        ->Unit(unit);
                }
            }
            if (std::string(pattern) == "Soup")
                benchmark::RegisterBenchmark((name + "/memcpy").c_str(), [boards](
                                                                             benchmark::State& s) {
                    Copy(s, boards());
                })->Unit(unit);
        }
    }
}

// Every kernel on one thread on a 10000 x 26 soup, whose two boards fit the
// second-level cache: the step's own cost at the width of the 10000 x 10000
// board, with no wait for memory. Beside Soup10000 it tells how much of that
// step is computing and how much is waiting for memory.
void RegisterStrip() {
    for (const StepKernelInfo& k : StepKernels()) {
        if (!k.supported || k.kernel == &StepReference) continue;
        benchmark::RegisterBenchmark(
            (std::string("Strip10000x26/") + k.name).c_str(),
            [&k](benchmark::State& s) {
                static Pair strip = [] {
                    Pair p{CellBoard::Create(10000, 26), CellBoard::Create(10000, 26)};
                    Soup(*p.cur);
                    std::memset(p.scratch->EditCells(), 0, p.scratch->CellCount());
                    return p;
                }();
                SetStepThreads(1);
                Step(s, k, strip, false);
            })
            ->Unit(benchmark::kMicrosecond);
    }
}

// The selected kernel on 800 x 800 and 10000 x 10000 soups under Conway's
// rule, under tlife (B3/S2-i34q, letters: the table kernel) and under a MAP
// rule of random entries: what a rule that is not totalistic costs, side by
// side, on one thread and on two.
void RegisterRules() {
    Rule::Table random;
    std::mt19937_64 rng(29);
    for (uint64_t& word : random) word = rng();
    static const std::pair<const char*, Rule> kRules[] = {
        {"totalistic", Rule()},
        {"tlife", ParseRule("B3/S2-i34q").rule},
        {"map", Rule::FromTable(random)},
    };
    static const StepKernelInfo selected = [] {
        for (const StepKernelInfo& k : StepKernels())
            if (k.supported && std::string(k.name) == SelectedStepKernelName()) return k;
        return StepKernels().back();
    }();
    for (int side : {800, 10000}) {
        const benchmark::TimeUnit unit =
            side > 1000 ? benchmark::kMillisecond : benchmark::kMicrosecond;
        const std::string name = "Soup" + std::to_string(side);
        auto boards = [name, side]() -> Pair& { return Boards(name, side, Soup); };
        for (int threads : {1, 2})
            for (const auto& [ruleName, rule] : kRules)
                benchmark::RegisterBenchmark(("Rules" + std::to_string(side) + "/" + ruleName +
                                              "/threads:" + std::to_string(threads))
                                                 .c_str(),
                                             [boards, threads, rule = &rule](benchmark::State& s) {
                                                 SetStepThreads(threads);
                                                 Step(s, selected, boards(), false, *rule);
                                                 SetStepThreads(1);
                                             })
                    ->Unit(unit)
                    ->UseRealTime();
    }
}

bool IsTableKernel(const StepKernelInfo& k) {
    return std::string(k.name).rfind("table", 0) == 0;
}

// A run as the runner makes it, on one thread: a soup of `density`, its
// first generation stepped untimed (it writes the whole scratch board), then
// `generations` more, each into the board the one before read; beside it the
// same number of memcpys of the board. Reported per generation.
void RegisterRuns() {
    struct RunCase {
        const char* name;
        int side;
        double density;
        int generations;
    };
    // Run2000 and Run4000, only the selected kernel against the lazy run,
    // show where stepping the planes alone starts to pay.
    for (const RunCase& c :
         {RunCase{"Run800", 800, 0.5, 3000}, RunCase{"Run2000", 2000, 0.3, 300},
          RunCase{"Run4000", 4000, 0.3, 100}, RunCase{"Run10000", 10000, 0.3, 20}}) {
        const bool all = c.side == 800 || c.side == 10000;
        const benchmark::TimeUnit unit =
            c.side > 1000 ? benchmark::kMillisecond : benchmark::kMicrosecond;
        // kind: a kernel writing the bytes every step; "lazy": the planes
        // alone with their births logged and the bytes caught up once at the
        // end, timed, as the runner makes a run; null: memcpy.
        auto run = [c](benchmark::State& state, const StepKernelInfo* k, bool lazy) {
            static Pair p;
            static int side = 0;
            if (side != c.side) {
                p = Pair{CellBoard::Create(c.side, c.side), CellBoard::Create(c.side, c.side)};
                side = c.side;
            }
            SetStepThreads(1);
            const Rule rule;
            BirthLog log;
            for (auto _ : state) {
                state.PauseTiming();
                p.scratch->MakeEmpty();
                FillSoup(*p.cur, c.density, 1);
                if (k != nullptr || lazy) {
                    (lazy ? SelectedStepKernel() : k->kernel)(*p.cur, *p.scratch, 1, rule, nullptr);
                    std::swap(p.cur, p.scratch);
                }
                state.ResumeTiming();
                for (int g = 0; g < c.generations; ++g) {
                    if (lazy) {
                        const StepCounts n = log.Step(*p.cur, *p.scratch, g + 2, rule, nullptr);
                        benchmark::DoNotOptimize(n);
                        std::swap(p.cur, p.scratch);
                    } else if (k != nullptr) {
                        const StepCounts n = k->kernel(*p.cur, *p.scratch, g + 2, rule, nullptr);
                        benchmark::DoNotOptimize(n);
                        std::swap(p.cur, p.scratch);
                    } else {
                        std::memcpy(p.scratch->EditCells(), p.cur->Cells(), p.cur->CellCount());
                    }
                    benchmark::ClobberMemory();
                }
                if (lazy) log.CatchUp();
            }
            state.counters["generation"] =
                benchmark::Counter(double(state.iterations()) * c.generations,
                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
        };
        for (const StepKernelInfo& k : StepKernels()) {
            if (!k.supported || k.kernel == &StepReference || IsTableKernel(k)) continue;
            if (!all && k.kernel != SelectedStepKernel()) continue;
            benchmark::RegisterBenchmark((std::string(c.name) + "/" + k.name).c_str(),
                                         [run, &k](benchmark::State& s) { run(s, &k, false); })
                ->Unit(unit);
        }
        if (BirthLog().CanStep(*CellBoard::Create(8, 8), *CellBoard::Create(8, 8), Rule()))
            benchmark::RegisterBenchmark((std::string(c.name) + "/lazy").c_str(),
                                         [run](benchmark::State& s) { run(s, nullptr, true); })
                ->Unit(unit);
        benchmark::RegisterBenchmark((std::string(c.name) + "/memcpy").c_str(),
                                     [run](benchmark::State& s) { run(s, nullptr, false); })
            ->Unit(unit);
    }
}

void RegisterSoupFill() {
    using Fill = void (*)(CellBoard&, double, uint64_t);
    for (auto [name, fill] : {std::pair<const char*, Fill>{"SoupFill800/runner", &FillSoup},
                              {"SoupFill800/per_cell", &FillSoupPerCell}})
        benchmark::RegisterBenchmark(name, [fill = fill](benchmark::State& s) {
            auto board = CellBoard::Create(800, 800);
            uint64_t seed = 1;
            for (auto _ : s) {
                fill(*board, 0.5, seed++);
                benchmark::ClobberMemory();
            }
        })->Unit(benchmark::kMicrosecond);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::AddCustomContext("selected step kernel", SelectedStepKernelName());
#if defined(CELLARIUM_STEP_X86)
    if (std::string(SelectedStepKernelName()) == "bytes_bits_avx512")
        benchmark::AddCustomContext("its kernel for cache-sized windows", CacheWindowBytesName());
#endif
    RegisterSoupFill();
    RegisterAll();
    RegisterStrip();
    RegisterThreaded();
    RegisterRules();
    RegisterRuns();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
