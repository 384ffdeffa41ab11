// Paste from Clipboard to New File: the text the clipboard holds, ANSI or
// Unicode, opened as a new pattern through a file of its own that is gone
// afterwards, and never a file of the user's.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "document/life_session.h"

using namespace cellarium;

namespace {

class Paste : public LifeSession {
protected:
    // What was there while File Information showed the pasted pattern: the
    // temporary file's path, its bytes and its folder's permission bits.
    struct Seen {
        std::string path;
        std::string bytes;
        unsigned folderMode = 0;
    };
    Seen PasteConfirmed() {
        Seen seen;
        platform.ExpectDialog(IDD_FILE_INFO, [&](DialogDriver& d) {
            // The pasted pattern has no file of its own: its temporary one
            // is about to go.
            EXPECT_EQ(d.Text(IDC_FI_FILENAME), "New File");
            seen.path = platform.PrivateFolders().back() + "/Paste.lif";
            seen.bytes = Slurp(seen.path);
            struct stat st {};
            if (::stat(std::filesystem::path(seen.path).parent_path().c_str(), &st) == 0)
                seen.folderMode = st.st_mode & 07777;
            d.Click(IDOK);
        });
        EXPECT_TRUE(platform.Command(ID_PASTE_NEW));
        EXPECT_TRUE(platform.ScriptErrors().empty());
        return seen;
    }
};

// Runs the test body with the working directory set to folder.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& folder)
        : before_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~WorkingDirectory() { std::filesystem::current_path(before_); }

private:
    std::filesystem::path before_;
};

}  // namespace

TEST_F(Paste, AnsiTextOpensAsAPatternFromAPrivateFolderThatIsGoneAfterwards) {
    platform.SetClipboardText(kBlockFile);
    const Seen seen = PasteConfirmed();
    EXPECT_EQ(seen.bytes, kBlockFile);
    EXPECT_EQ(seen.folderMode, 0700u);
    ASSERT_EQ(platform.PrivateFolders().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(seen.path));
    EXPECT_FALSE(std::filesystem::exists(platform.PrivateFolders()[0]));

    ASSERT_NE(Doc(), nullptr);
    EXPECT_EQ(Board().liveCount, 4);
    EXPECT_EQ(Doc()->GetDescription(), "A block");
    // Pasted from the file selection screen: the screen has closed.
    EXPECT_FALSE(platform.FileListShown());
    EXPECT_TRUE(platform.Bar(IDD_STATUS_STRIP)->IsBarVisible());
}

TEST_F(Paste, UnicodeOnlyTextIsConvertedWithoutTheTerminatingZero) {
    platform.SetClipboardUnicode(u"#Life 1.05\r\n#D caf\u00e9\r\n#P 0 0\r\n***\r\n");
    const Seen seen = PasteConfirmed();
    EXPECT_EQ(seen.bytes, "#Life 1.05\r\n#D caf\xe9\r\n#P 0 0\r\n***\r\n");
    EXPECT_EQ(Board().liveCount, 3);
    EXPECT_FALSE(std::filesystem::exists(platform.PrivateFolders().at(0)));
}

TEST_F(Paste, AnsiTextIsPreferredToUnicode) {
    platform.SetClipboardUnicode(u"#Life 1.05\r\n#P 0 0\r\n*\r\n");
    platform.SetClipboardText(kBlinkerFile);
    PasteConfirmed();
    EXPECT_EQ(Board().liveCount, 3);
}

TEST_F(Paste, NoTextOnTheClipboardIsReportedAndNothingIsMade) {
    platform.ExpectMessageBox(
        IDOK,
        "The clipboard does not contain data in a format that can be read by Cellarium.  This "
        "program can read text data in the same format as one of the standard life files.");
    EXPECT_TRUE(platform.Command(ID_PASTE_NEW));
    EXPECT_TRUE(platform.ScriptErrors().empty());
    EXPECT_EQ(platform.PendingExpectations(), 0u);
    EXPECT_TRUE(platform.PrivateFolders().empty());
    EXPECT_TRUE(platform.FileListShown());
    // The clipboard was closed again: a second paste can open it.
    platform.SetClipboardText(kBlockFile);
    PasteConfirmed();
    EXPECT_EQ(Board().liveCount, 4);
}

TEST_F(Paste, AUsersPasteLifInTheWorkingDirectoryIsNeverTouched) {
    const std::string mine = "my own pattern, not to be lost\r\n";
    Write("Paste.lif", mine);
    const WorkingDirectory cwd(dir);
    platform.SetClipboardText(kBlockFile);
    const Seen seen = PasteConfirmed();
    EXPECT_NE(std::filesystem::path(seen.path).parent_path(), dir);
    EXPECT_EQ(Slurp(Path("Paste.lif")), mine);
    EXPECT_EQ(Board().liveCount, 4);
    // Nor when the paste is cancelled.
    platform.SetClipboardText(kGliderFile);
    platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) { d.Click(IDCANCEL); });
    platform.Command(ID_PASTE_NEW);
    EXPECT_EQ(Slurp(Path("Paste.lif")), mine);
    EXPECT_EQ(Board().liveCount, 4);
    EXPECT_EQ(platform.PrivateFolders().size(), 2u);
    for (const std::string& folder : platform.PrivateFolders())
        EXPECT_FALSE(std::filesystem::exists(folder)) << folder;
}

TEST_F(Paste, TextThatIsNoPatternStillLeavesNothingBehind) {
    platform.SetClipboardText("#Life 1.05\r\n#P -5000 0\r\n*\r\n#P 5000 0\r\n*\r\n");
    platform.Command(ID_PASTE_NEW);
    ASSERT_EQ(platform.PrivateFolders().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(platform.PrivateFolders()[0]));
    ASSERT_EQ(platform.MessageTexts().size(), 1u);
    EXPECT_EQ(platform.MessageTexts()[0].rfind("That pattern is too big for this board.", 0), 0u);
    EXPECT_TRUE(platform.FileListShown());
}

TEST_F(Paste, ABusyClipboardDoesNothing) {
    platform.SetClipboardText(kBlockFile);
    platform.SetClipboardBusy(true);
    EXPECT_TRUE(platform.Command(ID_PASTE_NEW));
    EXPECT_TRUE(platform.MessageTexts().empty());
    EXPECT_TRUE(platform.PrivateFolders().empty());
    EXPECT_FALSE(Doc()->HasBoards());
}
