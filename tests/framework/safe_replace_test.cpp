// The safe replace on real files through the headless back end: what is left
// when a replace is given up or fails, which files are written where they
// are, and what an open refuses. (The document's tests drive the same replace
// through Save and Save As Image, also as an ordinary user.)
#include "framework/safe_replace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "framework/win_app.h"
#include "platform/headless/headless_platform.h"

using namespace cellarium;
namespace fs = std::filesystem;

namespace {

class SafeReplace : public ::testing::Test {
protected:
    SafeReplace() : app(platform, "Test") {
        dir = fs::temp_directory_path() /
              ("cellarium-replace-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~SafeReplace() override { fs::remove_all(dir); }
    std::string Path(const char* name) const { return (dir / name).string(); }
    std::string Write(const char* name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static ino_t Inode(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0);
        return st.st_ino;
    }

    HeadlessPlatform platform;
    CWinApp app;
    fs::path dir;
};

}  // namespace

TEST_F(SafeReplace, AReplaceGivenUpOrFailedLeavesTheTargetAndNothingBesideIt) {
    const std::string target = Write("keep.txt", "old");
    {
        ReplacingFile out;
        ASSERT_TRUE(out.Open(target));
        EXPECT_FALSE(out.InPlace());
        EXPECT_TRUE(out.File().Write("new", 3));
        out.Abandon();
        EXPECT_FALSE(out.MayBeDamaged());
    }
    {
        ReplacingFile forgotten;  // neither committed nor abandoned
        ASSERT_TRUE(forgotten.Open(target));
        EXPECT_TRUE(forgotten.File().Write("new", 3));
    }
    EXPECT_EQ(Slurp(target), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"keep.txt"});

    // A fault set on the target reaches the new file made beside it.
    platform.FailWritesAfter(target, 2);
    ReplacingFile failing;
    ASSERT_TRUE(failing.Open(target));
    EXPECT_FALSE(failing.File().Write("new", 3));
    failing.Abandon();
    EXPECT_EQ(failing.Cause(), FileError::DiskFull);
    EXPECT_FALSE(failing.MayBeDamaged());
    EXPECT_EQ(Slurp(target), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"keep.txt"});
}

TEST_F(SafeReplace, OpenRefusesWhatCannotBeWrittenAndTouchesNothing) {
    ReplacingFile out;
    EXPECT_FALSE(out.Open(dir.string()));  // a folder
    EXPECT_EQ(out.Cause(), FileError::AccessDenied);
    EXPECT_FALSE(out.Open(Path("no/such/x.txt")));
    EXPECT_EQ(out.Cause(), FileError::FileNotFound);
    // The back end's refusal, for a file there and for one not there yet.
    const std::string there = Write("there.txt", "old");
    platform.RefuseOpen(there);
    platform.RefuseOpen(Path("new.txt"), FileError::SharingViolation);
    EXPECT_FALSE(out.Open(there));
    EXPECT_EQ(out.Cause(), FileError::AccessDenied);
    EXPECT_FALSE(out.Open(Path("new.txt")));
    EXPECT_EQ(out.Cause(), FileError::SharingViolation);
    EXPECT_FALSE(out.MayBeDamaged());
    EXPECT_EQ(Slurp(there), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"there.txt"});
}

TEST_F(SafeReplace, DevicesAndFilesWithSeveralNamesAreWrittenWhereTheyAre) {
    const std::string a = Write("a.txt", "old");
    fs::create_hard_link(a, Path("b.txt"));
    ReplacingFile out;
    ASSERT_TRUE(out.Open(Path("b.txt")));
    EXPECT_TRUE(out.InPlace());
    EXPECT_TRUE(out.File().Write("newer", 5));
    EXPECT_TRUE(out.Commit());
    EXPECT_EQ(Slurp(a), "newer");
    EXPECT_EQ(Inode(a), Inode(Path("b.txt")));

    // A failure there cannot keep the old content, and says so.
    platform.FailWritesAfter(a, 1);
    ASSERT_TRUE(out.Open(a));
    EXPECT_FALSE(out.File().Write("again", 5));
    out.Abandon();
    EXPECT_TRUE(out.MayBeDamaged());
    EXPECT_EQ(out.Cause(), FileError::DiskFull);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt"}));

    ASSERT_TRUE(out.Open("/dev/null"));
    EXPECT_TRUE(out.InPlace());
    EXPECT_TRUE(out.File().Write("x", 1));
    EXPECT_TRUE(out.Commit());
    EXPECT_FALSE(out.MayBeDamaged());
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}
