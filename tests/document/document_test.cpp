// Opening, cancelling, reloading and saving patterns as the user does.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <limits>

#include "formats/pattern_reader.h"
#include "formats/rule_notation.h"
#include "life_session.h"

using namespace cellarium;

namespace {

class Document : public LifeSession {
protected:
    // The document's rule.
    Rule RuleTables() { return Doc()->GetRule(); }
};

// Life 1.05 text that sets the rule 1/1 and then has rows enough to fail
// part-way through when the disk gives up.
std::string RuleThenRows() {
    std::string text = "#Life 1.05\r\n#R 1/1\r\n#P -10 -10\r\n";
    for (int row = 0; row < 20; ++row) text += "*.*.*.*.*.*.*.*.*.*.\r\n";
    return text;
}

}  // namespace

TEST_F(Document, OpenShowsFileInformationReadOnlyThenTheStatusLine) {
    const std::string path = Write("glider.lif", kGliderFile);
    platform.ExpectDialog(IDD_FILE_INFO, [&](DialogDriver& d) {
        EXPECT_EQ(d.Caption(), "File Information");
        EXPECT_EQ(d.Text(IDC_FI_FILENAME), path);
        EXPECT_EQ(d.Text(IDC_FI_DESCRIPTION), "A glider");
        EXPECT_EQ(d.Text(IDC_FI_RULES), "Rules: s23/b3 (Conway's Life)");
        EXPECT_EQ(d.Text(IDC_FI_BOARDSIZE), "Board size: 200 x 200");
        EXPECT_TRUE(d.ReadOnly(IDC_FI_FILENAME));
        EXPECT_TRUE(d.ReadOnly(IDC_FI_DESCRIPTION));
        // The wait cursor of the open is gone while the dialog shows.
        EXPECT_FALSE(platform.WaitCursorShown());
        d.Click(IDOK);
    });
    CLifeDoc* doc = dynamic_cast<CLifeDoc*>(app.OpenDocumentFile(path));
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(platform.ScriptErrors().empty());
    EXPECT_EQ(doc->GetPathName(), path);
    EXPECT_EQ(Board().liveCount, 5);
    EXPECT_EQ(Board().At(100, 99), 1);
    EXPECT_EQ(doc->ScratchBoard()->description, "A glider");
    EXPECT_EQ(Status(), "G:00000 C:00005 B:00000 D:00000 Z:x1");
    // The status strip: text shown, Erase and Edit Mode hidden.
    CDialogBar* strip = platform.Bar(IDD_STATUS_STRIP);
    EXPECT_TRUE(strip->IsControlVisible(IDC_STATUS_TEXT));
    EXPECT_FALSE(strip->IsControlVisible(IDC_ERASE));
    EXPECT_FALSE(strip->IsControlVisible(IDC_EDIT_MODE_LABEL));
}

TEST_F(Document, RulesFromTheFileAppearInFileInformation) {
    platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_FI_RULES), "Rules: s23/b38 (Unnamed)");
        d.Click(IDOK);
    });
    app.OpenDocumentFile(Write("r.lif", "#Life 1.05\r\n#R 23/38\r\n#P 0 0\r\n*\r\n"));
    EXPECT_TRUE(platform.ScriptErrors().empty());
}

TEST_F(Document, CancelledFileInformationLeavesThePreviousPatternUntouched) {
    const std::string first = Write("block.lif", kBlockFile);
    ASSERT_NE(Open(first), nullptr);
    CLifeDoc* doc = Doc();
    const CellBoard* boardBefore = doc->CurrentBoard();

    // Another pattern with other rules and another description; cancelled.
    const std::string second =
        Write("other.lif", "#Life 1.05\r\n#D Other\r\n#R 1/1\r\n#P -5 -5\r\n*****\r\n");
    EXPECT_EQ(Open(second, false), nullptr);
    EXPECT_EQ(Doc(), doc);
    EXPECT_EQ(doc->GetPathName(), first);
    EXPECT_EQ(doc->GetDescription(), "A block");
    EXPECT_EQ(doc->CurrentBoard(), boardBefore);
    EXPECT_EQ(Board().liveCount, 4);
    EXPECT_EQ(Board().At(99, 99), 1);
    EXPECT_EQ(Board().At(95, 95), 0);
    EXPECT_TRUE(doc->GetRule() == Rule());

    // A later Save writes the block back to its own file, not the other one.
    platform.Command(ID_FILE_SAVE);
    EXPECT_EQ(Slurp(first), "#Life 1.05\r\n#D A block\r\n#R 23/3\r\n#P -1 -1\r\n**\r\n**\r\n");
    EXPECT_EQ(Slurp(second), "#Life 1.05\r\n#D Other\r\n#R 1/1\r\n#P -5 -5\r\n*****\r\n");
}

TEST_F(Document, AFailedOpenOrReloadLeavesTheRuleTablesAsTheyWere) {
    // HighLife, from the file; each file below sets the rule 1/1 before it
    // fails, and Conway's is what a read starts from.
    const std::string path =
        Write("highlife.lif", "#Life 1.05\r\n#R 23/36\r\n#P -1 -1\r\n**\r\n**\r\n");
    ASSERT_NE(Open(path), nullptr);
    ASSERT_EQ(FormatRuleText(Doc()->GetRule()), "s23/b36");
    const auto highLife = RuleTables();

    // Open: too big for the board.
    platform.ClearLog();
    EXPECT_EQ(Open(Write("big.lif", "#Life 1.05\r\n#R 1/1\r\n#P -150 0\r\n*\r\n#P 150 0\r\n*\r\n")),
              nullptr);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{PatternTooBigMessage(200, 200, 301, 1)});
    EXPECT_TRUE(RuleTables() == highLife);

    // Open: a disk error after the rule line.
    const std::string broken = Write("broken.lif", RuleThenRows());
    platform.FailReadsAfter(broken, 100);
    platform.ClearLog();
    EXPECT_EQ(Open(broken), nullptr);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{"A disk error occurred while accessing " + broken + "."});
    EXPECT_TRUE(RuleTables() == highLife);

    // Open: read in full, its rule shown in File Information, then Cancel.
    std::string shownRules;
    platform.ExpectDialog(IDD_FILE_INFO, [&](DialogDriver& d) {
        shownRules = d.Text(IDC_FI_RULES);
        d.Click(IDCANCEL);
    });
    EXPECT_EQ(app.OpenDocumentFile(Write("other.lif", RuleThenRows())), nullptr);
    EXPECT_NE(shownRules.find("s1/b1"), std::string::npos) << shownRules;
    EXPECT_TRUE(RuleTables() == highLife);

    // Reload: the file no longer fits.
    EXPECT_EQ(Doc()->GetPathName(), path);
    Write("highlife.lif", "#Life 1.05\r\n#R 1/1\r\n#P -150 0\r\n*\r\n#P 150 0\r\n*\r\n");
    platform.ClearLog();
    platform.Command(ID_FILE_RELOAD);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{PatternTooBigMessage(200, 200, 301, 1)});
    EXPECT_TRUE(RuleTables() == highLife);

    // Reload: a disk error after the rule line.
    Write("highlife.lif", RuleThenRows());
    platform.FailReadsAfter(path, 100);
    platform.ClearLog();
    platform.Command(ID_FILE_RELOAD);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{"A disk error occurred while accessing " + path + "."});
    EXPECT_TRUE(RuleTables() == highLife);
    EXPECT_EQ(Board().liveCount, 4);

    // With the disk working again the same Reload takes the file's rule.
    platform.FailReadsAfter(path, std::numeric_limits<uint64_t>::max());
    platform.ClearLog();
    platform.Command(ID_FILE_RELOAD);
    EXPECT_TRUE(platform.MessageTexts().empty());
    EXPECT_EQ(FormatRuleText(Doc()->GetRule()), "s1/b1");
    EXPECT_EQ(Board().liveCount, 200);
}

// What the reader did or could not keep is one line each in File
// Information: the move that brought the pattern onto the board, the grid
// its file was written for. A file that needs neither shows no line.
TEST_F(Document, FileInformationSaysHowThePatternWasMovedAndWhatGridItWasFor) {
    std::string note = "unset";
    auto keepNote = [&](DialogDriver& d) {
        note = d.Text(IDC_FI_NOTE);
        d.Click(IDOK);
    };
    platform.ExpectDialog(IDD_FILE_INFO, keepNote);
    ASSERT_NE(
        app.OpenDocumentFile(Write("off.rle",
                                   "#CXRLE Pos=-130,90\r\nx = 3, y = 3, rule = B3/S23:T50,50\r\n"
                                   "bo$2bo$3o!\r\n")),
        nullptr);
    EXPECT_EQ(note,
              "Moved 31 columns right to fit the board.\r\n"
              "Written for a torus (T50,50): this board has a dead border instead.");
    EXPECT_EQ(Board().liveCount, 5);
    EXPECT_EQ(Board().At(2, 190), 1);
    platform.ExpectDialog(IDD_FILE_INFO, keepNote);
    ASSERT_NE(app.OpenDocumentFile(Write("glider.lif", kGliderFile)), nullptr);
    EXPECT_EQ(note, "");
    EXPECT_TRUE(platform.ScriptErrors().empty());
}

TEST_F(Document, MissingFileIsReportedAndThePreviousPatternStays) {
    const std::string first = Write("block.lif", kBlockFile);
    ASSERT_NE(Open(first), nullptr);
    platform.ClearLog();
    EXPECT_EQ(Open(Path("missing.lif")), nullptr);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{Path("missing.lif") + " was not found."});
    EXPECT_TRUE(platform.DialogsShown().empty());
    EXPECT_EQ(Doc()->GetPathName(), first);
    EXPECT_EQ(Board().liveCount, 4);

    // A folder is no pattern file either.
    platform.ClearLog();
    EXPECT_EQ(Open(dir.string()), nullptr);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{dir.string() + " cannot be accessed."});
    EXPECT_EQ(Doc()->GetPathName(), first);
}

TEST_F(Document, PatternTooBigShowsOnlyTheReadersMessageAndFails) {
    SetBoardSize(150, 150);
    // Two Life 1.06 cells further apart than a 150 x 150 board: the message
    // gives both sizes.
    EXPECT_EQ(Open(Write("big.lif", "#Life 1.06\r\n0 0\r\n500 500\r\n")), nullptr);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{PatternTooBigMessage(150, 150, 501, 501)});
    EXPECT_TRUE(platform.DialogsShown().empty());
    // It was the first pattern: the file selection screen stays up, with
    // nothing behind it.
    EXPECT_TRUE(platform.FileListShown());
    ASSERT_NE(Doc(), nullptr);
    EXPECT_FALSE(Doc()->HasBoards());
}

TEST_F(Document, NewDocumentHasTwoDeadBoardsAndKeepsTheRules) {
    app.OnFileNew();
    const Rule highLife = Rule::Totalistic(0b1001000, 0b1100);
    Doc()->SetRule(highLife);
    app.OnFileNew();
    ASSERT_NE(Doc(), nullptr);
    EXPECT_TRUE(Doc()->HasBoards());
    EXPECT_EQ(Board().liveCount, 0);
    EXPECT_EQ(Board().width, 200);
    EXPECT_EQ(Doc()->GetDescription(), "");
    EXPECT_TRUE(Doc()->GetRule() == highLife);
    EXPECT_EQ(Status(), "G:00000 C:00000 B:00000 D:00000 Z:x1");
}

TEST_F(Document, BoardSizeSettingsAreClampedAndTakeEffectAtTheNextOpen) {
    ASSERT_NE(OpenText("block.lif", kBlockFile), nullptr);
    EXPECT_EQ(Board().width, 200);
    SetBoardSize(20, 99999);
    EXPECT_EQ(Board().width, 200);  // existing boards stay
    platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_FI_BOARDSIZE), "Board size: 150 x 10000");
        d.Click(IDOK);
    });
    app.OpenDocumentFile(Path("block.lif"));
    EXPECT_EQ(Board().width, 150);
    EXPECT_EQ(Board().height, 10000);
    EXPECT_EQ(Doc()->ScratchBoard()->height, 10000);
}

TEST_F(Document, DescriptionIsKeptOnBothBoardsAcrossSteps) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    for (int i = 0; i < 3; ++i) platform.Command(ID_TOOLS_STEP);
    EXPECT_EQ(Doc()->GetDescription(), "A glider");
    Doc()->SetDescription("Renamed");
    platform.Command(ID_TOOLS_STEP);
    EXPECT_EQ(Doc()->GetDescription(), "Renamed");
    EXPECT_EQ(Doc()->ScratchBoard()->description, "Renamed");
}

TEST_F(Document, EditDescriptionIsEditableAndOnlyOkChangesIt) {
    app.OnFileNew();
    platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_FI_FILENAME), "New File");
        EXPECT_FALSE(d.ReadOnly(IDC_FI_DESCRIPTION));
        EXPECT_TRUE(d.ReadOnly(IDC_FI_FILENAME));
        d.Type(IDC_FI_DESCRIPTION, "Typed");
        d.Type(IDC_FI_FILENAME, "ignored");
        d.Click(IDCANCEL);
    });
    platform.Command(ID_FILE_EDIT_DESCRIPTION);
    EXPECT_EQ(Doc()->GetDescription(), "");
    platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) {
        d.Type(IDC_FI_DESCRIPTION, "Typed");
        d.Click(IDOK);
    });
    platform.Command(ID_FILE_EDIT_DESCRIPTION);
    EXPECT_EQ(Doc()->GetDescription(), "Typed");
    EXPECT_EQ(Doc()->ScratchBoard()->description, "Typed");
    EXPECT_EQ(Doc()->GetPathName(), "");
    // A new description is a change the file does not hold yet.
    EXPECT_TRUE(Doc()->IsModified());
}

TEST_F(Document, SaveWritesTheCurrentBoardWhicheverOfTheTwoItIs) {
    ASSERT_NE(OpenText("blinker.lif", kBlinkerFile), nullptr);
    platform.Command(ID_TOOLS_STEP);  // the vertical phase, in the other board
    platform.ExpectFileDialog(Path("saved.lif"));
    platform.Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(Slurp(Path("saved.lif")), "#Life 1.05\r\n\r\n#R 23/3\r\n#P 0 -1\r\n*\r\n*\r\n*\r\n");
    EXPECT_EQ(Doc()->GetPathName(), Path("saved.lif"));
    // Only the pattern and the saved file are left, the latter readable like
    // any plainly created file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);
    const mode_t mask = umask(0);
    umask(mask);
    struct stat st {};
    ASSERT_EQ(stat(Path("saved.lif").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);

    // A file of the user's that carries the first temporary name is left
    // alone.
    Write("again.lif.tmp-1", "mine");
    platform.ExpectFileDialog(Path("again.lif"));
    platform.Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(Slurp(Path("again.lif.tmp-1")), "mine");
    EXPECT_EQ(Slurp(Path("again.lif")), Slurp(Path("saved.lif")));
    EXPECT_FALSE(std::filesystem::exists(Path("again.lif.tmp-2")));
}

TEST_F(Document, FailedSaveReportsAndLeavesTheOldFileWhole) {
    const std::string path = Write("block.lif", kBlockFile);
    ASSERT_NE(Open(path), nullptr);
    platform.Command(ID_TOOLS_STEP);
    // The disk fills up after a few bytes of the new file.
    platform.FailWritesAfter(path, 10);
    platform.ClearLog();
    platform.Command(ID_FILE_SAVE);
    EXPECT_EQ(
        platform.MessageTexts(),
        std::vector<std::string>{"There is not enough space on the disk to save " + path + "."});
    EXPECT_EQ(Slurp(path), kBlockFile);
    // Nothing was left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);

    // A name in a folder that does not exist: the standard save report.
    platform.ClearLog();
    platform.ExpectFileDialog(Path("no/such/folder/x.lif"));
    platform.Command(ID_FILE_SAVE_AS);
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{Path("no/such/folder/x.lif") +
                                                                " contains an invalid path."});
    EXPECT_EQ(Doc()->GetPathName(), path);
}

TEST_F(Document, ReloadBringsBackGenerationZeroAndTheFilesRulesWithoutADialog) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    for (int i = 0; i < 7; ++i) platform.Command(ID_TOOLS_STEP);
    Doc()->SetRule(Rule::Totalistic(0b100001000, 0b1100));
    Doc()->SetModifiedFlag(false);
    platform.ClearLog();
    platform.Command(ID_FILE_RELOAD);
    EXPECT_TRUE(platform.DialogsShown().empty());
    EXPECT_TRUE(Doc()->GetRule() == Rule());
    EXPECT_EQ(Board().At(100, 99), 1);
    EXPECT_EQ(Board().At(101, 100), 1);
    EXPECT_EQ(Board().liveCount, 5);
    EXPECT_EQ(View()->Simulation().Generation(), 0);
}

TEST_F(Document, ReloadOfARemovedOrNoLongerFittingFileKeepsTheRunningPattern) {
    const std::string path = Write("glider.lif", kGliderFile);
    ASSERT_NE(Open(path), nullptr);
    for (int i = 0; i < 4; ++i) platform.Command(ID_TOOLS_STEP);
    std::vector<uint8_t> before(Board().Cells(), Board().Cells() + Board().CellCount());
    const std::string lastCounts = Status().substr(Status().find(" B:"));

    std::filesystem::remove(path);
    platform.ClearLog();
    platform.Command(ID_FILE_RELOAD);
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{path + " was not found."});
    EXPECT_TRUE(std::equal(before.begin(), before.end(), Board().Cells()));
    // The counter restarts; births and deaths stay those of the last step.
    EXPECT_EQ(Status(), "G:00000 C:00005" + lastCounts);

    // A file that no longer fits the (smaller) board: the reader's message,
    // the running pattern stays.
    Write("glider.lif", "#Life 1.06\r\n0 0\r\n190 90\r\n");
    SetBoardSize(150, 150);
    platform.ClearLog();
    platform.Command(ID_FILE_RELOAD);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{PatternTooBigMessage(150, 150, 191, 91)});
    EXPECT_EQ(Board().width, 200);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), Board().Cells()));
}

TEST_F(Document, CellsThatCannotBeAllocatedEndTheProgramAfterTheMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address-space limits do not mix with the address sanitizer";
#else
    ASSERT_NE(OpenText("block.lif", kBlockFile), nullptr);
    SetBoardSize(10000, 10000);
    // Leave too little address space for a 100-million-cell board.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &old), 0);
    std::ifstream statm("/proc/self/statm");
    unsigned long pages = 0;
    statm >> pages;
    rlimit tight = old;
    tight.rlim_cur = rlim_t(pages) * 4096 + (64u << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    platform.ClearLog();
    platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) { d.Click(IDOK); });
    CDocument* opened = app.OpenDocumentFile(Path("block.lif"));
    setrlimit(RLIMIT_AS, &old);

    EXPECT_EQ(opened, nullptr);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{
                  "Unable to allocate memory for the cells.  You could close some programs, or "
                  "use the Tools menu at the file selection screen to choose a smaller board "
                  "size."});
    EXPECT_TRUE(platform.QuitRequested());
    EXPECT_TRUE(app.Ending());
    // The confirmed exit takes the same way out.
#endif
}

TEST_F(Document, ExitCompletelyEndsOnlyAfterConfirmationAndExitDoesNothing) {
    ASSERT_NE(OpenText("block.lif", kBlockFile), nullptr);
    EXPECT_TRUE(platform.Command(ID_APP_EXIT));
    EXPECT_FALSE(platform.QuitRequested());
    platform.ExpectMessageBox(IDCANCEL, "Are you sure you want to quit completely?");
    platform.Command(ID_EXIT_COMPLETELY);
    EXPECT_FALSE(platform.QuitRequested());
    platform.ExpectMessageBox(IDOK, "Are you sure you want to quit completely?");
    platform.Command(ID_EXIT_COMPLETELY);
    EXPECT_TRUE(platform.QuitRequested());
    EXPECT_TRUE(platform.ScriptErrors().empty());
}

TEST(StartUp, AFileNamedOnTheCommandLineIsOpenedAndAFailureFallsBackToNew) {
    ResetPalettesForStart();
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("cellarium-startup-block-" + std::to_string(::getpid()) + ".lif"))
                                 .string();
    {
        std::ofstream out(path, std::ios::binary);
        out << kBlockFile;
    }
    {
        HeadlessPlatform platform;
        CLifeApp app(platform, {path});
        platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) { d.Click(IDOK); });
        app.InitInstance();
        ASSERT_NE(app.GetDocTemplate()->GetDocument(), nullptr);
        EXPECT_EQ(app.GetDocTemplate()->GetDocument()->GetPathName(), path);
    }
    std::filesystem::remove(path);
    {
        HeadlessPlatform platform;
        CLifeApp app(platform, {path});
        app.InitInstance();
        EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{path + " was not found."});
        EXPECT_FALSE(platform.FileListShown());
        CDocument* doc = app.GetDocTemplate()->GetDocument();
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(doc->GetPathName(), "");
        EXPECT_EQ(static_cast<CLifeDoc*>(doc)->CurrentBoard()->width, 800);
    }
}
