#include "engine/step.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "engine/cell_board.h"

using namespace cellarium;

namespace {

std::unique_ptr<CellBoard> BoardWith(int w, int h,
                                     std::initializer_list<std::pair<int, int>> cells) {
    auto b = CellBoard::Create(w, h);
    for (auto [x, y] : cells) {
        b->Set(x, y, 1);
        b->IncludeCell(Point{x, y});
        ++b->liveCount;
    }
    return b;
}

// Steps the pair once, swapping like the document.
StepCounts Step(std::unique_ptr<CellBoard>& cur, std::unique_ptr<CellBoard>& scratch, int newborn,
                const Rule& rule = Rule()) {
    StepCounts c;
    cur->ComputeNext(*scratch, rule, newborn, c.births, c.deaths);
    std::swap(cur, scratch);
    return c;
}

}  // namespace

TEST(Step, EmptyBoardWritesNothingAndReportsNothing) {
    auto cur = CellBoard::Create(150, 150);
    auto scratch = CellBoard::Create(150, 150);
    scratch->Set(5, 5, 9);  // would be stale if the step wrote anything
    StepCounts c = Step(cur, scratch, 1);
    EXPECT_EQ(c.births, 0);
    EXPECT_EQ(c.deaths, 0);
    EXPECT_EQ(cur->liveCount, 0);
    EXPECT_EQ(cur->bounds, cur->EmptyBox());
    EXPECT_EQ(cur->At(5, 5), 9);
}

TEST(Step, BlinkerAlternatesWithTwoBirthsAndTwoDeaths) {
    auto cur = BoardWith(150, 150, {{10, 11}, {11, 11}, {12, 11}});
    auto scratch = CellBoard::Create(150, 150);
    for (int i = 0; i < 6; ++i) {
        StepCounts c = Step(cur, scratch, i + 1);
        EXPECT_EQ(c.births, 2);
        EXPECT_EQ(c.deaths, 2);
        EXPECT_EQ(cur->liveCount, 3);
        bool vertical = (i % 2) == 0;
        EXPECT_EQ(cur->At(11, 10) != 0, vertical);
        EXPECT_EQ(cur->At(10, 11) != 0, !vertical);
        // The bounds cover both phases: every cell live in either generation.
        EXPECT_EQ(cur->bounds, (Rect{10, 10, 12, 12}));
    }
}

TEST(Step, GliderTravelsAndColoursRecordBirthGeneration) {
    auto cur = BoardWith(150, 150, {{21, 20}, {22, 21}, {20, 22}, {21, 22}, {22, 22}});
    auto scratch = CellBoard::Create(150, 150);
    for (int g = 0; g < 8; ++g) Step(cur, scratch, g + 1);
    EXPECT_EQ(cur->liveCount, 5);
    for (auto [x, y] : {std::pair{23, 22}, {24, 23}, {22, 24}, {23, 24}, {24, 24}})
        EXPECT_NE(cur->At(x, y), 0) << x << "," << y;
    // Every glider cell is eventually reborn, so none carries the loaded value 1.
    for (auto [x, y] : {std::pair{23, 22}, {24, 23}, {22, 24}, {23, 24}, {24, 24}})
        EXPECT_GT(cur->At(x, y), 1);
}

TEST(Step, NewbornValueWrapsToOneAndSurvivorsKeepTheirValue) {
    // A block is a still life: its cells keep whatever value they have.
    auto cur = BoardWith(150, 150, {{50, 50}, {51, 50}, {50, 51}, {51, 51}});
    cur->Set(50, 50, 200);
    auto scratch = CellBoard::Create(150, 150);
    for (int i = 0; i < 300; ++i) Step(cur, scratch, i + 1);
    EXPECT_EQ(cur->At(50, 50), 200);
    EXPECT_EQ(cur->At(51, 51), 1);

    EXPECT_EQ(NewbornValue(256), 1);
    EXPECT_EQ(NewbornValue(512), 1);
    EXPECT_EQ(NewbornValue(257), 1);
    EXPECT_EQ(NewbornValue(255), 255);
    auto blinker = BoardWith(150, 150, {{10, 11}, {11, 11}, {12, 11}});
    auto s2 = CellBoard::Create(150, 150);
    Step(blinker, s2, 256);
    EXPECT_EQ(blinker->At(11, 10), 1);
    Step(blinker, s2, 0x1FE);
    EXPECT_EQ(blinker->At(10, 11), 0xFE);
}

TEST(Step, BorderCellsAreReadButNeverWrittenOrCounted) {
    // Three border cells on the top edge give (11, 1) three live neighbours.
    auto cur = CellBoard::Create(150, 150);
    for (int x = 10; x <= 12; ++x) cur->Set(x, 0, 7);
    cur->liveCount = 3;
    cur->bounds = Rect{10, 0, 12, 1};
    auto target = CellBoard::Create(150, 150);
    int32_t births = 0, deaths = 0;
    cur->ComputeNext(*target, Rule(), 4, births, deaths);
    EXPECT_EQ(births, 1);
    EXPECT_EQ(deaths, 0);
    EXPECT_EQ(target->At(11, 1), 4);
    EXPECT_EQ(target->liveCount, 1);
    EXPECT_EQ(cur->liveCount, 1);
    EXPECT_EQ(cur->At(11, 0), 7);
    for (int x = 0; x < 150; ++x) EXPECT_EQ(target->At(x, 0), 0);
}

TEST(Step, BornZeroGrowsTwoCellsPerStepUntilTheInteriorIsFull) {
    const Rule bornZero = Rule::Totalistic(1, 0);
    auto cur = BoardWith(150, 150, {{75, 75}});
    auto scratch = CellBoard::Create(150, 150);
    Step(cur, scratch, 1, bornZero);
    // The lone cell dies (no survive entries) and every dead cell with no live
    // neighbour inside the window is born.
    EXPECT_EQ(cur->bounds, (Rect{73, 73, 77, 77}));
    EXPECT_EQ(cur->At(73, 73), 1);
    EXPECT_EQ(cur->At(72, 73), 0);
    for (int i = 0; i < 80; ++i) Step(cur, scratch, i + 2, bornZero);
    EXPECT_EQ(cur->bounds, cur->WholeBox());
}

TEST(Step, EmptySurviveTableKillsEverythingButKeepsTheBounds) {
    auto cur = BoardWith(150, 150, {{30, 40}, {90, 100}});
    auto scratch = CellBoard::Create(150, 150);
    StepCounts c = Step(cur, scratch, 1, Rule::Totalistic(0, 0));
    EXPECT_EQ(c.deaths, 2);
    EXPECT_EQ(cur->liveCount, 0);
    EXPECT_EQ(cur->bounds, (Rect{30, 40, 90, 100}));
}

// The differential check: a model that recomputes a fresh full board every
// generation (no scratch board, no reuse) against the real pair of boards that
// swap and are never cleared. The model follows the same window rule (the
// previous step's bounds grown by two, clipped to the interior), which matters
// for rules with born[0] and for births next to live border cells; outside the
// window every interior cell of the model is dead. Each board keeps its own
// border, which no step ever writes.
namespace {

struct Model {
    int w, h;
    std::vector<uint8_t> cells;
    Rect bounds;
};

struct ModelStep {
    int births = 0, deaths = 0, live = 0;
};

ModelStep Advance(const Model& src, Model& dst, uint8_t newborn, const uint8_t* survive,
                  const uint8_t* born) {
    ModelStep r;
    const int w = src.w, h = src.h;
    const int fr = std::max(src.bounds.top - 2, 1), lr = std::min(src.bounds.bottom + 2, h - 2);
    const int fc = std::max(src.bounds.left - 2, 1), lc = std::min(src.bounds.right + 2, w - 2);
    Rect nb{w - 2, h - 2, 1, 1};
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x) {
            uint8_t& out = dst.cells[y * w + x];
            const bool inWindow = y >= fr && y <= lr && x >= fc && x <= lc;
            const uint8_t old = src.cells[y * w + x];
            if (!inWindow) {
                EXPECT_EQ(old, 0) << "model: live cell outside the window";
                out = 0;
                continue;
            }
            int n = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if ((dx || dy) && src.cells[(y + dy) * w + x + dx]) ++n;
            if (old) {
                out = survive[n] ? old : 0;
                if (out)
                    ++r.live;
                else
                    ++r.deaths;
            } else {
                out = born[n] ? newborn : 0;
                if (out) ++r.live, ++r.births;
            }
            if (old || out) {
                nb.left = std::min(nb.left, x);
                nb.right = std::max(nb.right, x);
                nb.top = std::min(nb.top, y);
                nb.bottom = std::max(nb.bottom, y);
            }
        }
    dst.bounds = nb;
    return r;
}

void ExpectBoardMatches(const CellBoard& b, const Model& m, int gen) {
    for (int i = 0; i < b.width * b.height; ++i)
        ASSERT_EQ(b.Cells()[i], m.cells[i])
            << "generation " << gen << " cell " << i % b.width << "," << i / b.width;
}

}  // namespace

TEST(Step, MatchesFreshWholeBoardRecomputationOverLongRuns) {
    std::mt19937 rng(20261207);
    for (int trial = 0; trial < 60; ++trial) {
        const int w = 3 + int(rng() % 40), h = 3 + int(rng() % 40);
        uint8_t survive[9], born[9];
        const int ruleKind = trial % 5;
        for (int n = 0; n < 9; ++n) {
            survive[n] = (rng() % 3) == 0;
            born[n] = (rng() % 4) == 0;
        }
        if (ruleKind == 0) std::fill(survive, survive + 9, 0);  // empty survive
        if (ruleKind == 1) born[0] = 1;                         // born with no neighbour
        if (ruleKind == 2) {
            std::fill(survive, survive + 9, 0);
            std::fill(born, born + 9, 0);
        }
        if (ruleKind == 3) {
            std::fill(survive, survive + 9, 0);
            std::fill(born, born + 9, 0);
            survive[2] = survive[3] = born[3] = 1;
        }
        uint16_t survives = 0, borns = 0;
        for (int n = 0; n < 9; ++n) {
            survives |= uint16_t(survive[n] << n);
            borns |= uint16_t(born[n] << n);
        }
        const Rule rule = Rule::Totalistic(borns, survives);

        auto cur = CellBoard::Create(w, h);
        auto scratch = CellBoard::Create(w, h);
        ASSERT_TRUE(cur && scratch);
        // Live cells inside a random interior box; the bounds are that box.
        int l = 1 + int(rng() % (w - 2)), t = 1 + int(rng() % (h - 2));
        int r = l + int(rng() % (w - 1 - l)), b = t + int(rng() % (h - 1 - t));
        const int density = 1 + int(rng() % 4);
        for (int y = t; y <= b; ++y)
            for (int x = l; x <= r; ++x)
                if (rng() % 4 < unsigned(density)) cur->Set(x, y, uint8_t(1 + rng() % 255));
        cur->bounds = Rect{l, t, r, b};
        // Live border cells on either board, some of the time.
        if (trial % 2) {
            for (int k = 0; k < 6; ++k) {
                int edge = int(rng() % 4);
                int x = edge < 2 ? int(rng() % w) : (edge == 2 ? 0 : w - 1);
                int y = edge < 2 ? (edge == 0 ? 0 : h - 1) : int(rng() % h);
                ((k % 2) ? scratch : cur)->Set(x, y, uint8_t(1 + rng() % 255));
            }
        }

        // Model state mirrors the pair: two full boards whose borders persist.
        Model mc{w, h, std::vector<uint8_t>(cur->Cells(), cur->Cells() + w * h), cur->bounds};
        Model ms{w, h, std::vector<uint8_t>(scratch->Cells(), scratch->Cells() + w * h), Rect{}};

        int gen = 0;
        for (; gen < 120; ++gen) {
            const int newborn = int(rng() % 1024);
            int32_t births = -1, deaths = -1;
            cur->ComputeNext(*scratch, rule, newborn, births, deaths);
            std::swap(cur, scratch);
            ModelStep expect = Advance(mc, ms, NewbornValue(newborn), survive, born);
            if (HasFatalFailure()) return;
            std::swap(mc, ms);
            ExpectBoardMatches(*cur, mc, gen);
            if (HasFatalFailure()) return;
            ASSERT_EQ(births, expect.births) << "trial " << trial << " gen " << gen;
            ASSERT_EQ(deaths, expect.deaths) << "trial " << trial << " gen " << gen;
            ASSERT_EQ(cur->liveCount, expect.live);
            ASSERT_EQ(scratch->liveCount, expect.live);
            ASSERT_EQ(cur->bounds, mc.bounds) << "trial " << trial << " gen " << gen;
        }
    }
}
