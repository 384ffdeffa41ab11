// Hostile pattern files opened and reloaded as a user would: each gives a
// clear message or its defined result, the program keeps running, and a
// failed open or reload leaves the pattern that was there untouched.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include "formats/pattern_reader.h"
#include "formats/rule_notation.h"
#include "life_session.h"

using namespace cellarium;

namespace {

class HostileInput : public LifeSession {
protected:
    // Opens a glider as the pattern that must survive every failure below.
    void OpenGlider() {
        ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
        before_.assign(Board().Cells(), Board().Cells() + Board().CellCount());
        platform.ClearLog();
    }
    // The glider, its path and its description are still the document's.
    void ExpectGliderKept() {
        ASSERT_NE(Doc(), nullptr);
        EXPECT_EQ(Doc()->GetPathName(), Path("glider.lif"));
        EXPECT_EQ(Doc()->GetDescription(), "A glider");
        EXPECT_EQ(Board().liveCount, 5);
        EXPECT_TRUE(std::equal(before_.begin(), before_.end(), Board().Cells()));
        EXPECT_FALSE(platform.QuitRequested());
    }
    // The cells a load or step left agree with the live count. (Rows that
    // run past the right edge may leave cells on the border: that is where
    // they land, and the step leaves the border alone.)
    void ExpectSoundBoard() {
        const CellBoard& b = Board();
        const auto live =
            std::count_if(b.Cells(), b.Cells() + b.CellCount(), [](uint8_t v) { return v != 0; });
        EXPECT_EQ(live, b.liveCount);
    }
    std::vector<std::string> TooBig() const { return {PatternTooBigMessage(200, 200)}; }
    std::vector<std::string> TooBig(int64_t width, int64_t height) const {
        return {PatternTooBigMessage(200, 200, width, height)};
    }
    // One message of the reader's: too big, or a refusal of what the bytes
    // spell (a rule, or cells of more states).
    bool OneReadersMessage() const {
        const std::vector<std::string> texts = platform.MessageTexts();
        return texts.size() == 1 &&
               (texts[0].rfind(PatternTooBigMessage(200, 200), 0) == 0 ||
                texts[0].find("which Cellarium cannot run: it runs "
                              "two-state rules of the Life family.") != std::string::npos);
    }

    std::vector<uint8_t> before_;
};

}  // namespace

TEST_F(HostileInput, EmptyFileAndFilesOfNothingButNulBytesOpenAsEmptyBoards) {
    OpenGlider();
    ASSERT_NE(OpenText("empty.lif", ""), nullptr);
    EXPECT_EQ(Board().liveCount, 0);
    EXPECT_EQ(Doc()->GetDescription(), "");
    EXPECT_EQ(FormatRuleText(Doc()->GetRule()), "s23/b3");
    EXPECT_TRUE(platform.MessageTexts().empty());

    ASSERT_NE(OpenText("nuls.lif", std::string(100000, '\0')), nullptr);
    EXPECT_EQ(Board().liveCount, 0);
    EXPECT_TRUE(platform.MessageTexts().empty());
}

TEST_F(HostileInput, NulBytesInADescriptionSurviveASaveAndAReload) {
    const std::string text("#Life 1.05\r\n#D a\0b\r\n#P -1 -1\r\n*\0*\r\n**\r\n", 40);
    ASSERT_NE(OpenText("nul.lif", text), nullptr);
    EXPECT_EQ(Doc()->GetDescription(), std::string("a\0b", 3));
    const int32_t live = Board().liveCount;
    EXPECT_GE(live, 3);
    ExpectSoundBoard();

    platform.ExpectFileDialog(Path("copy.lif"));
    platform.Command(ID_FILE_SAVE_AS);
    ASSERT_NE(Open(Path("copy.lif")), nullptr);
    EXPECT_EQ(Doc()->GetDescription(), std::string("a\0b", 3));
    EXPECT_EQ(Board().liveCount, live);
}

TEST_F(HostileInput, BinaryGarbageLoadsWhatItSpellsOrFailsWithTheReadersMessage) {
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        OpenGlider();
        std::string bytes(4096 + round * 997, '\0');
        for (char& c : bytes) c = char(random());
        CLifeDoc* doc = OpenText("garbage.bin", bytes);
        if (doc == nullptr) {
            EXPECT_TRUE(OneReadersMessage()) << "round " << round;
            ExpectGliderKept();
        } else {
            EXPECT_TRUE(platform.MessageTexts().empty()) << "round " << round;
            ExpectSoundBoard();
        }
        // Whatever came of it, the program goes on stepping.
        EXPECT_TRUE(platform.Command(ID_TOOLS_STEP));
        ExpectSoundBoard();
    }
}

TEST_F(HostileInput, FiftyMegabyteLines) {
    OpenGlider();
    const std::size_t size = 50u << 20;
    // Cells without a line end run on through the rows and off the board.
    EXPECT_EQ(OpenText("cells.lif", "#Life 1.05\r\n" + std::string(size, '*')), nullptr);
    EXPECT_EQ(platform.MessageTexts(), TooBig(int64_t(size), 1));
    ExpectGliderKept();
    std::filesystem::remove(Path("cells.lif"));

    // A description line of 50 MB is cut, with a note, to the longest
    // description kept; the pattern loads, and a save writes the cut one.
    std::string text = "#Life 1.05\r\n#D ";
    text.append(size, 'd');
    text += "\r\n#P -1 -1\r\n**\r\n**\r\n";
    ASSERT_NE(OpenText("long.lif", text), nullptr);
    const std::string description = Doc()->GetDescription();
    EXPECT_EQ(description.size(), kMaxDescriptionBytes);
    EXPECT_TRUE(description.compare(description.size() - DescriptionCutNote().size(),
                                    std::string::npos, DescriptionCutNote()) == 0);
    EXPECT_EQ(Board().liveCount, 4);
    platform.Command(ID_FILE_SAVE);
    EXPECT_LT(Slurp(Path("long.lif")).size(), 2 * kMaxDescriptionBytes);
    ASSERT_NE(OpenText("long.lif", Slurp(Path("long.lif"))), nullptr);
    const std::string again = Doc()->GetDescription();
    EXPECT_LE(again.size(), kMaxDescriptionBytes);
    EXPECT_TRUE(again.size() > DescriptionCutNote().size() &&
                again.compare(again.size() - DescriptionCutNote().size(), std::string::npos,
                              DescriptionCutNote()) == 0);
}

TEST_F(HostileInput, TwentyDigitCountsAndCoordinatesAreTooBigNotWrappedAround) {
    const std::string huge = "99999999999999999999";
    const std::vector<std::string> files = {
        "#Life 1.05\r\n#P " + huge + " 0\r\n*\r\n",
        "#Life 1.05\r\n#P 0 -" + huge + "\r\n*\r\n",
        "#Life 1.06\r\n" + huge + " " + huge + "\r\n",
        "#Life 1.06\r\n-" + huge + " 0\r\n",
        "x = 3, y = 3\r\n" + huge + "o!\r\n",
        "x = 3, y = 3\r\n" + huge + "$o!\r\n",
        "x = " + huge + ", y = " + huge + "\r\no!\r\n",
        // 2^64 + 1 cells: wraps to 1 in 64-bit arithmetic.
        "x = 3, y = 3\r\n18446744073709551617o!\r\n",
    };
    for (const std::string& file : files) {
        OpenGlider();
        EXPECT_EQ(OpenText("digits.lif", file), nullptr) << file;
        EXPECT_EQ(platform.MessageTexts(), TooBig()) << file;
        ExpectGliderKept();
    }
    // A count before "!" is not used, however long.
    ASSERT_NE(OpenText("bang.rle", "x = 3, y = 1\r\n3o" + huge + "!\r\n"), nullptr);
    EXPECT_EQ(Board().liveCount, 3);
}

TEST_F(HostileInput, PositionsFarOffTheBoardMoveThePatternOnButLargerPatternsAreTooBig) {
    // Patterns that fit, however far off their files place them: moved onto
    // the board, whole.
    const std::vector<std::pair<std::string, int>> moved = {
        {"#Life 1.05\r\n#P 5000 5000\r\n*\r\n", 1},
        {"#Life 1.05\r\n#P -5000 -5000\r\n*\r\n", 1},
        {"#Life 1.06\r\n0 0\r\n0 -150\r\n", 2},
        {"#Life 1.06\r\n2147483647 2147483647\r\n", 1},
        {"#Life 1.06\r\n-2147483648 -2147483648\r\n", 1},
        {"x = 300, y = 300, rule = B3/S23\r\nbo$2bo$3o!\r\n", 5},
        {"x = 200, y = 210\r\no!\r\n", 1},
        // Into the border, on each side of the 200 x 200 board.
        {"#Life 1.05\r\n#P -100 0\r\n*\r\n", 1},
        {"#Life 1.05\r\n#P 99 0\r\n*\r\n", 1},
        {"#Life 1.05\r\n#P 0 -100\r\n*\r\n", 1},
        {"#Life 1.05\r\n#P 0 99\r\n*\r\n", 1},
    };
    for (const auto& [file, cells] : moved) {
        OpenGlider();
        ASSERT_NE(OpenText("far.lif", file), nullptr) << file;
        EXPECT_TRUE(platform.MessageTexts().empty()) << file;
        EXPECT_EQ(Board().liveCount, cells) << file;
        ExpectSoundBoard();
        const CellBoard& b = Board();
        for (int i = 0; i < b.width; ++i)
            EXPECT_TRUE(!b.At(i, 0) && !b.At(i, b.height - 1) && !b.At(0, i) &&
                        !b.At(b.width - 1, i))
                << file;
    }
    // Larger than the interior: too big, with the sizes.
    const std::vector<std::pair<std::string, std::pair<int, int>>> big = {
        {"x = 300, y = 3\r\n300o!\r\n", {300, 1}},
        {"#Life 1.06\r\n0 0\r\n0 -250\r\n", {1, 251}},
        {"x = 3, y = 300\r\no199$o!\r\n", {1, 200}},
    };
    for (const auto& [file, size] : big) {
        OpenGlider();
        EXPECT_EQ(OpenText("far.lif", file), nullptr) << file;
        EXPECT_EQ(platform.MessageTexts(), TooBig(size.first, size.second)) << file;
        ExpectGliderKept();
        // The file's rule did not stay behind either.
        EXPECT_EQ(FormatRuleText(Doc()->GetRule()), "s23/b3");
    }
    // The whole interior, from edge to edge, fits.
    ASSERT_NE(OpenText("wide.rle", "x = 198, y = 3\r\n198o!\r\n"), nullptr);
    EXPECT_EQ(Board().liveCount, 198);
    ExpectSoundBoard();
}

// A rule text longer than any rule is refused, named by its start, and the
// reader stops there.
TEST_F(HostileInput, AMegabyteRuleLineIsRefusedAndNamedByItsStart) {
    std::string text = "#Life 1.05\r\n#R ";
    text.append(1u << 20, '2');
    text += "/";
    text.append(1u << 20, 'x');
    text += "36\r\n#P 0 0\r\n*\r\n";
    OpenGlider();
    EXPECT_EQ(OpenText("rule.lif", text), nullptr);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{CannotRunRuleMessage(std::string(60, '2') + "...")});
    ExpectGliderKept();
    EXPECT_EQ(OpenText("letters.lif", "#R " + std::string(1u << 20, 'S') + "\r\n"), nullptr);
    EXPECT_EQ(FormatRuleText(Doc()->GetRule()), "s23/b3");
}

TEST_F(HostileInput, UnreadableFilesAreReportedAndThePatternStays) {
    OpenGlider();
    const std::string path = Write("locked.lif", kBlockFile);
    platform.RefuseOpen(path);
    EXPECT_EQ(Open(path), nullptr);
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{path + " cannot be accessed."});
    EXPECT_TRUE(platform.DialogsShown().empty());
    ExpectGliderKept();

    // The real thing, where the file system enforces it.
    if (::geteuid() != 0) {
        const std::string real = Write("mode000.lif", kBlockFile);
        std::filesystem::permissions(real, std::filesystem::perms::none);
        platform.ClearLog();
        EXPECT_EQ(Open(real), nullptr);
        EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{real + " cannot be accessed."});
        ExpectGliderKept();
    }
}

TEST_F(HostileInput, ADiskErrorInTheMiddleOfAPatternIsNotTakenForItsEnd) {
    // 40 000 bytes of rows; the disk gives up after 20 000.
    std::string text = "#Life 1.05\r\n#P -50 -50\r\n";
    for (int row = 0; row < 100; ++row) text += std::string(98, row % 2 ? '*' : '.') + "\r\n";
    const std::string path = Write("half.lif", text);
    OpenGlider();
    platform.FailReadsAfter(path, 5000);
    EXPECT_EQ(Open(path), nullptr);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{"A disk error occurred while accessing " + path + "."});
    ExpectGliderKept();

    // The same on Reload: the running pattern stays.
    platform.FailReadsAfter(Path("glider.lif"), 10);
    platform.ClearLog();
    platform.Command(ID_FILE_RELOAD);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{"A disk error occurred while accessing " +
                                       Path("glider.lif") + "."});
    ExpectGliderKept();
}

TEST_F(HostileInput, APatternReplacedByAFolderBeforeReloadKeepsTheRunningPattern) {
    OpenGlider();
    for (int i = 0; i < 3; ++i) platform.Command(ID_TOOLS_STEP);
    std::vector<uint8_t> running(Board().Cells(), Board().Cells() + Board().CellCount());
    std::filesystem::remove(Path("glider.lif"));
    std::filesystem::create_directory(Path("glider.lif"));
    platform.ClearLog();
    platform.Command(ID_FILE_RELOAD);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{Path("glider.lif") + " cannot be accessed."});
    EXPECT_TRUE(std::equal(running.begin(), running.end(), Board().Cells()));
    EXPECT_EQ(Doc()->GetDescription(), "A glider");
    // The pair still steps as a pair: the glider glides on, nothing else
    // comes to life.
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(platform.Command(ID_TOOLS_STEP));
    EXPECT_EQ(Board().liveCount, 5);
    ExpectSoundBoard();
    // The failed reload restarted the generation count, as any Reload does.
    EXPECT_EQ(Status().substr(0, 15), "G:00008 C:00005");
}

TEST_F(HostileInput, ReloadReusesTheTwoBoardsInsteadOfMakingAThird) {
    // On the largest boards a third board is 100 MB more: a reload reads
    // into the scratch board and swaps, whether it succeeds or fails.
    OpenGlider();
    platform.Command(ID_TOOLS_STEP);
    const CellBoard* a = Doc()->CurrentBoard();
    const CellBoard* b = Doc()->ScratchBoard();
    platform.Command(ID_FILE_RELOAD);
    ExpectGliderKept();
    EXPECT_TRUE((Doc()->CurrentBoard() == a && Doc()->ScratchBoard() == b) ||
                (Doc()->CurrentBoard() == b && Doc()->ScratchBoard() == a));
    EXPECT_EQ(Doc()->ScratchBoard()->description, "A glider");

    Write("glider.lif", "#Life 1.06\r\n0 0\r\n500 500\r\n");
    platform.Command(ID_FILE_RELOAD);
    EXPECT_EQ(platform.MessageTexts(), TooBig(501, 501));
    ExpectGliderKept();
    EXPECT_TRUE((Doc()->CurrentBoard() == a && Doc()->ScratchBoard() == b) ||
                (Doc()->CurrentBoard() == b && Doc()->ScratchBoard() == a));
    EXPECT_EQ(Doc()->ScratchBoard()->description, "A glider");
    EXPECT_EQ(Doc()->ScratchBoard()->liveCount, 0);
}

using FailingDisk = HostileInput;

TEST_F(FailingDisk, SavingToAFullDeviceIsReportedAndTheProgramGoesOn) {
    OpenGlider();
    platform.ExpectFileDialog("/dev/full");
    platform.Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{"There is not enough space on the disk to save /dev/full."});
    // The device is still a device (not a file renamed over it), and nothing
    // was left beside it.
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    EXPECT_FALSE(std::filesystem::exists("/dev/full.tmp-1"));
    ExpectGliderKept();
    EXPECT_TRUE(platform.Command(ID_TOOLS_STEP));
}

TEST_F(FailingDisk, SavingThroughALinkReplacesTheFileItPointsAt) {
    OpenGlider();
    const std::string real = Write("real.lif", kBlockFile);
    std::filesystem::create_symlink(real, Path("link.lif"));
    platform.ExpectFileDialog(Path("link.lif"));
    platform.Command(ID_FILE_SAVE_AS);
    EXPECT_TRUE(platform.MessageTexts().empty());
    EXPECT_TRUE(std::filesystem::is_symlink(Path("link.lif")));
    EXPECT_NE(Slurp(real), kBlockFile);
    EXPECT_NE(Slurp(real).find("#D A glider"), std::string::npos);

    // A failed save through the link leaves the file it points at whole.
    const std::string saved = Slurp(real);
    platform.Command(ID_TOOLS_STEP);
    platform.FailWritesAfter(Path("link.lif"), 10);
    platform.ClearLog();
    platform.Command(ID_FILE_SAVE);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{"There is not enough space on the disk to save " +
                                       Path("link.lif") + "."});
    EXPECT_EQ(Slurp(real), saved);
    EXPECT_TRUE(std::filesystem::is_symlink(Path("link.lif")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 3);
}

// What stands in the way of an open or a save, as another user or a slip
// may leave it: a pipe or a device is no pattern and is refused at once (no
// wait for a writer that never comes); a link loop is refused for opening and
// saving alike; another user's link in a shared sticky folder is never
// followed, whatever the system's own protection says, while the user's own
// link there still leads to its file.
TEST_F(HostileInput, PipesDevicesLoopsAndOtherUsersLinksAreRefusedWithAMessage) {
    OpenGlider();
    const std::string fifo = Path("pipe.lif");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string loop = Path("loop.lif");
    std::filesystem::create_symlink("loop.lif", loop);
    const std::string nowhere = loop + " is a link that leads nowhere usable; not followed.";
    const std::pair<std::string, std::string> opens[] = {
        {fifo, fifo + " is a pipe, not a file."},
        {"/dev/zero", "/dev/zero is a device, not a file."},
        {loop, nowhere},
    };
    for (const auto& [path, message] : opens) {
        platform.ClearLog();
        EXPECT_EQ(Open(path), nullptr) << path;
        EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{message});
        ExpectGliderKept();
    }
    platform.ClearLog();
    platform.ExpectFileDialog(loop);
    platform.Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{nowhere});
    EXPECT_TRUE(std::filesystem::is_symlink(loop));

    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to make a link another user owns";
    const std::string shared = Path("shared");
    std::filesystem::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const std::string victim = Write("victim", "root's");
    const std::string bait = shared + "/out.lif";
    std::filesystem::create_symlink(victim, bait);
    ASSERT_EQ(::lchown(bait.c_str(), 65534, 65534), 0);
    platform.ClearLog();
    platform.ExpectFileDialog(bait);
    platform.Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{bait + " is a link owned by another user; not followed."});
    platform.ExpectFileDialog(bait);
    platform.Command(ID_SAVE_AS_IMAGE);
    EXPECT_EQ(Slurp(victim), "root's");
    EXPECT_TRUE(std::filesystem::is_symlink(bait));
    // The saving user's own link in the same folder is followed.
    const std::string mine = shared + "/mine.lif";
    std::filesystem::create_symlink(victim, mine);
    platform.ClearLog();
    platform.ExpectFileDialog(mine);
    platform.Command(ID_FILE_SAVE_AS);
    EXPECT_TRUE(platform.MessageTexts().empty());
    EXPECT_NE(Slurp(victim).find("#D A glider"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_symlink(mine));
}
