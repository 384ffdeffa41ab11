// The tree of a macrocell file ("[M2]"): node lines read one at a time,
// the box its live cells fill, found without drawing them, and the live
// cells as runs, for a pattern that fits a board.
//
// A node line is either a leaf of 8 x 8 cells ("." dead, "*" live, "$" ends a
// row) or "level nw ne sw se" with the numbers of four earlier lines (0 for
// an all-dead quarter). Multi-state files build level 1 from cell states
// instead of leaves. The last line is the root. The pattern's coordinates
// put the root's top-left cell at column -2^(level-1), row 1 - 2^(level-1),
// as other Life programs read it (they count rows upwards inside the tree,
// so the origin is the cell just above and right of the root's centre).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cellarium {

// Which of a multi-state file's cell states are live cells here: state 1
// (two-state rules), or 1, 3 and 5 (LifeHistory, whose states 2, 4 and 6 are
// dead here). Any other state above 0 is one this program does not have.
struct MacrocellStates {
    bool history = false;
};

class MacrocellTree {
public:
    // The most nodes a file may have, so that a huge file is refused rather
    // than filling the memory (a node takes some 50 bytes).
    static constexpr std::size_t kMaxNodes = 8'000'000;
    // The deepest level taken: coordinates stay well inside 64 bits.
    static constexpr int kMaxLevel = 60;

    // One node line, without its line end. Returns "" or what is wrong
    // with the file.
    std::string AddLine(std::string_view line, const MacrocellStates& states);

    bool HasRoot() const { return nodes_.size() > 1; }
    // Whether a state past what the rule has was met (AddLine's message says
    // so too).
    bool TooManyStates() const { return tooManyStates_; }

    struct Box {
        int64_t left = 0, top = 0, right = -1, bottom = -1;  // empty while left > right
        bool Empty() const { return left > right; }
    };
    // The live cells' box in the pattern's coordinates (origin at the root's
    // centre).
    Box LiveBox() const;
    // Every live cell, as runs of `count` cells from (x, y) rightwards, in
    // the pattern's coordinates. Visits only quarters that hold live cells.
    void ForEachRun(const std::function<void(int64_t x, int64_t y, int64_t count)>& run) const;

private:
    struct Node {
        uint64_t leaf = 0;     // level 3 leaves: bit 8 x row + column
        int32_t kids[4] = {};  // nw, ne, sw, se; 0 is all dead
        uint8_t level = 0;     // 1 (cell states), 3 (leaf or kids) and up
        bool isLeaf = false;
        Box box;  // relative to the node's top-left cell
    };
    void Visit(int32_t id, int64_t x, int64_t y,
               const std::function<void(int64_t, int64_t, int64_t)>& run) const;

    std::vector<Node> nodes_ = std::vector<Node>(1);  // node 0: all dead
    bool tooManyStates_ = false;
};

}  // namespace cellarium
