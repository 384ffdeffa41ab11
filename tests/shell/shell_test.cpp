// The application shell as the user meets it: start-up with and without a
// file, the file selection screen, Board Size, About, help and leaving the
// program.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "document/help_page.h"
#include "document/life_session.h"
#include "shell/board_size_dlg.h"

using namespace cellarium;

namespace {

class Shell : public LifeSession {
protected:
    std::optional<int> Stored(const char* key) const {
        return platform.Setting(std::string(kCompanyKey) + "\\Life\\Size\\" + key);
    }
    bool StripShown() const {
        CDialogBar* strip = platform.Bar(IDD_STATUS_STRIP);
        return strip != nullptr && strip->IsBarVisible();
    }
    // Board Size with the two fields typed and OK pressed; returns whether
    // the dialog closed, and where the focus went when it did not.
    bool BoardSizeOk(const std::string& width, const std::string& height, int* focus = nullptr,
                     std::string* message = nullptr) {
        bool closed = false;
        platform.ClearLog();
        platform.ExpectDialog(IDD_BOARD_SIZE, [&](DialogDriver& d) {
            d.Type(IDC_BOARD_WIDTH, width);
            d.Type(IDC_BOARD_HEIGHT, height);
            d.Click(IDOK);
            closed = !d.IsOpen();
            if (focus != nullptr) *focus = platform.LastFocus().second;
            if (!closed) d.Click(IDCANCEL);
        });
        platform.Command(ID_BOARD_SIZE);
        if (message != nullptr)
            *message =
                platform.MessageTexts().empty() ? std::string() : platform.MessageTexts().front();
        return closed;
    }
};

std::string MenuCaptions(const MenuTemplate* menu) {
    std::string out;
    if (menu == nullptr) return out;
    for (const MenuItem& top : menu->items) {
        out += top.caption + ":";
        for (const MenuItem& item : top.children) out += " " + item.caption;
        out += ";";
    }
    return out;
}

}  // namespace

// --- Start-up and the file selection screen --------------------------------

TEST_F(Shell, StartsAtTheFileListWithItsMenuAndTheStatusStripHidden) {
    EXPECT_TRUE(platform.FileListShown());
    ASSERT_FALSE(platform.Transcript().empty());
    EXPECT_EQ(platform.Transcript().front(),
              "file list Life Files|*.lif|XLife Files|*.l|| in All Folders");
    EXPECT_FALSE(StripShown());
    const CommandBarDesc& bar = platform.FileListCommandBar();
    ASSERT_NE(bar.menu, nullptr);
    EXPECT_EQ(bar.menu->id, IDR_FILELIST_MENU);
    EXPECT_EQ(MenuCaptions(bar.menu),
              "Paste: Paste from Clipboard to New File;Tools: About Life... Change board size...;");
    EXPECT_EQ(bar.toolbar, nullptr);
    EXPECT_EQ(bar.tooltips, std::vector<std::string>{"Single Step"});
    // Nothing is open yet: no boards behind the list.
    ASSERT_NE(Doc(), nullptr);
    EXPECT_FALSE(Doc()->HasBoards());
    EXPECT_EQ(Doc()->GetPathName(), "");
}

TEST_F(Shell, OpeningFromTheFileListClosesItAndShowsTheStatusStrip) {
    const std::string path = Write("glider.lif", kGliderFile);
    // A file that cannot be read keeps the list up.
    EXPECT_FALSE(platform.ChooseFromFileList(Path("missing.lif")));
    EXPECT_TRUE(platform.FileListShown());
    EXPECT_FALSE(StripShown());

    platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) { d.Click(IDOK); });
    EXPECT_TRUE(platform.ChooseFromFileList(path));
    EXPECT_FALSE(platform.FileListShown());
    EXPECT_TRUE(StripShown());
    EXPECT_EQ(platform.FileListCommandBar().menu, nullptr);
    EXPECT_EQ(Status(), "G:00000 C:00005 B:00000 D:00000 Z:x1");

    // Open (Ctrl+O) brings the list back over the pattern.
    EXPECT_TRUE(platform.Command(ID_FILE_OPEN));
    EXPECT_TRUE(platform.FileListShown());
    EXPECT_FALSE(StripShown());
    EXPECT_EQ(Board().liveCount, 5);
}

TEST(ShellStart, AFileOnTheCommandLineIsOpenedWithoutTheFileList) {
    HeadlessPlatform platform;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("cellarium-ShellStart-commandline-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "glider.lif").string();
    {
        std::ofstream out(path, std::ios::binary);
        out << kGliderFile;
    }
    CLifeApp app(platform, {path});
    bool informed = false;
    platform.ExpectDialog(IDD_FILE_INFO, [&](DialogDriver& d) {
        informed = d.Text(IDC_FI_FILENAME) == path;
        d.Click(IDOK);
    });
    EXPECT_TRUE(app.InitInstance());
    EXPECT_TRUE(informed);
    EXPECT_FALSE(platform.FileListShown());
    auto* doc = dynamic_cast<CLifeDoc*>(app.GetDocTemplate()->GetDocument());
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetPathName(), path);
    EXPECT_EQ(doc->CurrentBoard()->liveCount, 5);
    EXPECT_TRUE(platform.Bar(IDD_STATUS_STRIP)->IsBarVisible());
    std::filesystem::remove_all(dir);
}

// --- Board Size -----------------------------------------------------------------

TEST_F(Shell, BoardSizeShowsTheSettingsAndDefaultFillsInEightHundredWithoutClosing) {
    platform.ExpectDialog(IDD_BOARD_SIZE, [](DialogDriver& d) {
        EXPECT_EQ(d.Caption(), "Board Size");
        EXPECT_EQ(d.Text(IDC_BOARD_WIDTH), "200");
        EXPECT_EQ(d.Text(IDC_BOARD_HEIGHT), "200");
        d.Click(IDC_BOARD_DEFAULT);
        EXPECT_TRUE(d.IsOpen());
        EXPECT_EQ(d.Text(IDC_BOARD_WIDTH), "800");
        EXPECT_EQ(d.Text(IDC_BOARD_HEIGHT), "800");
        d.Click(IDCANCEL);
    });
    EXPECT_TRUE(platform.Command(ID_BOARD_SIZE));
    EXPECT_TRUE(platform.ScriptErrors().empty());
    // Cancel after Default stored nothing.
    EXPECT_EQ(Stored("Width"), 200);
    EXPECT_EQ(Stored("Height"), 200);
}

TEST_F(Shell, BoardSizeRejectsValuesOutsideTheRangeHeightFirst) {
    const std::string range = "Please enter an integer between 150 and 10000.";
    int focus = 0;
    std::string message;
    EXPECT_FALSE(BoardSizeOk("400", "149", &focus, &message));
    EXPECT_EQ(focus, IDC_BOARD_HEIGHT);
    EXPECT_EQ(message, range);
    EXPECT_FALSE(BoardSizeOk("10001", "400", &focus, &message));
    EXPECT_EQ(focus, IDC_BOARD_WIDTH);
    EXPECT_EQ(message, range);
    // Both wrong: Height is named first.
    EXPECT_FALSE(BoardSizeOk("10001", "149", &focus));
    EXPECT_EQ(focus, IDC_BOARD_HEIGHT);
    EXPECT_FALSE(BoardSizeOk("wide", "400", &focus, &message));
    EXPECT_EQ(focus, IDC_BOARD_WIDTH);
    EXPECT_EQ(message, "Please enter an integer.");
    EXPECT_FALSE(BoardSizeOk("400", "", &focus));
    EXPECT_EQ(focus, IDC_BOARD_HEIGHT);
    // Nothing of the failed attempts was stored, not even the valid field.
    EXPECT_EQ(Stored("Width"), 200);
    EXPECT_EQ(Stored("Height"), 200);
}

TEST_F(Shell, BoardSizeAcceptsTheLimitsAndNewBoardsTakeThem) {
    EXPECT_TRUE(BoardSizeOk("150", "10000"));
    EXPECT_EQ(Stored("Width"), 150);
    EXPECT_EQ(Stored("Height"), 10000);
    EXPECT_TRUE(BoardSizeOk("10000", "150"));
    EXPECT_EQ(Stored("Width"), 10000);
    EXPECT_EQ(Stored("Height"), 150);
    ASSERT_NE(OpenText("block.lif", kBlockFile), nullptr);
    EXPECT_EQ(Board().width, 10000);
    EXPECT_EQ(Board().height, 150);
}

// --- About, help ------------------------------------------------------------------

TEST(ShellAbout, ShowsTheDefaultBoardSizeWithNoSettingsAndHelpLeavesItOpen) {
    HeadlessPlatform platform;
    CLifeApp app(platform);
    app.InitInstance();
    platform.ExpectDialog(IDD_ABOUTBOX, [&](DialogDriver& d) {
        EXPECT_EQ(d.Caption(), "About Life");
        EXPECT_EQ(d.Text(IDC_ABOUT_BOARDSIZE), "Board Size 800 x 800");
        d.Click(IDC_ABOUT_HELP);
        EXPECT_TRUE(d.IsOpen());
        ASSERT_EQ(platform.HelpShown().size(), 1u);
        EXPECT_NE(platform.HelpShown()[0].find("life.htm#Main_Contents"), std::string::npos);
        d.Click(IDOK);
    });
    EXPECT_TRUE(platform.Command(ID_APP_ABOUT));
    EXPECT_TRUE(platform.ScriptErrors().empty());
}

TEST_F(Shell, AboutShowsTheStoredBoardSize) {
    platform.ExpectDialog(IDD_ABOUTBOX, [](DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_ABOUT_BOARDSIZE), "Board Size 200 x 200");
        d.Click(IDOK);
    });
    platform.Command(ID_APP_ABOUT);
    EXPECT_TRUE(platform.ScriptErrors().empty());
}

TEST_F(Shell, HelpOpensTheHelpPageAtItsContentsAndTheHelpRequestAtItsTop) {
    ASSERT_NE(OpenText("block.lif", kBlockFile), nullptr);
    EXPECT_TRUE(platform.Command(ID_HELP));
    EXPECT_TRUE(platform.Command(ID_HELP_REQUEST));
    ASSERT_EQ(platform.HelpShown().size(), 2u);
    const std::string contents = platform.HelpShown()[0];
    const std::string page = platform.HelpShown()[1];
    EXPECT_EQ(contents, page + "#Main_Contents");
    // The page is a file that exists, named by its full path, and has the
    // anchor it is opened at.
    ASSERT_TRUE(std::filesystem::path(page).is_absolute()) << page;
    EXPECT_EQ(std::filesystem::path(page).filename(), "life.htm");
    EXPECT_NE(Slurp(page).find("id=\"Main_Contents\""), std::string::npos);
}

TEST_F(Shell, HelpPageIsFoundInTheInstallLayoutFirst) {
    const std::filesystem::path prefix = dir / "prefix";
    std::filesystem::create_directories(prefix / "bin");
    std::filesystem::create_directories(prefix / "share" / "cellarium" / "help");
    const std::string installed = (prefix / "share" / "cellarium" / "help" / "life.htm").string();
    // Not there yet: the source tree's page (never a path under prefix).
    const std::string fallback = FindHelpPage((prefix / "bin").string());
    EXPECT_EQ(fallback.find(prefix.string()), std::string::npos);
    Write("prefix/share/cellarium/help/life.htm", "<html></html>");
    EXPECT_EQ(FindHelpPage((prefix / "bin").string()), installed);
    // The app looks beside the program it was started as.
    app.m_strProgramFolder = ProgramFolderOf((prefix / "bin" / "cellarium").string());
    platform.ExpectDialog(IDD_ABOUTBOX, [](DialogDriver& d) {
        d.Click(IDC_ABOUT_HELP);
        d.Click(IDOK);
    });
    platform.Command(ID_APP_ABOUT);
    ASSERT_FALSE(platform.HelpShown().empty());
    EXPECT_EQ(platform.HelpShown().back(), installed + "#Main_Contents");
}

TEST_F(Shell, AMissingHelpPageSaysWhereItWasLookedFor) {
    app.m_strProgramFolder = (dir / "bin").string();
    const std::vector<std::string> places = HelpPageCandidates(app.m_strProgramFolder);
    ASSERT_GE(places.size(), 2u);
    for (const std::string& place : places) platform.RefuseOpen(place, FileError::FileNotFound);
    platform.ExpectMessageBox(IDOK, HelpMissingMessage(places));
    EXPECT_TRUE(platform.Command(ID_HELP));
    EXPECT_TRUE(platform.HelpShown().empty());
    EXPECT_TRUE(platform.ScriptErrors().empty());
    const std::string text = HelpMissingMessage(places);
    for (const std::string& place : places) EXPECT_NE(text.find("\n" + place), std::string::npos);
}

// --- Leaving ----------------------------------------------------------------------

TEST_F(Shell, ExitAndCtrlQLeaveTheProgramRunning) {
    ASSERT_NE(OpenText("block.lif", kBlockFile), nullptr);
    EXPECT_TRUE(platform.CtrlKey('Q'));
    EXPECT_FALSE(platform.QuitRequested());
    EXPECT_TRUE(platform.Command(ID_APP_EXIT));
    EXPECT_FALSE(platform.QuitRequested());
    EXPECT_NE(Doc(), nullptr);
    // Still alive: a step runs.
    EXPECT_TRUE(platform.Command(ID_TOOLS_STEP));
    EXPECT_EQ(Status(), "G:00001 C:00004 B:00000 D:00000 Z:x1");
}

TEST_F(Shell, ExitCompletelyAsksAndEndsOnlyOnOk) {
    ASSERT_NE(OpenText("block.lif", kBlockFile), nullptr);
    platform.ExpectMessageBox(IDCANCEL, "Are you sure you want to quit completely?");
    platform.Command(ID_EXIT_COMPLETELY);
    EXPECT_FALSE(platform.QuitRequested());
    platform.ExpectMessageBox(IDOK, "Are you sure you want to quit completely?");
    platform.Command(ID_EXIT_COMPLETELY);
    EXPECT_TRUE(platform.ScriptErrors().empty());
    EXPECT_TRUE(platform.QuitRequested());
    EXPECT_FALSE(platform.LoopEnded());
}

TEST_F(Shell, ClosingTheMainWindowEndsTheProgramNormally) {
    ASSERT_NE(OpenText("block.lif", kBlockFile), nullptr);
    platform.CloseMainWindow();
    EXPECT_TRUE(platform.QuitRequested());
    EXPECT_TRUE(platform.LoopEnded());
    EXPECT_EQ(platform.ExitCode(), 0);
    // No question was asked, and the documents are closed.
    EXPECT_TRUE(platform.MessageTexts().empty());
    EXPECT_EQ(app.GetDocTemplate()->GetDocument(), nullptr);
    EXPECT_EQ(MainWindow(), nullptr);
}
