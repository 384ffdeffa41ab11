// The runner's colour options: --palette chooses the palette the board is
// drawn with, --gif exports the final board with it.
#pragma once

#include <string>

#include "colour/palette.h"

namespace cellarium {

class CellBoard;

// The block for --palette: "autumn", "blue", "rainbow", "sunshine" or "bw", or
// otherwise a ".map" palette file, loaded into the Custom palette. Null, with
// a message in error, when the file cannot be opened.
PaletteBlock* ChoosePalette(const std::string& nameOrFile, std::string& error);

// Writes the board as a GIF image with the current palette as colour table.
// False, with a message, when the image could not be written; no partial file
// is left at the path then, and a file that was there stays as it was.
bool ExportBoardImage(const std::string& path, const CellBoard& board, std::string& error);

}  // namespace cellarium
