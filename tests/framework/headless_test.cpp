#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "framework/document.h"
#include "framework/file.h"
#include "framework/win_app.h"
#include "platform/headless/headless_platform.h"

using namespace cellarium;
namespace fs = std::filesystem;

namespace {

class HeadlessTest : public ::testing::Test {
protected:
    HeadlessTest() : app(platform, "Test") {
        dir = fs::temp_directory_path() /
              ("cellarium-headless-" + std::to_string(::getpid()) + "-" +
               std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~HeadlessTest() override { fs::remove_all(dir); }
    std::string Path(const char* name) const { return (dir / name).string(); }
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir;
    HeadlessPlatform platform;
    CWinApp app;
};

}  // namespace

TEST_F(HeadlessTest, FilesWriteAndReadBackAndReportWhyTheyFail) {
    CFile out;
    ASSERT_TRUE(out.Open(Path("a.txt"), kModeCreate | kModeWrite));
    EXPECT_TRUE(out.Write("hello", 5));
    EXPECT_TRUE(out.Flush());
    EXPECT_TRUE(out.Close());

    CFile in;
    ASSERT_TRUE(in.Open(Path("a.txt"), kModeRead));
    char buffer[16];
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 5u);
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(in.LastError(), FileError::None);

    CFileException error;
    CFile missing;
    EXPECT_FALSE(missing.Open(Path("missing.txt"), kModeRead, &error));
    EXPECT_EQ(error.m_cause, FileError::FileNotFound);
    EXPECT_FALSE(missing.Open(Path("no/such/dir/x.txt"), kModeCreate | kModeWrite, &error));
    EXPECT_EQ(error.m_cause, FileError::FileNotFound);
    EXPECT_FALSE(missing.Open(dir.string(), kModeRead, &error));
    EXPECT_EQ(error.m_cause, FileError::AccessDenied);
    EXPECT_FALSE(missing.Open("", kModeRead, &error));
    EXPECT_EQ(error.m_cause, FileError::BadPath);
}

TEST_F(HeadlessTest, InjectedWriteFaultWritesWhatFitsThenFails) {
    platform.FailWritesAfter(Path("full.txt"), 7);
    CFile out;
    ASSERT_TRUE(out.Open(Path("full.txt"), kModeCreate | kModeWrite));
    EXPECT_TRUE(out.Write("12345", 5));
    EXPECT_FALSE(out.Write("67890", 5));
    EXPECT_EQ(out.LastError(), FileError::DiskFull);
    out.Close();
    EXPECT_EQ(Slurp(Path("full.txt")), "1234567");
}

TEST_F(HeadlessTest, FreeSpaceComesFromTheFileSystemUnlessOverridden) {
    uint64_t bytes = 0;
    EXPECT_TRUE(platform.Files().GetFreeSpace(dir.string(), bytes));
    EXPECT_GT(bytes, 0u);
    EXPECT_FALSE(platform.Files().GetFreeSpace(Path("no/such/folder"), bytes));
    platform.SetFreeSpace("X", std::nullopt);
    EXPECT_FALSE(platform.Files().GetFreeSpace("X", bytes));
    EXPECT_EQ(platform.FreeSpaceQueries(),
              (std::vector<std::string>{dir.string(), Path("no/such/folder"), "X"}));
}

TEST_F(HeadlessTest, ScriptAnswersInOrderAndReportsWhatDidNotMatch) {
    platform.ExpectMessageBox(IDCANCEL, "Sure?");
    platform.ExpectFileDialog(std::string("/tmp/chosen.txt"));
    EXPECT_EQ(ShowMessage("Sure?", MB_OKCANCEL), IDCANCEL);
    CFileDialog save(false, "txt", "start", 6, "");
    EXPECT_EQ(save.DoModal(), IDOK);
    EXPECT_EQ(save.GetPathName(), "/tmp/chosen.txt");
    EXPECT_TRUE(platform.ScriptErrors().empty());

    // Without a script: first button, file dialogs cancelled.
    EXPECT_EQ(ShowMessage("Save changes?", MB_YESNOCANCEL), IDYES);
    EXPECT_EQ(save.DoModal(), IDCANCEL);

    // A message box where the script expects a file dialog is an error and
    // leaves the expectation in place.
    platform.ExpectFileDialog(std::nullopt);
    EXPECT_EQ(ShowMessage("Surprise"), IDOK);
    EXPECT_EQ(platform.ScriptErrors().size(), 1u);
    EXPECT_EQ(platform.PendingExpectations(), 1u);

    platform.ClearScript();
    platform.ExpectMessageBox(IDOK, "One text");
    ShowMessage("Another text");
    EXPECT_EQ(platform.ScriptErrors().size(), 2u);
    EXPECT_EQ(platform.MessageTexts().back(), "Another text");
}

TEST_F(HeadlessTest, StretchedImageLandsOnTheExpectedPixels) {
    RgbSurface surface;
    surface.Resize(8, 4);
    const uint8_t pixels[] = {1, 2, 3, 4};  // 2 x 2
    RgbQuad colours[256] = {};
    colours[1] = RgbQuad{0, 0, 255, 0};  // red
    colours[2] = RgbQuad{0, 255, 0, 0};  // green
    colours[3] = RgbQuad{255, 0, 0, 0};  // blue
    colours[4] = RgbQuad{255, 255, 255, 0};
    IndexedImage image{2, 2, 2, pixels, colours};
    surface.StretchImage(image, CRect{0, 0, 2, 2}, CRect{0, 0, 8, 4});
    EXPECT_EQ(surface.Pixel(0, 0), 0x0000FFu);
    EXPECT_EQ(surface.Pixel(3, 1), 0x0000FFu);
    EXPECT_EQ(surface.Pixel(4, 0), 0x00FF00u);
    EXPECT_EQ(surface.Pixel(0, 2), 0xFF0000u);
    EXPECT_EQ(surface.Pixel(7, 3), 0xFFFFFFu);
    // Parts off the image or the surface are skipped.
    surface.FillSolid(CRect{0, 0, 8, 4}, 0x123456);
    surface.StretchImage(image, CRect{1, 1, 3, 3}, CRect{-2, 0, 6, 8});
    EXPECT_EQ(surface.Pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(surface.Pixel(5, 3), 0x123456u);
}

TEST_F(HeadlessTest, LoadAndSaveFailureTextsNameTheFileAndTheCause) {
    EXPECT_EQ(SaveLoadFailureText("/a/b.lif", FileError::FileNotFound, false, kPromptFailedToOpen),
              "/a/b.lif was not found.");
    EXPECT_EQ(SaveLoadFailureText("/a/b.lif", FileError::Generic, false, kPromptFailedToOpen),
              "Failed to open document /a/b.lif.");
    EXPECT_EQ(SaveLoadFailureText("b.lif", FileError::Generic, true, kPromptInvalidFileName),
              "Invalid file name: b.lif.");
    EXPECT_EQ(SaveLoadFailureText("b.lif", FileError::DiskFull, true, kPromptFailedToSave),
              "There is not enough space on the disk to save b.lif.");
}
