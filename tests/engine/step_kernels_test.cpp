// Every fast step kernel against the reference step: two pairs of boards that
// start byte for byte alike (stale scratch contents and live border cells
// included) are stepped and swapped side by side, and after every step the
// whole of both boards, the counters, the live counts and the bounds must be
// identical. Comparing whole boards also catches a write outside the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/cell_board.h"
#include "engine/live_hash.h"
#include "engine/step.h"
#include "engine/step/kernels.h"

namespace cellarium {
// Names the kernel in the messages of a failing test.
void PrintTo(const StepKernelInfo& k, std::ostream* os) {
    *os << k.name;
}
}  // namespace cellarium

using namespace cellarium;

namespace {

// Any rule: totalistic ones as before (empty, full, Conway's, the few
// neighbours where merged counts go wrong, any of the 2^18), and rules the
// totalistic kernels hand to the table kernel: isotropic ones, made of whole
// classes of blocks, and any of the 512-entry tables, B0 ones among them.
Rule RandomRule(std::mt19937_64& rng) {
    const uint32_t bits = uint32_t(rng());
    switch (rng() % 10) {
        case 0:
            return Rule::Totalistic(0, 0);
        case 1:
            return Rule::Totalistic(Rule::kAllCounts, Rule::kAllCounts);
        case 2:
            return Rule();
        case 3: {  // born and survive with no or one neighbour
            uint16_t born = uint16_t(bits & 3), survive = uint16_t((bits >> 2) & 3);
            born ^= uint16_t(1u << (bits % 9));
            return Rule::Totalistic(born, survive);
        }
        case 4:
        case 5: {  // isotropic: each block with its turns and mirror images
            Rule::Table table{};
            const int density = int(rng() % 8);
            for (unsigned block = 0; block < 512; ++block) {
                if ((table[block >> 6] >> (block & 63)) & 1u) continue;
                if (int(rng() % 8) > density) continue;
                unsigned b = block;
                for (int m = 0; m < 2; ++m, b = MirrorBlock(b))
                    for (int t = 0; t < 4; ++t, b = TurnBlock(b))
                        table[b >> 6] |= uint64_t(1) << (b & 63);
            }
            return Rule::FromTable(table);
        }
        case 6:
        case 7: {  // any table
            Rule::Table table;
            for (uint64_t& word : table) word = rng() & rng();
            return Rule::FromTable(table);
        }
        default:
            return Rule::Totalistic(uint16_t(bits & 0x1FF), uint16_t((bits >> 9) & 0x1FF));
    }
}

std::string Describe(const Rule& r) {
    std::string text;
    for (uint64_t word : r.table()) text += std::to_string(word) + ",";
    return (r.IsTotalistic() ? "totalistic " : "table ") + text;
}

// A pair of boards as the document holds them.
struct Pair {
    std::unique_ptr<CellBoard> cur, scratch;
};

Pair MakePair(int w, int h) {
    Pair p{CellBoard::Create(w, h), CellBoard::Create(w, h)};
    EXPECT_TRUE(p.cur && p.scratch);
    return p;
}

void CopyBoard(const CellBoard& from, CellBoard& to) {
    std::memcpy(to.EditCells(), from.Cells(), from.CellCount());
    to.bounds = from.bounds;
    to.liveCount = from.liveCount;
}

// Fills a board with live cells of any value at the given density (out of
// 256) inside a box, border included when the box reaches it.
void Sprinkle(CellBoard& b, std::mt19937_64& rng, Rect box, unsigned density) {
    for (int y = std::max(box.top, 0); y <= std::min(box.bottom, b.height - 1); ++y)
        for (int x = std::max(box.left, 0); x <= std::min(box.right, b.width - 1); ++x)
            b.Set(x, y, (rng() & 255) < density ? uint8_t(1 + rng() % 255) : 0);
}

Rect RandomBounds(const CellBoard& b, std::mt19937_64& rng) {
    const int w = b.width, h = b.height;
    switch (rng() % 6) {
        case 0:
            return b.EmptyBox();
        case 1:
            return b.WholeBox();
        case 2: {  // one cell, anywhere including the border
            const int x = int(rng() % w), y = int(rng() % h);
            return Rect{x, y, x, y};
        }
        default: {  // any box, reaching past the board at times
            int l = int(rng() % (w + 6)) - 3, r = int(rng() % (w + 6)) - 3;
            int t = int(rng() % (h + 6)) - 3, bt = int(rng() % (h + 6)) - 3;
            if (rng() % 8 != 0) {
                if (l > r) std::swap(l, r);
                if (t > bt) std::swap(t, bt);
            }
            return Rect{l, t, r, bt};
        }
    }
}

// Steps the kernel's pair and the reference's pair `steps` times and checks
// that they agree after every step; every other step asks the kernel for the
// live hash too, which must be that of the whole target.
void RunSideBySide(const StepKernelInfo& kernel, Pair& fast, Pair& ref, const Rule& rule, int steps,
                   std::mt19937_64& rng, const std::string& what,
                   std::optional<int> newbornGiven = std::nullopt) {
    for (int g = 0; g < steps; ++g) {
        const int newborn = newbornGiven ? *newbornGiven : int(rng() % 2048) - 1024;
        const StepCounts want = StepReference(*ref.cur, *ref.scratch, newborn, rule);
        uint64_t hash = 0;
        const bool withHash = g % 2 == 1;
        const StepCounts got =
            withHash ? kernel.kernel(*fast.cur, *fast.scratch, newborn, rule, &hash)
                     : kernel.kernel(*fast.cur, *fast.scratch, newborn, rule, nullptr);
        const std::string where = what + " step " + std::to_string(g) + " rule " + Describe(rule) +
                                  " newborn " + std::to_string(newborn);
        ASSERT_EQ(got.births, want.births) << where;
        ASSERT_EQ(got.deaths, want.deaths) << where;
        ASSERT_EQ(fast.cur->liveCount, ref.cur->liveCount) << where;
        ASSERT_EQ(fast.scratch->liveCount, ref.scratch->liveCount) << where;
        ASSERT_EQ(fast.scratch->bounds, ref.scratch->bounds) << where;
        if (withHash) {
            ASSERT_EQ(hash, LiveCellHash(*fast.scratch)) << where << " live hash";
        }
        for (const auto& [a, b] : {std::pair{fast.cur.get(), ref.cur.get()},
                                   std::pair{fast.scratch.get(), ref.scratch.get()}}) {
            if (std::memcmp(a->Cells(), b->Cells(), a->CellCount()) == 0) continue;
            for (std::size_t i = 0; i < a->CellCount(); ++i)
                ASSERT_EQ(int(a->Cells()[i]), int(b->Cells()[i]))
                    << where << (a == fast.cur.get() ? " source" : " target") << " cell "
                    << i % std::size_t(a->width) << "," << i / std::size_t(a->width);
        }
        std::swap(fast.cur, fast.scratch);
        std::swap(ref.cur, ref.scratch);
    }
}

// One random case: board, stale scratch, live border cells, bounds, rule.
void RandomCase(const StepKernelInfo& kernel, int w, int h, int steps, std::mt19937_64& rng,
                const std::string& what) {
    Pair fast = MakePair(w, h), ref = MakePair(w, h);
    CellBoard& b = *ref.cur;
    const unsigned density = unsigned(rng() % 257);
    // Live cells in a box, or everywhere.
    Rect box = rng() % 3 == 0 ? Rect{0, 0, w - 1, h - 1} : RandomBounds(b, rng);
    Sprinkle(b, rng, box, density);
    if (rng() % 2) {  // live border cells
        for (int x = 0; x < w; ++x) {
            if (rng() % 4 == 0) b.Set(x, 0, uint8_t(1 + rng() % 255));
            if (rng() % 4 == 0) b.Set(x, h - 1, uint8_t(1 + rng() % 255));
        }
        for (int y = 0; y < h; ++y) {
            if (rng() % 4 == 0) b.Set(0, y, uint8_t(1 + rng() % 255));
            if (rng() % 4 == 0) b.Set(w - 1, y, uint8_t(1 + rng() % 255));
        }
    }
    // Bounds that fit the cells (as the program keeps them), or anything.
    b.bounds = rng() % 2 ? b.ScanBounds() : RandomBounds(b, rng);
    b.liveCount = int32_t(rng() % 1000);
    // A stale scratch board: cells of an older generation everywhere.
    if (rng() % 2) Sprinkle(*ref.scratch, rng, Rect{0, 0, w - 1, h - 1}, unsigned(rng() % 257));
    ref.scratch->bounds = RandomBounds(*ref.scratch, rng);
    CopyBoard(*ref.cur, *fast.cur);
    CopyBoard(*ref.scratch, *fast.scratch);
    RunSideBySide(kernel, fast, ref, RandomRule(rng), steps, rng,
                  what + " " + std::to_string(w) + "x" + std::to_string(h));
}

class StepKernelTest : public ::testing::TestWithParam<StepKernelInfo> {
protected:
    void SetUp() override {
        if (!GetParam().supported) GTEST_SKIP() << GetParam().name << " not supported by this CPU";
    }
    void TearDown() override { g_stepStreamingCells = kStreamingCells; }
    const StepKernelInfo& Info() const { return GetParam(); }
};

TEST_P(StepKernelTest, SmallBoardsAnyWindowRuleAndNewbornValue) {
    std::mt19937_64 rng(0x5eed0001);
    for (int i = 0; i < 400; ++i) {
        const int w = 3 + int(rng() % 140), h = 3 + int(rng() % 40);
        RandomCase(Info(), w, h, 1 + int(rng() % 8), rng, "case " + std::to_string(i));
        if (HasFatalFailure()) return;
    }
}

TEST_P(StepKernelTest, OddWidthsUpToTheLargestBoard) {
    std::mt19937_64 rng(0x5eed0002);
    // Past 10000 too: rows longer than 255 vectors of any width must not wrap
    // the per-lane counters.
    const int widths[] = {150, 151,  157,  199,  255,   257,  509,   799,
                          800, 1023, 1025, 4093, 10000, 9999, 16411, 39999};
    for (int w : widths) {
        RandomCase(Info(), w, 3 + int(rng() % 9), 3, rng, "width");
        if (HasFatalFailure()) return;
    }
}

TEST_P(StepKernelTest, WindowsOfEveryWidthAtEveryAlignment) {
    // Narrow windows and windows just around the vector widths, at every
    // start column modulo 64, so each head, tail and overlap case is taken.
    std::mt19937_64 rng(0x5eed0003);
    const Rule conway;
    for (int cols = 1; cols <= 140; ++cols) {
        for (int start = 1; start <= 65; start += 1 + int(rng() % 5)) {
            const int w = start + cols + 2 + int(rng() % 3);
            Pair fast = MakePair(w, 7), ref = MakePair(w, 7);
            Sprinkle(*ref.cur, rng, Rect{0, 0, w - 1, 6}, 128);
            Sprinkle(*ref.scratch, rng, Rect{0, 0, w - 1, 6}, 200);
            // Bounds two inside the wanted window.
            ref.cur->bounds = Rect{start + 2, 3, start + cols - 3, 3};
            CopyBoard(*ref.cur, *fast.cur);
            CopyBoard(*ref.scratch, *fast.scratch);
            RunSideBySide(Info(), fast, ref, rng() % 2 ? conway : RandomRule(rng), 1, rng,
                          "cols " + std::to_string(cols) + " start " + std::to_string(start));
            if (HasFatalFailure()) return;
        }
    }
}

TEST_P(StepKernelTest, StreamingStoresGiveTheSameBoards) {
    // Large boards are written past the caches; take that path on small ones.
    g_stepStreamingCells = 0;
    std::mt19937_64 rng(0x5eed0004);
    for (int i = 0; i < 120; ++i) {
        const int w = 3 + int(rng() % 300), h = 3 + int(rng() % 12);
        RandomCase(Info(), w, h, 1 + int(rng() % 4), rng, "streaming " + std::to_string(i));
        if (HasFatalFailure()) return;
    }
}

TEST_P(StepKernelTest, SoupRunsLongUnderConwayAndBornZero) {
    // Long runs: the stale scratch board and
    // the bounds bookkeeping carried over many swaps.
    std::mt19937_64 rng(0x5eed0005);
    for (int born0 = 0; born0 < 2; ++born0) {
        const Rule rule = born0 ? Rule::Totalistic(0b1001, 0b100001100) : Rule();
        const int w = 211, h = 97;
        Pair fast = MakePair(w, h), ref = MakePair(w, h);
        Sprinkle(*ref.cur, rng, Rect{60, 20, 150, 70}, 128);
        ref.cur->bounds = Rect{60, 20, 150, 70};
        CopyBoard(*ref.cur, *fast.cur);
        CopyBoard(*ref.scratch, *fast.scratch);
        RunSideBySide(Info(), fast, ref, rule, 120, rng, born0 ? "born 0" : "conway");
        if (HasFatalFailure()) return;
    }
}

TEST_P(StepKernelTest, EveryNewbornValue) {
    // Births under a born-0 rule and Conway's, the low byte of the caller's
    // integer taking every value (0 standing for 1).
    std::mt19937_64 rng(0x5eed0009);
    const Rule born0 = Rule::Totalistic(0b1001, 0b1100);
    const Rule conway;
    for (int newborn = -260; newborn < 520; ++newborn) {
        Pair fast = MakePair(70, 6), ref = MakePair(70, 6);
        Sprinkle(*ref.cur, rng, Rect{0, 0, 69, 5}, 100);
        ref.cur->bounds = ref.cur->WholeBox();
        CopyBoard(*ref.cur, *fast.cur);
        CopyBoard(*ref.scratch, *fast.scratch);
        RunSideBySide(Info(), fast, ref, newborn % 2 ? born0 : conway, 2, rng, "newborn", newborn);
        if (HasFatalFailure()) return;
    }
}

std::string KernelName(const ::testing::TestParamInfo<StepKernelInfo>& info) {
    return info.param.name;
}

std::vector<StepKernelInfo> FastKernels() {
    std::vector<StepKernelInfo> fast;
    for (const StepKernelInfo& k : StepKernels())
        if (k.kernel != &StepReference) fast.push_back(k);
    return fast;
}

INSTANTIATE_TEST_SUITE_P(AllKernels, StepKernelTest, ::testing::ValuesIn(FastKernels()),
                         KernelName);

// The same kernels with the window split into bands on 1, 2, 3 and 7 step
// threads, small boards included: a band's edge rows read rows of the source
// that another band writes in the target, and the counters and bounds of the
// bands are combined after the step.
class ThreadedStepTest : public ::testing::TestWithParam<std::tuple<StepKernelInfo, int>> {
protected:
    void SetUp() override {
        if (!Info().supported) GTEST_SKIP() << Info().name << " not supported by this CPU";
        g_stepThreadedCells = 0;
        SetStepThreads(Threads());
    }
    void TearDown() override {
        g_stepThreadedCells = kThreadedCells;
        g_stepStreamingCells = kStreamingCells;
        SetStepThreads(int(std::max(1u, std::thread::hardware_concurrency())));
    }
    const StepKernelInfo& Info() const { return std::get<0>(GetParam()); }
    int Threads() const { return std::get<1>(GetParam()); }
};

TEST_P(ThreadedStepTest, WindowsFewerEqualAndMoreRowsThanBands) {
    const int t = Threads();
    std::mt19937_64 rng(0x5eed0006 + uint64_t(t));
    const Rule conwayBorn0 = Rule::Totalistic(0b1001, 0b100001100);
    for (int rows : {1, 2, t - 1, t, t + 1, 2 * t - 1, 2 * t + 1, 3 * t + 2}) {
        if (rows < 1) continue;
        for (int cols : {1, 5, 63, 64, 65, 97, 511, 512, 513}) {
            // The window is the whole interior: `rows` rows of `cols` cells
            // (around the word and vector widths), and live border cells
            // around it.
            const int w = cols + 2;
            Pair fast = MakePair(w, rows + 2), ref = MakePair(w, rows + 2);
            Sprinkle(*ref.cur, rng, Rect{0, 0, w - 1, rows + 1}, unsigned(rng() % 257));
            ref.cur->bounds = ref.cur->WholeBox();
            Sprinkle(*ref.scratch, rng, Rect{0, 0, w - 1, rows + 1}, 200);  // stale
            ref.scratch->bounds = RandomBounds(*ref.scratch, rng);
            CopyBoard(*ref.cur, *fast.cur);
            CopyBoard(*ref.scratch, *fast.scratch);
            g_stepStreamingCells = rng() % 2 ? 0 : kStreamingCells;
            RunSideBySide(Info(), fast, ref, rng() % 2 ? conwayBorn0 : RandomRule(rng), 3, rng,
                          std::to_string(rows) + " rows, " + std::to_string(cols) + " columns");
            if (HasFatalFailure()) return;
        }
    }
}

TEST_P(ThreadedStepTest, AnyBoardWindowRuleAndNewbornValue) {
    std::mt19937_64 rng(0x5eed0007 + uint64_t(Threads()));
    for (int i = 0; i < 150; ++i) {
        const int w = 3 + int(rng() % 300), h = 3 + int(rng() % 30);
        g_stepStreamingCells = rng() % 4 == 0 ? 0 : kStreamingCells;
        RandomCase(Info(), w, h, 1 + int(rng() % 6), rng, "case " + std::to_string(i));
        if (HasFatalFailure()) return;
    }
}

TEST_P(ThreadedStepTest, LongSoupRunOnAWideBoard) {
    // Many swaps of a wide board: the workers' row buffers stay stale between
    // steps and bands of different heights follow each other.
    std::mt19937_64 rng(0x5eed0008);
    const Rule conway;
    const int w = 1211, h = 41;
    Pair fast = MakePair(w, h), ref = MakePair(w, h);
    Sprinkle(*ref.cur, rng, Rect{300, 5, 900, 35}, 128);
    ref.cur->bounds = Rect{300, 5, 900, 35};
    CopyBoard(*ref.cur, *fast.cur);
    CopyBoard(*ref.scratch, *fast.scratch);
    RunSideBySide(Info(), fast, ref, conway, 60, rng, "soup");
}

std::string KernelAndThreads(
    const ::testing::TestParamInfo<std::tuple<StepKernelInfo, int>>& info) {
    return std::string(std::get<0>(info.param).name) + "_" +
           std::to_string(std::get<1>(info.param)) + "threads";
}

INSTANTIATE_TEST_SUITE_P(AllKernels, ThreadedStepTest,
                         ::testing::Combine(::testing::ValuesIn(FastKernels()),
                                            ::testing::Values(1, 2, 3, 7)),
                         KernelAndThreads);

TEST(StepThreads, AtLeastOneAndTheMachinesCoresByDefault) {
    EXPECT_EQ(StepThreads(), int(std::max(1u, std::thread::hardware_concurrency())));
    SetStepThreads(0);
    EXPECT_EQ(StepThreads(), 1);
    SetStepThreads(-5);
    EXPECT_EQ(StepThreads(), 1);
    SetStepThreads(3);
    EXPECT_EQ(StepThreads(), 3);
    SetStepThreads(int(std::max(1u, std::thread::hardware_concurrency())));
}

// The first kernel this CPU runs.
const StepKernelInfo& SupportedKernel() {
    for (const StepKernelInfo& k : StepKernels())
        if (k.supported) return k;
    return StepKernels().back();
}

TEST(StepThreads, HandOffWhileSpinningAndAfterSleeping) {
    // Steps back to back (the workers still spinning) and after pauses long
    // enough for them to sleep, on a window split into bands.
    SetStepThreads(2);
    g_stepThreadedCells = 0;
    std::mt19937_64 rng(0x5eed000a);
    const Rule conway;
    Pair fast = MakePair(90, 40), ref = MakePair(90, 40);
    Sprinkle(*ref.cur, rng, Rect{0, 0, 89, 39}, 128);
    ref.cur->bounds = ref.cur->WholeBox();
    CopyBoard(*ref.cur, *fast.cur);
    for (int round = 0; round < 12 && !HasFatalFailure(); ++round) {
        RunSideBySide(SupportedKernel(), fast, ref, conway, 1 + round % 3, rng, "hand-off");
        if (round % 2) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    g_stepThreadedCells = kThreadedCells;
    SetStepThreads(int(std::max(1u, std::thread::hardware_concurrency())));
}

// How often each row was stepped by CountingBand, and which threads stepped.
std::vector<std::atomic<int>> g_rowVisits(200);

void CountingBand(const StepJob&, int y0, int y1, StepScratch&, StepTally&) {
    for (int y = y0; y <= y1; ++y) g_rowVisits[std::size_t(y)].fetch_add(1);
}

TEST(StepThreads, EveryRowOfTheWindowIsSteppedExactlyOnce) {
    // A band that only counts: a chunk handed out twice, or not at all,
    // shows as a row stepped twice or never. A hand-out that loses count of
    // its chunks leaves the step waiting for ever: the steps run on a thread
    // of their own and a step that has not ended within seconds fails the
    // test at once, rather than holding the suite until its time limit.
    g_stepThreadedCells = 0;
    const Rule rule;
    auto s = CellBoard::Create(150, 190);
    auto t = CellBoard::Create(150, 190);
    for (int threads : {2, 3, 7}) {
        SetStepThreads(threads);
        for (int top : {1, 2, 50, 180}) {
            for (auto& v : g_rowVisits) v.store(0);
            s->bounds = Rect{10, top, 20, std::min(top + 70, 187)};
            std::atomic<bool> done{false};
            std::thread steps([&] {
                for (int step = 0; step < 25; ++step) StepInBands(*s, *t, 1, rule, &CountingBand);
                done.store(true);
            });
            const auto start = std::chrono::steady_clock::now();
            while (!done.load() &&
                   std::chrono::steady_clock::now() - start < std::chrono::seconds(20))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (!done.load()) {
                std::fprintf(stderr, "a step on %d threads never ended\n", threads);
                std::fflush(stderr);
                std::_Exit(1);
            }
            steps.join();
            const StepWindow win = WindowOf(*s);
            for (int y = 0; y < 190; ++y)
                ASSERT_EQ(g_rowVisits[std::size_t(y)].load(),
                          y >= win.firstRow && y <= win.lastRow ? 25 : 0)
                    << "row " << y << ", " << threads << " threads, window from " << top;
        }
    }
    g_stepThreadedCells = kThreadedCells;
    SetStepThreads(int(std::max(1u, std::thread::hardware_concurrency())));
}

TEST(StepThreads, PoolsOfTheirOwnStepTwoBoardsAtOnce) {
    // Two threads, each stepping its own board on a pool of two threads of
    // its own (and on the program's pool, for one of them, while the other
    // holds its own), against the reference stepped afterwards.
    g_stepThreadedCells = 0;
    const Rule rule;
    std::mt19937_64 rng(0x5eed000c);
    Pair boards[2] = {MakePair(300, 120), MakePair(300, 120)};
    Pair refs[2] = {MakePair(300, 120), MakePair(300, 120)};
    for (int i = 0; i < 2; ++i) {
        Sprinkle(*refs[i].cur, rng, Rect{0, 0, 299, 119}, 128);
        refs[i].cur->bounds = refs[i].cur->WholeBox();
        CopyBoard(*refs[i].cur, *boards[i].cur);
    }
    StepPool own(2);
    EXPECT_EQ(own.Threads(), 2);
    StepPool following;
    EXPECT_EQ(following.Threads(), StepThreads());
    std::vector<StepCounts> counts[2];
    auto run = [&](int i, StepPool* pool) {
        std::optional<StepPoolScope> scope;
        if (pool != nullptr) scope.emplace(*pool);
        for (int g = 0; g < 40; ++g) {
            counts[i].push_back(
                SelectedStepKernel()(*boards[i].cur, *boards[i].scratch, g + 1, rule, nullptr));
            std::swap(boards[i].cur, boards[i].scratch);
        }
    };
    std::thread other(run, 1, nullptr);
    run(0, &own);
    other.join();
    for (int i = 0; i < 2; ++i)
        for (int g = 0; g < 40; ++g) {
            const StepCounts want = StepReference(*refs[i].cur, *refs[i].scratch, g + 1, rule);
            std::swap(refs[i].cur, refs[i].scratch);
            ASSERT_EQ(counts[i][std::size_t(g)].births, want.births) << i << " step " << g;
            ASSERT_EQ(counts[i][std::size_t(g)].deaths, want.deaths) << i << " step " << g;
        }
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(
            std::memcmp(boards[i].cur->Cells(), refs[i].cur->Cells(), refs[i].cur->CellCount()), 0);
    g_stepThreadedCells = kThreadedCells;
}

uint64_t SplitMix(uint64_t z) {
    z += 0x9e3779b97f4a7c15;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
    z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
    return z ^ (z >> 31);
}

TEST(LiveCellHash, TheSumOverRowWordsOfTheirMixedBits) {
    std::mt19937_64 rng(0x5eed000b);
    for (int w : {3, 63, 64, 65, 130, 200, 513, 1100}) {
        const int h = 3 + int(rng() % 5);
        auto board = CellBoard::Create(w, h);
        ASSERT_TRUE(board);
        EXPECT_EQ(LiveCellHash(*board), 0u);
        Sprinkle(*board, rng, Rect{0, 0, w - 1, h - 1}, unsigned(rng() % 257));
        uint64_t want = 0;
        for (int y = 0; y < h; ++y)
            for (int k = 0; 64 * k < w; ++k) {
                uint64_t word = 0;
                for (int b = 0; b < 64 && 64 * k + b < w; ++b)
                    if (board->At(64 * k + b, y) != 0) word |= uint64_t(1) << b;
                if (word != 0) want += SplitMix(word ^ (uint64_t(y) << 32 | uint64_t(k)));
            }
        EXPECT_EQ(LiveCellHash(*board), want) << w << "x" << h;
        // Which live value a cell holds does not count.
        for (std::size_t i = 0; i < board->CellCount(); ++i)
            if (board->Cells()[i] != 0) board->EditCells()[i] = uint8_t(1 + rng() % 255);
        EXPECT_EQ(LiveCellHash(*board), want) << w << "x" << h;
    }
}

TEST(StepKernels, PortableAlwaysThereAndTheSelectedOneIsSupported) {
    bool portable = false, selected = false;
    for (const StepKernelInfo& k : StepKernels()) {
        if (std::string(k.name) == "bytes_portable") portable = k.supported;
        if (k.kernel == SelectedStepKernel()) {
            selected = k.supported;
            EXPECT_STREQ(k.name, SelectedStepKernelName());
        }
    }
    EXPECT_TRUE(portable);
    EXPECT_TRUE(selected);
}

}  // namespace
