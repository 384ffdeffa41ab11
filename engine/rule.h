// A rule of the Life family: two states, the cell and its eight neighbours.
// A rule is a value: a table saying, for each of the 512 ways the 3 x 3 block
// around a cell can be filled, whether the cell is live in the next
// generation. Totalistic rules (B3/S23 and the like) are the tables that only
// look at how many neighbours are live; isotropic rules are those that give
// the same result for a block turned or mirrored.
//
// A block is numbered by nine bits, the top row first and the left column
// first in each row, the upper left cell the highest:
//     256 128  64
//      32  16   8
//       4   2   1
// so 16 is the cell itself. This is the order MAP rules list their table in.
#pragma once

#include <array>
#include <cstdint>

namespace cellarium {

class Rule {
public:
    static constexpr int kBlocks = 512;
    static constexpr unsigned kCellBit = 16;
    // Bit n of a count set: n live neighbours (n = 0..8).
    static constexpr uint16_t kAllCounts = 0x1FF;

    using Table = std::array<uint64_t, kBlocks / 64>;  // bit b of word w: block 64w + b

    // Conway's Life, B3/S23.
    Rule() : Rule(Totalistic(1u << 3, (1u << 2) | (1u << 3))) {}

    // Born with the neighbour counts set in `born`, surviving with those in
    // `survive` (bit n for n neighbours; bits past 8 are ignored).
    static Rule Totalistic(uint16_t born, uint16_t survive);
    static Rule FromTable(const Table& table);

    // Whether the cell at the centre of `block` (0..511) is live next.
    bool Next(unsigned block) const { return (table_[block >> 6] >> (block & 63)) & 1u; }
    const Table& table() const { return table_; }

    // Whether only the number of live neighbours matters.
    bool IsTotalistic() const { return totalistic_; }
    // Whether turning or mirroring a block never changes the result.
    bool IsIsotropic() const;
    // The neighbour counts at which every dead block is born / every live
    // block survives. For a totalistic rule these are the whole rule.
    uint16_t BornCounts() const { return born_; }
    uint16_t SurviveCounts() const { return survive_; }
    bool Born(int count) const { return (born_ >> count) & 1u; }
    bool Survives(int count) const { return (survive_ >> count) & 1u; }

    friend bool operator==(const Rule& a, const Rule& b) { return a.table_ == b.table_; }

private:
    explicit Rule(const Table& table);

    Table table_{};
    uint16_t born_ = 0;
    uint16_t survive_ = 0;
    bool totalistic_ = false;
};

// The eight neighbours of a block that are live (the cell's own bit cleared).
inline int NeighbourCount(unsigned block) {
    return __builtin_popcount(block & ~Rule::kCellBit & 0x1FFu);
}

// The block turned a quarter clockwise, and mirrored left to right.
unsigned TurnBlock(unsigned block);
unsigned MirrorBlock(unsigned block);

}  // namespace cellarium
