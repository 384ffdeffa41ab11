#include "colour/palette.h"

#include <algorithm>

namespace cellarium {
namespace {

PaletteBlock MakeAutumn() {
    PaletteBlock p;
    p.entries[0] = MakeColour(0, 0, 0);
    for (int k = 1; k < 256; ++k) {
        int s = (k - 1) / 4;
        p.entries[k] = MakeColour(std::max(8, 252 - 4 * s), std::max(0, 192 - 4 * s), 0);
    }
    return p;
}

// Straight ramp from entry a (colour ca) to entry b (colour cb), every
// component rounded to a multiple of 4.
void Ramp(PaletteBlock& p, int a, const int ca[3], int b, const int cb[3]) {
    for (int k = a; k <= b; ++k) {
        int c[3];
        for (int i = 0; i < 3; ++i) {
            double v = ca[i] + (cb[i] - ca[i]) * double(k - a) / double(b - a);
            int q = int(v / 4.0 + 0.5) * 4;
            c[i] = std::clamp(q, 0, 252);
        }
        p.entries[k] = MakeColour(c[0], c[1], c[2]);
    }
}

PaletteBlock MakeShadesOfBlue() {
    PaletteBlock p;
    p.entries[0] = MakeColour(0, 0, 0);
    for (int k = 1; k <= 3; ++k) p.entries[k] = MakeColour(0, 0, 12);
    struct Anchor {
        int entry;
        int rgb[3];
    };
    // Pairs of (start of ramp, end of ramp).
    const Anchor ramps[][2] = {
        {{4, {0, 0, 16}}, {32, {0, 0, 200}}},         {{33, {0, 4, 200}}, {64, {0, 200, 252}}},
        {{65, {4, 200, 252}}, {96, {252, 252, 252}}}, {{97, {248, 252, 252}}, {144, {0, 252, 252}}},
        {{145, {0, 248, 252}}, {192, {0, 0, 252}}},
    };
    for (const auto& r : ramps) Ramp(p, r[0].entry, r[0].rgb, r[1].entry, r[1].rgb);
    for (int k = 192; k < 256; ++k)
        p.entries[k] = MakeColour(0, 0, std::max(8, 252 - 4 * (k - 192)));
    return p;
}

ColourEntry CubeColour(int m) {
    return MakeColour(51 * ((m / 6) % 6), 51 * (m / 36), 51 * (m % 6));
}

PaletteBlock MakeRainbow() {
    PaletteBlock p;
    p.entries[0] = MakeColour(255, 255, 255);
    for (int k = 1; k <= 214; ++k) p.entries[k] = CubeColour(k);
    for (int k = 215; k <= 254; ++k) p.entries[k] = CubeColour(k - 215);
    p.entries[255] = CubeColour(39);
    return p;
}

PaletteBlock MakeSunshine() {
    PaletteBlock p;
    p.entries[0] = MakeColour(255, 255, 255);
    // Green climbs from 128 at entry 1 to 255 at entry 148.
    for (int k = 1; k <= 148; ++k)
        p.entries[k] = MakeColour(255, 128 + (127 * (k - 1) + 73) / 147, 0);
    // Then blue climbs from 1 at entry 149 to 198 at entry 255.
    for (int k = 149; k <= 255; ++k)
        p.entries[k] = MakeColour(255, 255, 1 + (197 * (k - 149) + 53) / 106);
    return p;
}

PaletteBlock MakeBlackAndWhite() {
    PaletteBlock p;
    p.entries[0] = MakeColour(255, 255, 255);
    for (int k = 1; k < 256; ++k) p.entries[k] = MakeColour(0, 0, 0);
    return p;
}

const PaletteBlock& StartContents(PaletteId id) {
    static const PaletteBlock autumn = MakeAutumn();
    static const PaletteBlock blue = MakeShadesOfBlue();
    static const PaletteBlock rainbow = MakeRainbow();
    static const PaletteBlock sunshine = MakeSunshine();
    static const PaletteBlock bw = MakeBlackAndWhite();
    switch (id) {
        case PaletteId::Autumn:
            return autumn;
        case PaletteId::ShadesOfBlue:
            return blue;
        case PaletteId::Rainbow:
            return rainbow;
        case PaletteId::Sunshine:
            return sunshine;
        case PaletteId::BlackAndWhite:
            return bw;
        case PaletteId::Custom:
            return rainbow;
    }
    return rainbow;
}

struct Blocks {
    PaletteBlock block[kPaletteCount];
    PaletteBlock* current = nullptr;
    Blocks() { Reset(); }
    void Reset() {
        for (int i = 0; i < kPaletteCount; ++i) block[i] = StartContents(PaletteId(i));
        current = nullptr;
    }
};

Blocks& TheBlocks() {
    static Blocks blocks;
    return blocks;
}

}  // namespace

PaletteBlock& Palette(PaletteId id) {
    return TheBlocks().block[int(id)];
}

const PaletteBlock& FixedPalette(PaletteId id) {
    return TheBlocks().block[int(id)];
}

PaletteId IdOf(const PaletteBlock* block) {
    for (int i = 0; i < kPaletteCount; ++i)
        if (block == &TheBlocks().block[i]) return PaletteId(i);
    return PaletteId::Custom;
}

PaletteBlock* CurrentPalette() {
    return TheBlocks().current;
}

void SetCurrentPalette(PaletteBlock* block) {
    TheBlocks().current = block;
}

namespace {

void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

}  // namespace

void WriteBitmapHeader(PaletteBlock& block, int width, int height) {
    uint8_t* h = block.header.data();
    PutLe32(h + 0, 40);
    PutLe32(h + 4, uint32_t(width));
    PutLe32(h + 8, uint32_t(-height));
    PutLe16(h + 12, 1);
    PutLe16(h + 14, 8);
    PutLe32(h + 16, 0);
    PutLe32(h + 20, 0);
    PutLe32(h + 24, 100);
    PutLe32(h + 28, 100);
    PutLe32(h + 32, 256);
    PutLe32(h + 36, 256);
}

PaletteBlock& CurrentPaletteOrRainbow() {
    if (CurrentPalette() == nullptr) SetCurrentPalette(&Palette(PaletteId::Rainbow));
    return *CurrentPalette();
}

void ResetPalettesForStart() {
    TheBlocks().Reset();
}

}  // namespace cellarium
