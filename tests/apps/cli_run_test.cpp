// The runner against the program driven as a user: the same status line and
// byte-identical statistics files, and the runner's exit codes and messages.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "../document/life_session.h"
#include "colour/gif_writer.h"
#include "formats/pattern_reader.h"

using namespace cellarium;

namespace {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

class CliRun : public LifeSession {
protected:
    RunResult Cli(const std::string& args) {
        const std::string errPath = Path("stderr.txt");
        const std::string command = std::string(CELLARIUM_CLI) + " " + args + " 2>" + errPath;
        RunResult r;
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) return r;
        std::array<char, 4096> buffer;
        std::size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            r.out.append(buffer.data(), n);
        const int raw = ::pclose(pipe);
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.err = Slurp(errPath);
        return r;
    }
    static std::string Sample(const char* name) {
        return std::string(CELLARIUM_SAMPLES) + "/" + name;
    }

    // The desktop program's way: open, Start with the columns, Step n times,
    // Stop. Returns the status line.
    std::string Desktop(const std::string& pattern, const std::string& stats, StatsColumns columns,
                        int steps) {
        SetBoardSize(800, 800);
        EXPECT_NE(Open(pattern), nullptr);
        platform.ExpectDialog(IDD_SAVE_STATS, [&](DialogDriver& d) {
            d.Type(IDC_STATS_FILENAME, stats);
            d.SetCheck(IDC_STATS_GENERATION, columns.generation);
            d.SetCheck(IDC_STATS_TOTAL, columns.total);
            d.SetCheck(IDC_STATS_BIRTHS, columns.births);
            d.SetCheck(IDC_STATS_DEATHS, columns.deaths);
            d.Click(IDOK);
        });
        platform.Command(ID_STATS_START);
        for (int i = 0; i < steps; ++i) platform.Command(ID_TOOLS_STEP);
        platform.Command(ID_STATS_STOP);
        return Status() + "\n";
    }
};

}  // namespace

TEST_F(CliRun, GunStatisticsAndStatusLineMatchTheDesktopByteForByte) {
    const std::string gun = Sample("glider_gun.rle");
    RunResult r = Cli(gun + " -g 500 --stats " + Path("cli.csv") +
                      " --columns generation,total,births,deaths");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string status =
        Desktop(gun, Path("desktop.csv"), StatsColumns{true, true, true, true}, 500);
    EXPECT_EQ(r.out, status);
    const std::string file = Slurp(Path("cli.csv"));
    EXPECT_EQ(file, Slurp(Path("desktop.csv")));
    EXPECT_EQ(file.substr(0, 38), "Generation,Total Cells,Births,Deaths\r\n");
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 501);
}

TEST_F(CliRun, RunningUntilStagnationWritesWhatSteppingWrites) {
    const std::string acorn = Sample("acorn.lif");
    RunResult stepped = Cli(acorn + " -g 60 --stats " + Path("stepped.csv"));
    RunResult ran = Cli(acorn + " -g 60 --until-stagnation --stats " + Path("ran.csv"));
    ASSERT_EQ(stepped.status, 0) << stepped.err;
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, stepped.out);
    EXPECT_EQ(Slurp(Path("ran.csv")), Slurp(Path("stepped.csv")));
    EXPECT_EQ(Slurp(Path("ran.csv")).substr(0, 26), "Generation,Total Cells\r\n1,");
}

TEST_F(CliRun, UntilStagnationStopsAfterTheFirstStillStep) {
    Write("block.lif", kBlockFile);
    RunResult r = Cli(Path("block.lif") + " -g 1000 --until-stagnation");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "G:00001 C:00004 B:00000 D:00000 Z:x1\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(CliRun, FailuresExitWithOneAndTheProgramsOwnMessages) {
    RunResult missing = Cli(Path("missing.lif") + " -g 3");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, Path("missing.lif") + " was not found.\n");

    Write("big.lif", "#Life 1.06\r\n0 0\r\n500 500\r\n");
    RunResult big = Cli("--size 150x150 " + Path("big.lif"));
    EXPECT_EQ(big.status, 1);
    EXPECT_EQ(big.err, PatternTooBigMessage(150, 150) + "\n");

    Write("block.lif", kBlockFile);
    RunResult stats = Cli(Path("block.lif") + " -g 2 --stats " + Path("no/dir/s.csv"));
    EXPECT_EQ(stats.status, 1);
    EXPECT_EQ(stats.err, Path("no/dir/s.csv") + "\nUnable to open file for writing\n");

    RunResult usage = Cli("--columns generation,speed");
    EXPECT_EQ(usage.status, 2);
}

TEST_F(CliRun, SoupSaveAndStandardInput) {
    RunResult soup = Cli("--size 200x150 --soup 0.5:7 -g 20 --save " + Path("soup.lif"));
    ASSERT_EQ(soup.status, 0) << soup.err;
    // The saved board reads back as the same pattern: the same status line
    // after as many further steps.
    RunResult a = Cli("--size 200x150 --soup 0.5:7 -g 25");
    RunResult b = Cli("--size 200x150 " + Path("soup.lif") + " -g 5");
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(a.out.substr(7), b.out.substr(7));  // all but the generation

    RunResult in = Cli("- -g 1 < " + Write("b.lif", kBlockFile));
    EXPECT_EQ(in.status, 0) << in.err;
    EXPECT_EQ(in.out, "G:00001 C:00004 B:00000 D:00000 Z:x1\n");
}

TEST_F(CliRun, PaletteAndImageAreTheDesktopsByteForByte) {
    const std::string map = std::string(CELLARIUM_TEST_DATA) + "/palette/dead_colour_repeated.map";
    RunResult r =
        Cli(Sample("glider_gun.rle") + " -g 30 --palette " + map + " --gif " + Path("cli.gif"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    // The desktop: open, step 30 times, load the palette file, save the image.
    SetBoardSize(800, 800);
    ASSERT_NE(Open(Sample("glider_gun.rle")), nullptr);
    platform.ExpectFileDialog(map);
    platform.Command(ID_LOAD_CUSTOM_COLORS);
    for (int i = 0; i < 30; ++i) platform.Command(ID_TOOLS_STEP);
    platform.ExpectFileDialog(Path("desktop.gif"));
    platform.Command(ID_SAVE_AS_IMAGE);
    EXPECT_EQ(r.out, Status() + "\n");
    const std::string image = Slurp(Path("desktop.gif"));
    ASSERT_GT(image.size(), 800u);
    EXPECT_EQ(Slurp(Path("cli.gif")), image);

    // A named palette is the same command as on the menu.
    r = Cli(Sample("glider_gun.rle") + " -g 30 --palette bw --gif " + Path("cli.gif"));
    ASSERT_EQ(r.status, 0) << r.err;
    platform.Command(ID_COLORS_BW);
    platform.ExpectFileDialog(Path("desktop.gif"));
    platform.Command(ID_SAVE_AS_IMAGE);
    EXPECT_EQ(Slurp(Path("cli.gif")), Slurp(Path("desktop.gif")));
}

TEST_F(CliRun, PaletteFileAndImageFailuresExitWithOneAndAMessage) {
    RunResult map = Cli("--size 150x150 --palette " + Path("missing.map"));
    EXPECT_EQ(map.status, 1);
    EXPECT_EQ(map.out, "");
    EXPECT_NE(map.err.find(Path("missing.map")), std::string::npos) << map.err;

    RunResult gif = Cli("--size 150x150 --gif " + Path("no/dir/x.gif"));
    EXPECT_EQ(gif.status, 1);
    EXPECT_EQ(gif.out, "");
    EXPECT_EQ(gif.err, ImageExportFailedMessage(Path("no/dir/x.gif"), kGifCannotCreate) + "\n");
}
