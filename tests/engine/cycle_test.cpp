// The live-cell hash, the cycle detector and Identify, held to plain models:
// the hash's definition written cell by cell, and a run that keeps every
// generation's live cells.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/cell_board.h"
#include "engine/cycle_detector.h"
#include "engine/identify.h"
#include "engine/live_hash.h"
#include "engine/soup.h"

using namespace cellarium;

namespace {

const Rule kConway;

uint64_t Mix(uint64_t z) {
    z += 0x9e3779b97f4a7c15ull;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// The hash as its definition reads, one cell at a time.
uint64_t ModelHash(const CellBoard& b) {
    uint64_t hash = 0;
    for (int y = 0; y < b.height; ++y)
        for (int k = 0; 64 * k < b.width; ++k) {
            uint64_t w = 0;
            for (int bit = 0; bit < 64 && 64 * k + bit < b.width; ++bit)
                if (b.At(64 * k + bit, y) != 0) w |= uint64_t(1) << bit;
            if (w != 0) hash += Mix(w ^ ((uint64_t(y) << 32) | uint64_t(k)));
        }
    return hash;
}

// Rows of '.' and 'O' placed with their top-left cell at (x, y).
std::unique_ptr<CellBoard> Board(int w, int h, int x, int y, std::vector<std::string> rows) {
    auto b = CellBoard::Create(w, h);
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < int(rows[r].size()); ++c)
            if (rows[r][c] == 'O') {
                b->Set(x + c, y + r, 1);
                b->IncludeCell(Point{x + c, y + r});
                ++b->liveCount;
            }
    return b;
}

std::vector<uint8_t> Live(const CellBoard& b) {
    std::vector<uint8_t> v(b.CellCount());
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = b.Cells()[i] != 0;
    return v;
}

// Steps board (and a scratch board beside it) like the document does.
struct Pair {
    std::unique_ptr<CellBoard> cur, scratch;
    explicit Pair(std::unique_ptr<CellBoard> b)
        : cur(std::move(b)), scratch(CellBoard::Create(cur->width, cur->height)) {
        std::memcpy(scratch->EditCells(), cur->Cells(), cur->CellCount());
    }
    void Step() {
        SelectedStepKernel()(*cur, *scratch, 1, kConway, nullptr);
        std::swap(cur, scratch);
    }
};

// Runs the detector until it reports (or the limit); the model keeps every
// generation and looks for the first repeat itself.
std::optional<Cycle> DetectorAgainstModel(std::unique_ptr<CellBoard> start, int limit,
                                          std::size_t budget = RunHistory::kDefaultBudget) {
    Pair run(std::move(start));
    CycleDetector detector(kConway, budget);
    std::vector<std::vector<uint8_t>> seen;
    std::optional<Cycle> model, found;
    for (int g = 0; g <= limit && !model; ++g) {
        if (g > 0) run.Step();
        const std::vector<uint8_t> live = Live(*run.cur);
        for (int s = 0; s < g && !model; ++s)
            if (seen[std::size_t(s)] == live) model = Cycle{s, g - s};
        seen.push_back(live);
        found = detector.Add(*run.cur);
        if (found) break;
    }
    EXPECT_EQ(found, model);
    return found;
}

}  // namespace

TEST(LiveCellHash, IsTheDefinitionOnEveryWidthAndIgnoresColours) {
    std::mt19937 random(7);
    for (int width : {3, 63, 64, 65, 150, 203}) {
        auto b = CellBoard::Create(width, 9);
        for (std::size_t i = 0; i < b->CellCount(); ++i)
            b->EditCells()[i] = random() % 3 == 0 ? uint8_t(1 + random() % 255) : 0;
        const uint64_t hash = LiveCellHash(*b);
        EXPECT_EQ(hash, ModelHash(*b)) << width;
        for (std::size_t i = 0; i < b->CellCount(); ++i)
            if (b->Cells()[i] != 0) b->EditCells()[i] = 1;
        EXPECT_EQ(LiveCellHash(*b), hash) << width;
        b->Set(width - 1, 8, b->At(width - 1, 8) ^ 1);  // the last cell of the border counts too
        EXPECT_NE(LiveCellHash(*b), hash) << width;
    }
    EXPECT_EQ(LiveCellHash(*CellBoard::Create(150, 150)), 0u);
}

TEST(CycleDetector, FindsTheFirstRepeatOfKnownPatterns) {
    const std::vector<std::string> pentadecathlon = {"..O....O..", "OO.OOOO.OO", "..O....O.."};
    EXPECT_EQ(DetectorAgainstModel(Board(40, 40, 10, 10, {"OO", "OO"}), 5), (Cycle{0, 1}));
    EXPECT_EQ(DetectorAgainstModel(Board(40, 40, 10, 10, {"OOO"}), 5), (Cycle{0, 2}));
    EXPECT_EQ(DetectorAgainstModel(Board(40, 40, 12, 15, pentadecathlon), 40), (Cycle{0, 15}));
    // A glider runs into the corner and settles there as a still life.
    const std::optional<Cycle> settled =
        DetectorAgainstModel(Board(20, 20, 8, 8, {".O.", "..O", "OOO"}), 200);
    ASSERT_TRUE(settled);
    EXPECT_EQ(settled->period, 1);
    EXPECT_GT(settled->start, 20);
}

TEST(CycleDetector, SoupsOnSmallBoardsMatchAModelThatKeepsEveryGeneration) {
    // Budgets of a few snapshots make most confirmations step from one.
    for (uint64_t seed = 1; seed <= 8; ++seed)
        for (std::size_t budget : {RunHistory::kDefaultBudget, std::size_t(0)}) {
            auto b = CellBoard::Create(16 + int(seed) * 3, 14 + int(seed));
            FillSoup(*b, 0.2 + 0.07 * double(seed), seed);
            SCOPED_TRACE(seed);
            DetectorAgainstModel(std::move(b), 3000, budget);
        }
}

TEST(CycleDetector, AForcedHashCollisionNeverStopsTheRun) {
    // Every generation given the same hash: only exact equality may count.
    Pair glider(Board(150, 150, 10, 10, {".O.", "..O", "OOO"}));
    CycleDetector detector(kConway, 0);
    for (int g = 0; g < 300; ++g) {
        if (g > 0) glider.Step();
        ASSERT_FALSE(detector.Add(*glider.cur, 42)) << g;
    }
    Pair blinker(Board(150, 150, 10, 10, {"OOO"}));
    CycleDetector blinking(kConway);
    EXPECT_FALSE(blinking.Add(*blinker.cur, 42));
    blinker.Step();
    EXPECT_FALSE(blinking.Add(*blinker.cur, 42));
    blinker.Step();
    EXPECT_EQ(blinking.Add(*blinker.cur, 42), (Cycle{0, 2}));
}

TEST(Identify, NamesWhatABoardIs) {
    struct Case {
        std::unique_ptr<CellBoard> board;
        int64_t limit;
        const char* line;
    };
    Case cases[] = {
        {Board(150, 150, 20, 20, {".O.", "..O", "OOO"}), kIdentifyLimit,
         "identify: spaceship period 4 moving 1,1; population 5..5; box 3x3"},
        {Board(150, 150, 60, 60, {".O..O", "O....", "O...O", "OOOO."}), kIdentifyLimit,
         "identify: spaceship period 4 moving -2,0; population 9..12; box 5x4"},
        {Board(150, 150, 40, 40, {"..O....O..", "OO.OOOO.OO", "..O....O.."}), kIdentifyLimit,
         "identify: oscillator period 15; population 12..40; box 16x9"},
        {Board(150, 150, 40, 40, {"OO", "OO"}), kIdentifyLimit,
         "identify: still life; population 4; box 2x2"},
        {CellBoard::Create(150, 150), kIdentifyLimit, "identify: empty"},
        {Board(150, 150, 40, 40, {"..O....O..", "OO.OOOO.OO", "..O....O.."}), 10,
         "identify: none within 10 generations"},
    };
    for (Case& c : cases) {
        const std::vector<uint8_t> before = Live(*c.board);
        EXPECT_EQ(IdentityLine(Identify(*c.board, kConway, c.limit)), c.line);
        EXPECT_EQ(Live(*c.board), before);  // the board itself is left alone
    }
}

// Identify on a thread of its own hears of every generation and stops when
// asked; the board it is given in place gives the same finding.
TEST(Identify, ReportsEachGenerationAndStopsWhenCancelled) {
    const std::vector<std::string> pentadecathlon = {"..O....O..", "OO.OOOO.OO", "..O....O.."};
    std::vector<int64_t> heard;
    auto board = Board(150, 150, 40, 40, pentadecathlon);
    const Identity found =
        Identify(*board, kConway, kIdentifyLimit, {}, [&](int64_t g) { heard.push_back(g); });
    EXPECT_EQ(found.period, 15);
    // Generations 1..15 are made; the 15th is found to repeat the first.
    std::vector<int64_t> expected(15);
    for (int64_t g = 0; g < 15; ++g) expected[std::size_t(g)] = g + 1;
    EXPECT_EQ(heard, expected);
    auto given = BoardCopy(*board);
    ASSERT_TRUE(given);
    EXPECT_EQ(IdentityLine(IdentifyInPlace(*given, kConway)), IdentityLine(found));

    int64_t last = 0;
    const Identity stopped = Identify(
        *board, kConway, kIdentifyLimit, [&] { return last >= 7; }, [&](int64_t g) { last = g; });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_EQ(stopped.kind, Identity::Kind::None);
    EXPECT_EQ(last, 7);
}

TEST(CycleDetector, PeriodsLongerThanItsRecentHashesAreFoundLaterWithTheirFirstRepeat) {
    // Only the last 4 (or 8) generations' hashes are kept: longer periods are
    // found through the checkpoints, and reported as the first repeat still.
    for (int64_t recent : {4, 8}) {
        SCOPED_TRACE(recent);
        const std::vector<std::string> pentadecathlon = {"..O....O..", "OO.OOOO.OO", "..O....O.."};
        std::vector<std::unique_ptr<CellBoard>> starts;
        starts.push_back(Board(40, 40, 12, 15, pentadecathlon));
        starts.push_back(Board(20, 20, 8, 8, {".O.", "..O", "OOO"}));
        for (uint64_t seed = 1; seed <= 6; ++seed) {
            starts.push_back(CellBoard::Create(16 + int(seed) * 3, 14 + int(seed)));
            FillSoup(*starts.back(), 0.2 + 0.07 * double(seed), seed);
        }
        for (auto& start : starts) {
            Pair run(std::move(start));
            CycleDetector detector(kConway, 0, recent);
            std::vector<std::vector<uint8_t>> seen;
            std::optional<Cycle> found;
            for (int g = 0; g <= 20000 && !found; ++g) {
                if (g > 0) run.Step();
                seen.push_back(Live(*run.cur));
                found = detector.Add(*run.cur);
            }
            ASSERT_TRUE(found);
            std::optional<Cycle> model;
            std::map<std::vector<uint8_t>, int> first;
            for (int g = 0; g < int(seen.size()) && !model; ++g)
                if (auto [it, added] = first.emplace(seen[std::size_t(g)], g); !added)
                    model = Cycle{it->second, g - it->second};
            EXPECT_EQ(found, model);
        }
    }
}

TEST(CycleDetector, ItsHashesTakeABoundedMemoryHoweverLongTheRun) {
    // A million generations of distinct hashes: the recent ones and a few
    // checkpoints are all that is kept.
    auto board = Board(150, 150, 10, 10, {"OO", "OO"});
    CycleDetector detector(kConway, 0, 4096);
    std::size_t atHalf = 0;
    for (int64_t g = 0; g < 1000000; ++g) {
        ASSERT_FALSE(detector.Add(*board, SplitMix64(uint64_t(g))));
        if (g == 500000) atHalf = detector.HashBytes();
    }
    EXPECT_EQ(detector.HashBytes(), atHalf);
    EXPECT_LT(atHalf, std::size_t(4096) * 64);
}

TEST(PackLiveCells, GivesEveryCellWhetherReadFromThePlaneOrFromTheBytes) {
    std::mt19937 random(5);
    for (int width : {3, 63, 64, 65, 130, 200}) {
        auto board = CellBoard::Create(width, 7);
        ASSERT_TRUE(board);
        uint8_t* cells = board->EditCells();  // leaves the plane to be made again
        for (std::size_t i = 0; i < board->CellCount(); ++i)
            cells[i] = random() % 3 == 0 ? uint8_t(1 + random() % 255) : 0;
        for (bool fromPlane : {false, true}) {
            if (fromPlane) board->Plane();
            ASSERT_EQ(board->PlaneIsExact(), fromPlane);
            LiveCells packed;
            packed.words.assign(99, ~uint64_t(0));  // a reused snapshot's old words
            PackLiveCells(*board, packed);
            ASSERT_EQ(packed.words.size(), packed.RowWords() * 7u);
            for (int y = 0; y < 7; ++y)
                for (int x = 0; x < width; ++x)
                    ASSERT_EQ(packed.Live(x, y), board->At(x, y) != 0)
                        << width << " " << x << "," << y << " " << fromPlane;
            for (int y = 0; y < 7 && width % 64 != 0; ++y) {
                const uint64_t last = packed.words[std::size_t(y) * packed.RowWords() + width / 64];
                EXPECT_EQ(last >> (width % 64), 0u) << "bits past the row's end";
            }
        }
    }
}
