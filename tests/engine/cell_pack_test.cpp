// Packing cells for the undo history gives back every byte, whatever the mix
// of dead runs and live values, and refuses packed data that does not fit.
#include "engine/cell_pack.h"

#include <gtest/gtest.h>

#include <random>

namespace cellarium {
namespace {

TEST(CellPack, EveryMixOfDeadAndLiveComesBackAsItWas) {
    std::mt19937 rng(5);
    std::vector<std::vector<uint8_t>> blocks = {{},
                                                {0},
                                                {7},
                                                {0, 0, 0, 0, 0, 0, 0, 0, 0},
                                                {1, 0, 1},
                                                {0, 1, 0, 0, 255, 0},
                                                std::vector<uint8_t>(1000, 0),
                                                std::vector<uint8_t>(300, 9)};
    // Runs are found 64 cells at a time: blocks end on either side of that.
    for (int density : {1, 30, 90})
        for (std::size_t size : {63, 64, 65, 128, 5000}) {
            std::vector<uint8_t> b(size);
            for (uint8_t& v : b) v = int(rng() % 100) < density ? uint8_t(1 + rng() % 255) : 0;
            blocks.push_back(b);
        }
    for (const std::vector<uint8_t>& b : blocks) {
        const std::vector<uint8_t> packed = PackCells(b.data(), b.size());
        std::vector<uint8_t> back(b.size(), 0xAA);
        ASSERT_TRUE(UnpackCells(packed, back.data(), back.size()));
        EXPECT_EQ(back, b);
        // Too short a target, or data cut short, is refused.
        if (!b.empty()) {
            EXPECT_FALSE(UnpackCells(packed, back.data(), back.size() - 1));
            EXPECT_FALSE(UnpackCells(std::vector<uint8_t>(packed.begin(), packed.end() - 1),
                                     back.data(), back.size()));
        }
    }
    // A board's rectangle, row by row, leaves the cells around it alone.
    std::unique_ptr<CellBoard> board = CellBoard::Create(20, 10);
    for (std::size_t i = 0; i < board->CellCount(); ++i) board->EditCells()[i] = uint8_t(i % 3);
    const Rect r{3, 2, 11, 7};
    const std::vector<uint8_t> packed = PackRect(*board, r);
    std::vector<uint8_t> before(board->Cells(), board->Cells() + board->CellCount());
    for (int y = r.top; y <= r.bottom; ++y)
        for (int x = r.left; x <= r.right; ++x) board->Set(x, y, 0);
    ASSERT_TRUE(UnpackRect(packed, *board, r));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), board->Cells()));
}

}  // namespace
}  // namespace cellarium
