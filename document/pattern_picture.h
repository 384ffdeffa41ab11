// Pictures of pattern files for the file list: a file's live cells scaled
// into a small square in the current palette's colours.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "colour/palette.h"
#include "engine/cell_board.h"
#include "framework/platform_services.h"

namespace cellarium {

inline constexpr int kPatternPictureSide = 48;

// Draws the live cells of board inside box (inclusive) into side x side
// pixels (red + 256 green + 65536 blue) on the dead-cell colour, in the
// board's colours: the box scaled to fit and centred, a pixel showing a live
// cell when any cell it covers is alive. A box narrower than 8 cells is drawn
// as if 8 wide, so a lone cell does not fill the square.
std::vector<uint32_t> DrawCellsScaled(const CellBoard& board, const Rect& box, int side);

// Reads the pattern file at path onto a board of its own of the given size
// and draws it. Touches nothing program-wide (palettes), so it
// may run on any thread. Not readable when the file cannot be opened or read
// as a pattern, or does not fit the board.
FilePicture MakePatternPicture(const std::string& path, BoardSize size,
                               const std::array<ColourEntry, kPaletteEntries>& colours,
                               int side = kPatternPictureSide);

// A maker for the file list that draws in the current palette on a board of
// the size in the settings, both as they are now; key names the two.
std::function<FilePicture(const std::string&)> CurrentPatternPictureMaker(std::string& key);

}  // namespace cellarium
