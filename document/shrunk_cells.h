// The board as the view shows it zoomed out: one pixel for a square block of
// k x k cells, showing a live cell of the block (the first in row order) when
// any lives, else the dead cell 0.
#pragma once

#include <cstdint>

namespace cellarium {

// Fills out (cols x rows bytes, row after row) with the blocks of k x k cells
// from block (firstX, firstY), where block (bx, by) holds the cells from
// (bx k, by k) on. Blocks, or their parts, outside the width x height cells
// are dead. k is at least 1.
void ShrinkCells(const uint8_t* cells, int width, int height, int k, int firstX, int firstY,
                 int cols, int rows, uint8_t* out);

}  // namespace cellarium
