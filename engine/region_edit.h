// Edits of a rectangle of cells in place, for the selection commands. Every
// edit keeps the board ready for the next step: cells only ever die on the
// border (nothing is moved, pasted or filled onto it), the live count
// follows the cells changed, and the bounds become the whole box, so the
// next step recomputes the whole interior.
//
// Rectangles are inclusive and are clipped to the board by the caller
// (ClipToBoard).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/cell_board.h"

namespace cellarium {

// rect brought onto the board; empty (left > right) when nothing of it is.
Rect ClipToBoard(const CellBoard& board, Rect rect);
bool IsEmptyRect(const Rect& r);
// The smallest rectangle holding both (either may be empty).
Rect UnionRect(const Rect& a, const Rect& b);
bool IsInterior(const CellBoard& board, int x, int y);

// Copies the border cells of from onto to (same size). The document's two
// boards keep the same border, since a step never writes it.
void CopyBorder(const CellBoard& from, CellBoard& to);

// Kills every cell of rect.
void ClearRect(CellBoard& board, Rect rect);
// Kills every cell outside rect, the border included.
void ClearOutsideRect(CellBoard& board, Rect rect);
// Makes each interior cell of rect live (value 1) with probability
// percent / 100 and dead otherwise, from a generator seeded with seed: the
// same seed gives the same cells. Border cells of rect die.
void FillRandomRect(CellBoard& board, Rect rect, int percent, uint64_t seed);

// Mirrors the cells of rect left to right (horizontal) or top to bottom.
// Returns how many live cells were dropped because they would have landed
// on the border.
int64_t FlipRect(CellBoard& board, Rect rect, bool horizontal);

// The rectangle rect's cells occupy after a quarter turn about its centre
// (not clipped).
Rect RotatedRect(Rect rect);
// Turns the cells of rect a quarter turn about the rectangle's centre,
// clockwise or anticlockwise as seen on the screen. Cells that would land
// off the board or on its border are dropped; returns how many live ones.
// When width and height differ in parity the centre lies between cells; the
// turned block then sits half a cell up and to the left of the exact turn.
int64_t RotateRect(CellBoard& board, Rect rect, bool clockwise);

// A pattern cut out of a board: width x height cells, row by row.
struct CellBlock {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> cells;
};
// The cells of rect.
CellBlock CopyRect(const CellBoard& board, Rect rect);
// Adds block's live cells to the board with its top-left cell at (x, y):
// each becomes a live cell of value `value`; its dead cells leave the board
// as it was. Returns how many live cells were dropped because they fell off
// the board or on its border.
int64_t PasteBlock(CellBoard& board, const CellBlock& block, int x, int y, uint8_t value);

}  // namespace cellarium
