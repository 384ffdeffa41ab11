// The speed setting, Faster and Slower, and Go to Generation: every speed
// makes exactly the generations, counters and statistics lines of the
// default one, and a run stops where it must.
#include <algorithm>
#include <array>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "engine/live_hash.h"
#include "life_session.h"

using namespace cellarium;

namespace {

// Three gliders that run into the dead border of a 250 x 250 board and
// settle there as blocks: the pattern stagnates at generation 582.
const char* const kGlidersFile =
    "#Life 1.05\r\n#P -1 -1\r\n.*.\r\n..*\r\n***\r\n#P 20 -30\r\n.*.\r\n*..\r\n***\r\n"
    "#P -40 10\r\n***\r\n*..\r\n.*.\r\n";
constexpr int32_t kGlidersStagnate = 582;
// The same gliders beside a blinker: they settle as before and the board
// goes round with period 2.
const std::string kGlidersBlinkerFile = std::string(kGlidersFile) + "#P 59 -60\r\n***\r\n";

class Speed : public LifeSession {
protected:
    std::vector<uint8_t> Cells() const {
        return std::vector<uint8_t>(Board().Cells(), Board().Cells() + Board().CellCount());
    }
    std::string SpeedStrip() const {
        return platform.Bar(IDD_STATUS_STRIP)->GetDlgItemText(IDC_SPEED_TEXT);
    }
    bool Enabled(unsigned id) { return Frame()->QueryCommandState(id).m_bEnabled; }
    // The speed step the toolbar's list shows.
    int ToolbarStep() {
        for (const auto& b : Frame()->ToolbarStates())
            if (b.id >= ID_SPEED_FIRST && b.id <= ID_SPEED_LAST && b.check != 0)
                return int(b.id - ID_SPEED_FIRST);
        return -1;
    }
    void StartRecording(const std::string& path) {
        platform.ExpectDialog(IDD_SAVE_STATS, [path](DialogDriver& d) {
            d.Type(IDC_STATS_FILENAME, path);
            for (int id :
                 {IDC_STATS_GENERATION, IDC_STATS_TOTAL, IDC_STATS_BIRTHS, IDC_STATS_DEATHS})
                d.SetCheck(id, true);
            d.Click(IDOK);
        });
        platform.Command(ID_STATS_START);
        platform.ClearScript();
    }
    // Go to Generation with the number typed in.
    bool GoTo(const std::string& number) {
        platform.ExpectDialog(IDD_GO_TO_GENERATION, [number](DialogDriver& d) {
            d.Type(IDC_GOTO_GENERATION, number);
            d.Click(IDOK);
        });
        const bool chosen = platform.CtrlKey('G');
        platform.ClearScript();
        return chosen;
    }
    // Lets the clock run until the run stops by itself (or has gone far
    // past where it should have).
    void TickUntilStopped() {
        while (View()->IsRunning() && View()->Simulation().Generation() < 100000)
            platform.AdvanceTime(50);
    }
};

}  // namespace

TEST_F(Speed, EveryStepMakesTheDefaultSpeedsGenerationsCountersAndStatistics) {
    SetBoardSize(250, 250);
    ASSERT_NE(OpenText("gliders.lif", kGlidersFile), nullptr);

    struct Result {
        std::vector<uint8_t> cells;
        std::string status;
        std::string stats;
        std::vector<std::string> messages;
    };
    auto runAt = [&](int step) {
        platform.Command(ID_FILE_RELOAD);
        EXPECT_TRUE(platform.Command(ID_SPEED_FIRST + unsigned(step)));
        EXPECT_EQ(View()->Simulation().SpeedStep(), step);
        const std::string path = Path("speed" + std::to_string(step) + ".csv");
        StartRecording(path);
        platform.ClearLog();
        platform.Command(ID_TOOLS_RUN);
        TickUntilStopped();
        platform.Command(ID_STATS_STOP);
        EXPECT_EQ(platform.ArmedTimers(), 0u) << step;
        return Result{Cells(), Status(), Slurp(path), platform.MessageTexts()};
    };

    const Result reference = runAt(kDefaultSpeedStep);
    EXPECT_EQ(reference.status.substr(0, 8), "G:00582 ");
    EXPECT_EQ(reference.messages, std::vector<std::string>{kStagnationMessage});
    // A header and one line for every generation.
    EXPECT_EQ(std::count(reference.stats.begin(), reference.stats.end(), '\n'),
              kGlidersStagnate + 1);
    for (int step = 0; step < kSpeedSteps; ++step) {
        if (step == kDefaultSpeedStep) continue;
        const Result r = runAt(step);
        EXPECT_EQ(r.status, reference.status) << SpeedWords(step);
        EXPECT_TRUE(r.stats == reference.stats) << SpeedWords(step);
        EXPECT_TRUE(r.cells == reference.cells) << SpeedWords(step);
        EXPECT_EQ(r.messages, reference.messages) << SpeedWords(step);
    }
}

// What the runner does for -g N: Step pressed N times in batches, each of
// which ends early at stagnation; and the steps' own live-cell hash.
TEST_F(Speed, StepsInBatchesMakeWhatSingleStepsMake) {
    SetBoardSize(250, 250);
    ASSERT_NE(OpenText("gliders.lif", kGlidersFile), nullptr);
    constexpr int32_t kSteps = kGlidersStagnate + 20;
    auto run = [&](bool batches) {
        platform.Command(ID_FILE_RELOAD);
        const std::string path = Path(batches ? "batches.csv" : "steps.csv");
        StartRecording(path);
        platform.ClearLog();
        Doc()->HashEachStep(batches);
        while (View()->Simulation().Generation() < kSteps) {
            if (batches) {
                View()->StepGenerations(kSteps - View()->Simulation().Generation());
                EXPECT_EQ(Doc()->StepLiveHash(), LiveCellHash(Board()));
            } else {
                EXPECT_TRUE(platform.Command(ID_TOOLS_STEP));
                EXPECT_EQ(Doc()->StepLiveHash(), std::nullopt);
            }
        }
        platform.Command(ID_STATS_STOP);
        return std::make_tuple(Cells(), Status(), Slurp(path), platform.MessageTexts());
    };
    const auto steps = run(false);
    EXPECT_EQ(std::get<1>(steps).substr(0, 8), "G:00602 ");
    EXPECT_EQ(std::get<3>(steps).size(), 21u);  // one message for every stagnant step
    EXPECT_TRUE(run(true) == steps);
}

// A frame's budget goes by the platform's clock, not the machine's: with
// each reading of the virtual clock standing for so much work, a tick at
// Maximum makes the generations that fit in 16 ms, and one however slow.
TEST_F(Speed, ATickAtMaximumMakesWhatItsBudgetHoldsOnThePlatformsClock) {
    ASSERT_NE(OpenText("blinker.lif", kBlinkerFile), nullptr);
    ASSERT_TRUE(platform.Command(ID_SPEED_LAST));
    ASSERT_TRUE(platform.Command(ID_TOOLS_RUN));
    for (const auto& [costMs, perTick] : {std::pair{2, 8}, {4, 4}, {5, 4}, {16, 1}, {40, 1}}) {
        platform.SetClockReadingCost(std::chrono::milliseconds(costMs));
        const int64_t before = View()->Simulation().Generation();
        platform.AdvanceTime(1);
        EXPECT_EQ(View()->Simulation().Generation() - before, perTick) << costMs << " ms";
    }
    EXPECT_TRUE(View()->IsRunning());
}

TEST_F(Speed, FasterAndSlowerWalkTheStepsAndTheSettingKeepsThem) {
    ASSERT_NE(OpenText("blinker.lif", kBlinkerFile), nullptr);
    EXPECT_EQ(View()->Simulation().SpeedStep(), kDefaultSpeedStep);
    EXPECT_EQ(SpeedStrip(), "Speed: 1 gen / 10 ms");
    EXPECT_EQ(ToolbarStep(), kDefaultSpeedStep);

    ASSERT_TRUE(platform.Command(ID_SPEED_FASTER));
    EXPECT_EQ(SpeedStrip(), "Speed: x2 / frame");
    EXPECT_EQ(ToolbarStep(), kDefaultSpeedStep + 1);
    const std::string key = std::string(kCompanyKey) + "\\Life\\Simulation\\Speed";
    EXPECT_EQ(platform.Setting(key), 2);

    // A run takes a new speed at once: the slow tick is armed from now.
    platform.Command(ID_TOOLS_RUN);
    Tick();
    EXPECT_EQ(View()->Simulation().Generation(), 2);
    platform.Command(ID_SPEED_FIRST);
    EXPECT_EQ(SpeedStrip().substr(0, 21), "Speed: 1 gen / 1000 m");
    EXPECT_EQ(platform.TimerDue(*View(), CLifeView::SIMULATION_TIMER_ID), platform.Now() + 1000);
    platform.AdvanceTime(999);
    EXPECT_EQ(View()->Simulation().Generation(), 2);
    platform.AdvanceTime(1);
    EXPECT_EQ(View()->Simulation().Generation(), 3);
    platform.Command(ID_TOOLS_PAUSE);
    EXPECT_EQ(platform.Setting(key), -1000);
    EXPECT_FALSE(Enabled(ID_SPEED_SLOWER));
    EXPECT_FALSE(platform.Command(ID_SPEED_SLOWER));

    platform.Command(ID_SPEED_LAST);
    EXPECT_EQ(SpeedStrip(), "Speed: max");
    EXPECT_FALSE(Enabled(ID_SPEED_FASTER));
    ASSERT_TRUE(platform.Command(ID_SPEED_SLOWER));
    EXPECT_EQ(SpeedStrip(), "Speed: x65536 / frame");
    EXPECT_EQ(platform.Setting(key), 65536);

    // The next view starts at the speed kept; a value of no step is the
    // default.
    CLifeView kept;
    EXPECT_EQ(kept.Simulation().SpeedStep(), kMaximumSpeedStep - 1);
    platform.SetSetting(key, 3);
    CLifeView unknown;
    EXPECT_EQ(unknown.Simulation().SpeedStep(), kDefaultSpeedStep);
}

TEST_F(Speed, GoToGenerationStopsAtTheNumberOrAtStagnation) {
    SetBoardSize(250, 250);
    ASSERT_NE(OpenText("gliders.lif", kGlidersFile), nullptr);
    platform.Command(ID_SPEED_FIRST);  // the slowest: Go to runs as fast as it can anyway
    platform.ClearLog();
    ASSERT_TRUE(GoTo("123"));
    EXPECT_TRUE(View()->IsRunning());
    EXPECT_FALSE(Enabled(ID_TOOLS_STEP));
    EXPECT_FALSE(Enabled(ID_GO_TO_GENERATION));
    TickUntilStopped();
    EXPECT_EQ(View()->Simulation().Generation(), 123);
    EXPECT_TRUE(platform.MessageTexts().empty());
    EXPECT_EQ(IdleCountdown(), -1);
    EXPECT_EQ(SpeedStrip(), "Speed: 1 gen / 1000 ms");
    const std::vector<uint8_t> arrived = Cells();
    const std::string status = Status();
    platform.Command(ID_FILE_RELOAD);
    for (int i = 0; i < 123; ++i) platform.Command(ID_TOOLS_STEP);
    EXPECT_TRUE(Cells() == arrived);
    EXPECT_EQ(Status(), status);

    // At or before the current generation: says so and does nothing.
    platform.ClearLog();
    ASSERT_TRUE(GoTo("123"));
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{NotAheadMessage(123)});
    EXPECT_FALSE(View()->IsRunning());
    EXPECT_EQ(View()->Simulation().Generation(), 123);

    // Stagnation comes first: the run stops there, with its message.
    platform.ClearLog();
    ASSERT_TRUE(GoTo("100000"));
    TickUntilStopped();
    EXPECT_EQ(View()->Simulation().Generation(), kGlidersStagnate);
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{kStagnationMessage});
}

TEST_F(Speed, PauseCancelsGoToGenerationWithBoardCounterAndStatisticsAtOneGeneration) {
    ASSERT_NE(OpenText("blinker.lif", kBlinkerFile), nullptr);
    const std::vector<uint8_t> start = Cells();
    StartRecording(Path("blinker.csv"));
    ASSERT_TRUE(GoTo("2000000000"));
    platform.AdvanceTime(1);
    const int64_t g = View()->Simulation().Generation();
    ASSERT_GT(g, 0);
    EXPECT_EQ(SpeedStrip().substr(0, 22), "Going to 2000000000: 0");
    EXPECT_TRUE(Doc()->InRun());
    ASSERT_TRUE(platform.Command(ID_TOOLS_PAUSE));
    platform.AdvanceTime(100);
    platform.Command(ID_STATS_STOP);

    EXPECT_FALSE(View()->IsRunning());
    EXPECT_FALSE(Doc()->InRun());
    EXPECT_EQ(View()->Simulation().Generation(), g);
    char line[64];
    std::snprintf(line, sizeof line, "G:%05lld C:00003 B:00002 D:00002 Z:x1", (long long)g);
    EXPECT_EQ(Status(), line);
    // The blinker is back in its first phase every second generation.
    auto live = [](std::vector<uint8_t> cells) {
        for (uint8_t& c : cells) c = c != 0;
        return cells;
    };
    EXPECT_EQ(live(Cells()) == live(start), g % 2 == 0);
    const std::string stats = Slurp(Path("blinker.csv"));
    EXPECT_EQ(std::count(stats.begin(), stats.end(), '\n'), g + 1);
    EXPECT_TRUE(stats.ends_with("\n" + std::to_string(g) + ",3,2,2\r\n"));
}

TEST_F(Speed, CountersStatisticsAndGraphGoOnPastTwoToTheThirtyOneAndTheThirtyTwo) {
    ASSERT_NE(OpenText("blinker.lif", kBlinkerFile), nullptr);
    platform.Command(ID_POPULATION_GRAPH);
    for (const int64_t start : {(int64_t(1) << 31) - 1, (int64_t(1) << 32) - 1}) {
        SCOPED_TRACE(start);
        platform.Command(ID_FILE_RELOAD);
        View()->Simulation().SetGeneration(start);
        StartRecording(Path("far.csv"));
        // Go to Generation proposes a thousand on and takes the number typed.
        std::string proposed;
        platform.ExpectDialog(IDD_GO_TO_GENERATION, [&](DialogDriver& d) {
            proposed = d.Text(IDC_GOTO_GENERATION);
            d.Type(IDC_GOTO_GENERATION, std::to_string(start + 3));
            d.Click(IDOK);
        });
        ASSERT_TRUE(platform.CtrlKey('G'));
        platform.ClearScript();
        EXPECT_EQ(proposed, std::to_string(start + 1000));
        for (int i = 0; i < 100 && View()->IsRunning(); ++i) platform.AdvanceTime(50);
        platform.Command(ID_STATS_STOP);
        const std::string end = std::to_string(start + 3);
        EXPECT_EQ(Status(), "G:" + end + " C:00003 B:00002 D:00002 Z:x1");
        // The last step's newborns carry the low byte of start + 2 (0x01) plus one.
        EXPECT_EQ(Board().At(100, 99), 2);
        EXPECT_EQ(Board().At(100, 101), 2);
        EXPECT_EQ(Slurp(Path("far.csv")),
                  "Generation,Total Cells,Births,Deaths\r\n" + std::to_string(start + 1) +
                      ",3,2,2\r\n" + std::to_string(start + 2) + ",3,2,2\r\n" + end + ",3,2,2\r\n");
        EXPECT_EQ(platform.Graph().caption, "Generation " + end + ": live 3");
        EXPECT_EQ(platform.Graph().lastX, start + 3);
    }
    // The furthest generation Go to Generation takes.
    ASSERT_TRUE(GoTo("1000000000000000000"));
    EXPECT_EQ(SpeedStrip().substr(0, 30), "Going to 1000000000000000000: ");
    platform.Command(ID_TOOLS_PAUSE);
}

// Go to Generation goes through the cycle without stepping it, and leaves
// what pressing Step for every generation leaves: the cells with their
// colours, the status line with births and deaths, every statistics line,
// the population graph and its counts as saved, thinned to blocks by a small
// budget. Far beyond, it gets there in a tick, with the same cells and
// counts, and every block of the cycle's generations holds the cycle's least
// and greatest counts.
TEST_F(Speed, GoToGenerationThroughACycleLeavesWhatSteppingLeaves) {
    SetBoardSize(250, 250);
    app.WriteProfileInt("Population Graph", "History Kilobytes", 64);
    ASSERT_NE(OpenText("cycle.lif", kGlidersBlinkerFile), nullptr);
    platform.Command(ID_POPULATION_GRAPH);
    platform.Command(ID_GRAPH_BIRTHS_DEATHS);
    // 17 x 256: its low byte is that of 10^12, and so are the newborn values.
    constexpr int64_t kTarget = 4352;
    const int64_t far = 1000000000000;
    struct After {
        std::vector<uint8_t> cells;
        std::string status, stats, counts;
        GraphPicture graph;
    };
    auto saveCounts = [&](const std::string& name) {
        platform.ExpectFileDialog(Path(name));
        platform.Command(ID_GRAPH_SAVE_CSV);
        platform.ClearScript();
        return Slurp(Path(name));
    };
    auto arrive = [&](bool jump) {
        platform.Command(ID_FILE_RELOAD);
        const std::string name = jump ? "jump" : "step";
        StartRecording(Path(name + ".csv"));
        if (jump) {
            EXPECT_TRUE(GoTo(std::to_string(kTarget)));
            TickUntilStopped();
        } else {
            while (View()->Simulation().Generation() < kTarget)
                if (!platform.Command(ID_TOOLS_STEP)) break;
        }
        platform.Command(ID_STATS_STOP);
        return After{Cells(), Status(), Slurp(Path(name + ".csv")),
                     saveCounts(name + "-counts.csv"), platform.Graph()};
    };
    const After stepped = arrive(false);
    ASSERT_EQ(stepped.status.substr(0, 8), "G:04352 ");
    ASSERT_TRUE(Doc()->Counts().Thinned());
    const After leapt = arrive(true);
    EXPECT_EQ(leapt.status, stepped.status);
    EXPECT_TRUE(leapt.cells == stepped.cells);
    EXPECT_TRUE(leapt.stats == stepped.stats);
    EXPECT_TRUE(leapt.counts == stepped.counts);
    EXPECT_EQ(leapt.graph.caption, stepped.graph.caption);
    EXPECT_EQ(std::tie(leapt.graph.firstX, leapt.graph.lastX, leapt.graph.minY, leapt.graph.maxY),
              std::tie(stepped.graph.firstX, stepped.graph.lastX, stepped.graph.minY,
                       stepped.graph.maxY));
    ASSERT_EQ(leapt.graph.series.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(leapt.graph.series[i].columns == stepped.graph.series[i].columns) << i;

    // The cycle's two generations, as the statistics file has them.
    auto counts = [](const std::string& line) {
        int64_t g = 0;
        int live = 0, births = 0, deaths = 0;
        EXPECT_EQ(std::sscanf(line.c_str(), "%" SCNd64 ",%d,%d,%d", &g, &live, &births, &deaths), 4)
            << line;
        return std::array<int, 3>{live, births, deaths};
    };
    const std::size_t lastLine = stepped.stats.rfind('\n', stepped.stats.size() - 3) + 1;
    const std::size_t lineBefore = stepped.stats.rfind('\n', lastLine - 2) + 1;
    const std::array<int, 3> even = counts(stepped.stats.substr(lastLine));
    const std::array<int, 3> odd = counts(stepped.stats.substr(lineBefore));

    platform.Command(ID_FILE_RELOAD);
    ASSERT_TRUE(GoTo(std::to_string(far)));
    for (int i = 0; i < 100 && View()->IsRunning(); ++i) platform.AdvanceTime(50);
    ASSERT_EQ(View()->Simulation().Generation(), far);
    EXPECT_EQ(Status(), "G:" + std::to_string(far) + stepped.status.substr(7));
    EXPECT_TRUE(Cells() == stepped.cells);
    EXPECT_EQ(platform.Graph().caption,
              "Generation " + std::to_string(far) + ": live " + std::to_string(even[0]) +
                  ", births " + std::to_string(even[1]) + ", deaths " + std::to_string(even[2]));
    EXPECT_EQ(platform.Graph().lastX, far);
    const PopulationHistory& history = Doc()->Counts();
    EXPECT_EQ(history.LastGeneration(), far);
    EXPECT_LE(history.Bytes(), history.Budget());
    // Ranges of generations with the least and greatest of each count: those
    // from well inside the cycle on hold its two generations' counts.
    std::istringstream in(saveCounts("far-counts.csv"));
    std::string line;
    std::getline(in, line);
    int inCycle = 0;
    while (std::getline(in, line)) {
        int64_t from = 0, to = 0;
        int v[6] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), "%" SCNd64 ",%" SCNd64 ",%d,%d,%d,%d,%d,%d", &from, &to,
                              &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]),
                  8)
            << line;
        if (from < 1024) continue;
        ++inCycle;
        for (int c = 0; c < 3; ++c) {
            const bool both = to > from;
            const int one = (from % 2 == 0 ? even : odd)[std::size_t(c)];
            EXPECT_EQ(v[2 * c], both ? std::min(even[std::size_t(c)], odd[std::size_t(c)]) : one)
                << line;
            EXPECT_EQ(v[2 * c + 1],
                      both ? std::max(even[std::size_t(c)], odd[std::size_t(c)]) : one)
                << line;
        }
    }
    EXPECT_GT(inCycle, 100);
}
