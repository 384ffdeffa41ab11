// What a desktop user expects of opening and saving: a pattern just opened
// starts at generation 0 however it was opened, the file list offers Recent,
// Open Other and Cancel, Save writes the format the name asks for, and no
// change is lost without a question.
#include <algorithm>
#include <functional>

#include "document/life_session.h"

using namespace cellarium;

namespace {

const char* const kRleGlider = "#C A glider\r\nx = 3, y = 3, rule = B3/S23\r\nbo$2bo$3o!\r\n";

class Conventions : public LifeSession {
protected:
    // The glider, run for n generations by the timer and left running.
    void RunGlider(int n) {
        ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
        platform.Command(ID_TOOLS_RUN);
        Tick(n);
        ASSERT_TRUE(View()->IsRunning());
    }
    std::vector<uint8_t> Cells() const {
        return std::vector<uint8_t>(Board().Cells(), Board().Cells() + Board().CellCount());
    }
    // Answers the next File Information with OK around act.
    void Confirmed(const std::function<void()>& act) {
        platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) { d.Click(IDOK); });
        act();
        for (const std::string& e : platform.ScriptErrors()) ADD_FAILURE() << e;
        platform.ClearScript();
    }
};

TEST_F(Conventions, EveryWayOfOpeningStartsAtGenerationZeroPaused) {
    const std::string acorn =
        Write("acorn.lif", "#Life 1.05\r\n#P 0 0\r\n.*\r\n...*\r\n**..***\r\n");
    const struct {
        const char* way;
        std::function<void()> open;
    } ways[] = {
        {"file list",
         [&] {
             Confirmed([&] {
                 platform.Command(ID_FILE_OPEN);
                 platform.ChooseFromFileList(acorn);
             });
         }},
        {"open other",
         [&] {
             platform.Command(ID_FILE_OPEN);
             platform.ExpectFileDialog(acorn);
             platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) { d.Click(IDOK); });
             platform.FileListOpenOther();
         }},
        {"drop or command line",
         [&] {
             Confirmed([&] {
                 CCommandLineInfo info;
                 app.ParseCommandLine({acorn}, info);
                 app.ProcessShellCommand(info);
             });
         }},
        {"new", [&] { platform.CtrlKey('N'); }},
        {"paste",
         [&] {
             Confirmed([&] {
                 platform.SetClipboardText(kBlockFile);
                 platform.Command(ID_PASTE_NEW);
             });
         }},
    };
    for (const auto& w : ways) {
        SCOPED_TRACE(w.way);
        platform.ClearLog();
        RunGlider(5);
        // Unsaved changes are not the point here.
        Doc()->SetModifiedFlag(false);
        w.open();
        EXPECT_FALSE(View()->IsRunning());
        EXPECT_EQ(Status().substr(0, 7), "G:00000");
        EXPECT_NE(Status().find("B:00000 D:00000"), std::string::npos) << Status();
        platform.Command(ID_FILE_SAVE);  // an untitled paste asks and is cancelled
    }
}

TEST_F(Conventions, ABoardRunAfterAnotherPatternIsByteForByteTheBoardRunAlone) {
    const std::string a = Write("a.lif", kGliderFile);
    const std::string b = Write("b.lif", "#Life 1.05\r\n#P 0 0\r\n.*\r\n...*\r\n**..***\r\n");
    auto run = [&](int n) {
        for (int i = 0; i < n; ++i) platform.Command(ID_TOOLS_STEP);
    };
    ASSERT_NE(Open(a), nullptr);
    run(300);
    ASSERT_NE(Open(b), nullptr);
    run(100);
    const std::vector<uint8_t> afterA = Cells();
    ASSERT_NE(Open(b), nullptr);
    run(100);
    EXPECT_TRUE(afterA == Cells());
    // Cells born in the last step carry its generation's low byte plus one.
    EXPECT_NE(std::find(afterA.begin(), afterA.end(), uint8_t(100)), afterA.end());
}

TEST_F(Conventions, StatisticsOfANewlyOpenedPatternStartAtGenerationOne) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    const std::string stats = Path("stats.csv");
    platform.ExpectDialog(IDD_SAVE_STATS, [&](DialogDriver& d) {
        d.Type(IDC_STATS_FILENAME, stats);
        d.Click(IDOK);
    });
    platform.Command(ID_STATS_START);
    for (int i = 0; i < 5; ++i) platform.Command(ID_TOOLS_STEP);
    ASSERT_NE(OpenText("blinker.lif", kBlinkerFile), nullptr);
    platform.Command(ID_TOOLS_STEP);
    platform.Command(ID_STATS_STOP);
    const std::string text = Slurp(stats);
    EXPECT_EQ(text.substr(text.rfind("\r\n", text.size() - 3) + 2), "1,3\r\n") << text;
}

// Changes mark the document and its title; nothing but an open resets the
// generation.
TEST_F(Conventions, EachKindOfChangeMarksTheTitleAndKeepsTheGeneration) {
    const struct {
        const char* what;
        bool change;
        std::function<void()> act;
    } acts[] = {
        {"draw", true,
         [&] {
             platform.Command(ID_TOOLS_EDIT);
             platform.LButtonDown(*View(), CPoint{20, 20});
             platform.Command(ID_TOOLS_EDIT);
         }},
        {"description", true,
         [&] {
             platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) {
                 d.Type(IDC_FI_DESCRIPTION, "Mine");
                 d.Click(IDOK);
             });
             platform.Command(ID_FILE_EDIT_DESCRIPTION);
         }},
        {"rules", true,
         [&] {
             platform.ExpectDialog(IDD_RULES, [](DialogDriver& d) {
                 d.Select(IDC_RULES_LIST, "Highlife");
                 d.Click(IDOK);
             });
             platform.Command(ID_FILE_EDIT_RULES);
         }},
        {"rotate", true, [&] { platform.Command(ID_CELLS_ROTATE_LEFT); }},
        {"center", true, [&] { platform.Command(ID_CELLS_CENTER); }},
        {"palette", false, [&] { platform.Command(ID_COLORS_BLUE); }},
        {"zoom", false, [&] { platform.Command(ID_ZOOM_IN); }},
        {"run", false,
         [&] { platform.Command(ID_TOOLS_RUN), Tick(4), platform.Command(ID_TOOLS_PAUSE); }},
    };
    for (const auto& a : acts) {
        SCOPED_TRACE(a.what);
        ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
        EXPECT_EQ(platform.FrameTitle(), "glider.lif - Life");
        for (int i = 0; i < 3; ++i) platform.Command(ID_TOOLS_STEP);
        // Four ticks of a run are four generations more.
        const std::string generation = a.what == std::string("run") ? "G:00007" : "G:00003";
        a.act();
        EXPECT_EQ(Doc()->IsModified(), a.change);
        EXPECT_EQ(platform.FrameTitle(), a.change ? "glider.lif* - Life" : "glider.lif - Life");
        EXPECT_EQ(Status().substr(0, 7), generation);
        // Saved: the mark goes, the count stays.
        platform.Command(ID_FILE_SAVE);
        EXPECT_EQ(platform.FrameTitle(), "glider.lif - Life");
        EXPECT_EQ(Status().substr(0, 7), generation);
    }
}

TEST_F(Conventions, EveryWayOfLeavingAChangedPatternAsksFirst) {
    const std::string other = Write("other.lif", kBlinkerFile);
    const std::vector<std::pair<const char*, std::function<void()>>> leaves = {
        {"new", [&] { platform.CtrlKey('N'); }},
        {"open",
         [&] {
             platform.Command(ID_FILE_OPEN);
             platform.ChooseFromFileList(other);
         }},
        {"drop", [&] { app.OpenDocumentFile(other); }},
        {"reload", [&] { platform.Command(ID_FILE_RELOAD); }},
        {"close", [&] { platform.CloseMainWindow(); }},
        {"exit completely", [&] { platform.Command(ID_EXIT_COMPLETELY); }},
    };
    const std::string glider = Write("glider.lif", kGliderFile);
    for (const auto& [what, leave] : leaves) {
        SCOPED_TRACE(what);
        platform.ClearScript();
        platform.ClearLog();
        if (platform.FileListShown()) platform.FileListCancel();
        Doc()->SetModifiedFlag(false);  // the last round's cancelled change
        ASSERT_NE(Open(glider), nullptr);
        platform.Command(ID_CELLS_ROTATE_LEFT);
        const std::vector<uint8_t> rotated = Cells();
        // Cancel: everything stays as it was.
        platform.ExpectMessageBox(IDCANCEL, "Save changes to glider.lif?");
        leave();
        for (const std::string& e : platform.ScriptErrors()) ADD_FAILURE() << e;
        EXPECT_EQ(platform.PendingExpectations(), 0u);
        EXPECT_FALSE(platform.QuitRequested());
        EXPECT_TRUE(Doc()->IsModified());
        EXPECT_TRUE(Cells() == rotated);
        EXPECT_EQ(Slurp(glider), kGliderFile);
    }
    // Yes saves, and goes on only once saved.
    platform.ExpectMessageBox(IDYES, "Save changes to glider.lif?");
    platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) { d.Click(IDOK); });
    app.OpenDocumentFile(other);
    EXPECT_NE(Slurp(glider), kGliderFile);
    EXPECT_EQ(Doc()->GetPathName(), other);
}

TEST_F(Conventions, SaveWritesTheFormatTheNameAsks) {
    const struct {
        const char* name;
        const char* begins;
    } cases[] = {{"g.rle", "#C A glider"},
                 {"g.cells", "!Name: g"},
                 {"g.lif", "#Life 1.05"},
                 {"g.txt", "#Life 1.05"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(OpenText(c.name, kRleGlider), nullptr);
        platform.Command(ID_CELLS_ROTATE_LEFT);
        platform.Command(ID_FILE_SAVE);
        const std::string saved = Slurp(Path(c.name));
        EXPECT_EQ(saved.rfind(c.begins, 0), 0u) << saved;
        // Read back: the glider.
        ASSERT_NE(Open(Path(c.name)), nullptr);
        EXPECT_EQ(Board().liveCount, 5);
    }
}

TEST_F(Conventions, SaveAsAndExportProposeNamesOfTheirOwnKind) {
    app.m_strDocumentsFolder = Path("mine");
    app.m_strSamplesFolder = Path("samples");
    std::filesystem::create_directories(Path("samples"));
    const struct {
        std::string opened;
        std::string saveAs, filterFirst, exported;
    } cases[] = {
        {Write("gun.rle", kRleGlider), Path("gun.rle"), "RLE files (*.rle)|*.rle|",
         Path("gun.rle")},
        {Write("g.lif", kGliderFile), Path("g.lif"), "Life files (*.lif)|*.lif|", Path("g.rle")},
        {Write("samples/s.lif", kGliderFile), Path("mine/s.lif"), "Life files", Path("mine/s.rle")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.opened);
        ASSERT_NE(Open(c.opened), nullptr);
        const std::size_t before = platform.FileDialogRequests().size();
        platform.Command(ID_FILE_SAVE_AS);
        platform.Command(ID_EXPORT_RLE);
        ASSERT_EQ(platform.FileDialogRequests().size(), before + 2);
        const FileDialogRequest& saveAs = platform.FileDialogRequests()[before];
        EXPECT_EQ(saveAs.fileName, c.saveAs);
        EXPECT_EQ(saveAs.filter.rfind(c.filterFirst, 0), 0u) << saveAs.filter;
        EXPECT_EQ(platform.FileDialogRequests()[before + 1].fileName, c.exported);
    }
    // Save on a sample asks where, in the user's folder.
    platform.Command(ID_FILE_SAVE);
    EXPECT_EQ(platform.FileDialogRequests().back().fileName, Path("mine/s.lif"));
}

TEST_F(Conventions, APasteIsAnUntitledNewPattern) {
    app.m_strDocumentsFolder = Path("mine");
    platform.SetClipboardText(kBlockFile);
    platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) { d.Click(IDOK); });
    platform.Command(ID_PASTE_NEW);
    EXPECT_EQ(Doc()->GetPathName(), "");
    EXPECT_EQ(platform.FrameTitle(), "Paste* - Life");
    EXPECT_FALSE(Frame()->QueryCommandState(ID_FILE_RELOAD).m_bEnabled);
    // Save is Save As into the user's folder.
    std::filesystem::create_directories(Path("mine"));
    platform.ExpectFileDialog(Path("mine/Paste.lif"));
    platform.Command(ID_FILE_SAVE);
    EXPECT_EQ(platform.FileDialogRequests().back().fileName, Path("mine/Paste.lif"));
    EXPECT_EQ(Doc()->GetPathName(), Path("mine/Paste.lif"));
    EXPECT_EQ(Slurp(Path("mine/Paste.lif")).find('\0'), std::string::npos);
    EXPECT_TRUE(Frame()->QueryCommandState(ID_FILE_RELOAD).m_bEnabled);

    // Text with no live cell: said so, and the pattern stays.
    platform.SetClipboardText("#Life 1.05\r\n#D nothing here\r\n");
    platform.ExpectMessageBox(IDOK, "The clipboard holds no pattern.");
    platform.Command(ID_PASTE_NEW);
    EXPECT_TRUE(platform.ScriptErrors().empty());
    EXPECT_EQ(Board().liveCount, 4);
    EXPECT_EQ(Doc()->GetPathName(), Path("mine/Paste.lif"));
}

TEST_F(Conventions, RecentHoldsTheLastEightOpenedMissingOnesDropped) {
    std::vector<std::string> paths;
    for (int i = 0; i < 10; ++i) {
        paths.push_back(Write("p" + std::to_string(i) + ".lif", kBlockFile));
        ASSERT_NE(Open(paths.back()), nullptr);
    }
    std::filesystem::remove(paths[8]);
    platform.Command(ID_FILE_OPEN);
    const std::vector<std::string> expected = {paths[9], paths[7], paths[6], paths[5],
                                               paths[4], paths[3], paths[2]};
    EXPECT_EQ(platform.FileList().recent, expected);
    EXPECT_TRUE(platform.FileList().canCancel);
    // A recent entry opens as any entry of the list, and heads it again.
    Confirmed([&] { platform.ChooseFromFileList(paths[4]); });
    platform.Command(ID_FILE_OPEN);
    EXPECT_EQ(platform.FileList().recent.front(), paths[4]);
}

TEST_F(Conventions, TheFileListTellsAFileTooBigForTheBoardFromOneThatCannotBeRead) {
    SetBoardSize(150, 150);
    platform.Command(ID_FILE_OPEN);
    ASSERT_TRUE(platform.FileList().makePicture);
    const auto picture = [&](const std::string& name, const std::string& bytes) {
        return platform.FileList().makePicture(Write(name, bytes));
    };
    const FilePicture glider = picture("glider.lif", kGliderFile);
    EXPECT_TRUE(glider.readable);
    EXPECT_FALSE(glider.tooBig);
    EXPECT_EQ(glider.cellsWide, 3);
    // 201 x 2 cells on a board with room for 148 x 148.
    const FilePicture wide = picture("wide.lif", "#Life 1.06\n-100 0\n100 1\n");
    EXPECT_FALSE(wide.readable);
    EXPECT_TRUE(wide.tooBig);
    EXPECT_EQ(std::make_pair(wide.cellsWide, wide.cellsHigh), std::make_pair(201, 2));
    EXPECT_EQ(std::make_pair(wide.boardWide, wide.boardHigh), std::make_pair(150, 150));
    // A rule of another kind: no pattern this program runs, and it says why.
    const FilePicture other = picture("gen.rle", "x = 1, y = 1, rule = 345/3/6\no!\n");
    EXPECT_FALSE(other.readable);
    EXPECT_FALSE(other.tooBig);
    EXPECT_NE(other.problem.find("'345/3/6'"), std::string::npos) << other.problem;
    EXPECT_FALSE(platform.FileList().makePicture(Path("missing.lif")).tooBig);
}

TEST_F(Conventions, CancelOnTheFileListReturnsToThePatternAsItWas) {
    // Nothing open yet: Cancel does nothing.
    ASSERT_TRUE(platform.FileListShown());
    EXPECT_FALSE(platform.FileList().canCancel);
    platform.FileListCancel();
    EXPECT_TRUE(platform.FileListShown());

    RunGlider(12);
    platform.Command(ID_ZOOM_IN);
    const std::string status = Status();
    const CPoint scroll = View()->GetScrollPosition();
    const std::vector<uint8_t> cells = Cells();
    platform.Command(ID_FILE_OPEN);
    EXPECT_FALSE(View()->IsRunning());  // the list pauses the run behind it
    Tick(50);
    platform.FileListCancel();
    EXPECT_FALSE(platform.FileListShown());
    EXPECT_EQ(Status(), status);
    EXPECT_EQ(View()->GetScrollPosition(), scroll);
    EXPECT_TRUE(Cells() == cells);
}

}  // namespace
