// The viewport as the user meets it: Zoom In and Zoom Out with their limits and
// the status line, what lands on the screen's pixels at zoom 1 and 8 and after
// scrolling, Fit to Screen, Find First and Find Next, Rotate Left and Center
// bringing the view back to the middle, edit mode with taps and drags of the
// stylus (the Erase box, taps outside the board) and the arrow keys.
//
// The client area is the headless back end's 240 x 268 pixels throughout.
#include <algorithm>
#include <climits>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "life_session.h"

using namespace cellarium;

namespace {

class Viewport : public LifeSession {
protected:
    // Opens a board of w x h with a single live cell (value 1) at each of the
    // given cells, as a Life 1.05 file with one "#P" block per cell.
    CLifeDoc* OpenCells(int w, int h, std::initializer_list<CPoint> cells) {
        SetBoardSize(w, h);
        std::string text = "#Life 1.05\r\n";
        for (CPoint c : cells)
            text += "#P " + std::to_string(c.x - w / 2) + " " + std::to_string(c.y - h / 2) +
                    "\r\n*\r\n";
        CLifeDoc* doc = OpenText("cells" + std::to_string(++opened_) + ".lif", text);
        if (doc == nullptr) {
            ADD_FAILURE() << "the pattern was not opened";
            return nullptr;
        }
        EXPECT_EQ(Board().width, w);
        for (CPoint c : cells) EXPECT_EQ(Board().At(c.x, c.y), 1) << c.x << "," << c.y;
        EXPECT_EQ(Board().liveCount, int(cells.size()));
        return doc;
    }
    // An empty board of w x h (the New command).
    void NewBoard(int w, int h) {
        SetBoardSize(w, h);
        app.OnFileNew();
        platform.Pump();
    }

    bool Enabled(unsigned id) { return Frame()->QueryCommandState(id).m_bEnabled; }
    bool Checked(unsigned id) { return Frame()->QueryCommandState(id).m_nCheck != 0; }
    bool ToolbarEnabled(unsigned id) {
        for (const auto& b : Frame()->ToolbarStates())
            if (b.id == id) return b.enabled;
        ADD_FAILURE() << "no toolbar button " << id;
        return false;
    }
    CDialogBar& Strip() const { return *platform.Bar(IDD_STATUS_STRIP); }
    std::string ZoomPart() const {
        const std::string s = Status();
        return s.substr(s.rfind(' ') + 1);
    }

    static uint32_t Colour(int value) {
        return CurrentPalette()->entries[std::size_t(value)].Rgb();
    }
    uint32_t Pixel(int x, int y) const { return platform.Surface().Pixel(x, y); }
    bool LivePixel(int x, int y) const { return Pixel(x, y) == Colour(1); }
    int LivePixels() const {
        int n = 0;
        for (int y = 0; y < platform.Surface().Height(); ++y)
            for (int x = 0; x < platform.Surface().Width(); ++x) n += LivePixel(x, y) ? 1 : 0;
        return n;
    }
    // Every cell is z x z pixels: client pixel (x, y) shows cell ((bx + x)
    // div z, (by + y) div z), b the board pixel at the client's corner; around
    // the board a frame line, then the margin.
    void ExpectPlainCopy() const {
        const CPoint b = View()->BoardScroll();
        const int z = int(View()->Viewport().Zoom()), W = Board().width * z, H = Board().height * z;
        const uint32_t dead = Colour(0);
        for (int y = 0; y < platform.Surface().Height(); ++y)
            for (int x = 0; x < platform.Surface().Width(); ++x) {
                const int px = b.x + x, py = b.y + y;
                const uint32_t expected =
                    px >= 0 && py >= 0 && px < W && py < H ? Colour(Board().At(px / z, py / z))
                    : px >= -1 && py >= -1 && px <= W && py <= H ? FrameColour(dead)
                                                                 : MarginColour(dead);
                ASSERT_EQ(Pixel(x, y), expected) << "pixel " << x << "," << y;
            }
    }

    // The board pixel at the client area's top-left corner (the scroll
    // position less the margin around the board).
    CPoint Scroll() const { return View()->BoardScroll(); }
    static constexpr int M = ViewportControl::kBoardMargin;
    // Drags the scroll bars' thumbs so that board pixel (x, y) is at the
    // client area's top-left corner.
    void ScrollTo(int x, int y) {
        View()->OnHScroll(SB_THUMBTRACK, unsigned(x + M));
        View()->OnVScroll(SB_THUMBTRACK, unsigned(y + M));
        platform.Pump();
        ASSERT_EQ(Scroll(), (CPoint{x, y}));
    }
    void Key(unsigned key) { platform.KeyDown(*View(), key); }
    // The stylus and the screen at board pixel (x, y), wherever the view is.
    CPoint ClientAt(long long x, long long y) const {
        auto narrow = [](long long v) { return int(std::clamp<long long>(v, INT_MIN, INT_MAX)); };
        return CPoint{narrow(x - Scroll().x), narrow(y - Scroll().y)};
    }
    void TapAt(long long x, long long y) {
        const CPoint c = ClientAt(x, y);
        Tap(c.x, c.y);
    }
    void DragAt(long long x, long long y, unsigned flags = MK_LBUTTON) {
        const CPoint c = ClientAt(x, y);
        Drag(c.x, c.y, flags);
    }
    uint32_t PixelAt(int x, int y) const {
        const CPoint c = ClientAt(x, y);
        return Pixel(c.x, c.y);
    }
    void Tap(int x, int y) { platform.LButtonDown(*View(), CPoint{x, y}); }
    void Drag(int x, int y, unsigned flags = MK_LBUTTON) {
        platform.MouseMove(*View(), flags, CPoint{x, y});
    }
    void EditModeOn() {
        ASSERT_TRUE(platform.Command(ID_TOOLS_EDIT));
        ASSERT_TRUE(View()->Editing().EditMode());
    }
    void TickErase(bool on) {
        if ((Strip().IsDlgButtonChecked(IDC_ERASE) != 0) != on) Strip().UserClicks(IDC_ERASE);
        ASSERT_EQ(Strip().IsDlgButtonChecked(IDC_ERASE) != 0, on);
    }

    std::vector<uint8_t> Cells() const {
        return std::vector<uint8_t>(Board().Cells(), Board().Cells() + Board().CellCount());
    }
    int CountLive() const {
        int n = 0;
        for (uint8_t v : Cells()) n += v != 0 ? 1 : 0;
        return n;
    }

private:
    int opened_ = 0;
};

}  // namespace

// --- The commands as the menu and the toolbar offer them --------------------------

TEST_F(Viewport, TheCellsMenuTheEditItemAndTheToolbarsViewButtonsAreLive) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    const MenuTemplate* menu = app.Resources()->FindMenu(IDR_MAINFRAME);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->items.size(), 1u);
    const MenuItem& tools = menu->items[0];
    std::vector<std::string> cells;
    bool editFound = false;
    for (const MenuItem& item : tools.children) {
        if (item.id == ID_TOOLS_EDIT) {
            editFound = true;
            EXPECT_EQ(item.caption, "Edit");
            EXPECT_TRUE(Enabled(item.id));
        }
        if (item.caption != "Cells") continue;
        for (const MenuItem& c : item.children) {
            if (c.separator) continue;
            cells.push_back(c.caption);
            EXPECT_TRUE(Enabled(c.id)) << c.caption;
        }
    }
    EXPECT_TRUE(editFound);
    EXPECT_EQ(cells, (std::vector<std::string>{"Find First", "Find Next", "Fit to Screen", "Center",
                                               "Rotate Left"}));
    // Toolbar buttons 4 to 7, refreshed at idle time.
    EXPECT_TRUE(ToolbarEnabled(ID_ZOOM_IN));
    EXPECT_TRUE(ToolbarEnabled(ID_ZOOM_OUT));
    EXPECT_TRUE(ToolbarEnabled(ID_CELLS_ROTATE_LEFT));
    EXPECT_TRUE(ToolbarEnabled(ID_CELLS_FIT));
}

// --- Zoom ------------------------------------------------------------------------

TEST_F(Viewport, ZoomGoesFromOneSixtyFourthToThirtyTwoByDoublingAndTheStatusLineShowsIt) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    EXPECT_EQ(Status(), "G:00000 C:00005 B:00000 D:00000 Z:x1");
    for (unsigned k : {2u, 4u, 8u, 16u, 32u, 64u}) {
        EXPECT_TRUE(Enabled(ID_ZOOM_OUT));
        ASSERT_TRUE(platform.Command(ID_ZOOM_OUT));
        EXPECT_EQ(View()->Viewport().Shrink(), k);
        EXPECT_EQ(View()->Viewport().Zoom(), 1u);
        EXPECT_EQ(ZoomPart(), "Z:x1/" + std::to_string(k));
    }
    EXPECT_FALSE(Enabled(ID_ZOOM_OUT));
    EXPECT_FALSE(ToolbarEnabled(ID_ZOOM_OUT));
    EXPECT_FALSE(platform.Command(ID_ZOOM_OUT));
    // Reached all the same (a stale toolbar), Zoom Out at 1:64 changes
    // nothing but gives idle processing ten more calls.
    app.m_nIdleCountdown = 0;
    View()->Viewport().OnZoomOut();
    EXPECT_EQ(View()->Viewport().Shrink(), 64u);
    EXPECT_EQ(IdleCountdown(), 10);

    for (unsigned k : {32u, 16u, 8u, 4u, 2u, 1u}) {
        ASSERT_TRUE(platform.Command(ID_ZOOM_IN));
        EXPECT_EQ(View()->Viewport().Shrink(), k);
    }
    EXPECT_EQ(Status(), "G:00000 C:00005 B:00000 D:00000 Z:x1");
    for (unsigned z : {2u, 4u, 8u, 16u, 32u}) {
        EXPECT_TRUE(Enabled(ID_ZOOM_IN));
        ASSERT_TRUE(platform.Command(ID_ZOOM_IN));
        EXPECT_EQ(View()->Viewport().Zoom(), z);
        EXPECT_EQ(ZoomPart(), "Z:x" + std::to_string(z));
        EXPECT_TRUE(Enabled(ID_ZOOM_OUT));
    }
    EXPECT_EQ(Status(), "G:00000 C:00005 B:00000 D:00000 Z:x32");
    EXPECT_FALSE(Enabled(ID_ZOOM_IN));
    EXPECT_FALSE(ToolbarEnabled(ID_ZOOM_IN));
    EXPECT_FALSE(platform.Command(ID_ZOOM_IN));
    app.m_nIdleCountdown = 0;
    View()->Viewport().OnZoomIn();
    EXPECT_EQ(View()->Viewport().Zoom(), 32u);
    EXPECT_EQ(ZoomPart(), "Z:x32");
    EXPECT_EQ(IdleCountdown(), 10);
    // The zoom commands leave the board alone.
    EXPECT_EQ(Board().liveCount, 5);
    EXPECT_EQ(Board().At(100, 99), 1);
}

TEST_F(Viewport, ZoomKeepsThePointAtTheMiddleAndAZoomAndItsInverseComeBackExactly) {
    ASSERT_NE(OpenCells(800, 800, {{400, 400}}), nullptr);
    // A freshly opened 800 x 800 board shows its middle.
    EXPECT_EQ(Scroll(), (CPoint{400 - 120, 400 - 134}));
    EXPECT_TRUE(LivePixel(120, 134));
    // Zoom 2: the canvas point at the middle, (400, 400), doubles.
    platform.Command(ID_ZOOM_IN);
    EXPECT_EQ(Scroll(), (CPoint{800 - 120, 800 - 134}));
    EXPECT_EQ(View()->GetTotalSize(), (CSize{1600 + 2 * M, 1600 + 2 * M}));
    ExpectPlainCopy();
    EXPECT_EQ(LivePixels(), 4);

    // From odd positions at every zoom: in then out, and out then in, leave
    // the view exactly where it was.
    for (unsigned zoom : {1u, 2u, 8u, 32u}) {
        while (View()->Viewport().Zoom() != zoom)
            platform.Command(View()->Viewport().Zoom() < zoom ? ID_ZOOM_IN : ID_ZOOM_OUT);
        for (CPoint at : {CPoint{301, 277}, CPoint{555, 433}}) {
            ScrollTo(at.x, at.y);
            for (auto [first, second] :
                 {std::pair{ID_ZOOM_IN, ID_ZOOM_OUT}, std::pair{ID_ZOOM_OUT, ID_ZOOM_IN}}) {
                if (!platform.Command(first)) continue;
                EXPECT_TRUE(platform.Command(second));
                EXPECT_EQ(View()->Viewport().Zoom(), zoom);
                EXPECT_EQ(Scroll(), at) << "zoom " << zoom;
            }
        }
    }
    ExpectPlainCopy();
    // Two zooms before the view is drawn again (two notches of the wheel at
    // once) land where two drawn ones do.
    ScrollTo(555, 433);
    platform.Command(ID_ZOOM_OUT);
    platform.Command(ID_ZOOM_OUT);
    const CPoint drawn = Scroll();
    platform.Command(ID_ZOOM_IN);
    platform.Command(ID_ZOOM_IN);
    ASSERT_EQ(Scroll(), (CPoint{555, 433}));
    View()->Viewport().OnZoomOut();
    View()->Viewport().OnZoomOut();
    platform.Pump();
    EXPECT_EQ(Scroll(), drawn);
}

TEST_F(Viewport, ZoomingOutLeavesNothingOfTheLargerImageInTheMargin) {
    ASSERT_NE(OpenCells(200, 200, {{160, 100}}), nullptr);
    platform.Command(ID_ZOOM_IN);
    // At zoom 1 board pixel (104, 118) was at the middle of the client area
    // (the board and its margin fit at the origin); at zoom 2 it is there
    // doubled: cell (160, 100) covers pixels 232..233 across, 98..99 down.
    EXPECT_EQ(Scroll(), (CPoint{2 * 104 - 120, 2 * 118 - 134}));
    EXPECT_TRUE(LivePixel(232, 98));
    platform.Command(ID_ZOOM_OUT);
    // At zoom 1 the 200 x 200 board leaves a margin where that was.
    EXPECT_EQ(Scroll(), (CPoint{-M, -M}));
    ExpectPlainCopy();
}

TEST_F(Viewport, APatternOpenedAtAnotherZoomScrollsOverItsWholeBoardFromTheMiddle) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    platform.Command(ID_ZOOM_IN);
    platform.Command(ID_ZOOM_IN);
    ASSERT_NE(OpenCells(800, 800, {{400, 400}}), nullptr);
    EXPECT_EQ(View()->Viewport().Zoom(), 4u);
    EXPECT_EQ(ZoomPart(), "Z:x4");
    EXPECT_EQ(View()->GetTotalSize(), (CSize{3200 + 2 * M, 3200 + 2 * M}));
    EXPECT_EQ(Scroll(), (CPoint{1600 - 120, 1600 - 134}));
    // Cell (400, 400) covers canvas 1600..1603: client 120..123, 134..137.
    EXPECT_TRUE(LivePixel(120, 134));
    EXPECT_TRUE(LivePixel(123, 137));
    EXPECT_FALSE(LivePixel(120, 133));
    EXPECT_EQ(LivePixels(), 16);
}

TEST_F(Viewport, AReloadOntoASmallerBoardLeavesNothingOfTheOldImageInTheMargin) {
    SetBoardSize(800, 800);
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    EditModeOn();
    Tap(220, 134);
    ASSERT_EQ(Board().At(500, 400), 1);
    ASSERT_TRUE(LivePixel(220, 134));
    // The board size changed in the settings meanwhile: the reload makes a
    // 200 x 200 board, with a margin where that cell was drawn.
    SetBoardSize(200, 200);
    platform.ExpectMessageBox(IDNO, "Save changes to glider.lif?");
    ASSERT_TRUE(platform.Command(ID_FILE_RELOAD));
    ASSERT_EQ(Board().width, 200);
    EXPECT_EQ(View()->GetTotalSize(), (CSize{200 + 2 * M, 200 + 2 * M}));
    EXPECT_EQ(Scroll(), (CPoint{-M, -M}));
    ExpectPlainCopy();
}

// --- Drawing and scrolling --------------------------------------------------------------

TEST_F(Viewport, AtZoomOneEachPixelShowsItsCellInThePaletteColourAndTheArrowsScrollByALine) {
    SetBoardSize(800, 800);
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    // Cells of several values, each drawn in its own palette entry.
    for (int i = 0; i < 6; ++i) platform.Command(ID_TOOLS_STEP);
    ASSERT_EQ(Scroll(), (CPoint{280, 266}));
    ExpectPlainCopy();

    // A page is a tenth of the extent and a line a tenth of a page: 8 pixels.
    Key(VK_RIGHT);
    EXPECT_EQ(Scroll(), (CPoint{288, 266}));
    ExpectPlainCopy();
    Key(VK_DOWN);
    EXPECT_EQ(Scroll(), (CPoint{288, 274}));
    ExpectPlainCopy();
    Key(VK_LEFT);
    Key(VK_LEFT);
    EXPECT_EQ(Scroll(), (CPoint{272, 274}));
    Key(VK_UP);
    EXPECT_EQ(Scroll(), (CPoint{272, 266}));
    ExpectPlainCopy();
    // Other keys do not scroll.
    Key('A');
    Key(0x21);  // page up
    EXPECT_EQ(Scroll(), (CPoint{272, 266}));

    // The arrows stop at the ends of the scrollable range, which shows the
    // margin around the board: (-M, -M) to (800 + M - 240, 800 + M - 268).
    ScrollTo(-12, 544);
    Key(VK_LEFT);
    EXPECT_EQ(Scroll(), (CPoint{-M, 544}));
    Key(VK_LEFT);
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(Scroll(), (CPoint{-M, 800 + M - 268}));
    ExpectPlainCopy();
    ScrollTo(572, -12);
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    Key(VK_UP);
    EXPECT_EQ(Scroll(), (CPoint{800 + M - 240, -M}));
    ExpectPlainCopy();
}

TEST_F(Viewport, AScrollIsDrawnBeforeTheNextInput) {
    SetBoardSize(800, 800);
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    const int paints = platform.PaintCount();
    View()->OnKeyDown(VK_RIGHT, 1, 0);  // no pump afterwards
    EXPECT_EQ(platform.PaintCount(), paints + 1);
    ExpectPlainCopy();
    // A key that does not scroll draws nothing.
    View()->OnKeyDown('A', 1, 0);
    EXPECT_EQ(platform.PaintCount(), paints + 1);
}

TEST_F(Viewport, AtZoomEightEachCellCoversItsBlockOfPixelsAlsoAfterScrolling) {
    // Fit to Screen on two cells twenty columns apart gives zoom 8 around
    // cell (100, 100): scrolled to (680, 666), which is not a whole cell down.
    ASSERT_NE(OpenCells(200, 200, {{90, 95}, {110, 105}}), nullptr);
    platform.Command(ID_CELLS_FIT);
    ASSERT_EQ(View()->Viewport().Zoom(), 8u);
    ASSERT_EQ(Scroll(), (CPoint{680, 666}));
    // Cell (90, 95) covers canvas 720..727, 760..767: client 40..47, 94..101.
    EXPECT_TRUE(LivePixel(40, 94));
    EXPECT_TRUE(LivePixel(47, 101));
    EXPECT_FALSE(LivePixel(39, 94));
    EXPECT_FALSE(LivePixel(40, 102));
    EXPECT_EQ(LivePixels(), 2 * 64);
    ExpectPlainCopy();
    // A line is 1600 / 100 = 16 pixels, two cells.
    Key(VK_RIGHT);
    EXPECT_EQ(Scroll(), (CPoint{696, 666}));
    Key(VK_DOWN);
    EXPECT_EQ(Scroll(), (CPoint{696, 682}));
    EXPECT_TRUE(LivePixel(24, 78));
    EXPECT_EQ(LivePixels(), 2 * 64);
    ExpectPlainCopy();
    // At the far corner, the board's edge with its frame line and margin.
    platform.Command(ID_ZOOM_OUT);
    platform.Command(ID_ZOOM_OUT);
    View()->OnHScroll(SB_BOTTOM, 0);
    View()->OnVScroll(SB_BOTTOM, 0);
    platform.Pump();
    ExpectPlainCopy();
}

TEST_F(Viewport, TheMarginAndTheFrameLineDifferFromTheDeadCellsInEveryPalette) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);  // 200 x 200 at zoom 1
    for (unsigned id : {ID_COLORS_AUTUMN, ID_COLORS_BLUE, ID_COLORS_RAINBOW, ID_COLORS_SUNSHINE,
                        ID_COLORS_BW, ID_INVERT_COLORS}) {
        platform.Command(id);
        // The frame line right of the board, and the margin below it.
        EXPECT_NE(Pixel(M + 200, 40), Colour(0)) << id;
        EXPECT_NE(Pixel(230, 250), Colour(0)) << id;
        EXPECT_NE(Pixel(M + 200, 40), Pixel(230, 250)) << id;
        ExpectPlainCopy();
    }
    // A grey dead-cell colour of its own gets a margin clearly unlike it.
    for (uint32_t dead : {0x808080u, 0x707070u, 0x909090u, 0u, 0xFFFFFFu}) {
        EXPECT_NE(MarginColour(dead), dead);
        EXPECT_NE(FrameColour(dead), dead);
    }
}

TEST_F(Viewport, AFaintGridFromZoomEightWhenTheSettingAsksForIt) {
    for (bool grid : {false, true}) {
        app.WriteProfileInt("View", "Grid", grid ? 1 : 0);
        ASSERT_NE(OpenCells(800, 800, {{400, 400}}), nullptr);
        while (View()->Viewport().Zoom() > 1) platform.Command(ID_ZOOM_OUT);
        for (unsigned z = 1; z <= 16; z *= 2) {
            while (View()->Viewport().Zoom() < z) platform.Command(ID_ZOOM_IN);
            ScrollTo(z * 400 - 37, z * 400 - 41);  // not a whole cell
            const CPoint b = Scroll();
            const bool shown = grid && z >= 8;
            // Cell (401, 401) is dead; its first pixel row and column are the
            // grid's, the rest dead. The live cell (400, 400) keeps its inside.
            const CPoint corner{int(z) * 401 - b.x, int(z) * 401 - b.y};
            const uint32_t line = shown ? GridColour(Colour(0)) : Colour(0);
            EXPECT_EQ(Pixel(corner.x, corner.y + 1), line) << z;
            EXPECT_EQ(Pixel(corner.x + 1, corner.y), line) << z;
            EXPECT_EQ(Pixel(corner.x + 1, corner.y + 1), Colour(0)) << z;
            EXPECT_TRUE(LivePixel(corner.x - 1, corner.y - 1)) << z;
        }
        if (!grid) ExpectPlainCopy();
    }
    EXPECT_NE(GridColour(0), 0u);
    EXPECT_NE(GridColour(0x808080), 0x808080u);
}

// --- Fit to Screen ------------------------------------------------------------------------

TEST_F(Viewport, FitToScreenPicksTheLargestZoomThatKeepsTheBoxInsideTheClientArea) {
    struct Case {
        CPoint a, b;
        unsigned zoom;
    };
    // right - left (not the width in cells) times the zoom must stay below
    // 240, bottom - top times the zoom below 268.
    const Case cases[] = {
        {{10, 50}, {129, 50}, 2},  // 2 * 119 = 238
        {{10, 50}, {130, 50}, 1},  // 2 * 120 = 240
        {{50, 10}, {50, 143}, 2},  // 2 * 133 = 266
        {{50, 10}, {50, 144}, 1},  // 2 * 134 = 268
        {{60, 60}, {89, 60}, 8},   // 8 * 29 = 232
        {{60, 60}, {90, 60}, 4},   // 8 * 30 = 240
        {{60, 60}, {67, 60}, 32},  // 32 * 7 = 224
        {{60, 60}, {68, 60}, 16},  // 32 * 8 = 256
    };
    for (const Case& c : cases) {
        ASSERT_NE(OpenCells(200, 200, {c.a, c.b}), nullptr);
        // From a zoom other than the answer, so the command has to set it.
        if (c.zoom == 1) platform.Command(ID_ZOOM_IN);
        ASSERT_TRUE(platform.Command(ID_CELLS_FIT));
        EXPECT_EQ(View()->Viewport().Zoom(), c.zoom)
            << c.a.x << "," << c.a.y << " " << c.b.x << "," << c.b.y;
        EXPECT_EQ(ZoomPart(), "Z:x" + std::to_string(c.zoom));
        // Centred on the middle of the box, brought into the scroll range.
        const int z = int(c.zoom);
        const CSize max{std::max(200 * z + M - 240, -M), std::max(200 * z + M - 268, -M)};
        const int cx = z * ((c.a.x + c.b.x) / 2) - 120, cy = z * ((c.a.y + c.b.y) / 2) - 134;
        EXPECT_EQ(Scroll(), (CPoint{std::clamp(cx, -M, max.cx), std::clamp(cy, -M, max.cy)}));
    }
}

TEST_F(Viewport, FitToScreenOnOneCellOrAGliderZoomsToThirtyTwoAndOnAnEmptyBoardToOne) {
    ASSERT_NE(OpenCells(200, 200, {{120, 77}}), nullptr);
    app.m_nIdleCountdown = 0;
    ASSERT_TRUE(platform.Command(ID_CELLS_FIT));
    EXPECT_EQ(View()->Viewport().Zoom(), 32u);
    EXPECT_EQ(IdleCountdown(), 8);  // kicked to 10, then two idle calls
    EXPECT_EQ(Scroll(), (CPoint{32 * 120 - 120, 32 * 77 - 134}));
    EXPECT_EQ(Status(), "G:00000 C:00001 B:00000 D:00000 Z:x32");

    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    platform.Command(ID_ZOOM_OUT);
    platform.Command(ID_CELLS_FIT);
    EXPECT_EQ(View()->Viewport().Zoom(), 32u);
    // The glider's box is (99, 99) to (101, 101).
    EXPECT_EQ(Scroll(), (CPoint{32 * 100 - 120, 32 * 100 - 134}));

    // An empty board: zoom 1 around ((W - 1) / 2, (H - 1) / 2), which is not
    // quite where a freshly opened board starts.
    NewBoard(800, 800);
    platform.Command(ID_CELLS_FIT);
    EXPECT_EQ(View()->Viewport().Zoom(), 1u);
    EXPECT_EQ(Scroll(), (CPoint{399 - 120, 399 - 134}));
    EXPECT_EQ(ZoomPart(), "Z:x1");
}

TEST_F(Viewport, FitToScreenDoesNotLetCellsThatDiedInTheLastStepComeBack) {
    // A block and a lone cell far from it, which dies in the first step. The
    // scratch board still holds it; the next step must overwrite it.
    ASSERT_NE(OpenCells(200, 200, {{50, 50}, {51, 50}, {50, 51}, {51, 51}, {150, 150}}), nullptr);
    platform.Command(ID_TOOLS_STEP);
    ASSERT_EQ(Board().At(150, 150), 0);
    ASSERT_EQ(Board().liveCount, 4);
    platform.Command(ID_CELLS_FIT);
    EXPECT_EQ(View()->Viewport().Zoom(), 32u);  // the block alone
    platform.ExpectMessageBox(IDOK, kStagnationMessage);
    platform.Command(ID_TOOLS_STEP);
    EXPECT_TRUE(platform.ScriptErrors().empty());
    EXPECT_EQ(Board().At(150, 150), 0);
    EXPECT_EQ(CountLive(), 4);
    EXPECT_EQ(Board().liveCount, 4);
}

// --- Find ------------------------------------------------------------------------------------

TEST_F(Viewport, FindVisitsTheLiveCellsRowByRowThenSaysNoMoreFoundUntilFindFirst) {
    ASSERT_NE(OpenCells(800, 800, {{300, 250}, {290, 260}, {500, 260}}), nullptr);
    const std::string status = Status();
    platform.ClearLog();

    // Each cell found comes with its top-left corner to the middle of the
    // client area, pixel (120, 134) at zoom 1.
    ASSERT_TRUE(platform.Command(ID_CELLS_FIND_FIRST));
    EXPECT_EQ(Scroll(), (CPoint{300 - 120, 250 - 134}));
    EXPECT_TRUE(LivePixel(120, 134));
    ASSERT_TRUE(platform.Command(ID_CELLS_FIND_NEXT));
    EXPECT_EQ(Scroll(), (CPoint{290 - 120, 260 - 134}));
    EXPECT_TRUE(LivePixel(120, 134));
    ASSERT_TRUE(platform.Command(ID_CELLS_FIND_NEXT));
    EXPECT_EQ(Scroll(), (CPoint{500 - 120, 260 - 134}));
    EXPECT_TRUE(platform.MessageTexts().empty());

    // The end: the message, and the view stays.
    ASSERT_TRUE(platform.Command(ID_CELLS_FIND_NEXT));
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{"No more found"});
    EXPECT_EQ(Scroll(), (CPoint{380, 126}));
    ASSERT_TRUE(platform.Command(ID_CELLS_FIND_NEXT));
    EXPECT_EQ(platform.MessageTexts().size(), 2u);
    EXPECT_EQ(Scroll(), (CPoint{380, 126}));

    // Find changes neither the zoom nor the status line.
    EXPECT_EQ(View()->Viewport().Zoom(), 1u);
    EXPECT_EQ(Status(), status);

    ASSERT_TRUE(platform.Command(ID_CELLS_FIND_FIRST));
    EXPECT_EQ(Scroll(), (CPoint{180, 116}));
    EXPECT_EQ(platform.MessageTexts().size(), 2u);
}

TEST_F(Viewport, FindBeginsAfterTheFirstCellAndReachesTheLastOne) {
    // Cell (0, 0) is never examined: alone, it is not found. (Border cells
    // come from the stylus, never from a file: they are put there directly.)
    auto withCells = [&](std::initializer_list<CPoint> cells) {
        ASSERT_NE(OpenCells(800, 800, {{400, 400}}), nullptr);
        CellBoard& board = *Doc()->CurrentBoard();
        board.Set(400, 400, 0);
        for (CPoint c : cells) board.Set(c.x, c.y, 1);
        board.liveCount = int32_t(cells.size());
    };
    withCells({{0, 0}});
    platform.ClearLog();
    platform.Command(ID_CELLS_FIND_FIRST);
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{"No more found"});

    // The board's last cell is, and the view goes as near to it as it can.
    withCells({{0, 0}, {1, 0}, {799, 799}});
    platform.ClearLog();
    platform.Command(ID_CELLS_FIND_FIRST);
    EXPECT_EQ(Scroll(), (CPoint{-M, -M}));
    EXPECT_TRUE(platform.MessageTexts().empty());
    platform.Command(ID_CELLS_FIND_NEXT);
    EXPECT_EQ(Scroll(), (CPoint{800 + M - 240, 800 + M - 268}));
    EXPECT_TRUE(platform.MessageTexts().empty());
    platform.Command(ID_CELLS_FIND_NEXT);
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{"No more found"});
}

TEST_F(Viewport, FindOnASmallerBoardThanTheLastOneScansOnlyItsCells) {
    ASSERT_NE(OpenCells(800, 800, {{500, 10}, {700, 700}}), nullptr);
    platform.Command(ID_CELLS_FIND_FIRST);
    ASSERT_EQ(View()->Viewport().FindCursor(), (CPoint{500, 10}));

    // The cursor's column is past the new board's width: the scan goes on
    // from the cell its index names, and finds the next live cell.
    ASSERT_NE(OpenCells(200, 200, {{150, 12}, {20, 13}}), nullptr);
    platform.ClearLog();
    platform.Command(ID_CELLS_FIND_NEXT);
    EXPECT_EQ(View()->Viewport().FindCursor(), (CPoint{150, 12}));
    EXPECT_TRUE(platform.MessageTexts().empty());

    // A cursor past the whole of the new board: nothing left to find.
    ASSERT_NE(OpenCells(800, 800, {{700, 700}}), nullptr);
    platform.Command(ID_CELLS_FIND_FIRST);
    ASSERT_NE(OpenCells(200, 200, {{100, 100}}), nullptr);
    platform.ClearLog();
    platform.Command(ID_CELLS_FIND_NEXT);
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{"No more found"});
    platform.Command(ID_CELLS_FIND_FIRST);
    EXPECT_EQ(View()->Viewport().FindCursor(), (CPoint{100, 100}));
}

// --- Rotate Left and Center -----------------------------------------------------------------

TEST_F(Viewport, RotateLeftAndCenterBringTheViewBackToTheMiddleOfTheBoard) {
    ASSERT_NE(OpenCells(800, 800, {{300, 250}, {301, 250}, {302, 250}}), nullptr);
    EXPECT_TRUE(Enabled(ID_CELLS_ROTATE_LEFT));
    EXPECT_TRUE(Enabled(ID_CELLS_CENTER));
    platform.Command(ID_CELLS_FIND_FIRST);
    ASSERT_EQ(Scroll(), (CPoint{180, 116}));
    ASSERT_TRUE(platform.Command(ID_CELLS_ROTATE_LEFT));
    EXPECT_EQ(Scroll(), (CPoint{280, 266}));
    // (x, y) went to (y, 799 - x).
    EXPECT_EQ(Board().At(250, 499), 1);
    ExpectPlainCopy();

    platform.Command(ID_CELLS_FIND_FIRST);
    ASSERT_EQ(Scroll(), (CPoint{250 - 120, 497 - 134}));
    ASSERT_TRUE(platform.Command(ID_CELLS_CENTER));
    EXPECT_EQ(Scroll(), (CPoint{280, 266}));
    EXPECT_EQ(Board().liveCount, 3);
    ExpectPlainCopy();
}

// --- Edit mode and the stylus ---------------------------------------------------------------

TEST_F(Viewport, EditModeShowsTheEraseBoxAndTheLabelInPlaceOfTheStatusText) {
    ASSERT_NE(OpenText("blinker.lif", kBlinkerFile), nullptr);
    EXPECT_TRUE(Enabled(ID_TOOLS_EDIT));
    EXPECT_FALSE(Checked(ID_TOOLS_EDIT));
    ASSERT_TRUE(platform.Command(ID_TOOLS_EDIT));
    EXPECT_TRUE(Checked(ID_TOOLS_EDIT));
    EXPECT_FALSE(Strip().IsControlVisible(IDC_STATUS_TEXT));
    EXPECT_TRUE(Strip().IsControlVisible(IDC_ERASE));
    EXPECT_TRUE(Strip().IsControlVisible(IDC_EDIT_MODE_LABEL));
    EXPECT_EQ(Strip().GetDlgItemText(IDC_ERASE), "Erase");
    EXPECT_EQ(Strip().GetDlgItemText(IDC_EDIT_MODE_LABEL), "Edit Mode");
    // The hidden status text still follows the steps.
    platform.Command(ID_TOOLS_STEP);
    EXPECT_EQ(Status(), "G:00001 C:00003 B:00002 D:00002 Z:x1");

    // Edit mode stays on for the next pattern, and while running.
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    EXPECT_TRUE(View()->Editing().EditMode());
    EXPECT_TRUE(Strip().IsControlVisible(IDC_ERASE));
    platform.Command(ID_TOOLS_RUN);
    EXPECT_TRUE(Enabled(ID_TOOLS_EDIT));
    platform.Command(ID_TOOLS_PAUSE);

    ASSERT_TRUE(platform.Command(ID_TOOLS_EDIT));
    EXPECT_FALSE(Checked(ID_TOOLS_EDIT));
    EXPECT_TRUE(Strip().IsControlVisible(IDC_STATUS_TEXT));
    EXPECT_FALSE(Strip().IsControlVisible(IDC_ERASE));
    EXPECT_FALSE(Strip().IsControlVisible(IDC_EDIT_MODE_LABEL));
}

TEST_F(Viewport, ATapDrawsTheCellUnderItWithValueOneAndErasesItWhileEraseIsTicked) {
    ASSERT_NE(OpenText("blinker.lif", kBlinkerFile), nullptr);
    // Two steps: the cells born in the second carry value 2.
    platform.Command(ID_TOOLS_STEP);
    platform.Command(ID_TOOLS_STEP);
    ASSERT_EQ(Board().At(99, 100), 2);
    ASSERT_EQ(Board().At(100, 100), 1);
    // Not in edit mode, the stylus changes nothing.
    const std::vector<uint8_t> before = Cells();
    TapAt(50, 50);
    DragAt(51, 50);
    EXPECT_EQ(Cells(), before);

    EditModeOn();
    // At zoom 1 with the view at the origin, pixel (x, y) is cell (x, y).
    TapAt(50, 60);
    EXPECT_EQ(Board().At(50, 60), 1);
    EXPECT_EQ(Board().liveCount, 4);
    EXPECT_EQ(Board().bounds, Board().WholeBox());
    EXPECT_EQ(PixelAt(50, 60), Colour(1));
    // A live cell of another value becomes 1; the count stays.
    TapAt(99, 100);
    EXPECT_EQ(Board().At(99, 100), 1);
    EXPECT_EQ(Board().liveCount, 4);
    EXPECT_EQ(CountLive(), 4);

    TickErase(true);
    TapAt(100, 100);
    EXPECT_EQ(Board().At(100, 100), 0);
    EXPECT_EQ(Board().liveCount, 3);
    EXPECT_EQ(PixelAt(100, 100), Colour(0));
    TapAt(10, 10);  // already dead
    EXPECT_EQ(Board().liveCount, 3);
    EXPECT_EQ(CountLive(), 3);

    // The drawn cell takes part in the next step.
    TickErase(false);
    TapAt(100, 100);
    platform.Command(ID_TOOLS_STEP);
    EXPECT_EQ(Board().At(50, 60), 0);  // alone, it died
    EXPECT_EQ(Board().liveCount, CountLive());
}

TEST_F(Viewport, ATapEditsTheCellDrawnUnderItsPoint) {
    NewBoard(800, 800);
    EditModeOn();
    // Zoom 1, scrolled to (100, 200): pixel (10, 20) is cell (110, 220).
    ScrollTo(100, 200);
    Tap(10, 20);
    EXPECT_EQ(Board().At(110, 220), 1);
    // At zoom 4 from (101, 203) every pixel of cell (27, 54), canvas 108..111
    // across and 216..219 down, edits that cell and the pixels beside it the
    // cells beside it.
    platform.Command(ID_ZOOM_IN);
    platform.Command(ID_ZOOM_IN);
    ScrollTo(101, 203);
    for (CPoint p : {CPoint{7, 13}, CPoint{10, 13}, CPoint{7, 16}, CPoint{10, 16}}) {
        Tap(p.x, p.y);
        EXPECT_EQ(CountLive(), 2) << p.x << "," << p.y;
    }
    EXPECT_EQ(Board().At(27, 54), 1);
    Tap(6, 13);
    EXPECT_EQ(Board().At(26, 54), 1);
    Tap(11, 17);
    EXPECT_EQ(Board().At(28, 55), 1);
    EXPECT_EQ(CountLive(), 4);
    EXPECT_EQ(Board().liveCount, 4);
}

TEST_F(Viewport, DraggingTheStylusDrawsOrErasesEachCellItCrossesOnce) {
    NewBoard(200, 200);
    EditModeOn();
    TapAt(20, 40);
    for (int x = 21; x <= 30; ++x) DragAt(x, 40);
    for (int x = 20; x <= 30; ++x) EXPECT_EQ(Board().At(x, 40), 1) << x;
    EXPECT_EQ(Board().liveCount, 11);
    // Over the same cells again: nothing more to count.
    for (int x = 30; x >= 20; --x) DragAt(x, 40);
    EXPECT_EQ(Board().liveCount, 11);
    // A move without the stylus down draws nothing.
    DragAt(25, 80, 0);
    EXPECT_EQ(Board().At(25, 80), 0);
    EXPECT_EQ(Board().liveCount, 11);

    TickErase(true);
    for (int x = 20; x <= 30; ++x) DragAt(x, 60);  // dead cells
    EXPECT_EQ(Board().liveCount, 11);
    for (int x = 25; x <= 30; ++x) DragAt(x, 40);
    EXPECT_EQ(Board().liveCount, 5);
    EXPECT_EQ(CountLive(), 5);
    for (int x = 20; x <= 24; ++x) EXPECT_EQ(Board().At(x, 40), 1) << x;
}

TEST_F(Viewport, AFastDragDrawsAnUnbrokenLineOfCells) {
    NewBoard(200, 150);
    EditModeOn();
    platform.Command(ID_ZOOM_IN);  // zoom 2 at the origin: cell = pixel / 2
    ScrollTo(0, 0);
    // One move from cell (5, 10) to cell (45, 30), then back up to (25, 2):
    // every column of each leg holds a cell of the line, and each cell
    // touches the one before (a Bresenham line).
    Tap(10, 20);
    Drag(90, 60);
    Drag(50, 4);
    EXPECT_EQ(CountLive(), 41 + 28);  // the second leg: one cell a row
    auto expectLine = [&](CPoint a, CPoint b) {
        int lastRow = a.y;
        for (int x = std::min(a.x, b.x); x <= std::max(a.x, b.x); ++x) {
            int rows = 0, row = 0;
            for (int y = std::min(a.y, b.y); y <= std::max(a.y, b.y); ++y)
                if (Board().At(x, y) != 0) ++rows, row = y;
            EXPECT_GE(rows, 1) << x;
            EXPECT_LE(std::abs(row - lastRow), 1) << x;
            lastRow = row;
        }
    };
    expectLine(CPoint{5, 10}, CPoint{45, 30});
    // A drag that leaves the board draws up to its edge; a new stroke starts
    // at its own press, off the board it starts where the line comes on.
    Tap(300, 100);  // cell (150, 50)
    Drag(600, 100);
    for (int x = 150; x < 200; ++x) EXPECT_EQ(Board().At(x, 50), 1) << x;
    Tap(100, -40);
    Drag(100, 10);
    for (int y = 0; y <= 5; ++y) EXPECT_EQ(Board().At(50, y), 1) << y;
    EXPECT_EQ(Board().liveCount, CountLive());
}

TEST_F(Viewport, ACellDrawnOnTheBorderStaysThroughTheSteps) {
    // The step computes the interior only; a border cell keeps its state
    // from one generation to the next, drawn or erased. The board is wider
    // than high, so its last column and row lie apart.
    NewBoard(220, 160);
    EditModeOn();
    const std::vector<CPoint> border = {{0, 50}, {219, 0}, {100, 159}, {219, 80}};
    for (CPoint c : border) TapAt(c.x, c.y);
    for (int i = 1; i <= 3; ++i) {
        platform.Command(ID_TOOLS_STEP);
        for (CPoint c : border) EXPECT_EQ(Board().At(c.x, c.y), 1) << c.x << "," << c.y;
    }
    TickErase(true);
    TapAt(0, 50);
    TapAt(100, 159);
    for (int i = 1; i <= 3; ++i) {
        platform.Command(ID_TOOLS_STEP);
        EXPECT_EQ(Board().At(0, 50), 0) << "step " << i;
        EXPECT_EQ(Board().At(100, 159), 0) << "step " << i;
        EXPECT_EQ(Board().At(219, 0), 1) << "step " << i;
    }
}

TEST_F(Viewport, TapsWithNoCellUnderThemChangeNothingAtZoomOne) {
    // The 200 x 200 board leaves a margin right of and below it in the 240 x
    // 268 client area.
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    EditModeOn();
    const std::vector<uint8_t> cells = Cells();
    const Rect bounds = Board().bounds;
    const std::vector<CPoint> outside = {
        {200, 50},  {239, 50}, {50, 200},    {50, 267},    {239, 267},
        {200, 200}, {-1, 50},  {50, -1},     {-300, -300}, {1000, 5},
        {5, 1000},  {250, 5},  {INT_MAX, 5}, {5, INT_MAX}, {INT_MIN, INT_MIN},
    };
    for (bool erase : {false, true}) {
        TickErase(erase);
        for (CPoint p : outside) {
            TapAt(p.x, p.y);
            DragAt(p.x, p.y);
        }
        EXPECT_EQ(Cells(), cells);
        EXPECT_EQ(Board().liveCount, 5);
        EXPECT_EQ(Board().bounds, bounds);
    }
    // The board's last column and row, and its first cell, are taps like
    // any other.
    TickErase(false);
    TapAt(199, 199);
    TapAt(0, 0);
    EXPECT_EQ(Board().At(199, 199), 1);
    EXPECT_EQ(Board().At(0, 0), 1);
    EXPECT_EQ(Board().liveCount, 7);
}

TEST_F(Viewport, TapsWithNoCellUnderThemChangeNothingAtZoomEight) {
    NewBoard(200, 200);
    EditModeOn();
    for (int i = 0; i < 3; ++i) platform.Command(ID_ZOOM_IN);
    ASSERT_EQ(View()->Viewport().Zoom(), 8u);
    const std::vector<uint8_t> empty = Cells();
    auto tapAndDrag = [&](CPoint p) {
        Tap(p.x, p.y);
        Drag(p.x, p.y);
    };

    // At the origin, points left of or above the client area have no cell;
    // the client area's first pixel is cell (0, 0).
    ScrollTo(0, 0);
    for (CPoint p : {CPoint{-1, 3}, CPoint{3, -1}, CPoint{-20, 40}, CPoint{INT_MIN, INT_MIN}})
        tapAndDrag(p);
    EXPECT_EQ(Cells(), empty);
    Tap(0, 0);
    EXPECT_EQ(Board().At(0, 0), 1);
    EXPECT_EQ(CountLive(), 1);

    // Scrolled to the far corner, past the board's right and bottom edges
    // (board pixel 1600) lies the margin.
    View()->OnHScroll(SB_BOTTOM, 0);
    View()->OnVScroll(SB_BOTTOM, 0);
    platform.Pump();
    ASSERT_EQ(Scroll(), (CPoint{1600 + M - 240, 1600 + M - 268}));
    const std::vector<uint8_t> before = Cells();
    for (bool erase : {true, false}) {
        TickErase(erase);
        for (CPoint p : {CPoint{224, 50}, CPoint{50, 252}, CPoint{239, 267}, CPoint{400, 400}})
            tapAndDrag(p);
    }
    EXPECT_EQ(Cells(), before);
    // One pixel less is the board's last column or row.
    Tap(223, 50);
    EXPECT_EQ(Board().At(199, (1348 + 50) / 8), 1);
    Tap(50, 251);
    EXPECT_EQ(Board().At((1376 + 50) / 8, 199), 1);
    EXPECT_EQ(CountLive(), 3);
    EXPECT_EQ(Board().liveCount, 3);
}

// --- Zoomed out --------------------------------------------------------------------

TEST_F(Viewport, ZoomedOutAPixelShowsALiveCellOfItsBlockAndFitZoomsOutAsFarAsNeeded) {
    // Cells (400, 400) and (403, 401) share a block of 4 x 4, (404, 400) is
    // in the next one.
    ASSERT_NE(OpenCells(2000, 2000, {{400, 400}, {403, 401}, {404, 400}, {1990, 1990}}), nullptr);
    platform.Command(ID_ZOOM_OUT);
    platform.Command(ID_ZOOM_OUT);
    ASSERT_EQ(ZoomPart(), "Z:x1/4");
    platform.Command(ID_CELLS_FIND_FIRST);  // brings (400, 400) to the middle
    platform.Pump();
    const CRect first = View()->Viewport().CellToClient(CPoint{403, 401});
    EXPECT_EQ(first, View()->Viewport().CellToClient(CPoint{400, 400}));
    EXPECT_EQ(first.Width(), 1);
    EXPECT_TRUE(LivePixel(first.left, first.top));
    EXPECT_TRUE(LivePixel(first.left + 1, first.top));
    EXPECT_EQ(LivePixels(), 2);
    // A click lands on the first cell of the block under it.
    EXPECT_EQ(View()->ClientToCell(CPoint{first.left + 1, first.top}), (CPoint{404, 400}));
    // 1990 - 400 across: 1:4 leaves it wider than the 240-pixel client area;
    // at 1:8 the three cells near (400, 400) share a pixel.
    platform.Command(ID_CELLS_FIT);
    platform.Pump();
    EXPECT_EQ(ZoomPart(), "Z:x1/8");
    EXPECT_EQ(LivePixels(), 2);
    // A pattern that fits at 1:1 fits as before.
    ASSERT_NE(OpenCells(2000, 2000, {{400, 400}, {402, 402}}), nullptr);
    platform.Command(ID_CELLS_FIT);
    EXPECT_EQ(ZoomPart(), "Z:x32");
}

TEST_F(Viewport, OnADesktopEveryOpenFitsThePatternNeverPastOneToOneAndCentresIt) {
    app.m_bFitOnOpen = true;
    ASSERT_NE(OpenCells(2000, 2000, {{400, 400}, {1990, 1990}}), nullptr);
    platform.Pump();
    EXPECT_EQ(ZoomPart(), "Z:x1/8");
    EXPECT_EQ(LivePixels(), 2);
    ASSERT_NE(OpenCells(800, 800, {{500, 300}, {502, 302}}), nullptr);
    platform.Pump();
    EXPECT_EQ(ZoomPart(), "Z:x1");
    // The pattern's middle, cell (501, 301), at the middle of the 240 x 268
    // client area.
    EXPECT_EQ(View()->ClientToCell(CPoint{120, 134}), (CPoint{501, 301}));
    EXPECT_TRUE(LivePixel(119, 133));
}
