// Random soups: deterministic for a given seed, the same bytes on every
// platform (the runner's --soup and the Python module share them).
#pragma once

#include <cstdint>

namespace cellarium {

class CellBoard;

// Fills every interior cell with 1 at the given density (others 0), sets the
// whole box and the live count. The same seed and size give the same soup.
void FillSoup(CellBoard& board, double density, uint64_t seed);

// The plain reading of the same fill: one draw of the generator per interior
// cell, row by row, compared as a double. Slow; kept as the definition
// FillSoup is tested and measured against.
void FillSoupPerCell(CellBoard& board, double density, uint64_t seed);

}  // namespace cellarium
