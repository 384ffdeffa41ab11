// Statistics files byte for byte, the Save Statistics dialog and its failure
// paths.
#include <unistd.h>

#include <climits>
#include <cstdint>

#include "document/stats_format.h"
#include "life_session.h"

using namespace cellarium;

TEST(StatsFormat, HeaderAndLinesHoldTheChosenColumnsInFixedOrder) {
    EXPECT_EQ(StatsHeader(StatsColumns{}), "Generation,Total Cells\r\n");
    EXPECT_EQ(StatsHeader(StatsColumns{true, true, true, true}),
              "Generation,Total Cells,Births,Deaths\r\n");
    EXPECT_EQ(StatsHeader(StatsColumns{false, false, true, false}), "Births\r\n");
    EXPECT_EQ(StatsHeader(StatsColumns{false, false, false, true}), "Deaths\r\n");
    EXPECT_EQ(StatsHeader(StatsColumns{false, false, false, false}), "\r\n");

    char line[kStatsLineBuffer];
    std::size_t n = FormatStatsLine(line, StatsColumns{true, false, false, true}, 12, 340, 25, 31);
    EXPECT_EQ(std::string(line, n), "12,31\r\n");
    n = FormatStatsLine(line, StatsColumns{false, false, false, false}, 1, 2, 3, 4);
    EXPECT_EQ(std::string(line, n), "\r\n");
    // The longest line fits its buffer with room to spare.
    n = FormatStatsLine(line, StatsColumns{true, true, true, true}, INT64_MIN, INT_MIN, INT_MIN,
                        INT_MIN);
    EXPECT_EQ(n, 58u);
    EXPECT_EQ(std::string(line, n), "-9223372036854775808,-2147483648,-2147483648,-2147483648\r\n");
    // Generations past 2^32 are written whole.
    n = FormatStatsLine(line, StatsColumns{true, true, false, false}, 4294967297LL, 7, 0, 0);
    EXPECT_EQ(std::string(line, n), "4294967297,7\r\n");
}

TEST(StatsFormat, FreeSpaceTextAndFolder) {
    EXPECT_EQ(SpaceAvailableText(1572864), "Space available: 1 MBytes");
    EXPECT_EQ(SpaceAvailableText(1048575), "Space available: 1023 KBytes");
    EXPECT_EQ(SpaceAvailableText(1024), "Space available: 1 KBytes");
    EXPECT_EQ(SpaceAvailableText(1023), "Space available: 1023 Bytes");
    EXPECT_EQ(SpaceAvailableText(0), "Space available: 0 Bytes");
    EXPECT_EQ(SpaceAvailableText(uint64_t(1) << 52), "Space available: 4294967296 MBytes");
    EXPECT_EQ(SpaceAvailableText(std::nullopt), "Space available: Unknown");

    EXPECT_EQ(StatsFolderOf("\\Temp\\a.lif.csv.txt"), "\\Temp");
    EXPECT_EQ(StatsFolderOf("\\stats.txt"), "");
    EXPECT_EQ(StatsFolderOf("stats.txt"), "");
    EXPECT_EQ(StatsFolderOf("/home/me/a.lif.csv.txt"), "/home/me");
    EXPECT_EQ(StatsFolderOf("/stats.txt"), "");
}

namespace {

class Statistics : public LifeSession {
protected:
    // Starts recording to name with the given columns (nothing given: the
    // dialog's defaults).
    void Start(const std::string& name, std::optional<StatsColumns> columns = std::nullopt) {
        platform.ExpectDialog(IDD_SAVE_STATS, [name, columns](DialogDriver& d) {
            d.Type(IDC_STATS_FILENAME, name);
            if (columns) {
                d.SetCheck(IDC_STATS_GENERATION, columns->generation);
                d.SetCheck(IDC_STATS_TOTAL, columns->total);
                d.SetCheck(IDC_STATS_BIRTHS, columns->births);
                d.SetCheck(IDC_STATS_DEATHS, columns->deaths);
            }
            d.Click(IDOK);
        });
        ASSERT_TRUE(platform.Command(ID_STATS_START));
        EXPECT_TRUE(platform.ScriptErrors().empty());
        EXPECT_EQ(platform.PendingExpectations(), 0u);
    }
    void Steps(int n) {
        for (int i = 0; i < n; ++i) platform.Command(ID_TOOLS_STEP);
    }
    // Whether any descriptor of this process is open on path.
    static bool OpenInProcess(const std::string& path) {
        for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code ec;
            auto target = std::filesystem::read_symlink(e.path(), ec);
            if (!ec && target == path) return true;
        }
        return false;
    }
};

}  // namespace

TEST_F(Statistics, DialogOffersTheDefaultsAndTheFirstLineAfterTenStepsIsGenerationEleven) {
    const std::string pattern = Write("glider.lif", kGliderFile);
    ASSERT_NE(Open(pattern), nullptr);
    Steps(10);
    platform.SetFreeSpace(dir.string(), 1572864);
    platform.ExpectDialog(IDD_SAVE_STATS, [&](DialogDriver& d) {
        EXPECT_EQ(d.Caption(), "Save Statistics");
        EXPECT_EQ(d.Text(IDC_STATS_FILENAME), pattern + ".csv.txt");
        EXPECT_EQ(d.Text(IDC_STATS_SPACE), "Space available: 1 MBytes");
        EXPECT_TRUE(d.Checked(IDC_STATS_GENERATION));
        EXPECT_TRUE(d.Checked(IDC_STATS_TOTAL));
        EXPECT_FALSE(d.Checked(IDC_STATS_BIRTHS));
        EXPECT_FALSE(d.Checked(IDC_STATS_DEATHS));
        d.Click(IDOK);
    });
    auto enabled = [&](unsigned id) { return Frame()->QueryCommandState(id).m_bEnabled; };
    EXPECT_TRUE(enabled(ID_STATS_START));
    EXPECT_FALSE(enabled(ID_STATS_STOP));
    platform.Command(ID_STATS_START);
    EXPECT_EQ(platform.FreeSpaceQueries(), std::vector<std::string>{dir.string()});
    ASSERT_TRUE(View()->Statistics().Recording());
    // While recording: Start off, Stop on, and the status line says REC.
    EXPECT_FALSE(enabled(ID_STATS_START));
    EXPECT_TRUE(enabled(ID_STATS_STOP));
    EXPECT_EQ(Status(), "G:00010 C:00005 B:00002 D:00002 Z:x1 REC");
    Steps(2);
    EXPECT_EQ(Status(), "G:00012 C:00005 B:00002 D:00002 Z:x1 REC");
    // Each line is in the file as soon as its step ends.
    EXPECT_EQ(Slurp(pattern + ".csv.txt"), "Generation,Total Cells\r\n11,5\r\n12,5\r\n");
    platform.Command(ID_STATS_STOP);
    EXPECT_TRUE(enabled(ID_STATS_START));
    EXPECT_FALSE(enabled(ID_STATS_STOP));
    EXPECT_EQ(Status(), "G:00012 C:00005 B:00002 D:00002 Z:x1");
    Steps(1);
    EXPECT_EQ(Slurp(pattern + ".csv.txt"), "Generation,Total Cells\r\n11,5\r\n12,5\r\n");
    EXPECT_FALSE(OpenInProcess(pattern + ".csv.txt"));
}

TEST_F(Statistics, AllColumnsOfABlockAndTheStagnationLineIsStillWritten) {
    ASSERT_NE(OpenText("block.lif", kBlockFile), nullptr);
    Start(Path("block.csv"), StatsColumns{true, true, true, true});
    Steps(1);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{"Stagnation has been reached: no births or deaths."});
    EXPECT_EQ(Slurp(Path("block.csv")), "Generation,Total Cells,Births,Deaths\r\n1,4,0,0\r\n");
}

TEST_F(Statistics, OneColumnOrNoneAtAll) {
    ASSERT_NE(OpenText("blinker.lif", kBlinkerFile), nullptr);
    Start(Path("births.csv"), StatsColumns{false, false, true, false});
    Steps(2);
    platform.Command(ID_STATS_STOP);
    EXPECT_EQ(Slurp(Path("births.csv")), "Births\r\n2\r\n2\r\n");

    Start(Path("none.csv"), StatsColumns{false, false, false, false});
    Steps(3);
    platform.Command(ID_STATS_STOP);
    EXPECT_EQ(Slurp(Path("none.csv")), "\r\n\r\n\r\n\r\n");
}

TEST_F(Statistics, RunningAppendsALinePerTickAndReloadAppendsNothing) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    Start(Path("run.csv"));
    platform.Command(ID_TOOLS_RUN);
    Tick(3);
    platform.Command(ID_FILE_RELOAD);
    Steps(1);
    EXPECT_EQ(Slurp(Path("run.csv")), "Generation,Total Cells\r\n1,5\r\n2,5\r\n3,5\r\n1,5\r\n");
}

TEST_F(Statistics, UnopenableFileShowsTwoMessagesAndTheDialogAgainWithTheLastEntries) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    platform.ClearLog();
    const std::string bad = Path("no/such/folder/s.csv");
    platform.ExpectDialog(IDD_SAVE_STATS, [&](DialogDriver& d) {
        d.Type(IDC_STATS_FILENAME, bad);
        d.SetCheck(IDC_STATS_BIRTHS, true);
        d.SetCheck(IDC_STATS_GENERATION, false);
        d.Click(IDOK);
    });
    platform.ExpectMessageBox(IDOK, bad);
    platform.ExpectMessageBox(IDOK, "Unable to open file for writing");
    platform.ExpectDialog(IDD_SAVE_STATS, [&](DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_STATS_FILENAME), bad);
        EXPECT_TRUE(d.Checked(IDC_STATS_BIRTHS));
        EXPECT_FALSE(d.Checked(IDC_STATS_GENERATION));
        d.Click(IDCANCEL);
    });
    platform.Command(ID_STATS_START);
    EXPECT_TRUE(platform.ScriptErrors().empty());
    EXPECT_EQ(platform.PendingExpectations(), 0u);
    EXPECT_EQ(platform.DialogsShown(), (std::vector<unsigned>{IDD_SAVE_STATS, IDD_SAVE_STATS}));
    EXPECT_FALSE(View()->Statistics().Recording());
    // The view keeps the choices as last entered.
    EXPECT_TRUE(View()->Statistics().RecordedColumns().births);
    EXPECT_FALSE(View()->Statistics().RecordedColumns().generation);

    // Shown again, a good name goes on recording.
    platform.ExpectDialog(IDD_SAVE_STATS, [&](DialogDriver& d) {
        d.Type(IDC_STATS_FILENAME, bad);
        d.Click(IDOK);
    });
    platform.ExpectDialog(IDD_SAVE_STATS, [&](DialogDriver& d) {
        d.Type(IDC_STATS_FILENAME, Path("good.csv"));
        d.Click(IDOK);
    });
    platform.Command(ID_STATS_START);
    EXPECT_TRUE(View()->Statistics().Recording());
    Steps(1);
    EXPECT_EQ(Slurp(Path("good.csv")), "Total Cells,Births\r\n5,2\r\n");
}

TEST_F(Statistics, StartingAgainWhileRecordingClosesTheFirstFile) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    Start(Path("first.csv"));
    Steps(2);
    // Start is disabled while recording; reached all the same (a stale
    // menu), it ends the first recording before the second begins.
    EXPECT_FALSE(platform.Command(ID_STATS_START));
    platform.ExpectDialog(IDD_SAVE_STATS, [&](DialogDriver& d) {
        d.Type(IDC_STATS_FILENAME, Path("second.csv"));
        d.Click(IDOK);
    });
    View()->Statistics().OnStatsStart();
    EXPECT_FALSE(OpenInProcess(Path("first.csv")));
    EXPECT_TRUE(OpenInProcess(Path("second.csv")));
    Steps(2);
    EXPECT_EQ(Slurp(Path("first.csv")), "Generation,Total Cells\r\n1,5\r\n2,5\r\n");
    EXPECT_EQ(Slurp(Path("second.csv")), "Generation,Total Cells\r\n3,5\r\n4,5\r\n");

    // Cancelling a second Start leaves the running recording alone.
    platform.ExpectDialog(IDD_SAVE_STATS, [](DialogDriver& d) { d.Click(IDCANCEL); });
    View()->Statistics().OnStatsStart();
    Steps(1);
    EXPECT_EQ(Slurp(Path("second.csv")), "Generation,Total Cells\r\n3,5\r\n4,5\r\n5,5\r\n");
}

TEST_F(Statistics, ALineThatCannotBeWrittenStopsRecordingAndSaysSoOnce) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    const std::string path = Path("full.csv");
    // The disk fills in the middle of the third line: the file ends with
    // the last whole one.
    platform.FailWritesAfter(path, std::string("Generation,Total Cells\r\n1,5\r\n2").size());
    Start(path);
    Steps(1);
    EXPECT_TRUE(platform.MessageTexts().empty());
    Steps(3);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{"Unable to write statistics to " + path +
                                       ": the disk is full. Recording has stopped."});
    EXPECT_FALSE(View()->Statistics().Recording());
    EXPECT_FALSE(OpenInProcess(path));
    EXPECT_EQ(View()->Simulation().Generation(), 4);
    EXPECT_EQ(Slurp(path), "Generation,Total Cells\r\n1,5\r\n");
}

TEST_F(Statistics, StopWhenNotRecordingDoesNothingAndStopThenStartTruncates) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    EXPECT_FALSE(platform.Command(ID_STATS_STOP));  // disabled
    View()->Statistics().OnStatsStop();
    EXPECT_FALSE(View()->Statistics().Recording());
    Start(Path("s.csv"));
    Steps(3);
    platform.Command(ID_STATS_STOP);
    Start(Path("s.csv"));
    Steps(1);
    EXPECT_EQ(Slurp(Path("s.csv")), "Generation,Total Cells\r\n4,5\r\n");
}

TEST_F(Statistics, BrowseTakesTheTypedNameAndUpdatesTheFreeSpaceOfTheChosenFolder) {
    app.OnFileNew();
    std::filesystem::create_directories(Path("sub"));
    platform.SetFreeSpace(Path("sub"), 2047);
    platform.ExpectDialog(IDD_SAVE_STATS, [&](DialogDriver& d) {
        // A document without a path offers just the extension.
        EXPECT_EQ(d.Text(IDC_STATS_FILENAME), ".csv.txt");
        d.Type(IDC_STATS_FILENAME, "typed.csv");
        d.Click(IDC_STATS_BROWSE);
        EXPECT_EQ(d.Text(IDC_STATS_FILENAME), Path("sub/b.txt"));
        EXPECT_EQ(d.Text(IDC_STATS_SPACE), "Space available: 1 KBytes");
        d.Click(IDOK);
    });
    platform.ExpectFileDialog(Path("sub/b.txt"));
    platform.Command(ID_STATS_START);
    EXPECT_TRUE(platform.ScriptErrors().empty());
    EXPECT_EQ(platform.FreeSpaceQueries(), (std::vector<std::string>{"", Path("sub")}));
    bool sawDialog = false;
    for (const std::string& line : platform.Transcript())
        if (line == "file dialog save \"typed.csv\" -> " + Path("sub/b.txt")) sawDialog = true;
    EXPECT_TRUE(sawDialog);
    EXPECT_TRUE(View()->Statistics().Recording());
    EXPECT_EQ(Slurp(Path("sub/b.txt")), "Generation,Total Cells\r\n");
}
