// A 64-bit hash of a board's live cells, colour values aside: two boards with
// the same live cells (border included) have the same hash.
#pragma once

#include <cstdint>

namespace cellarium {

class CellBoard;

// For every row y of the whole board (0..height-1, the border included) and
// every k in 0..ceil(width/64)-1, let W be the 64-bit word whose bit b is set
// iff cell (64k+b, y) exists (64k+b < width) and is nonzero. The hash is the
// sum modulo 2^64, over all (y, k) with W != 0, of
// splitmix64(W ^ ((uint64_t(y) << 32) | k)).
uint64_t LiveCellHash(const CellBoard& board);

}  // namespace cellarium
