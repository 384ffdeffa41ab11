// Helpers shared by the reader and writer tests: fixtures from disk, reads onto
// a guarded board that checks the reader's promises, and live cells as lists.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../fuzz/guarded_board.h"
#include "formats/rule_notation.h"

namespace cellarium::testing {

using Cells = std::vector<std::pair<int, int>>;  // (x, y), top row first

inline std::string Fixture(const std::string& name) {
    std::ifstream in(std::string(CELLARIUM_TEST_DATA) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << "missing fixture " << name;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string Sample(const std::string& name) {
    std::ifstream in(std::string(CELLARIUM_SAMPLES) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << "missing sample " << name;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline Cells LiveCells(const CellBoard& board) {
    Cells cells;
    for (int y = 0; y < board.height; ++y)
        for (int x = 0; x < board.width; ++x)
            if (board.At(x, y)) cells.emplace_back(x, y);
    return cells;
}

// The cells moved so that the least column and row are 0.
inline Cells Shape(Cells cells) {
    int minX = 1 << 30, minY = 1 << 30;
    for (auto [x, y] : cells) {
        minX = std::min(minX, x);
        minY = std::min(minY, y);
    }
    for (auto& [x, y] : cells) {
        x -= minX;
        y -= minY;
    }
    std::sort(cells.begin(), cells.end(), [](auto a, auto b) {
        return std::pair(a.second, a.first) < std::pair(b.second, b.first);
    });
    return cells;
}

// One read of some bytes onto a fresh guarded board; every promise of
// GuardedBoard::ReadAndCheck is checked as part of the read.
struct ReadResult {
    std::unique_ptr<GuardedBoard> guarded;
    bool ok = false;
    CellBoard& board() const { return guarded->board(); }
    Cells cells() const { return LiveCells(board()); }
    std::string rules;  // FormatRuleText of the rule read
    const Rule& rule() const { return guarded->rule(); }
};

inline ReadResult Read(const std::string& bytes, int width = 800, int height = 800) {
    ReadResult r;
    r.guarded = std::make_unique<GuardedBoard>(width, height);
    const std::string problem = r.guarded->ReadAndCheck(
        reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &r.ok);
    EXPECT_EQ(problem, "") << "while reading: " << bytes.substr(0, 80);
    r.rules = FormatRuleText(r.rule());
    return r;
}

}  // namespace cellarium::testing
