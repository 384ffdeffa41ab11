// The runner's soup: the same seed and size give the same board as the
// per-cell fill it replaced (a splitmix64 number per interior cell, as a
// fraction of 2^53, compared with the density), for every density.
#include "engine/soup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/cell_board.h"

using namespace cellarium;

namespace {

TEST(Soup, SameBoardAsThePerCellFillForEveryDensityAndSeed) {
    const double third = 1.0 / 3.0;
    const double densities[] = {0.0,
                                -0.25,
                                1e-310,
                                0.001,
                                third,
                                0.5,
                                std::nextafter(0.5, 0.0),
                                std::nextafter(0.5, 1.0),
                                0.999999,
                                std::nextafter(1.0, 0.0),
                                1.0,
                                1.5,
                                std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
    for (auto [w, h] : {std::pair{3, 3}, {150, 151}, {67, 40}}) {
        auto fast = CellBoard::Create(w, h), want = CellBoard::Create(w, h);
        ASSERT_TRUE(fast && want);
        for (double density : densities)
            for (uint64_t seed : {uint64_t(0), uint64_t(1), ~uint64_t(0), uint64_t(0x5eed)}) {
                std::memset(fast->EditCells(), 7, fast->CellCount());  // a stale board
                FillSoup(*fast, density, seed);
                FillSoupPerCell(*want, density, seed);
                SCOPED_TRACE(testing::Message()
                             << w << "x" << h << " density " << density << " seed " << seed);
                ASSERT_EQ(std::memcmp(fast->Cells(), want->Cells(), want->CellCount()), 0);
                EXPECT_EQ(fast->liveCount, want->liveCount);
                EXPECT_EQ(fast->bounds, want->bounds);
            }
    }
    // Thresholds that fall exactly on, and next to, one of the numbers drawn.
    auto fast = CellBoard::Create(40, 40), want = CellBoard::Create(40, 40);
    FillSoupPerCell(*want, 1.0, 9);
    uint64_t z = 9 + 0x9E3779B97F4A7C15ull * 5;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    const double drawn = double((z ^ (z >> 31)) >> 11) / 9007199254740992.0;
    for (double density : {drawn, std::nextafter(drawn, 0.0), std::nextafter(drawn, 1.0)}) {
        FillSoup(*fast, density, 9);
        FillSoupPerCell(*want, density, 9);
        EXPECT_EQ(std::memcmp(fast->Cells(), want->Cells(), want->CellCount()), 0) << density;
    }
}

}  // namespace
