// The safe replace on real files through the headless back end: what is left
// when a replace is given up or fails, which files are written where they
// are, and what an open refuses. (The document's tests drive the same replace
// through Save and Save As Image, also as an ordinary user.)
#include "framework/safe_replace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "framework/win_app.h"
#include "platform/headless/headless_platform.h"

using namespace cellarium;
namespace fs = std::filesystem;

namespace {

class Replacing : public ::testing::Test {
protected:
    Replacing() : app(platform, "Test") {
        dir = fs::temp_directory_path() /
              ("cellarium-replace-" + std::to_string(::getpid()) + "-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~Replacing() override { fs::remove_all(dir); }
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

TEST_F(Replacing, AReplaceGivenUpOrFailedLeavesTheTargetAndNothingBesideIt) {
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

TEST_F(Replacing, OpenRefusesWhatCannotBeWrittenAndTouchesNothing) {
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

TEST_F(Replacing, DevicesAndFilesWithSeveralNamesAreWrittenWhereTheyAre) {
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

// Another user who owns the folder swaps the new file's name for a link to a
// file of root's between its making and the owner and mode calls: those act
// on the open file, and the save fails rather than rename the link over the
// target.
TEST_F(Replacing, ANameSwappedForALinkChangesNothingButTheNewFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to give the new file another owner";
    const std::string victim = Write("victim.txt", "root's");
    ASSERT_EQ(::chmod(victim.c_str(), 0600), 0);
    const std::string target = Write("theirs.txt", "old");
    ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(target.c_str(), 0666), 0);
    platform.onFileMadeBeside = [&](const std::string& made) {
        fs::rename(made, Path("moved"));
        fs::create_symlink(victim, made);
    };
    ReplacingFile out;
    ASSERT_TRUE(out.Open(target));
    EXPECT_TRUE(out.File().Write("new", 3));
    EXPECT_FALSE(out.Commit());
    EXPECT_EQ(out.Cause(), FileError::ChangedMeanwhile);
    struct stat st {};
    ASSERT_EQ(::stat(victim.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(Slurp(victim), "root's");
    EXPECT_EQ(Slurp(target), "old");
    EXPECT_FALSE(fs::is_symlink(target));
    // What the other user moved away got the owner and mode.
    ASSERT_EQ(::stat(Path("moved").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0666u);

    // The target's own name swapped for a link: the file resolved is not the
    // one there now, and nothing is renamed over the link.
    platform.onFileMadeBeside = [&](const std::string&) {
        fs::rename(target, Path("theirs.old"));
        fs::create_symlink(victim, target);
    };
    ASSERT_TRUE(out.Open(target));
    EXPECT_TRUE(out.File().Write("new", 3));
    EXPECT_FALSE(out.Commit());
    EXPECT_EQ(out.Cause(), FileError::ChangedMeanwhile);
    EXPECT_TRUE(fs::is_symlink(target));
    EXPECT_EQ(Slurp(victim), "root's");
    EXPECT_EQ(Slurp(Path("theirs.old")), "old");
}

TEST_F(Replacing, TheNewFileIsPrivateUntilWholeAndTakenNamesNeverStopASave) {
    const std::string target = Write("keep.txt", "old");
    ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
    // Names a killed save or another user may have left or made.
    for (int n = 1; n <= 100; ++n)
        Write(("keep.txt.tmp-" + std::to_string(n)).c_str(), "someone's");
    unsigned madeMode = 0;
    platform.onFileMadeBeside = [&](const std::string& made) {
        struct stat st {};
        ASSERT_EQ(::stat(made.c_str(), &st), 0);
        madeMode = st.st_mode & 07777;
    };
    ReplacingFile out;
    ASSERT_TRUE(out.Open(target));
    EXPECT_FALSE(out.InPlace());
    EXPECT_EQ(madeMode, 0600u);
    EXPECT_TRUE(out.File().Write("new", 3));
    EXPECT_TRUE(out.Commit());
    EXPECT_EQ(Slurp(target), "new");
    EXPECT_EQ(Names().size(), 101u);
    EXPECT_EQ(Slurp(Path("keep.txt.tmp-7")), "someone's");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

// A file whose group alone differs from the user's keeps it; a flush or close
// that fails in place says the file may be damaged, and beside it leaves the
// target whole.
TEST_F(Replacing, GroupKeptAndFailuresAtTheEndReportedWhereverTheFileIsWritten) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to give a file another group";
    const std::string grouped = Write("grouped.txt", "old");
    ASSERT_EQ(::chown(grouped.c_str(), 0, 65534), 0);
    ReplacingFile out;
    ASSERT_TRUE(out.Open(grouped));
    EXPECT_TRUE(out.File().Write("new", 3));
    ASSERT_TRUE(out.Commit());
    struct stat st {};
    ASSERT_EQ(::stat(grouped.c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, 65534u);

    const std::string single = Write("single.txt", "old");
    const std::string linked = Write("linked.txt", "old");
    fs::create_hard_link(linked, Path("alias.txt"));
    for (bool close : {false, true}) {
        for (const std::string& path : {single, linked}) {
            if (close)
                platform.FailClose(path);
            else
                platform.FailFlush(path);
            ASSERT_TRUE(out.Open(path));
            EXPECT_TRUE(out.File().Write("newer", 5));
            EXPECT_FALSE(out.Commit()) << path;
            EXPECT_EQ(out.Cause(), FileError::HardIO) << path;
            EXPECT_EQ(out.MayBeDamaged(), path == linked) << path;
            EXPECT_EQ(Slurp(path), path == single ? "old" : "newer") << path;
        }
    }
}

TEST_F(Replacing, APipeNobodyReadsIsRefusedAtOnce) {
    const std::string fifo = Path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ReplacingFile out;
    EXPECT_FALSE(out.Open(fifo));
    EXPECT_EQ(out.Cause(), FileError::SharingViolation);
    EXPECT_TRUE(fs::is_fifo(fifo));
}
