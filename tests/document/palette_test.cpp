// The colour commands and Save As Image, driven as the user drives them: the
// palette commands and their check marks, palette files, Invert and Reverse,
// the margin around the board, and images checked with giflib.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <vector>

#include "../colour/gif_decode.h"
#include "colour/gif_writer.h"
#include "life_session.h"

using namespace cellarium;

namespace {

struct PaletteCommand {
    unsigned id;
    PaletteId palette;
};
constexpr std::array<PaletteCommand, 6> kPaletteCommands = {{
    {ID_COLORS_AUTUMN, PaletteId::Autumn},
    {ID_COLORS_BLUE, PaletteId::ShadesOfBlue},
    {ID_COLORS_RAINBOW, PaletteId::Rainbow},
    {ID_COLORS_SUNSHINE, PaletteId::Sunshine},
    {ID_COLORS_BW, PaletteId::BlackAndWhite},
    {ID_COLORS_CUSTOM, PaletteId::Custom},
}};

uint32_t Rgb(int r, int g, int b) {
    return uint32_t(r) + 256u * uint32_t(g) + 65536u * uint32_t(b);
}

class Colours : public LifeSession {
protected:
    // Opens a glider and runs it a while, so the cells carry several values.
    void OpenRunningGlider(int steps = 9) {
        ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
        for (int i = 0; i < steps; ++i) platform.Command(ID_TOOLS_STEP);
    }
    std::vector<uint8_t> Cells() const {
        return std::vector<uint8_t>(Board().Cells(),
                                    Board().Cells() + std::size_t(Board().width) * Board().height);
    }
    // The commands whose menu items carry a check mark.
    std::vector<unsigned> CheckedPaletteCommands() const {
        std::vector<unsigned> checked;
        for (const PaletteCommand& c : kPaletteCommands)
            if (Frame()->QueryCommandState(c.id).m_nCheck != 0) checked.push_back(c.id);
        return checked;
    }
    static uint32_t Entry(PaletteId id, int k) { return Palette(id).entries[std::size_t(k)].Rgb(); }
    std::string Map(const std::string& name, const std::string& text) const {
        return Write(name, text);
    }
    void Load(const std::string& path) {
        platform.ExpectFileDialog(path);
        platform.Command(ID_LOAD_CUSTOM_COLORS);
        EXPECT_EQ(platform.PendingExpectations(), 0u);
    }
    static std::vector<uint8_t> Bytes(const std::string& path) {
        const std::string s = Slurp(path);
        return std::vector<uint8_t>(s.begin(), s.end());
    }
    // Saves the image as the user does, answering the save dialog with path.
    void SaveImage(const std::string& path) {
        platform.ExpectFileDialog(path);
        platform.Command(ID_SAVE_AS_IMAGE);
        EXPECT_EQ(platform.PendingExpectations(), 0u);
    }
};

}  // namespace

TEST_F(Colours, EachPaletteCommandMakesItsBlockCurrentKeepsTheCellsAndMovesTheCheckMark) {
    OpenRunningGlider();
    // The first board made Rainbow current.
    EXPECT_EQ(CheckedPaletteCommands(), std::vector<unsigned>{ID_COLORS_RAINBOW});
    const std::vector<uint8_t> cells = Cells();
    const int32_t live = Board().liveCount;
    const std::string status = Status();
    // Several generations' values are on the board.
    ASSERT_NE(std::count_if(cells.begin(), cells.end(), [](uint8_t v) { return v > 1; }), 0);

    for (const PaletteCommand& c : kPaletteCommands) {
        SCOPED_TRACE(c.id);
        app.m_nIdleCountdown = 0;
        EXPECT_TRUE(platform.Command(c.id));
        EXPECT_EQ(CurrentPalette(), &Palette(c.palette));
        EXPECT_EQ(CheckedPaletteCommands(), std::vector<unsigned>{c.id});
        EXPECT_EQ(Cells(), cells);
        EXPECT_EQ(Board().liveCount, live);
        EXPECT_EQ(Status(), status);
        // Both boards draw with the new colours.
        EXPECT_EQ(Board().colours, Palette(c.palette).entries);
        EXPECT_EQ(Doc()->ScratchBoard()->colours, Palette(c.palette).entries);
        // The idle countdown was kicked from 0 to 10; the idle calls after the
        // command used two of them.
        EXPECT_EQ(IdleCountdown(), 8);
    }

    // The next step still computes the glider on from the same cells.
    platform.Command(ID_TOOLS_STEP);
    EXPECT_EQ(Board().liveCount, 5);

    // Choosing the current palette again runs the same steps and keeps it.
    platform.Command(ID_COLORS_SUNSHINE);
    platform.Command(ID_COLORS_SUNSHINE);
    EXPECT_EQ(CheckedPaletteCommands(), std::vector<unsigned>{ID_COLORS_SUNSHINE});
}

TEST_F(Colours, TheScreenShowsEachCellInItsEntryAndTheMarginApart) {
    SetBoardSize(150, 150);  // smaller than the 240 x 268 client area
    OpenRunningGlider(4);
    ASSERT_EQ(View()->GetScrollPosition(), (CPoint{0, 0}));
    const int m = ViewportControl::kBoardMargin;
    auto checkScreen = [&](PaletteId id) {
        SCOPED_TRACE(int(id));
        const RgbSurface& screen = platform.Surface();
        // Board pixels at zoom 1: cell (x, y) at pixel (m + x, m + y).
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 150; ++x)
                ASSERT_EQ(screen.Pixel(m + x, m + y), Entry(id, Board().At(x, y))) << x << "," << y;
        // The frame line around the board, and the margin beyond it.
        const uint32_t dead = Entry(id, 0);
        for (CPoint p : {CPoint{m + 150, m}, CPoint{m + 150, m + 150}, CPoint{m + 100, m + 150},
                         CPoint{m - 1, m - 1}, CPoint{m - 1, m + 20}, CPoint{m + 20, m - 1}})
            EXPECT_EQ(screen.Pixel(p.x, p.y), FrameColour(dead)) << p.x << "," << p.y;
        for (CPoint p :
             {CPoint{239, 100}, CPoint{m + 151, m}, CPoint{0, 267}, CPoint{239, 267},
              CPoint{200, 200}, CPoint{m + 150, m + 151}, CPoint{0, 0}, CPoint{m - 2, m + 20}})
            EXPECT_EQ(screen.Pixel(p.x, p.y), MarginColour(dead)) << p.x << "," << p.y;
    };
    checkScreen(PaletteId::Rainbow);  // white dead cells, grey margin
    EXPECT_EQ(platform.Surface().Pixel(200, 200), Rgb(128, 128, 128));
    platform.Command(ID_COLORS_AUTUMN);
    checkScreen(PaletteId::Autumn);
    platform.Command(ID_INVERT_COLORS);
    checkScreen(PaletteId::Custom);
}

TEST_F(Colours, APaletteChangeKeepsTheViewWhereTheUserScrolled) {
    SetBoardSize(400, 400);
    OpenRunningGlider(1);
    // Opened in the middle: (200 - 120, 200 - 134) past the margin.
    const int m = ViewportControl::kBoardMargin;
    EXPECT_EQ(View()->GetScrollPosition(), (CPoint{m + 80, m + 66}));
    View()->OnScrollBy(CSize{30, 20});
    platform.Pump();
    ASSERT_EQ(View()->GetScrollPosition(), (CPoint{m + 110, m + 86}));
    platform.Command(ID_COLORS_BLUE);
    EXPECT_EQ(View()->GetScrollPosition(), (CPoint{m + 110, m + 86}));
    // The margin-free view shows the board in the new colours at that scroll.
    EXPECT_EQ(platform.Surface().Pixel(0, 0), Entry(PaletteId::ShadesOfBlue, Board().At(110, 86)));
    // A whole-board command afterwards still goes back to the middle.
    platform.Command(ID_CELLS_CENTER);
    EXPECT_EQ(View()->GetScrollPosition(), (CPoint{m + 80, m + 66}));
}

TEST_F(Colours, LoadCustomColorsFromAPaletteFile) {
    OpenRunningGlider();
    const std::vector<uint8_t> cells = Cells();
    platform.ClearLog();
    const int cursorChanges = platform.WaitCursorChanges();
    Load(std::string(CELLARIUM_TEST_DATA) + "/palette/dead_colour_repeated.map");
    // The dialog the user saw.
    ASSERT_EQ(platform.FileDialogRequests().size(), 1u);
    const FileDialogRequest& request = platform.FileDialogRequests()[0];
    EXPECT_TRUE(request.open);
    EXPECT_EQ(request.filter, "Palette files (*.map)|*.map|All Files (*.*)|*.*||");
    EXPECT_EQ(request.defaultExt, "");
    EXPECT_EQ(request.fileName, "");
    // The wait cursor came and went.
    EXPECT_EQ(platform.WaitCursorChanges(), cursorChanges + 2);
    EXPECT_FALSE(platform.WaitCursorShown());

    EXPECT_EQ(CheckedPaletteCommands(), std::vector<unsigned>{ID_COLORS_CUSTOM});
    // Black dead cells; red, red (the black in between is unusable), green,
    // then red, red, green repeating.
    const uint32_t black = Rgb(0, 0, 0), red = Rgb(255, 0, 0), green = Rgb(0, 255, 0);
    EXPECT_EQ(Entry(PaletteId::Custom, 0), black);
    const uint32_t cycle[3] = {red, red, green};
    for (int k = 1; k < 256; ++k) ASSERT_EQ(Entry(PaletteId::Custom, k), cycle[(k - 1) % 3]) << k;
    EXPECT_EQ(Board().colours, Palette(PaletteId::Custom).entries);
    EXPECT_EQ(Cells(), cells);
    EXPECT_TRUE(platform.MessageTexts().empty());

    // "Custom Colors" later applies what Custom holds.
    platform.Command(ID_COLORS_RAINBOW);
    platform.Command(ID_COLORS_CUSTOM);
    EXPECT_EQ(Entry(PaletteId::Custom, 3), green);
    EXPECT_EQ(Board().colours, Palette(PaletteId::Custom).entries);
}

TEST_F(Colours, APaletteFileThatCannotBeReadOrGivesNoColourChangesNothingAndSaysWhy) {
    OpenRunningGlider(2);
    platform.Command(ID_COLORS_SUNSHINE);
    const PaletteBlock customBefore = Palette(PaletteId::Custom);
    platform.ClearLog();

    platform.ExpectFileDialog(std::nullopt);  // Cancel: nothing said
    platform.Command(ID_LOAD_CUSTOM_COLORS);
    EXPECT_TRUE(platform.MessageTexts().empty());
    const std::string fifo = Path("colours.map");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // opened without waiting for a writer
    std::string text;
    for (int k = 0; k < 200; ++k) text += std::to_string(k) + " 0 " + std::to_string(k) + "\n";
    const std::string refused = Map("refused.map", text);
    platform.RefuseOpen(refused);  // as for a file the user may not read
    const std::string comment = Map("comment.map", "# only words here\n");
    const std::string failing = Map("failing.map", text);
    platform.FailReadsAfter(failing, 40);  // the disk gives up after a few colours
    const std::pair<std::string, std::string> cases[] = {
        {Path("missing.map"), Path("missing.map") + " was not found."},
        {dir.string(), dir.string() + " cannot be accessed."},
        {fifo, fifo + " is a pipe, not a file."},
        {"/dev/null", "/dev/null is a device, not a file."},
        {refused, refused + " cannot be accessed."},
        {comment, comment + " is not a palette file: it gives no colour."},
        {failing, "A disk error occurred while accessing " + failing + "."},
    };
    for (const auto& [path, message] : cases) {
        platform.ClearLog();
        Load(path);
        EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{message}) << path;
    }
    EXPECT_EQ(CurrentPalette(), &Palette(PaletteId::Sunshine));
    EXPECT_EQ(CheckedPaletteCommands(), std::vector<unsigned>{ID_COLORS_SUNSHINE});
    EXPECT_EQ(Palette(PaletteId::Custom).entries, customBefore.entries);
    EXPECT_TRUE(platform.ScriptErrors().empty());
    EXPECT_FALSE(platform.WaitCursorShown());
}

TEST_F(Colours, TheDisplaysNearestColourDecidesWhatCountsAsTheDeadColour) {
    OpenRunningGlider(1);
    // A display that shows the darkest greys as black.
    platform.SetNearestColour([](uint32_t rgb) { return rgb == Rgb(1, 1, 1) ? 0u : rgb; });
    Load(Map("greys.map", "0 0 0\n255 0 0\n1 1 1\n2 2 2\n"));
    EXPECT_EQ(Entry(PaletteId::Custom, 1), Rgb(255, 0, 0));
    EXPECT_EQ(Entry(PaletteId::Custom, 2), Rgb(255, 0, 0));  // shown as black: unusable
    EXPECT_EQ(Entry(PaletteId::Custom, 3), Rgb(2, 2, 2));
    // Reverse asks the display too. Custom from this file holds (1 1 1),
    // (2 2 2), (0 0 0) in turn from entry 1, so entry 255 is black.
    Load(Map("reverse.map", "9 9 9\n1 1 1\n2 2 2\n0 0 0\n"));
    ASSERT_EQ(Entry(PaletteId::Custom, 255), Rgb(0, 0, 0));
    platform.Command(ID_REVERSE_PALETTE);
    // Black is the new dead colour; (1 1 1), shown as black, is unusable like
    // black itself, so every live entry but the last (old entry 0) is grey 2.
    EXPECT_EQ(Entry(PaletteId::Custom, 0), Rgb(0, 0, 0));
    for (int k = 1; k < 255; ++k) ASSERT_EQ(Entry(PaletteId::Custom, k), Rgb(2, 2, 2)) << k;
    EXPECT_EQ(Entry(PaletteId::Custom, 255), Rgb(9, 9, 9));
}

TEST_F(Colours, InvertTwiceGivesBackTheColoursAndLeavesCustomChecked) {
    OpenRunningGlider(3);
    const std::vector<uint8_t> cells = Cells();
    platform.Command(ID_INVERT_COLORS);
    EXPECT_EQ(CheckedPaletteCommands(), std::vector<unsigned>{ID_COLORS_CUSTOM});
    EXPECT_EQ(Entry(PaletteId::Custom, 0), Rgb(0, 0, 0));
    EXPECT_EQ(Entry(PaletteId::Custom, 1), Rgb(255, 255, 204));
    for (int k = 0; k < 256; ++k)
        ASSERT_EQ(Entry(PaletteId::Custom, k), 0xFFFFFFu - Entry(PaletteId::Rainbow, k)) << k;

    platform.Command(ID_INVERT_COLORS);  // Custom inverted in place
    EXPECT_EQ(Palette(PaletteId::Custom).entries, Palette(PaletteId::Rainbow).entries);
    // Rainbow's colours, but it is Custom that is current and checked.
    EXPECT_EQ(CheckedPaletteCommands(), std::vector<unsigned>{ID_COLORS_CUSTOM});
    EXPECT_EQ(Board().colours, Palette(PaletteId::Rainbow).entries);
    EXPECT_EQ(Cells(), cells);
}

TEST_F(Colours, ReverseOnBlackAndWhiteAndOnRainbow) {
    OpenRunningGlider(2);
    platform.Command(ID_COLORS_BW);
    platform.Command(ID_REVERSE_PALETTE);
    EXPECT_EQ(CheckedPaletteCommands(), std::vector<unsigned>{ID_COLORS_CUSTOM});
    EXPECT_EQ(Entry(PaletteId::Custom, 0), Rgb(0, 0, 0));
    for (int k = 1; k < 256; ++k) ASSERT_EQ(Entry(PaletteId::Custom, k), Rgb(255, 255, 255)) << k;
    // Black and White itself is untouched.
    EXPECT_EQ(Entry(PaletteId::BlackAndWhite, 0), Rgb(255, 255, 255));
    EXPECT_EQ(Entry(PaletteId::BlackAndWhite, 1), Rgb(0, 0, 0));

    platform.Command(ID_COLORS_RAINBOW);
    platform.Command(ID_REVERSE_PALETTE);
    EXPECT_EQ(Entry(PaletteId::Custom, 0), Rgb(0, 51, 153));
    EXPECT_EQ(Entry(PaletteId::Custom, 1), Rgb(0, 51, 102));
    EXPECT_EQ(Entry(PaletteId::Custom, 2), Rgb(0, 51, 102));
    EXPECT_EQ(Entry(PaletteId::Custom, 215), Rgb(0, 51, 204));
    EXPECT_EQ(Entry(PaletteId::Custom, 216), Rgb(0, 51, 204));
    EXPECT_EQ(Entry(PaletteId::Custom, 255), Rgb(255, 255, 255));  // old entry 0
    EXPECT_EQ(Board().colours, Palette(PaletteId::Custom).entries);
}

TEST_F(Colours, SaveAsImageWritesTheWholeBoardWithTheCurrentPalette) {
    SetBoardSize(160, 150);
    OpenRunningGlider(12);
    // Cells on the border too: the image holds the whole board.
    Doc()->CurrentBoard()->Set(0, 0, 7);
    Doc()->CurrentBoard()->Set(159, 149, 200);
    platform.Command(ID_INVERT_COLORS);
    platform.ClearLog();
    const int cursorChanges = platform.WaitCursorChanges();
    const std::string gif = Path("glider.gif");
    SaveImage(gif);

    ASSERT_EQ(platform.FileDialogRequests().size(), 1u);
    const FileDialogRequest& request = platform.FileDialogRequests()[0];
    EXPECT_FALSE(request.open);
    EXPECT_EQ(request.fileName, Path("glider.lif") + ".gif");
    EXPECT_EQ(request.defaultExt, "gif");
    EXPECT_EQ(request.filter, "GIF Files (*.gif)|*.gif||");
    EXPECT_TRUE(request.flags & OFN_HIDEREADONLY);
    EXPECT_TRUE(request.flags & OFN_OVERWRITEPROMPT);
    EXPECT_EQ(platform.WaitCursorChanges(), cursorChanges + 2);
    EXPECT_FALSE(platform.WaitCursorShown());
    EXPECT_TRUE(platform.MessageTexts().empty());

    const test::DecodedGif d = test::DecodeWithGiflib(Bytes(gif));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.screenWidth, 160);
    EXPECT_EQ(d.screenHeight, 150);
    EXPECT_EQ(d.width, 160);
    EXPECT_EQ(d.height, 150);
    EXPECT_EQ(d.pixels, Cells());
    ASSERT_EQ(d.colourCount, 256);
    for (int k = 0; k < 256; ++k) {
        const ColourEntry& e = Palette(PaletteId::Custom).entries[std::size_t(k)];
        ASSERT_EQ(d.colours[std::size_t(3 * k)], e.red) << k;
        ASSERT_EQ(d.colours[std::size_t(3 * k + 1)], e.green) << k;
        ASSERT_EQ(d.colours[std::size_t(3 * k + 2)], e.blue) << k;
    }
    EXPECT_EQ(d.colours[0], 0);  // inverted Rainbow: black dead cells
    EXPECT_TRUE(test::ImageBlocks(Bytes(gif)).wellFormed);

    // Cancelling the dialog writes nothing.
    std::filesystem::remove(gif);
    platform.ExpectFileDialog(std::nullopt);
    platform.Command(ID_SAVE_AS_IMAGE);
    EXPECT_FALSE(std::filesystem::exists(gif));
}

TEST_F(Colours, AnUntitledBoardOffersJustTheExtension) {
    app.OnFileNew();
    ASSERT_NE(Doc(), nullptr);
    SaveImage(Path("new.gif"));
    ASSERT_EQ(platform.FileDialogRequests().size(), 1u);
    EXPECT_EQ(platform.FileDialogRequests()[0].fileName, ".gif");
    const test::DecodedGif d = test::DecodeWithGiflib(Bytes(Path("new.gif")));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.pixels, std::vector<uint8_t>(200u * 200u, 0));
    EXPECT_EQ(std::vector<uint8_t>(d.colours.begin(), d.colours.begin() + 3),
              (std::vector<uint8_t>{255, 255, 255}));
}

TEST_F(Colours, AFailedExportTellsTheUserAndLeavesNoBrokenImage) {
    OpenRunningGlider(5);
    const std::string target = Path("keep.gif");
    SaveImage(target);
    const std::string good = Slurp(target);
    ASSERT_GT(good.size(), 800u);
    platform.Command(ID_TOOLS_STEP);

    // A folder that does not exist: the file cannot be created.
    platform.ClearLog();
    const std::string nowhere = Path("no/such/folder/x.gif");
    SaveImage(nowhere);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{ImageExportFailedMessage(nowhere, kGifCannotCreate)});
    EXPECT_NE(platform.MessageTexts()[0].find(nowhere), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(Path("no")));
    // A folder where the image should go stays a folder.
    std::filesystem::create_directory(Path("folder.gif"));
    platform.ClearLog();
    SaveImage(Path("folder.gif"));
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{ImageExportFailedMessage(
                                           Path("folder.gif"), kGifCannotCreate)});
    EXPECT_TRUE(std::filesystem::is_directory(Path("folder.gif")));
    EXPECT_TRUE(std::filesystem::is_empty(Path("folder.gif")));

    // The disk fills up while the new image is written over the good one: the
    // user is told, and the good file stays as it was, with nothing beside it.
    platform.ClearLog();
    const auto before = std::distance(std::filesystem::directory_iterator(dir),
                                      std::filesystem::directory_iterator());
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit limit{}, tight{};
    getrlimit(RLIMIT_FSIZE, &limit);
    tight = limit;
    tight.rlim_cur = 300;  // less than the colour table
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    platform.ExpectFileDialog(target);
    platform.Command(ID_SAVE_AS_IMAGE);
    setrlimit(RLIMIT_FSIZE, &limit);
    sigaction(SIGXFSZ, &old, nullptr);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{ImageExportFailedMessage(target, kGifWriteFailed)});
    EXPECT_EQ(Slurp(target), good);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              before);
    EXPECT_FALSE(platform.WaitCursorShown());

    // A device that refuses every write.
    if (std::filesystem::exists("/dev/full")) {
        platform.ClearLog();
        SaveImage("/dev/full");
        EXPECT_EQ(platform.MessageTexts(),
                  std::vector<std::string>{ImageExportFailedMessage("/dev/full", kGifWriteFailed)});
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    }
}
