// The jump through a cycle. Once a run's live cells are known to repeat with
// period P, the boards P, 2P, ... generations on hold the same live cells,
// and what stepping would give their cells can be worked out without
// stepping: a cell live throughout a period keeps its value; a cell that dies
// and is born again within every period was last born qP generations later
// than it was now, and newborn cells carry the low byte of their birth
// generation (1 where that is 0). So a cell's value then follows from the
// low byte of its last birth now, which is its value except for value 1
// (born in a generation ending in byte 0 or byte 1): both are kept here, as
// two bits a cell, by watching the births of every step.
//
// Before the boards are taken to go round, the cycle is confirmed once more
// on the whole state the step depends on: the live cells and the bounds one
// period apart (rules that give birth on no neighbours fill the step's
// window, which the bounds make).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/cell_board.h"
#include "engine/run_history.h"

namespace cellarium {

class CycleJump {
public:
    // Follows a run whose live cells repeat with the given period, from its
    // current board, generation now. False when memory runs out.
    bool Begin(const CellBoard& board, int64_t period, int64_t now);
    // After every step: current is generation now, previous the one before it.
    void Stepped(const CellBoard& current, const CellBoard& previous, int64_t now);
    // Whether whole periods may be jumped from generation now: the boards
    // are known to go round and every live cell's last birth within the
    // cycle has been seen.
    bool Ready(int64_t now) const { return verified_ && now - since_ >= period_; }
    int64_t Period() const { return period_; }
    // Gives the current board's cells the values of the generation
    // `generations` (a multiple of the period) later.
    void Shift(CellBoard& current, int64_t generations);

private:
    void Restart(const CellBoard& board, int64_t now);

    int64_t period_ = 0;
    int64_t since_ = 0;  // births are watched from the step after this generation
    bool verified_ = false;
    // The state one period is checked against.
    int64_t anchor_ = 0;
    LiveCells anchorCells_;
    Rect anchorBounds_;
    // Bit planes of the board's size, one bit a cell: born since `since_`;
    // last born in a generation whose low byte is 0.
    std::size_t rowWords_ = 0;
    std::vector<uint64_t> reborn_, zero_;
};

}  // namespace cellarium
