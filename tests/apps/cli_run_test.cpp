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
#include <set>
#include <sstream>
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
    // Runs the runner with args; before goes in front of it on the shell's
    // command line (a pipe into it, for one).
    RunResult Cli(const std::string& args, const std::string& before = std::string()) {
        const std::string errPath = Path("stderr.txt");
        const std::string command =
            before + std::string(CELLARIUM_CLI) + " " + args + " 2>" + errPath;
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

TEST_F(CliRun, UntilCycleAndIdentifyPrintTheirLinesAroundTheStatusLine) {
    Write("block.lif", kBlockFile);
    const std::string soup = "--soup 0.4:3 --size 150x150 ";
    const struct {
        std::string args, out;
    } cases[] = {
        {Sample("pentadecathlon.txt") + " --until-cycle --identify",
         "cycle: period 15 from generation 0\nG:00015 C:00012 B:00008 D:00012 Z:x1\n"
         "identify: oscillator period 15; population 12..40; box 16x9\n"},
        {Sample("spaceship.lif") + " --identify",
         "G:00000 C:00009 B:00000 D:00000 Z:x1\n"
         "identify: spaceship period 4 moving -2,0; population 9..12; box 5x4\n"},
        {Path("block.lif") + " --until-cycle --until-stagnation -g 50",
         "cycle: period 1 from generation 0\nG:00001 C:00004 B:00000 D:00000 Z:x1\n"},
        {soup + "--until-cycle",
         "cycle: period 6 from generation 2387\n" + Cli(soup + "-g 2393").out},
        {soup + "--until-cycle --until-stagnation -g 3000",
         "cycle: period 6 from generation 2387\n" + Cli(soup + "-g 2393").out},
        {soup + "--until-cycle -g 100", Cli(soup + "-g 100").out},
        {soup + "--until-cycle -q", ""},
    };
    for (const auto& c : cases) {
        RunResult r = Cli(c.args);
        EXPECT_EQ(r.status, 0) << c.args;
        EXPECT_EQ(r.out, c.out) << c.args;
        EXPECT_EQ(r.err, "") << c.args;
    }
}

TEST_F(CliRun, CensusSoupsAndPatterns) {
    // Soup 0 of the Life fixture's root: what the public census found in it.
    RunResult soup = Cli("--hash-soup l_GD3QBkvVkTvp:0 --census");
    EXPECT_EQ(soup.status, 0);
    EXPECT_EQ(soup.out,
              "G:00000 C:00123 B:00000 D:00000 Z:x1\n"
              "xs4_33 12\nxp2_7 9\nxs7_2596 2\nxs5_253 2\nxs6_696 1\nxq4_153 1\n");
    // -q keeps the census quiet too; without it the oscillator is named.
    RunResult osc = Cli(Sample("pentadecathlon.txt") + " --census -q");
    EXPECT_EQ(osc.status, 0);
    EXPECT_EQ(osc.out, "");
    RunResult named = Cli(Sample("pentadecathlon.txt") + " --census");
    EXPECT_NE(named.out.find("\nxp15_4r4z4r4 1\n"), std::string::npos) << named.out;
    RunResult both = Cli("--hash-soup r:1 --soup 0.5");
    EXPECT_EQ(both.status, 2);
    RunResult bad = Cli("--hash-soup nocolon");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("is not ROOT:INDEX"), std::string::npos) << bad.err;
}

TEST_F(CliRun, FailuresExitWithOneAndTheProgramsOwnMessages) {
    RunResult missing = Cli(Path("missing.lif") + " -g 3");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, Path("missing.lif") + " was not found.\n");

    Write("big.lif", "#Life 1.06\r\n0 0\r\n500 500\r\n");
    RunResult big = Cli("--size 150x150 " + Path("big.lif"));
    EXPECT_EQ(big.status, 1);
    EXPECT_EQ(big.err, PatternTooBigMessage(150, 150, 501, 501) + "\n");

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

TEST_F(CliRun, StandardInputIsReadToTheEndFromAFileOrAPipe) {
    // Far more bytes than one read of the document's buffer takes.
    std::string text = "#Life 1.06\r\n";
    int cells = 0;
    for (int y = -90; y <= 90; y += 2)
        for (int x = -90; x <= 90; x += 2, ++cells)
            text += std::to_string(x) + " " + std::to_string(y) + "\r\n";
    ASSERT_GT(text.size(), 50000u);
    const std::string file = Write("many.lif", text);

    RunResult path = Cli("--size 200x200 --cells " + file);
    ASSERT_EQ(path.status, 0) << path.err;
    char count[16];
    std::snprintf(count, sizeof count, " C:%05d ", cells);
    EXPECT_NE(path.out.find(count), std::string::npos) << count;
    RunResult redirected = Cli("--size 200x200 --cells - < " + file);
    EXPECT_EQ(redirected.status, 0) << redirected.err;
    EXPECT_EQ(redirected.out, path.out);
    RunResult piped = Cli("--size 200x200 --cells -", "cat " + file + " | ");
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, path.out);

    // Standard input that cannot be read: the program's own message, which
    // names it.
    RunResult closed = Cli("- <&-");
    EXPECT_EQ(closed.status, 1);
    EXPECT_EQ(closed.out, "");
    EXPECT_EQ(closed.err, "A disk error occurred while accessing standard input.\n");
}

namespace {

// The live cells of --cells output, without their values.
std::set<std::pair<int, int>> CellsOf(const std::string& out) {
    std::set<std::pair<int, int>> cells;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        int x = 0, y = 0, value = 0;
        if (std::sscanf(line.c_str(), "%d %d %d", &x, &y, &value) == 3) cells.insert({x, y});
    }
    return cells;
}

}  // namespace

TEST_F(CliRun, RuleOptionSetsTheRuleOnTheDocumentAfterLoading) {
    // HighLife's replicator: under B36/S23, twelve generations on it is two
    // copies of itself, two cells up-left and two down-right of where it was.
    const std::string shape = "2b3o$bo2bo$o3bo$o2bo$3o!\n";
    const std::string replicator = Write("replicator.rle", "x = 5, y = 5\n" + shape);
    RunResult start = Cli("--size 150x150 --cells " + replicator);
    RunResult high = Cli("--size 150x150 -g12 --rule B36/S23 --cells " + replicator);
    RunResult conway = Cli("--size 150x150 -g12 --cells " + replicator);
    ASSERT_EQ(high.status, 0) << high.err;
    ASSERT_EQ(conway.status, 0) << conway.err;
    std::set<std::pair<int, int>> copies;
    for (const auto& [x, y] : CellsOf(start.out)) {
        copies.insert({x - 2, y - 2});
        copies.insert({x + 2, y + 2});
    }
    ASSERT_EQ(copies.size(), 24u);
    EXPECT_EQ(CellsOf(high.out), copies);
    EXPECT_EQ(high.out.substr(high.out.size() - 37), "G:00012 C:00024 B:00012 D:00010 Z:x1\n");
    EXPECT_NE(CellsOf(conway.out), copies);

    // The desktop program with the same rule set on its document, as the
    // Rules dialog does, agrees on every cell value and the status line.
    SetBoardSize(150, 150);
    ASSERT_NE(Open(replicator), nullptr);
    Doc()->SetRule(Rule::Totalistic(0b1001000, 0b1100));
    for (int i = 0; i < 12; ++i) platform.Command(ID_TOOLS_STEP);
    std::string desktop;
    for (int y = 0; y < Board().height; ++y)
        for (int x = 0; x < Board().width; ++x)
            if (const int v = Board().At(x, y))
                desktop +=
                    std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(v) + "\n";
    EXPECT_EQ(high.out, desktop + Status() + "\n");

    // --rule replaces the rule the file itself gives.
    const std::string withRule =
        Write("replicator_highlife.rle", "x = 5, y = 5, rule = B36/S23\n" + shape);
    EXPECT_EQ(Cli("--size 150x150 -g12 --cells " + withRule).out, high.out);
    EXPECT_EQ(Cli("--size=150x150 -g 12 --rule=23/3 --cells " + withRule).out, conway.out);
}

TEST_F(CliRun, TheReadersNotesGoToStandardErrorAsFileInformationShowsThem) {
    // Placed partly off a 150 x 150 board, and written for a torus.
    const std::string moved = Write("moved.lif", "#Life 1.06\n80 0\n81 0\n82 0\n");
    const std::string torus = Write("torus.rle", "x = 3, y = 1, rule = B3/S23:T40,30\n3o!\n");
    for (const std::string& file : {moved, torus}) {
        SCOPED_TRACE(file);
        std::string note;
        SetBoardSize(150, 150);
        platform.ExpectDialog(IDD_FILE_INFO, [&note](DialogDriver& d) {
            note = d.Text(IDC_FI_NOTE);
            d.Click(IDOK);
        });
        ASSERT_NE(app.OpenDocumentFile(file), nullptr);
        ASSERT_FALSE(note.empty());
        const RunResult r = Cli("--size 150x150 " + file);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, note + "\n");
        EXPECT_EQ(r.out, "G:00000 C:00003 B:00000 D:00000 Z:x1\n");
        EXPECT_EQ(Cli("-q --size 150x150 " + file).err, "");
    }
}

TEST_F(CliRun, UsageErrorsExitWithTwoAndHelpWithZero) {
    RunResult help = Cli("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("Usage: cellarium-cli [OPTIONS] [PATTERN]", 0), 0u) << help.out;
    EXPECT_EQ(Cli("-h").out, help.out);

    for (const char* args :
         {"--size=149x800", "-g -5", "--soup 1.5", "--bogus", "-5", "-qz", "--quiet=yes",
          "--columns=births,births", "a.lif b.lif", "--help --bogus"}) {
        RunResult r = Cli(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        // One line saying what is wrong, then the help.
        EXPECT_EQ(r.err.rfind("cellarium-cli: ", 0), 0u) << args << ": " << r.err;
        EXPECT_NE(r.err.find("\n" + help.out), std::string::npos) << args << ": " << r.err;
    }

    RunResult usual = Cli("-g5 --size=1000x600 --soup=0.5:3 -q");
    EXPECT_EQ(usual.status, 0) << usual.err;
    EXPECT_EQ(usual.out, "");
    EXPECT_EQ(Cli("--generations=5 --size 1000x600 --soup 0.5:3").out,
              Cli("-g 5 --size 1000X600 --soup 0.5:3").out);
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

// --- Other programs' formats -------------------------------------------------

TEST_F(CliRun, SaveChoosesTheFormatByTheExtension) {
    const std::string soup = "--size 200x150 --soup 0.4:11 -g 20 --save ";
    const RunResult after25 = Cli("--size 200x150 --soup 0.4:11 -g 25");
    ASSERT_EQ(after25.status, 0) << after25.err;
    struct Case {
        const char* name;
        const char* starts;
    };
    for (const Case c :
         {Case{"s.rle", "#CXRLE Pos=-99,-74\r\nx = 198, y = 148, rule = B3/S23:P198,148\r\n"},
          Case{"S.RLE", "#CXRLE Pos="}, Case{"s.cells", "!Name: s\r\n"},
          Case{"s.txt", "#Life 1.05\r\n"}, Case{"s", "#Life 1.05\r\n"}}) {
        SCOPED_TRACE(c.name);
        const RunResult save = Cli(soup + Path(c.name));
        ASSERT_EQ(save.status, 0) << save.err;
        EXPECT_EQ(save.out.rfind("G:00020 C:", 0), 0u) << "the status line on stdout: " << save.out;
        const std::string written = Slurp(Path(c.name));
        EXPECT_EQ(written.rfind(c.starts, 0), 0u) << written.substr(0, 120);
        // Each reads back as the same board: the same counts five steps on.
        const RunResult b = Cli("--size 200x150 " + Path(c.name) + " -g 5");
        ASSERT_EQ(b.status, 0) << b.err;
        EXPECT_EQ(b.out.substr(7), after25.out.substr(7));
        std::filesystem::remove(Path(c.name));
    }
    // A file that cannot be written: the program's message and status 1.
    const RunResult bad = Cli(soup + Path("no-such-folder/s.rle"));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("s.rle"), std::string::npos) << bad.err;
}

TEST_F(CliRun, SaveToStandardOutputWritesOnlyThePatternThere) {
    const RunResult r = Cli("--size 200x150 --soup 0.4:12 -g 10 --save -");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("#CXRLE Pos=", 0), 0u);
    ASSERT_GE(r.out.size(), 3u);
    EXPECT_EQ(r.out.substr(r.out.size() - 3), "!\r\n");
    EXPECT_EQ(r.err.rfind("G:00010 C:", 0), 0u) << r.err;  // the status line, on stderr

    // Through a pipe into a second run: the same board as one longer run.
    const RunResult whole = Cli("--size 200x150 --soup 0.4:12 -g 17");
    const RunResult piped = Cli(
        "--size 200x150 - -g 7",
        std::string(CELLARIUM_CLI) + " --size 200x150 --soup 0.4:12 -g 10 --save - 2>/dev/null | ");
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out.substr(7), whole.out.substr(7));

    // Quiet: the pattern still, and nothing on stderr.
    const RunResult quiet = Cli("--size 200x150 --soup 0.4:12 -g 10 --save - -q");
    EXPECT_EQ(quiet.out, r.out);
    EXPECT_EQ(quiet.err, "");
}

// The saved RLE is a bounded plane for another Life program: bgolly runs it on
// to the population our own longer run reaches.
TEST_F(CliRun, BgollyContinuesASavedRunToTheSamePopulation) {
    const std::string bgolly = CELLARIUM_BGOLLY;
    if (bgolly.empty() || !std::filesystem::exists(bgolly))
        GTEST_SKIP() << "bgolly not found (Debian package golly): no peer to compare with";
    for (const char* size : {"200x150", "151x163"}) {
        SCOPED_TRACE(size);
        const std::string soup = std::string("--size ") + size + " --soup 0.35:21";
        const RunResult saved = Cli(soup + " -g 30 --save " + Path("in.rle"));
        ASSERT_EQ(saved.status, 0) << saved.err;
        const RunResult ours = Cli(soup + " -g 90");
        ASSERT_EQ(ours.status, 0) << ours.err;
        const int ourPopulation = std::stoi(ours.out.substr(ours.out.find("C:") + 2, 5));

        const std::string command = bgolly + " -m 60 -a QuickLife " + Path("in.rle");
        FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        std::array<char, 4096> buffer;
        for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
            out.append(buffer.data(), n);
        ASSERT_EQ(::pclose(pipe), 0) << out;
        // Lines "generation: population", the population with thousands
        // separators.
        const std::size_t at = out.find("\n60: ");
        ASSERT_NE(at, std::string::npos) << out;
        std::string digits;
        for (std::size_t i = at + 5; i < out.size() && out[i] != '\n'; ++i)
            if (std::isdigit(static_cast<unsigned char>(out[i]))) digits += out[i];
        ASSERT_FALSE(digits.empty()) << out;
        EXPECT_EQ(std::stoi(digits), ourPopulation);
    }
}

// A long description goes out as comment lines of at most 70 characters:
// bgolly reads a 30,000-character one as comments, not as cells.
TEST_F(CliRun, BgollyReadsALongDescriptionAsComments) {
    const std::string bgolly = CELLARIUM_BGOLLY;
    if (bgolly.empty() || !std::filesystem::exists(bgolly))
        GTEST_SKIP() << "bgolly not found (Debian package golly): no peer to compare with";
    std::string words;
    while (words.size() < 30000) words += "ooo bbb oo$ ";
    words.resize(30000);
    const std::string in = Write(
        "described.lif", "#Life 1.05\r\n#D " + words + "\r\n#P -1 -1\r\n.*.\r\n..*\r\n***\r\n");
    const RunResult saved = Cli("--size 200x200 " + in + " --save " + Path("out.rle"));
    ASSERT_EQ(saved.status, 0) << saved.err;
    const std::string rle = Slurp(Path("out.rle"));
    for (std::size_t start = 0, end; start < rle.size(); start = end + 2) {
        end = rle.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - start, 70u);
    }
    FILE* pipe = ::popen((bgolly + " -m 4 -a QuickLife " + Path("out.rle")).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    std::array<char, 4096> buffer;
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        out.append(buffer.data(), n);
    ASSERT_EQ(::pclose(pipe), 0) << out;
    // A glider keeps its five cells.
    EXPECT_NE(out.find("\n4: 5"), std::string::npos) << out;
}
