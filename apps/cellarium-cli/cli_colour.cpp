#include "cli_colour.h"

#include <utility>

#include "colour/gif_writer.h"
#include "colour/palette_file.h"
#include "engine/cell_board.h"

namespace cellarium {

PaletteBlock* ChoosePalette(const std::string& nameOrFile, std::string& error) {
    static const std::pair<const char*, PaletteId> kNames[] = {
        {"autumn", PaletteId::Autumn},    {"blue", PaletteId::ShadesOfBlue},
        {"rainbow", PaletteId::Rainbow},  {"sunshine", PaletteId::Sunshine},
        {"bw", PaletteId::BlackAndWhite},
    };
    for (const auto& [name, id] : kNames)
        if (nameOrFile == name) return &Palette(id);
    // A headless run draws on no display: every colour is shown as it is.
    if (!LoadPaletteFile(nameOrFile, TrueColour)) {
        error = "cannot open palette file '" + nameOrFile +
                "' (palettes: autumn, blue, rainbow, sunshine, bw, or a .map file)";
        return nullptr;
    }
    return &Palette(PaletteId::Custom);
}

bool ExportBoardImage(const std::string& path, const CellBoard& board, std::string& error) {
    const PaletteBlock* palette = CurrentPalette();
    if (palette == nullptr) palette = &Palette(PaletteId::Rainbow);
    int rc = ExportBoardGif(path, GifCells{board.cells, board.width, board.height}, *palette);
    if (rc == kGifOk) return true;
    error = "cannot write the image '" + path + "': " + GifResultMessage(rc);
    return false;
}

}  // namespace cellarium
