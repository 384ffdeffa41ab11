#include <gtest/gtest.h>

#include <random>

#include "engine/cell_board.h"

using namespace cellarium;

namespace {

std::unique_ptr<CellBoard> RandomBoard(int w, int h, unsigned seed) {
    auto b = CellBoard::Create(w, h);
    std::mt19937 rng(seed);
    int live = 0;
    for (std::size_t i = 0; i < b->CellCount(); ++i)
        if (rng() % 7 == 0) b->EditCells()[i] = uint8_t(1 + rng() % 255), ++live;
    b->liveCount = live;
    b->SetWholeBounds();
    return b;
}

}  // namespace

TEST(Transforms, CenterPlacesBoxesWhereExpected) {
    auto s = CellBoard::Create(800, 800);
    auto t = CellBoard::Create(800, 800);
    // 3 x 3 box.
    s->Set(10, 20, 3);
    s->Set(12, 22, 4);
    s->liveCount = 2;
    s->CenterInto(*t);
    EXPECT_EQ(t->At(399, 399), 3);
    EXPECT_EQ(t->At(401, 401), 4);
    EXPECT_EQ(t->liveCount, 2);
    EXPECT_EQ(t->bounds, t->WholeBox());

    // 4 rows, 5 columns: top-left at row 399, column 398.
    auto s2 = CellBoard::Create(800, 800);
    auto t2 = CellBoard::Create(800, 800);
    s2->Set(100, 50, 1);
    s2->Set(104, 53, 1);
    s2->CenterInto(*t2);
    EXPECT_EQ(t2->At(398, 399), 1);
    EXPECT_EQ(t2->At(402, 402), 1);

    // Centring again leaves it in place.
    auto t3 = CellBoard::Create(800, 800);
    t2->CenterInto(*t3);
    EXPECT_EQ(t3->At(398, 399), 1);
    EXPECT_EQ(t3->At(402, 402), 1);
}

TEST(Transforms, CenterOfTallOrEmptyBoxStaysOnTheBoard) {
    auto s = CellBoard::Create(150, 150);
    auto t = CellBoard::Create(150, 150);
    s->CenterInto(*t);
    EXPECT_EQ(t->ScanBounds(), t->EmptyBox());
    EXPECT_EQ(t->liveCount, 0);

    // A column from the top border to the bottom border: the box is as tall as
    // the board and must not be pushed below it.
    for (int y = 0; y < 150; ++y) s->Set(20, y, 1);
    s->liveCount = 150;
    auto t2 = CellBoard::Create(150, 150);
    s->CenterInto(*t2);
    for (int y = 0; y < 150; ++y) EXPECT_EQ(t2->At(75, y), 1) << y;
}

TEST(Transforms, RotateLeftMapsCornersAndFourTurnsRestore) {
    auto s = CellBoard::Create(800, 800);
    auto t = CellBoard::Create(800, 800);
    s->Set(0, 0, 1);
    s->Set(799, 0, 2);
    s->Set(5, 9, 3);
    s->liveCount = 3;
    s->RotateLeftInto(*t);
    EXPECT_EQ(t->At(0, 799), 1);
    EXPECT_EQ(t->At(0, 0), 2);
    EXPECT_EQ(t->At(9, 794), 3);
    EXPECT_EQ(t->liveCount, 3);
    EXPECT_EQ(s->ScanBounds(), s->EmptyBox());  // the source is cleared

    auto a = RandomBoard(173, 173, 1);
    std::vector<uint8_t> before(a->Cells(), a->Cells() + a->CellCount());
    auto b = CellBoard::Create(173, 173);
    for (int i = 0; i < 4; ++i) {
        a->RotateLeftInto(*b);
        std::swap(a, b);
    }
    EXPECT_TRUE(std::equal(before.begin(), before.end(), a->Cells()));
}

TEST(Transforms, RotateOnNonSquareBoardKeepsWhatFitsAndStaysOnTheBoard) {
    // A sanitizer build catches any write outside the board; here we check the
    // turn itself: a cell at the centre stays there, and a 90-degree turn of a
    // horizontal bar about the centre becomes a vertical bar.
    auto s = CellBoard::Create(300, 160);
    auto t = CellBoard::Create(300, 160);
    for (int x = 140; x <= 160; ++x) s->Set(x, 80, 1);
    s->liveCount = 21;
    s->RotateLeftInto(*t);
    int live = 0;
    for (std::size_t i = 0; i < t->CellCount(); ++i) live += t->Cells()[i] != 0;
    EXPECT_EQ(live, 21);
    EXPECT_EQ(t->liveCount, 21);
    Rect r = t->ScanBounds();
    EXPECT_EQ(r.left, r.right);
    EXPECT_EQ(r.bottom - r.top, 20);

    // Far-off cells are dropped rather than written elsewhere.
    auto wide = RandomBoard(400, 150, 2);
    auto wt = CellBoard::Create(400, 150);
    wide->RotateLeftInto(*wt);
    int kept = 0;
    for (std::size_t i = 0; i < wt->CellCount(); ++i) kept += wt->Cells()[i] != 0;
    EXPECT_EQ(wt->liveCount, kept);
    EXPECT_LT(kept, wide->liveCount);
}

TEST(Transforms, RepaletteKeepsValuesAndSwitchesColourTable) {
    ResetPalettesForStart();
    auto s = RandomBoard(160, 150, 3);
    auto t = CellBoard::Create(160, 150);
    std::vector<uint8_t> before(s->Cells(), s->Cells() + s->CellCount());
    const int32_t live = s->liveCount;
    s->RepaletteInto(*t, Palette(PaletteId::Autumn));
    EXPECT_EQ(CurrentPalette(), nullptr);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), t->Cells()));
    EXPECT_EQ(t->colours[7], Palette(PaletteId::Autumn).entries[7]);
    EXPECT_EQ(s->colours[7], Palette(PaletteId::Autumn).entries[7]);
    EXPECT_EQ(s->ScanBounds(), s->EmptyBox());
    EXPECT_EQ(t->bounds, t->WholeBox());
    EXPECT_EQ(t->liveCount, live);
    EXPECT_EQ(s->liveCount, 0);
}

TEST(Transforms, StepAfterTransformLeavesNoStaleCells) {
    auto cur = CellBoard::Create(150, 150);
    auto scratch = CellBoard::Create(150, 150);
    // Scratch holds an old generation far from the pattern.
    for (const Point p : {Point{10, 10}, Point{11, 10}, Point{10, 11}, Point{11, 11}})
        scratch->Set(p.x, p.y, 1);
    for (const Point p : {Point{100, 100}, Point{101, 100}, Point{100, 101}, Point{101, 101}})
        cur->Set(p.x, p.y, 1);
    cur->liveCount = 4;
    cur->bounds = Rect{100, 100, 101, 101};
    cur->CenterInto(*scratch);
    std::swap(cur, scratch);
    int32_t births, deaths;
    cur->ComputeNext(*scratch, Rule(), 1, births, deaths);
    std::swap(cur, scratch);
    EXPECT_EQ(cur->liveCount, 4);
    int live = 0;
    for (std::size_t i = 0; i < cur->CellCount(); ++i) live += cur->Cells()[i] != 0;
    EXPECT_EQ(live, 4);
}
