// Palette blocks: the six 256-colour tables cells are drawn through, and the
// program-wide current palette.
#pragma once

#include <array>
#include <cstdint>

namespace cellarium {

// One colour-table entry in bitmap order: blue, green, red, reserved (0).
struct ColourEntry {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;

    // The 24-bit value used wherever two colours are compared.
    uint32_t Rgb() const { return red + 256u * green + 65536u * blue; }
    friend bool operator==(const ColourEntry&, const ColourEntry&) = default;
};

inline ColourEntry MakeColour(int red, int green, int blue) {
    return ColourEntry{static_cast<uint8_t>(blue), static_cast<uint8_t>(green),
                       static_cast<uint8_t>(red), 0};
}

inline constexpr int kPaletteHeaderSize = 40;
inline constexpr int kPaletteEntries = 256;

// A 40-byte bitmap information header area followed by 256 colour entries
// (1,064 bytes in all). Entry 0 is the dead-cell colour. Only a board making
// its bitmap writes the header; nothing reads it but the bitmap.
struct PaletteBlock {
    std::array<uint8_t, kPaletteHeaderSize> header{};
    std::array<ColourEntry, kPaletteEntries> entries{};
};
static_assert(sizeof(PaletteBlock) == 1064, "palette block layout");

enum class PaletteId { Autumn, ShadesOfBlue, Rainbow, Sunshine, BlackAndWhite, Custom };
inline constexpr int kPaletteCount = 6;

// The six program-wide blocks. The five fixed ones must be treated as
// read-only; the Custom block is written by the palette commands.
PaletteBlock& Palette(PaletteId id);
const PaletteBlock& FixedPalette(PaletteId id);

// Which block a pointer refers to; Custom for any block that is not one of
// the fixed five.
PaletteId IdOf(const PaletteBlock* block);

// The current palette: null until the first board is made, then always one of
// the six blocks.
PaletteBlock* CurrentPalette();
void SetCurrentPalette(PaletteBlock* block);

// Writes the 40-byte bitmap information header of a width x height board of
// one-byte cells, top row first, into the block's header area.
void WriteBitmapHeader(PaletteBlock& block, int width, int height);

// The current palette, making Rainbow current first when there is none yet:
// what the maker of the program's first board calls.
PaletteBlock& CurrentPaletteOrRainbow();

// Puts every block back to its start-up contents and clears the current
// palette, as at program start. Meant for tests and for a fresh runner.
void ResetPalettesForStart();

}  // namespace cellarium
