#include "engine/cell_board.h"

#include <gtest/gtest.h>

#include <cstring>

#include "colour/palette.h"

using namespace cellarium;

namespace {

int32_t Le32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}

}  // namespace

TEST(CellBoard, BoardsTakeTheCurrentColoursAndWriteNoPalette) {
    ResetPalettesForStart();
    ASSERT_EQ(CurrentPalette(), nullptr);
    auto board = CellBoard::Create(300, 200);
    ASSERT_TRUE(board);
    EXPECT_EQ(CurrentPalette(), nullptr);
    EXPECT_EQ(board->colours, Palette(PaletteId::Rainbow).entries);
    EXPECT_EQ(Palette(PaletteId::Rainbow).header, PaletteBlock{}.header);

    // The first board's maker makes Rainbow current and writes the header.
    PaletteBlock& first = CurrentPaletteOrRainbow();
    ASSERT_EQ(&first, &Palette(PaletteId::Rainbow));
    WriteBitmapHeader(first, 300, 200);
    const uint8_t* h = first.header.data();
    EXPECT_EQ(Le32(h + 0), 40);
    EXPECT_EQ(Le32(h + 4), 300);
    EXPECT_EQ(Le32(h + 8), -200);
    EXPECT_EQ(h[12] | h[13] << 8, 1);
    EXPECT_EQ(h[14] | h[15] << 8, 8);
    EXPECT_EQ(Le32(h + 16), 0);
    EXPECT_EQ(Le32(h + 20), 0);
    EXPECT_EQ(Le32(h + 24), 100);
    EXPECT_EQ(Le32(h + 28), 100);
    EXPECT_EQ(Le32(h + 32), 256);
    EXPECT_EQ(Le32(h + 36), 256);

    // A later board keeps whatever palette is current.
    SetCurrentPalette(&Palette(PaletteId::Autumn));
    EXPECT_EQ(&CurrentPaletteOrRainbow(), &Palette(PaletteId::Autumn));
    auto second = CellBoard::Create(300, 200);
    EXPECT_EQ(CurrentPalette(), &Palette(PaletteId::Autumn));
    EXPECT_EQ(second->colours[1], MakeColour(252, 192, 0));
}

TEST(CellBoard, NewBoardIsDeadWithEmptyBoxAndNoLiveCells) {
    auto board = CellBoard::Create(151, 157);
    ASSERT_TRUE(board);
    EXPECT_EQ(board->liveCount, 0);
    EXPECT_EQ(board->bounds, (Rect{149, 155, 1, 1}));
    for (std::size_t i = 0; i < board->CellCount(); ++i) ASSERT_EQ(board->Cells()[i], 0);
    EXPECT_TRUE(board->description.empty());
}

TEST(CellBoard, SizeFromSettingsIsClampedAndDefaultsTo800) {
    FixedSizeSettings tiny(20, 50000);
    auto board = CellBoard::Create(tiny);
    ASSERT_TRUE(board);
    EXPECT_EQ(board->width, 150);
    EXPECT_EQ(board->height, 10000);

    struct Empty : SettingsSource {
        int GetProfileInt(std::string_view, std::string_view, int d) override { return d; }
    } none;
    BoardSize size = ReadBoardSize(none);
    EXPECT_EQ(size.width, 800);
    EXPECT_EQ(size.height, 800);
}

TEST(CellBoard, ScanBoundsIsExactForInteriorAndWidensForBorderCells) {
    auto board = CellBoard::Create(200, 160);
    EXPECT_EQ(board->ScanBounds(), board->EmptyBox());

    board->Set(37, 90, 5);
    EXPECT_EQ(board->ScanBounds(), (Rect{37, 90, 37, 90}));
    board->Set(37, 90, 0);

    board->Set(0, 0, 1);
    EXPECT_EQ(board->ScanBounds(), (Rect{0, 0, 1, 1}));
    board->Set(0, 0, 0);

    board->Set(199, 159, 1);
    EXPECT_EQ(board->ScanBounds(), (Rect{198, 158, 199, 159}));
    // The scan leaves cells and the live count alone.
    EXPECT_EQ(board->At(199, 159), 1);
    EXPECT_EQ(board->liveCount, 0);
}

TEST(CellBoard, IncludeCellOnlyMovesEdgesOutward) {
    auto board = CellBoard::Create(150, 150);
    board->bounds = Rect{10, 20, 30, 40};
    board->IncludeCell(Point{15, 25});
    EXPECT_EQ(board->bounds, (Rect{10, 20, 30, 40}));
    board->IncludeCell(Point{5, 45});
    EXPECT_EQ(board->bounds, (Rect{5, 20, 30, 45}));
    board->ResetBounds();
    board->IncludeCell(Point{7, 8});
    EXPECT_EQ(board->bounds, (Rect{7, 8, 7, 8}));
    board->SetWholeBounds();
    EXPECT_EQ(board->bounds, (Rect{1, 1, 148, 148}));
}

TEST(CellBoard, MakeEmptyLeavesAnAllDeadBoardWithItsDescriptionAndColours) {
    ResetPalettesForStart();
    auto board = CellBoard::Create(160, 150);
    board->Set(0, 0, 3);      // the border too
    board->Set(80, 70, 200);  // and the interior
    board->liveCount = 2;
    board->SetWholeBounds();
    board->description = "kept";
    SetCurrentPalette(&Palette(PaletteId::Autumn));
    board->MakeEmpty();
    for (std::size_t i = 0; i < board->CellCount(); ++i) ASSERT_EQ(board->Cells()[i], 0) << i;
    EXPECT_EQ(board->bounds, board->EmptyBox());
    EXPECT_EQ(board->liveCount, 0);
    EXPECT_EQ(board->description, "kept");
    EXPECT_EQ(board->colours, Palette(PaletteId::Rainbow).entries);
}

TEST(CellBoard, ImpossibleSizeIsReportedNotThrown) {
    EXPECT_EQ(CellBoard::Create(2, 800), nullptr);
    EXPECT_EQ(CellBoard::Create(800, -5), nullptr);
}
