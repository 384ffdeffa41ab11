// Steps on the planes alone with the bytes caught up later: whatever reads
// or writes the boards in between, and whenever the log runs full, every
// byte, count, bound and live hash is the reference step's.
#include "engine/birth_log.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/cell_board.h"
#include "engine/live_hash.h"
#include "engine/rule.h"
#include "engine/soup.h"
#include "engine/step.h"
#include "engine/step/kernels.h"

namespace cellarium {
namespace {

using Boards = std::pair<std::unique_ptr<CellBoard>, std::unique_ptr<CellBoard>>;

// The bands on the planes this CPU runs, by kernel name.
std::vector<std::pair<std::string, StepBand>> PlaneBands() {
    std::vector<std::pair<std::string, StepBand>> bands;
    for (const StepKernelInfo& k : StepKernels())
        if (const StepBand band = PlanesBandOf(k)) bands.emplace_back(k.name, band);
    return bands;
}

Boards Pair(int w, int h) {
    return {CellBoard::Create(w, h), CellBoard::Create(w, h)};
}

void CopyBoard(const CellBoard& from, CellBoard& to) {
    std::memcpy(to.EditCells(), from.Cells(), from.CellCount());
    to.bounds = from.bounds;
    to.liveCount = from.liveCount;
}

std::string FirstDifference(const CellBoard& want, const CellBoard& got) {
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x)
            if (want.At(x, y) != got.At(x, y))
                return "(" + std::to_string(x) + "," + std::to_string(y) + ") want " +
                       std::to_string(want.At(x, y)) + " got " + std::to_string(got.At(x, y));
    return "";
}

// Steps `log` and the reference side by side from the same board for
// `steps` generations, newborn values from `newborn` on; `between` runs
// after each step on the log's current board and the reference's (to read or
// edit them the same way). Boards compared at the end.
template <class Between>
void StepBoth(BirthLog& log, Boards& lazy, Boards& ref, const Rule& rule, int steps, int newborn,
              Between between, const std::string& what) {
    for (int g = 0; g < steps; ++g) {
        uint64_t hash = 0;
        const StepCounts got = log.Step(*lazy.first, *lazy.second, newborn + g, rule, &hash);
        const StepCounts want = StepReference(*ref.first, *ref.second, newborn + g, rule);
        std::swap(lazy.first, lazy.second);
        std::swap(ref.first, ref.second);
        ASSERT_EQ(got.births, want.births) << what << " step " << g;
        ASSERT_EQ(got.deaths, want.deaths) << what << " step " << g;
        ASSERT_EQ(lazy.first->liveCount, ref.first->liveCount) << what << " step " << g;
        ASSERT_EQ(lazy.first->bounds, ref.first->bounds) << what << " step " << g;
        ASSERT_EQ(hash, LiveCellHash(*ref.first)) << what << " step " << g;
        between(g, *lazy.first, *ref.first);
    }
    log.CatchUp();
    ASSERT_EQ(FirstDifference(*ref.first, *lazy.first), "") << what;
    ASSERT_EQ(FirstDifference(*ref.second, *lazy.second), "") << what << " (the other board)";
}

TEST(BirthLog, EveryPlaneBandRuleAndBoardShapeMatchesTheReference) {
    const Rule rules[] = {Rule(), Rule::Totalistic(0b1001000, 0b1100),
                          Rule::Totalistic(0b10101010, 0b10101010),
                          Rule::Totalistic(0b1000, 0b111111111), Rule::Totalistic(0b100, 0)};
    struct Shape {
        int w, h;
        double density;
    };
    const Shape shapes[] = {{200, 160, 0.4}, {67, 41, 0.5}, {130, 9, 0.3}, {9, 70, 0.5}};
    for (const auto& [name, band] : PlaneBands())
        for (std::size_t r = 0; r < std::size(rules); ++r)
            for (const Shape& s : shapes) {
                Boards lazy = Pair(s.w, s.h), ref = Pair(s.w, s.h);
                // The log at its longest on the second shape; on the others
                // a budget for 40 steps (three groups), which keeps the
                // table short.
                const std::size_t budget = s.w == 67 ? BirthLog::kDefaultBudget
                                                     : std::size_t(lazy.first->PlaneStride()) *
                                                           std::size_t(s.h) * sizeof(uint64_t) * 43;
                BirthLog log(budget, band);
                ASSERT_EQ(log.StepsFor(*lazy.first), s.w == 67 ? BirthLog::kMostSteps : 40);
                FillSoup(*lazy.first, s.density, 5 + r);
                CopyBoard(*lazy.first, *ref.first);
                // Past two catch-ups for the log running full; newborn values wrap.
                StepBoth(
                    log, lazy, ref, rules[r], int(2 * log.StepsFor(*lazy.first) + 8), 240,
                    [](int, CellBoard&, CellBoard&) {},
                    name + " rule " + std::to_string(r) + " " + std::to_string(s.w) + "x" +
                        std::to_string(s.h));
            }
}

// Readers and writers in the middle of a run see exact bytes; the log picks
// up again after them. A tiny budget fills the log every second step, and a
// scratch board left with live cells (here the soup itself) is stepped the
// ordinary way until it is clear.
TEST(BirthLog, ReadersWritersAFullLogAndAScratchBoardWithCellsLeftInIt) {
    std::mt19937 rng(3);
    for (const auto& [name, band] : PlaneBands())
        for (const std::size_t budget : {BirthLog::kDefaultBudget, std::size_t(1)}) {
            BirthLog log(budget, band);
            Boards lazy = Pair(150, 120), ref = Pair(150, 120);
            // The soup on the left, the scratch board's leftovers on the right.
            FillSoup(*lazy.first, 0.45, 9);
            lazy.first->FillRect(Rect{100, 0, 149, 119}, 0);
            lazy.first->ScanBounds();
            lazy.first->liveCount = 0;
            for (int y = 0; y < 120; ++y)
                for (int x = 0; x < 150; ++x) lazy.first->liveCount += lazy.first->At(x, y) != 0;
            CopyBoard(*lazy.first, *ref.first);
            for (CellBoard* b : {lazy.second.get(), ref.second.get()}) {
                b->FillRect(Rect{101, 50, 107, 56}, 9);
                b->ScanBounds();
            }
            StepBoth(
                log, lazy, ref, Rule(), 90, 1,
                [&](int g, CellBoard& got, CellBoard& want) {
                    if (g % 17 == 5) {
                        ASSERT_EQ(FirstDifference(want, got), "") << name << " read at " << g;
                    } else if (g % 17 == 11) {
                        const int x = 1 + int(rng() % 148), y = 1 + int(rng() % 118);
                        const bool wasAlive = want.At(x, y) != 0;
                        for (CellBoard* b : {&got, &want}) {
                            b->Set(x, y, 7);
                            b->liveCount += wasAlive ? 0 : 1;
                            b->ScanBounds();
                        }
                    }
                },
                name + " budget " + std::to_string(budget));
        }
}

// Steps and catch-ups split over step threads (three, on every window) give
// the same bytes.
TEST(BirthLog, OnStepThreadsMatchesTheReference) {
    const std::size_t threadedCells = g_stepThreadedCells;
    g_stepThreadedCells = 0;
    StepPool pool(3);
    StepPoolScope scope(pool);
    for (const auto& [name, band] : PlaneBands())
        for (const std::size_t budget : {BirthLog::kDefaultBudget, std::size_t(1)}) {
            BirthLog log(budget, band);
            Boards lazy = Pair(190, 77), ref = Pair(190, 77);
            FillSoup(*lazy.first, 0.4, 11);
            CopyBoard(*lazy.first, *ref.first);
            StepBoth(
                log, lazy, ref, Rule(), 40, 3, [](int, CellBoard&, CellBoard&) {},
                name + " on three threads, budget " + std::to_string(budget));
            // A step that writes the bytes while the log holds the boards has
            // them caught up from inside the step.
            log.Step(*lazy.first, *lazy.second, 50, Rule(), nullptr);
            StepReference(*ref.first, *ref.second, 50, Rule());
            SelectedStepKernel()(*lazy.second, *lazy.first, 51, Rule(), nullptr);
            StepReference(*ref.second, *ref.first, 51, Rule());
            ASSERT_EQ(FirstDifference(*ref.first, *lazy.first), "") << name;
            ASSERT_EQ(FirstDifference(*ref.second, *lazy.second), "") << name;
        }
    g_stepThreadedCells = threadedCells;
}

// The boards are exact when the log goes while holding them, and when one
// of them is destroyed first.
TEST(BirthLog, GoingOrLosingABoardLeavesExactBytes) {
    const StepBand band = PlaneBands().front().second;
    Boards ref = Pair(100, 100);
    FillSoup(*ref.first, 0.5, 2);
    auto lazy = Pair(100, 100);
    CopyBoard(*ref.first, *lazy.first);
    {
        BirthLog log(BirthLog::kDefaultBudget, band);
        for (int g = 0; g < 10; ++g) {
            log.Step(*lazy.first, *lazy.second, g + 1, Rule(), nullptr);
            StepReference(*ref.first, *ref.second, g + 1, Rule());
            std::swap(lazy.first, lazy.second);
            std::swap(ref.first, ref.second);
        }
        EXPECT_TRUE(log.Holding());
        lazy.second.reset();
        EXPECT_FALSE(log.Holding());
        EXPECT_FALSE(lazy.first->BytesAreBehind());
        EXPECT_EQ(FirstDifference(*ref.first, *lazy.first), "");
        lazy.second = CellBoard::Create(100, 100);
        log.Step(*lazy.first, *lazy.second, 11, Rule(), nullptr);
        StepReference(*ref.first, *ref.second, 11, Rule());
        EXPECT_TRUE(lazy.second->BytesAreBehind());
    }
    EXPECT_FALSE(lazy.second->BytesAreBehind());
    EXPECT_EQ(FirstDifference(*ref.first, *lazy.first), "");
    EXPECT_EQ(FirstDifference(*ref.second, *lazy.second), "");
}

}  // namespace
}  // namespace cellarium
