// The run session: its generations are the kernel's, its stops come in their
// order after whole generations, and its repeats are numbered as its counter.
#include "engine/run_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/cell_board.h"
#include "engine/soup.h"

using namespace cellarium;

namespace {

// A session on a w x h board holding rows of '.' and 'O' at (x, y).
void Place(RunSession& s, int w, int h, int x, int y, const std::vector<std::string>& rows) {
    ASSERT_TRUE(s.MakeBoards(w, h));
    CellBoard& b = *s.Current();
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < int(rows[r].size()); ++c)
            if (rows[r][c] == 'O') b.Set(x + c, y + r, 1);
    b.ScanBounds();
    b.liveCount = int32_t(rows.size());  // only the bounds and cells matter here
    s.BoardChanged();
}

struct Counting : GenerationObserver {
    std::vector<GenerationRecord> seen;
    void GenerationDone(const GenerationRecord& r) override { seen.push_back(r); }
};

RunLimits Limits(int64_t generations, bool stagnation = true, int64_t target = 0) {
    RunLimits limits;
    limits.generations = generations;
    limits.stopAtStagnation = stagnation;
    limits.target = target;
    return limits;
}

}  // namespace

TEST(RunSession, GenerationsAreTheKernelsWithTheCountersNewbornValue) {
    RunSession s;
    ASSERT_TRUE(s.MakeBoards(200, 160));
    FillSoup(*s.Current(), 0.4, 11);
    s.BoardChanged();
    s.SetRule(Rule::Totalistic(0b1001000, 0b1100));
    auto a = CellBoard::Create(200, 160), b = CellBoard::Create(200, 160);
    std::memcpy(a->EditCells(), s.Current()->Cells(), a->CellCount());
    a->bounds = s.Current()->bounds;
    s.SetGeneration(250);  // newborn values wrap past 255
    Counting seen;
    EXPECT_EQ(s.Run(Limits(30, false), &seen), RunStop::Count);
    for (int g = 0; g < 30; ++g) {
        const StepCounts c =
            StepReference(*a, *b, 250 + g + 1, Rule::Totalistic(0b1001000, 0b1100));
        std::swap(a, b);
        ASSERT_EQ(seen.seen[std::size_t(g)].generation, 251 + g);
        ASSERT_EQ(seen.seen[std::size_t(g)].births, c.births);
        ASSERT_EQ(seen.seen[std::size_t(g)].deaths, c.deaths);
        ASSERT_EQ(seen.seen[std::size_t(g)].live, a->liveCount);
    }
    EXPECT_EQ(s.Generation(), 280);
    EXPECT_EQ(std::memcmp(a->Cells(), s.Current()->Cells(), a->CellCount()), 0);
    EXPECT_EQ(s.Births(), seen.seen.back().births);
}

TEST(RunSession, StopsInTheirOrderAfterWholeGenerations) {
    RunSession s;
    Place(s, 150, 150, 70, 70, {"OO", "OO"});  // a block: stagnates at once
    EXPECT_EQ(s.Run(Limits(10)), RunStop::Stagnation);
    EXPECT_EQ(s.Generation(), 1);
    EXPECT_EQ(s.Run(Limits(10, false)), RunStop::Count);
    EXPECT_EQ(s.Run(Limits(100, false, 15)), RunStop::Target);
    EXPECT_EQ(s.Generation(), 15);
    int asked = 0;
    RunLimits cancel = Limits(100, false);
    cancel.cancelled = [&] { return ++asked == 4; };
    EXPECT_EQ(s.Run(cancel), RunStop::Cancelled);
    EXPECT_EQ(s.Generation(), 19);
    RunLimits late = Limits(100, false);
    late.deadline = RunClock::now();
    EXPECT_EQ(s.Run(late), RunStop::Deadline);
    EXPECT_EQ(s.Generation(), 20);
    RunSession none;
    EXPECT_EQ(none.Run(RunLimits{}), RunStop::NoBoards);
}

TEST(RunSession, RepeatsAreNumberedAsTheCounterAndForgottenOnChange) {
    RunSession s;
    Place(s, 150, 150, 70, 70, {"OOO"});  // a blinker
    s.SetGeneration(1000);
    s.WatchRepeats(true);
    EXPECT_EQ(s.Run(Limits(100)), RunStop::Repeat);
    EXPECT_EQ(s.Generation(), 1002);
    ASSERT_TRUE(s.LastRepeat());
    EXPECT_EQ(*s.LastRepeat(), (Cycle{1000, 2}));
    // Generation 1003 matches 1001 of the same watch.
    EXPECT_EQ(s.Run(Limits(100)), RunStop::Repeat);
    EXPECT_EQ(*s.LastRepeat(), (Cycle{1001, 2}));
    // An edit starts the watch again from the board as it is.
    s.Current()->Set(10, 10, 1);
    s.Current()->Set(11, 10, 1);
    s.Current()->bounds = Rect{10, 10, 72, 71};
    s.BoardChanged();
    EXPECT_EQ(s.Run(Limits(1)), RunStop::Count);
    EXPECT_FALSE(s.LastRepeat());
    EXPECT_EQ(s.Run(Limits(100)), RunStop::Repeat);
    EXPECT_EQ(*s.LastRepeat(), (Cycle{1004, 2}));  // the pair died: a blinker from 1004
    // A still life is a repeat of period 1 when stagnation does not stop first.
    Place(s, 150, 150, 70, 70, {"OO", "OO"});
    EXPECT_EQ(s.Run(Limits(100, false)), RunStop::Repeat);
    EXPECT_EQ(*s.LastRepeat(), (Cycle{0, 1}));
}

TEST(RunSession, AStopFoundOnAGenerationPastTheDeadlineIsTheStopReported) {
    // The frame's time is up on the very generation that stagnates or
    // repeats: the run reports what it found there, as a run in time would.
    RunLimits late = Limits(100);
    late.deadline = RunClock::now() - std::chrono::seconds(1);
    RunSession still;
    Place(still, 150, 150, 70, 70, {"OO", "OO"});
    EXPECT_EQ(still.Run(late), RunStop::Stagnation);
    EXPECT_EQ(still.Generation(), 1);
    RunSession blinker;
    Place(blinker, 150, 150, 70, 70, {"OOO"});
    blinker.WatchRepeats(true);
    EXPECT_EQ(blinker.Run(late), RunStop::Deadline);
    EXPECT_EQ(blinker.Run(late), RunStop::Repeat);
    EXPECT_EQ(blinker.Generation(), 2);
    // And a target reached then is the target.
    blinker.WatchRepeats(false);
    late.target = 3;
    EXPECT_EQ(blinker.Run(late), RunStop::Target);
}

TEST(RunSession, TheCounterGoesOnPastTwoToTheThirtyOneAndTheThirtyTwo) {
    for (const int64_t start : {(int64_t(1) << 31) - 2, (int64_t(1) << 32) - 2}) {
        RunSession s;
        Place(s, 150, 150, 70, 70, {"OOO"});
        s.SetGeneration(start);
        s.WatchRepeats(true);
        Counting seen;
        EXPECT_EQ(s.Run(Limits(10), &seen), RunStop::Repeat);
        EXPECT_EQ(s.Generation(), start + 2);
        EXPECT_EQ(*s.LastRepeat(), (Cycle{start, 2}));
        ASSERT_EQ(seen.seen.size(), 2u);
        EXPECT_EQ(seen.seen[1].generation, start + 2);
        // Newborn cells carry the low byte of the counter before the step plus one.
        EXPECT_EQ(s.Current()->At(70, 70), NewbornValue(int((start + 1) & 0xFF) + 1));
        // A run to a target far past both, through the cycle.
        s.WatchRepeats(false);
        RunLimits far = Limits(std::numeric_limits<int64_t>::max(), true, start + 5000000003);
        far.jump = true;
        EXPECT_EQ(s.Run(far), RunStop::Target);
        EXPECT_EQ(s.Generation(), start + 5000000003);
        EXPECT_EQ(s.Births(), 2);
    }
}

// A session stepping the planes alone (forced on small boards) makes what a
// session writing the bytes makes: the records, the stops, the repeats, the
// jump through a cycle and every byte of both boards after each run.
TEST(RunSession, PlanesAloneMakeWhatWritingTheBytesMakes) {
    for (const Rule& rule : {Rule(), Rule::Totalistic(0b1001000, 0b1100)}) {
        RunSession lazy, bytes;
        lazy.SetPlanesOnlyFromCells(0);
        for (RunSession* s : {&lazy, &bytes}) {
            ASSERT_TRUE(s->MakeBoards(180, 150));
            FillSoup(*s->Current(), 0.35, 4);
            s->BoardChanged();
            s->SetRule(rule);
            s->SetGeneration(200);
        }
        RunLimits jump = Limits(0, false, 5000);
        jump.generations = 5000;
        jump.jump = true;
        const RunLimits runs[] = {Limits(37, false), Limits(300), jump, Limits(3, false)};
        for (std::size_t i = 0; i < std::size(runs); ++i) {
            Counting a, b;
            lazy.WatchRepeats(i == 1);
            bytes.WatchRepeats(i == 1);
            EXPECT_EQ(lazy.Run(runs[i], &a), bytes.Run(runs[i], &b)) << "run " << i;
            ASSERT_EQ(lazy.Generation(), bytes.Generation()) << "run " << i;
            ASSERT_EQ(a.seen.size(), b.seen.size()) << "run " << i;
            for (std::size_t g = 0; g < a.seen.size(); ++g) {
                ASSERT_EQ(a.seen[g].live, b.seen[g].live) << "run " << i << " record " << g;
                ASSERT_EQ(a.seen[g].births, b.seen[g].births) << "run " << i << " record " << g;
            }
            EXPECT_EQ(lazy.LastRepeat(), bytes.LastRepeat()) << "run " << i;
            for (auto [x, y] : {std::pair{lazy.Current(), bytes.Current()},
                                std::pair{lazy.Scratch(), bytes.Scratch()}}) {
                ASSERT_FALSE(x->BytesAreBehind());
                EXPECT_EQ(std::memcmp(x->Cells(), y->Cells(), x->CellCount()), 0) << "run " << i;
            }
        }
    }
}
