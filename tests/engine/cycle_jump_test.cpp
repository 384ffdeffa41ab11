// The jump through a cycle against stepping: the same cells with the same
// values, bounds, counts, counter and records of every generation, for
// oscillators, a glider that settles in a corner, soups under every kind of
// rule, runs split into pieces and runs to a target.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/cell_board.h"
#include "engine/run_session.h"
#include "engine/soup.h"
#include "formats/rule_notation.h"

using namespace cellarium;

namespace {

struct Outcome {
    std::vector<uint8_t> cells;
    Rect bounds;
    int32_t live = 0, births = 0, deaths = 0;
    int64_t generation = 0;
    std::vector<GenerationRecord> records;
    RunStop stop = RunStop::Count;
    friend bool operator==(const Outcome& a, const Outcome& b) {
        auto same = [](const GenerationRecord& x, const GenerationRecord& y) {
            return x.generation == y.generation && x.live == y.live && x.births == y.births &&
                   x.deaths == y.deaths;
        };
        return a.cells == b.cells && a.bounds == b.bounds && a.live == b.live &&
               a.births == b.births && a.deaths == b.deaths && a.generation == b.generation &&
               a.stop == b.stop && a.records.size() == b.records.size() &&
               std::equal(a.records.begin(), a.records.end(), b.records.begin(), same);
    }
};

struct Recorder final : GenerationObserver {
    std::vector<GenerationRecord> records;
    int64_t jumped = 0;  // generations told by a jump
    void GenerationDone(const GenerationRecord& r) override { records.push_back(r); }
    void GenerationsRepeated(const std::vector<GenerationRecord>& byPhase, int64_t first,
                             int64_t count) override {
        jumped += count;
        GenerationObserver::GenerationsRepeated(byPhase, first, count);
    }
};

// Conway's rule with three blocks of five or more live cells turned: a rule
// only MAP notation writes.
Rule MapRule() {
    Rule::Table table = Rule().table();
    for (unsigned block : {0x1F3u, 0x0FEu, 0x17Bu})
        table[block / 64] ^= uint64_t(1) << (block % 64);
    const Rule rule = Rule::FromTable(table);
    EXPECT_EQ(RuleString(rule).substr(0, 3), "MAP");
    return rule;
}

Rule RuleOf(const std::string& text) {
    if (text == "MAP") return MapRule();
    const RuleParse parse = ParseRule(text);
    EXPECT_EQ(parse.status, RuleParse::Status::Ok) << text;
    return parse.rule;
}

// A board of rows of '.' and 'O' (live cells of value 1) at (x, y).
std::unique_ptr<CellBoard> Pattern(int w, int h, int x, int y,
                                   const std::vector<std::string>& rows) {
    auto b = CellBoard::Create(w, h);
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < int(rows[r].size()); ++c)
            if (rows[r][c] == 'O') b->Set(x + c, y + r, 1);
    b->ScanBounds();
    return b;
}

std::unique_ptr<CellBoard> Soup(int w, int h, double density, uint64_t seed) {
    auto b = CellBoard::Create(w, h);
    FillSoup(*b, density, seed);
    return b;
}

// Pieces of 0 generations: runs to the target whose deadline has passed,
// as the window's ticks are when a frame is late.
constexpr int64_t kLateTicks = 0;

// Runs start from generation `from` under rule in pieces of the given sizes
// (the last repeated until `generations` are made), jumping or stepping.
Outcome RunFrom(const CellBoard& start, const Rule& rule, int64_t from, int64_t generations,
                bool jump, std::vector<int64_t> pieces = {}, bool stagnation = false,
                int64_t* jumped = nullptr) {
    RunSession s;
    EXPECT_TRUE(s.MakeBoards(start.width, start.height));
    for (CellBoard* b : {s.Current(), s.Scratch()})
        std::memcpy(b->EditCells(), start.Cells(), start.CellCount());
    s.Current()->bounds = start.bounds;
    s.Current()->liveCount = start.liveCount;
    s.BoardChanged();
    s.SetRule(rule);
    s.SetGeneration(from);
    Recorder seen;
    Outcome out;
    if (pieces.empty()) pieces.push_back(generations);
    for (std::size_t i = 0; s.Generation() - from < generations;
         i = std::min(i + 1, pieces.size() - 1)) {
        RunLimits limits;
        limits.generations = std::min(pieces[i], generations - (s.Generation() - from));
        if (pieces[i] == kLateTicks) {
            limits.generations = std::numeric_limits<int64_t>::max();
            limits.target = from + generations;
            limits.deadline = RunClock::now() - std::chrono::seconds(1);
        }
        limits.jump = jump;
        limits.stopAtStagnation = stagnation;
        out.stop = s.Run(limits, &seen);
        if (out.stop == RunStop::Stagnation) break;
    }
    const CellBoard& b = *s.Current();
    out.cells.assign(b.Cells(), b.Cells() + b.CellCount());
    out.bounds = b.bounds;
    out.live = b.liveCount;
    out.births = s.Births();
    out.deaths = s.Deaths();
    out.generation = s.Generation();
    out.records = std::move(seen.records);
    if (jumped != nullptr) *jumped = seen.jumped;
    return out;
}

// The jump's outcome equals stepping's; returns the generations jumped.
int64_t ExpectJumpIsStepping(const CellBoard& start, const Rule& rule, int64_t from,
                             int64_t generations, std::vector<int64_t> pieces = {},
                             bool stagnation = false) {
    int64_t jumped = 0;
    const Outcome stepped = RunFrom(start, rule, from, generations, false, pieces, stagnation);
    const Outcome leapt =
        RunFrom(start, rule, from, generations, true, pieces, stagnation, &jumped);
    EXPECT_TRUE(leapt == stepped) << "from " << from << ", " << generations << " generations";
    return jumped;
}

const std::vector<std::string> kPentadecathlon = {"..O....O..", "OO.OOOO.OO", "..O....O.."};
const std::vector<std::string> kGlider = {".O.", "..O", "OOO"};

}  // namespace

TEST(CycleJump, OscillatorsKeepTheirColoursAsSteppingDoes) {
    // Starts near 255 so that newborn values wrap, with runs whose jumps
    // move the low byte of the counter by every amount.
    const auto blinker = Pattern(150, 150, 70, 70, {"OOO"});
    const auto penta = Pattern(150, 150, 60, 60, kPentadecathlon);
    EXPECT_EQ(ExpectJumpIsStepping(*penta, Rule(), 253, 40), 0);  // too short to jump
    for (int64_t generations : {257, 1000, 1283, 4099}) {
        EXPECT_GT(ExpectJumpIsStepping(*blinker, Rule(), 250, generations), 0);
        EXPECT_GT(ExpectJumpIsStepping(*penta, Rule(), 253, generations), 0);
    }
    // Jumps from every generation near a multiple of 256, where a cell of
    // value 1 may have been born in a generation ending in byte 0 or 1.
    for (int64_t from = 240; from < 262; ++from) {
        EXPECT_GT(ExpectJumpIsStepping(*blinker, Rule(), from, 600), 0);
        EXPECT_GT(ExpectJumpIsStepping(*penta, Rule(), from, 600), 0);
    }
    // A block is a cycle of period 1: jumped when stagnation does not stop
    // the run, stopped at its first step when it does.
    const auto block = Pattern(150, 150, 70, 70, {"OO", "OO"});
    EXPECT_GT(ExpectJumpIsStepping(*block, Rule(), 0, 5000), 0);
    EXPECT_EQ(ExpectJumpIsStepping(*block, Rule(), 0, 5000, {}, true), 0);
}

TEST(CycleJump, AGliderThatSettlesInTheCornerAndSoupsUnderEveryKindOfRule) {
    const auto glider = Pattern(40, 40, 8, 8, kGlider);
    EXPECT_GT(ExpectJumpIsStepping(*glider, Rule(), 0, 3000), 0);
    const struct {
        const char* rule;
        int64_t generations;
    } cases[] = {
        {"B3/S23", 6000},    // Conway's
        {"B36/S23", 6000},   // HighLife
        {"B3-q/S23", 6000},  // letters
        {"B2-a/S12", 3000},  // letters, a busier rule
        {"B01/S8", 3000},    // born on no neighbours: the window matters
        {"B02/S0", 3000},    // and strobing
        {"MAP", 6000},       // Conway's with a few blocks turned: no symmetry
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        int64_t jumped = 0;
        for (uint64_t seed = 1; seed <= 3; ++seed) {
            const auto soup = Soup(150, 150, 0.35, seed);
            jumped +=
                ExpectJumpIsStepping(*soup, RuleOf(c.rule), 1000 + int64_t(seed), c.generations);
        }
        EXPECT_GT(jumped, 0);
    }
}

TEST(CycleJump, RunsInPiecesAndLateTicksToATargetGetWhereSteppingGets) {
    const auto soup = Soup(150, 150, 0.4, 7);
    EXPECT_GT(ExpectJumpIsStepping(*soup, Rule(), 0, 7000, {1, 7, 100, 3, 999}), 0);
    EXPECT_GT(ExpectJumpIsStepping(*soup, Rule(), 100, 7001, {kLateTicks}), 0);
    const auto penta = Pattern(150, 150, 60, 60, kPentadecathlon);
    EXPECT_GT(ExpectJumpIsStepping(*penta, Rule(), 0, 100000, {kLateTicks}), 0);
}

// An observer whose work does not grow with the generations (it keeps
// nothing a generation) hears of the whole jump at once, even on ticks
// whose time has run out.
TEST(CycleJump, AnObserverThatTakesGenerationsInBulkHearsTheJumpAtOnce) {
    struct Bulk final : GenerationObserver {
        int64_t calls = 0, told = 0, last = 0;
        void GenerationDone(const GenerationRecord& r) override { last = r.generation; }
        void GenerationsRepeated(const std::vector<GenerationRecord>&, int64_t first,
                                 int64_t count) override {
            EXPECT_EQ(first, last + 1);
            ++calls;
            told += count;
            last = first + count - 1;
        }
        bool RepeatsInBulk() const override { return true; }
    };
    const auto blinker = Pattern(150, 150, 70, 70, {"OOO"});
    RunSession s;
    ASSERT_TRUE(s.MakeBoards(150, 150));
    for (CellBoard* b : {s.Current(), s.Scratch()})
        std::memcpy(b->EditCells(), blinker->Cells(), blinker->CellCount());
    s.Current()->bounds = blinker->bounds;
    s.Current()->liveCount = blinker->liveCount;
    s.BoardChanged();
    Bulk seen;
    const int64_t target = int64_t(1) << 50;
    for (int tick = 0; tick < 1000 && s.Generation() < target; ++tick) {
        RunLimits limits;
        limits.generations = std::numeric_limits<int64_t>::max();
        limits.target = target;
        limits.deadline = RunClock::now() - std::chrono::seconds(1);
        limits.jump = true;
        s.Run(limits, &seen);
    }
    EXPECT_EQ(s.Generation(), target);
    EXPECT_EQ(seen.last, target);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_GT(seen.told, target - 1000);
}
