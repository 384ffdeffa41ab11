// Running, pausing, stepping, stagnation, reload while running, the status
// line, the idle countdown and the board commands, driven as a user would.
#include <algorithm>
#include <cstdio>

#include "life_session.h"

using namespace cellarium;

namespace {

class Simulation : public LifeSession {
protected:
    bool Enabled(unsigned id) { return Frame()->QueryCommandState(id).m_bEnabled; }
    bool ToolbarEnabled(unsigned id) {
        for (const auto& b : Frame()->ToolbarStates())
            if (b.id == id) return b.enabled;
        ADD_FAILURE() << "no toolbar button " << id;
        return false;
    }
    std::vector<uint8_t> Cells() const {
        return std::vector<uint8_t>(Board().Cells(), Board().Cells() + Board().CellCount());
    }
};

}  // namespace

TEST_F(Simulation, RunStepsOnceEveryTenMillisecondsUntilPaused) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    EXPECT_TRUE(Enabled(ID_TOOLS_RUN));
    EXPECT_TRUE(Enabled(ID_TOOLS_STEP));
    EXPECT_FALSE(Enabled(ID_TOOLS_PAUSE));

    ASSERT_TRUE(platform.Command(ID_TOOLS_RUN));
    EXPECT_FALSE(Enabled(ID_TOOLS_RUN));
    EXPECT_FALSE(Enabled(ID_TOOLS_STEP));
    EXPECT_TRUE(Enabled(ID_TOOLS_PAUSE));
    // The toolbar was refreshed at idle time.
    EXPECT_FALSE(ToolbarEnabled(ID_TOOLS_RUN));
    EXPECT_TRUE(ToolbarEnabled(ID_TOOLS_PAUSE));
    // No step at once: the first generation comes with the first tick.
    EXPECT_EQ(View()->Simulation().Generation(), 0);
    platform.AdvanceTime(9);
    EXPECT_EQ(View()->Simulation().Generation(), 0);
    platform.AdvanceTime(1);
    EXPECT_EQ(View()->Simulation().Generation(), 1);
    Tick(3);
    EXPECT_EQ(View()->Simulation().Generation(), 4);
    EXPECT_EQ(platform.ArmedTimers(), 1u);
    // A glider is itself again four generations on, one cell down and right.
    EXPECT_NE(Board().At(101, 100), 0);
    EXPECT_NE(Board().At(102, 101), 0);
    EXPECT_EQ(Board().At(100, 99), 0);
    EXPECT_EQ(Board().liveCount, 5);

    // Step is refused while running.
    EXPECT_FALSE(platform.Command(ID_TOOLS_STEP));
    ASSERT_TRUE(platform.Command(ID_TOOLS_PAUSE));
    EXPECT_EQ(platform.ArmedTimers(), 0u);
    Tick(10);
    EXPECT_EQ(View()->Simulation().Generation(), 4);
    EXPECT_TRUE(ToolbarEnabled(ID_TOOLS_RUN));
    EXPECT_FALSE(ToolbarEnabled(ID_TOOLS_PAUSE));

    ASSERT_TRUE(platform.Command(ID_TOOLS_STEP));
    EXPECT_EQ(View()->Simulation().Generation(), 5);
    EXPECT_EQ(Status().substr(0, 16), "G:00005 C:00005 ");
}

TEST_F(Simulation, TheNextTickIsArmedOnlyAfterTheStep) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    platform.Command(ID_TOOLS_RUN);
    Tick(2);
    // Re-armed from the moment the tick was handled, for 10 ms.
    EXPECT_EQ(platform.TimerDue(*View(), CLifeView::SIMULATION_TIMER_ID), platform.Now() + 10);
    // Time passing in one go still gives one generation per 10 ms.
    platform.AdvanceTime(1000);
    EXPECT_EQ(View()->Simulation().Generation(), 102);
}

TEST_F(Simulation, ARefusedTimerLeavesTheViewPausedInsteadOfStuck) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    platform.SetRefuseTimers(true);
    platform.Command(ID_TOOLS_RUN);
    EXPECT_FALSE(View()->IsRunning());
    EXPECT_TRUE(Enabled(ID_TOOLS_RUN));
    EXPECT_EQ(IdleCountdown(), -1);

    // Refused when re-armed after a tick: the run ends after that step.
    platform.SetRefuseTimers(false);
    platform.Command(ID_TOOLS_RUN);
    platform.SetRefuseTimers(true);
    Tick(5);
    EXPECT_EQ(View()->Simulation().Generation(), 1);
    EXPECT_FALSE(View()->IsRunning());
    EXPECT_TRUE(Enabled(ID_TOOLS_STEP));
}

TEST_F(Simulation, StillLifeStopsTheRunAtGenerationOneWithTheMessage) {
    ASSERT_NE(OpenText("block.lif", kBlockFile), nullptr);
    platform.Command(ID_TOOLS_RUN);
    platform.ClearLog();
    Tick();
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{"Stagnation has been reached: no births or deaths."});
    EXPECT_EQ(Status(), "G:00001 C:00004 B:00000 D:00000 Z:x1");
    EXPECT_FALSE(View()->IsRunning());
    EXPECT_EQ(platform.ArmedTimers(), 0u);
    EXPECT_EQ(IdleCountdown(), -1);
    EXPECT_TRUE(Enabled(ID_TOOLS_RUN));
    Tick(10);
    EXPECT_EQ(View()->Simulation().Generation(), 1);

    // Each manual step on a stagnant board says so again.
    platform.Command(ID_TOOLS_STEP);
    EXPECT_EQ(platform.MessageTexts().size(), 2u);
    EXPECT_EQ(Status(), "G:00002 C:00004 B:00000 D:00000 Z:x1");
}

TEST_F(Simulation, AStepWithDeathsButNoBirthsIsNoStagnationAndTheRunGoesOn) {
    // A block and a lone cell away from it: the cell dies in the first step
    // and nothing is born; the block stays, so only the second step has
    // neither births nor deaths.
    ASSERT_NE(
        OpenText("dying.lif", "#Life 1.05\r\n#N\r\n#P -1 -1\r\n**\r\n**\r\n#P 20 20\r\n*\r\n"),
        nullptr);
    platform.Command(ID_TOOLS_RUN);
    platform.ClearLog();
    Tick();
    EXPECT_EQ(Status(), "G:00001 C:00004 B:00000 D:00001 Z:x1");
    EXPECT_TRUE(platform.MessageTexts().empty());
    EXPECT_TRUE(View()->IsRunning());
    EXPECT_EQ(platform.ArmedTimers(), 1u);

    Tick();
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{kStagnationMessage});
    EXPECT_EQ(Status(), "G:00002 C:00004 B:00000 D:00000 Z:x1");
    EXPECT_FALSE(View()->IsRunning());
    Tick(10);
    EXPECT_EQ(View()->Simulation().Generation(), 2);
}

TEST_F(Simulation, AStepWithBirthsButNoDeathsIsNoStagnationEither) {
    // Three cells of a block: the fourth is born and none dies.
    ASSERT_NE(OpenText("growing.lif", "#Life 1.05\r\n#N\r\n#P -1 -1\r\n**\r\n*.\r\n"), nullptr);
    platform.Command(ID_TOOLS_RUN);
    platform.ClearLog();
    Tick();
    EXPECT_EQ(Status(), "G:00001 C:00004 B:00001 D:00000 Z:x1");
    EXPECT_TRUE(platform.MessageTexts().empty());
    EXPECT_TRUE(View()->IsRunning());

    Tick();
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{kStagnationMessage});
    EXPECT_FALSE(View()->IsRunning());
}

TEST_F(Simulation, EmptyBoardStagnatesAtTheFirstStep) {
    app.OnFileNew();
    platform.Command(ID_TOOLS_STEP);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{"Stagnation has been reached: no births or deaths."});
    EXPECT_EQ(Status(), "G:00001 C:00000 B:00000 D:00000 Z:x1");
}

TEST_F(Simulation, BlinkerNeverStagnatesAndEveryStepHasTwoBirthsAndTwoDeaths) {
    ASSERT_NE(OpenText("blinker.lif", kBlinkerFile), nullptr);
    platform.Command(ID_TOOLS_RUN);
    for (int i = 1; i <= 30; ++i) {
        Tick();
        ASSERT_EQ(View()->Simulation().Births(), 2);
        ASSERT_EQ(View()->Simulation().Deaths(), 2);
    }
    EXPECT_TRUE(View()->IsRunning());
    EXPECT_TRUE(platform.MessageTexts().empty());
    EXPECT_EQ(Status(), "G:00030 C:00003 B:00002 D:00002 Z:x1");
}

TEST_F(Simulation, ReloadWhileRunningStopsAndRestartsTheCountKeepingBirthsAndDeaths) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    const std::vector<uint8_t> start = Cells();
    platform.Command(ID_TOOLS_RUN);
    Tick(5);
    const int32_t births = View()->Simulation().Births(), deaths = View()->Simulation().Deaths();
    platform.ClearLog();
    ASSERT_TRUE(platform.Command(ID_FILE_RELOAD));
    EXPECT_FALSE(View()->IsRunning());
    EXPECT_EQ(platform.ArmedTimers(), 0u);
    EXPECT_TRUE(platform.DialogsShown().empty());
    char expected[64];
    std::snprintf(expected, sizeof expected, "G:00000 C:00005 B:%05d D:%05d Z:x1", births, deaths);
    EXPECT_EQ(Status(), expected);
    EXPECT_EQ(Cells(), start);
    Tick(10);
    EXPECT_EQ(View()->Simulation().Generation(), 0);
}

TEST_F(Simulation, IdleCountdownAllowsTenIdleCallsAfterRunThenStopsUntilPause) {
    ASSERT_NE(OpenText("blinker.lif", kBlinkerFile), nullptr);
    EXPECT_EQ(IdleCountdown(), -1);
    const long before = app.IdleProcessingCount();
    const long refreshesBefore = app.IdleRefreshCount();
    platform.Command(ID_TOOLS_RUN);
    // Each event is followed by two idle calls (counts 0 and 1).
    std::vector<int32_t> seen{IdleCountdown()};
    for (int i = 0; i < 8; ++i) {
        Tick();
        seen.push_back(IdleCountdown());
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{8, 6, 4, 2, 0, 0, 0, 0, 0}));
    // The framework's idle processing ran exactly the ten allowed times, and
    // refreshed the toolbar in every other of them (idle count 0).
    EXPECT_EQ(app.IdleProcessingCount() - before, 10);
    EXPECT_EQ(app.IdleRefreshCount() - refreshesBefore, 5);

    // A kick gives ten more only when the countdown has run out.
    View()->KickIdle();
    EXPECT_EQ(IdleCountdown(), 10);
    View()->KickIdle();
    EXPECT_EQ(IdleCountdown(), 10);
    Tick();
    EXPECT_EQ(IdleCountdown(), 8);

    platform.Command(ID_TOOLS_PAUSE);
    EXPECT_EQ(IdleCountdown(), -1);
    View()->KickIdle();
    EXPECT_EQ(IdleCountdown(), -1);
    const long calls = app.IdleProcessingCount();
    platform.Pump();
    platform.Pump();
    EXPECT_EQ(app.IdleProcessingCount(), calls + 4);
}

TEST_F(Simulation, NewbornValueIsTheLowByteOfTheGenerationPlusOne) {
    ASSERT_NE(OpenText("blinker.lif", kBlinkerFile), nullptr);
    View()->Simulation().SetGeneration(254);
    platform.Command(ID_TOOLS_STEP);
    EXPECT_EQ(Board().At(100, 99), 255);  // born in generation 255
    EXPECT_EQ(Board().At(100, 100), 1);   // the survivor keeps its value
    platform.Command(ID_TOOLS_STEP);      // newborn value 256 becomes 1
    EXPECT_EQ(Board().At(99, 100), 1);
    platform.Command(ID_TOOLS_STEP);  // generation 256: value 1 again
    EXPECT_EQ(Board().At(100, 99), 1);
    EXPECT_EQ(View()->Simulation().Generation(), 257);
}

TEST_F(Simulation, LargeCountersArePrintedInFull) {
    ASSERT_NE(OpenText("blinker.lif", kBlinkerFile), nullptr);
    View()->Simulation().SetGeneration(123455);
    platform.Command(ID_TOOLS_STEP);
    EXPECT_EQ(Status(), "G:123456 C:00003 B:00002 D:00002 Z:x1");
    View()->Simulation().SetGeneration(99999999999999);
    platform.Command(ID_TOOLS_STEP);
    EXPECT_EQ(Status(), "G:100000000000000 C:00003 B:00002 D:00002 Z:x1");
}

TEST_F(Simulation, PaintCopiesTheVisibleBoardCentredOnTheMiddle) {
    ASSERT_NE(OpenText("block.lif", kBlockFile), nullptr);
    // 200 x 200 board, client 240 x 268: the board with its margin (m) is
    // smaller than the client area, so the view stays at the origin and cell
    // (x, y) is pixel (m + x, m + y).
    EXPECT_EQ(View()->GetScrollPosition(), (CPoint{0, 0}));
    const int m = ViewportControl::kBoardMargin;
    const RgbSurface& s = platform.Surface();
    const ColourEntry live = CurrentPalette()->entries[1];
    const ColourEntry dead = CurrentPalette()->entries[0];
    EXPECT_EQ(s.Pixel(m + 99, m + 99), live.Rgb());
    EXPECT_EQ(s.Pixel(m + 100, m + 100), live.Rgb());
    EXPECT_EQ(s.Pixel(m + 98, m + 99), dead.Rgb());

    // On an 800 x 800 board the view scrolls to the middle.
    SetBoardSize(800, 800);
    ASSERT_NE(OpenText("block2.lif", kBlockFile), nullptr);
    View()->Viewport().MarkLayoutPending();
    View()->Invalidate(false);
    platform.Pump();
    EXPECT_EQ(View()->GetScrollPosition(), (CPoint{m + 400 - 120, m + 400 - 134}));
    EXPECT_EQ(s.Pixel(399 - 280, 399 - 266), live.Rgb());
}

TEST_F(Simulation, FourRotationsRestoreTheBoardAndCenterMovesThePatternToTheMiddle) {
    ASSERT_NE(OpenText("glider.lif", "#Life 1.05\r\n#N\r\n#P -60 -40\r\n.*.\r\n..*\r\n***\r\n"),
              nullptr);
    platform.Command(ID_TOOLS_STEP);  // cells of two values
    const std::vector<uint8_t> start = Cells();
    const std::string status = Status();

    platform.Command(ID_CELLS_ROTATE_LEFT);
    // (x, y) goes to (y, N - 1 - x), every value kept.
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(Board().At(y, 199 - x), start[std::size_t(y) * 200 + std::size_t(x)]);
    EXPECT_EQ(Board().bounds, Board().WholeBox());
    EXPECT_EQ(Board().liveCount, 5);
    EXPECT_EQ(Status(), status);  // the status line is not touched
    for (int i = 0; i < 3; ++i) platform.Command(ID_CELLS_ROTATE_LEFT);
    EXPECT_EQ(Cells(), start);

    platform.Command(ID_CELLS_CENTER);
    EXPECT_EQ(Board().bounds, Board().WholeBox());
    EXPECT_EQ(Board().liveCount, 5);
    // The box of the live cells moves to row (H - height + 2) / 2, column
    // (W + left - right) / 2, every value kept.
    int left = 200, top = 200, right = -1, bottom = -1;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            if (start[std::size_t(y) * 200 + std::size_t(x)] != 0) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    ASSERT_EQ(right - left, 2);
    ASSERT_EQ(bottom - top, 2);
    const int row0 = (200 - 3 + 2) / 2, col0 = (200 + left - right) / 2;
    EXPECT_EQ(row0, 99);
    EXPECT_EQ(col0, 99);
    std::vector<uint8_t> centred(start.size(), 0);
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            centred[std::size_t(y - top + row0) * 200 + std::size_t(x - left + col0)] =
                start[std::size_t(y) * 200 + std::size_t(x)];
    EXPECT_EQ(Cells(), centred);
    // The next step computes the whole interior: nothing stale of the board
    // before the transform survives.
    platform.Command(ID_TOOLS_STEP);
    EXPECT_EQ(Board().liveCount, 5);
    int live = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            if (Board().At(x, y) != 0) {
                ++live;
                EXPECT_TRUE(x >= 98 && x <= 102 && y >= 98 && y <= 102) << x << "," << y;
            }
    EXPECT_EQ(live, 5);
}

TEST_F(Simulation, RotatingABoardThatIsNotSquareKeepsWhatFitsAndFourTurnsRestoreIt) {
    SetBoardSize(300, 160);
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    const std::vector<uint8_t> start = Cells();
    for (int i = 0; i < 4; ++i) {
        platform.Command(ID_CELLS_ROTATE_LEFT);
        EXPECT_EQ(Board().liveCount, 5);
    }
    EXPECT_EQ(Cells(), start);

    // The turn is about the centre; a cell far out to the side has no place
    // after it and is dropped, and nothing is written off the board.
    Doc()->CurrentBoard()->Set(5, 80, 1);
    Doc()->CurrentBoard()->liveCount = 6;
    platform.Command(ID_CELLS_ROTATE_LEFT);
    EXPECT_EQ(Board().liveCount, 5);
    EXPECT_EQ(Board().At(149, 79), 1);  // the glider's (150, 79)
}

TEST_F(Simulation, PaletteChangeKeepsTheCellsAndRedrawsThemInTheNewColours) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    platform.Command(ID_TOOLS_STEP);
    const std::vector<uint8_t> before = Cells();
    PaletteBlock& autumn = Palette(PaletteId::Autumn);
    Doc()->ChangePalette(autumn);
    EXPECT_EQ(CurrentPalette(), &autumn);
    EXPECT_EQ(Cells(), before);
    EXPECT_EQ(Board().colours, autumn.entries);
    EXPECT_EQ(Doc()->ScratchBoard()->colours, autumn.entries);
    EXPECT_EQ(Board().bounds, Board().WholeBox());
    EXPECT_EQ(Board().liveCount, 5);
    View()->Invalidate(false);
    platform.Pump();
    const int m = ViewportControl::kBoardMargin;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(platform.Surface().Pixel(m + x, m + y),
                      autumn.entries[Board().At(x, y)].Rgb());
}
