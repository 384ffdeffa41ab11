// A compact copy of a block of cells, for the undo history: runs of dead
// cells are stored as their length, everything else as it is. A board after
// a long run is mostly dead with small islands of ash, so it packs to a few
// bytes per live cell; packing and unpacking stream through memory once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/cell_board.h"

namespace cellarium {

// The address of the cell (x, y) of a board that is only read.
inline const uint8_t* CellAddress(const CellBoard& board, int x, int y) {
    return board.Cells() + std::size_t(y) * std::size_t(board.width) + std::size_t(x);
}

// The packed form of count bytes at cells.
std::vector<uint8_t> PackCells(const uint8_t* cells, std::size_t count);
// Appends the packed form of count bytes at cells to out: the pieces of a
// block packed in turn make a packing of the whole block.
void PackCellsAppend(std::vector<uint8_t>& out, const uint8_t* cells, std::size_t count);
// Writes the count bytes packed describes to cells. False (cells partly
// written) when packed is not the packing of exactly count bytes.
bool UnpackCells(const std::vector<uint8_t>& packed, uint8_t* cells, std::size_t count);

// The same for the cells of rect (inclusive, on the board), row by row.
std::vector<uint8_t> PackRect(const CellBoard& board, Rect rect);
bool UnpackRect(const std::vector<uint8_t>& packed, CellBoard& board, Rect rect);

}  // namespace cellarium
