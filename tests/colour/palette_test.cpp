#include "colour/palette.h"

#include <gtest/gtest.h>

using namespace cellarium;

namespace {

void ExpectRgb(PaletteId id, int k, int r, int g, int b) {
    const ColourEntry& e = FixedPalette(id).entries[k];
    EXPECT_EQ(e.red, r) << "entry " << k;
    EXPECT_EQ(e.green, g) << "entry " << k;
    EXPECT_EQ(e.blue, b) << "entry " << k;
    EXPECT_EQ(e.reserved, 0);
}

}  // namespace

TEST(Palettes, AutumnAnchors) {
    ExpectRgb(PaletteId::Autumn, 0, 0, 0, 0);
    ExpectRgb(PaletteId::Autumn, 1, 252, 192, 0);
    ExpectRgb(PaletteId::Autumn, 4, 252, 192, 0);
    ExpectRgb(PaletteId::Autumn, 5, 248, 188, 0);
    ExpectRgb(PaletteId::Autumn, 193, 60, 0, 0);
    ExpectRgb(PaletteId::Autumn, 245, 8, 0, 0);
    ExpectRgb(PaletteId::Autumn, 255, 8, 0, 0);
}

TEST(Palettes, ShadesOfBlueAnchorsAndMultiplesOfFour) {
    ExpectRgb(PaletteId::ShadesOfBlue, 0, 0, 0, 0);
    ExpectRgb(PaletteId::ShadesOfBlue, 1, 0, 0, 12);
    ExpectRgb(PaletteId::ShadesOfBlue, 3, 0, 0, 12);
    ExpectRgb(PaletteId::ShadesOfBlue, 4, 0, 0, 16);
    ExpectRgb(PaletteId::ShadesOfBlue, 32, 0, 0, 200);
    ExpectRgb(PaletteId::ShadesOfBlue, 33, 0, 4, 200);
    ExpectRgb(PaletteId::ShadesOfBlue, 64, 0, 200, 252);
    ExpectRgb(PaletteId::ShadesOfBlue, 65, 4, 200, 252);
    ExpectRgb(PaletteId::ShadesOfBlue, 96, 252, 252, 252);
    ExpectRgb(PaletteId::ShadesOfBlue, 97, 248, 252, 252);
    ExpectRgb(PaletteId::ShadesOfBlue, 144, 0, 252, 252);
    ExpectRgb(PaletteId::ShadesOfBlue, 145, 0, 248, 252);
    ExpectRgb(PaletteId::ShadesOfBlue, 192, 0, 0, 252);
    ExpectRgb(PaletteId::ShadesOfBlue, 253, 0, 0, 8);
    ExpectRgb(PaletteId::ShadesOfBlue, 255, 0, 0, 8);
    for (int k = 0; k < 256; ++k) {
        const ColourEntry& e = FixedPalette(PaletteId::ShadesOfBlue).entries[k];
        EXPECT_EQ(e.red % 4 + e.green % 4 + e.blue % 4, 0) << k;
    }
    // The ramps are monotone between anchors: blue rises from 4 to 32.
    for (int k = 5; k <= 32; ++k)
        EXPECT_GE(FixedPalette(PaletteId::ShadesOfBlue).entries[k].blue,
                  FixedPalette(PaletteId::ShadesOfBlue).entries[k - 1].blue);
}

TEST(Palettes, RainbowIsTheColourCube) {
    ExpectRgb(PaletteId::Rainbow, 0, 255, 255, 255);
    ExpectRgb(PaletteId::Rainbow, 1, 0, 0, 51);
    ExpectRgb(PaletteId::Rainbow, 6, 51, 0, 0);
    ExpectRgb(PaletteId::Rainbow, 36, 0, 51, 0);
    ExpectRgb(PaletteId::Rainbow, 214, 255, 255, 204);
    ExpectRgb(PaletteId::Rainbow, 215, 0, 0, 0);
    ExpectRgb(PaletteId::Rainbow, 216, 0, 0, 51);
    EXPECT_EQ(FixedPalette(PaletteId::Rainbow).entries[255],
              FixedPalette(PaletteId::Rainbow).entries[254]);
}

TEST(Palettes, SunshineRampsAndBlackAndWhite) {
    ExpectRgb(PaletteId::Sunshine, 0, 255, 255, 255);
    ExpectRgb(PaletteId::Sunshine, 1, 255, 128, 0);
    ExpectRgb(PaletteId::Sunshine, 148, 255, 255, 0);
    ExpectRgb(PaletteId::Sunshine, 149, 255, 255, 1);
    ExpectRgb(PaletteId::Sunshine, 255, 255, 255, 198);
    for (int k = 2; k <= 148; ++k)
        EXPECT_GE(FixedPalette(PaletteId::Sunshine).entries[k].green,
                  FixedPalette(PaletteId::Sunshine).entries[k - 1].green);
    ExpectRgb(PaletteId::BlackAndWhite, 0, 255, 255, 255);
    for (int k = 1; k < 256; ++k) ExpectRgb(PaletteId::BlackAndWhite, k, 0, 0, 0);
}

TEST(Palettes, CustomStartsAsRainbowAndNothingIsCurrentAtStart) {
    ResetPalettesForStart();
    EXPECT_EQ(CurrentPalette(), nullptr);
    EXPECT_EQ(Palette(PaletteId::Custom).entries, Palette(PaletteId::Rainbow).entries);
    EXPECT_EQ(IdOf(&Palette(PaletteId::Sunshine)), PaletteId::Sunshine);
    EXPECT_EQ(MakeColour(1, 2, 3).Rgb(), 1u + 256u * 2 + 65536u * 3);
}
