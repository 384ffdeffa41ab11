// The runner on failing disks, on the largest boards and short of memory:
// the user is told, the run ends cleanly, and an earlier good file at the
// target is still whole after a failed save or export.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../document/life_session.h"
#include "colour/gif_writer.h"
#include "document/life_app_base.h"
#include "document/life_view.h"
#include "formats/pattern_reader.h"

extern char** environ;

using namespace cellarium;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

struct CliResult {
    int status = -1;  // the exit status; -1 when ended by a signal
    std::string out;
    std::string err;
    long peakKb = 0;        // peak resident size of the run
    double cpuSeconds = 0;  // user and system time of the run
};

class CliReliability : public LifeSession {
protected:
    // Runs the runner through sh, so that limits and redirections can be
    // given in front of it; stdout and stderr go to files.
    CliResult Cli(const std::string& prefix, const std::string& args) {
        const std::string out = Path("stdout.txt"), err = Path("stderr.txt");
        const std::string command =
            prefix + " " + CELLARIUM_CLI + " " + args + " >" + out + " 2>" + err;
        const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
        CliResult r;
        pid_t pid = 0;
        if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) !=
            0)
            return r;
        int raw = 0;
        struct rusage usage {};
        if (::wait4(pid, &raw, 0, &usage) != pid) return r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = Slurp(out);
        r.err = Slurp(err);
        r.peakKb = usage.ru_maxrss;
        r.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        return r;
    }
    // A limit on the size of any file the run writes; writes past it fail
    // with EFBIG, which stops root as well as anyone.
    static std::string FileSizeLimit(long bytes) {
        return "trap '' XFSZ; exec prlimit --fsize=" + std::to_string(bytes);
    }
    // The words that run the rest of a command as the user nobody, whom file
    // permissions stop (unlike root, as whom CI runs); "" when this process
    // cannot switch users or no tool for it is installed.
    static std::string AsNobody() {
        if (::geteuid() != 0 || ::getpwnam("nobody") == nullptr) return "";
        const char* group = ::getgrnam("nogroup") != nullptr ? "nogroup" : "nobody";
        for (const char* dir : {"/usr/bin/", "/bin/", "/usr/sbin/", "/sbin/"}) {
            if (::access((std::string(dir) + "setpriv").c_str(), X_OK) == 0)
                return std::string(dir) + "setpriv --reuid=nobody --regid=" + group +
                       " --clear-groups";
            if (::access((std::string(dir) + "runuser").c_str(), X_OK) == 0)
                return std::string(dir) + "runuser -u nobody --";
        }
        return "";
    }
    static struct stat Stat(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
        return st;
    }
    static void Own(const std::string& path, bool byNobody, unsigned mode) {
        const passwd* pw = ::getpwnam("nobody");
        ASSERT_NE(pw, nullptr);
        const uid_t uid = byNobody ? pw->pw_uid : 0;
        const gid_t gid = byNobody ? pw->pw_gid : 0;
        ASSERT_EQ(::lchown(path.c_str(), uid, gid), 0) << path;
        ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
    }
    static std::string Damaged(const std::string& path) {
        return path +
               " was being rewritten in place and may be damaged; save it again, or save it "
               "under another name.";
    }
    bool NoLeftovers(const std::string& name) const {
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            const std::string f = entry.path().filename().string();
            if (f != name && f.rfind(name, 0) == 0) return false;
        }
        return true;
    }
};

}  // namespace

TEST_F(CliReliability, AFullDeviceIsReportedForSaveStatisticsAndImageAndStaysADevice) {
    CliResult save = Cli("", "--size 150x150 --soup 0.3:1 -g 2 --save /dev/full");
    EXPECT_EQ(save.status, 1);
    EXPECT_EQ(save.err, "There is not enough space on the disk to save /dev/full.\n");
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));

    CliResult stats = Cli("", "--size 150x150 --soup 0.3:1 -g 5 --stats /dev/full");
    EXPECT_EQ(stats.status, 1);
    EXPECT_NE(stats.err.find("/dev/full"), std::string::npos) << stats.err;
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));

    CliResult gif = Cli("", "--size 150x150 --soup 0.3:1 --gif /dev/full");
    EXPECT_EQ(gif.status, 1);
    EXPECT_NE(gif.err.find("/dev/full"), std::string::npos) << gif.err;
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

TEST_F(CliReliability, AWriteThatFailsHalfWayLeavesTheEarlierFileWhole) {
    const std::string earlierPattern = Write("out.lif", kBlockFile);
    const std::string earlierImage = Write("out.gif", "an earlier image");
    const std::string soup = "--size 300x300 --soup 0.5:3 -g 1";

    CliResult save = Cli(FileSizeLimit(4096), soup + " --save " + earlierPattern);
    EXPECT_EQ(save.status, 1);
    EXPECT_EQ(save.err, "There is not enough space on the disk to save " + earlierPattern + ".\n");
    EXPECT_EQ(Slurp(earlierPattern), kBlockFile);
    EXPECT_TRUE(NoLeftovers("out.lif"));

    CliResult gif = Cli(FileSizeLimit(4096), soup + " --gif " + earlierImage);
    EXPECT_EQ(gif.status, 1);
    EXPECT_NE(gif.err.find(earlierImage), std::string::npos) << gif.err;
    EXPECT_EQ(Slurp(earlierImage), "an earlier image");
    EXPECT_TRUE(NoLeftovers("out.gif"));

    CliResult stats = Cli(FileSizeLimit(4096), soup + " -g 1000 --stats " + Path("out.csv"));
    EXPECT_EQ(stats.status, 1);
    EXPECT_EQ(stats.err.rfind("Unable to write statistics to " + Path("out.csv"), 0), 0u)
        << stats.err;
    // Cut back to the last whole line, not ended in the middle of a number.
    const std::string recorded = Slurp(Path("out.csv"));
    EXPECT_GT(recorded.size(), 4000u);
    EXPECT_EQ(recorded.back(), '\n');

    // Without the limit all three go through.
    CliResult ok = Cli("", soup + " -g 3 --save " + earlierPattern + " --gif " + earlierImage +
                               " --stats " + Path("out.csv"));
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(Slurp(earlierPattern), kBlockFile);
    EXPECT_EQ(Slurp(earlierImage).substr(0, 4), "GIF8");
    EXPECT_TRUE(NoLeftovers("out.lif"));
}

TEST_F(CliReliability, TheLargestBoardRunsSavesExportsAndReopensInTwoBoardsOfMemory) {
    if (kSanitized)
        GTEST_SKIP() << "resident sizes under AddressSanitizer include its shadow memory";
    // A board is its bytes and its liveness plane (160 words a row).
    constexpr long kBoardKb = (10000L * 10000L + 10000L * 160L * 8L) / 1024;
    constexpr long kSlackKb = 32 * 1024;
    const std::string saved = Path("soup.lif");
    CliResult run = Cli(
        "", "--size 10000x10000 --soup 0.3:11 -g 3 --save " + saved + " --gif " + Path("soup.gif"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_LE(run.peakKb, 2 * kBoardKb + kSlackKb);
    std::printf("[ peak   ] soup, 3 steps, save, export: %ld KB\n", run.peakKb);

    CliResult again = Cli("", "--size 10000x10000 " + saved);
    ASSERT_EQ(again.status, 0) << again.err;
    // The same live cells came back.
    EXPECT_EQ(again.out.substr(8, 10), run.out.substr(8, 10));
    EXPECT_LE(again.peakKb, 2 * kBoardKb + kSlackKb);
    std::printf("[ peak   ] reopen of the 100 MB file: %ld KB\n", again.peakKb);
}

TEST_F(CliReliability, ABoardTooLargeForTheMemoryShowsTheMessageAndEndsCleanly) {
    if (kSanitized) GTEST_SKIP() << "AddressSanitizer cannot run under a small address-space limit";
    const std::string glider = Write("glider.lif", kGliderFile);
    for (const std::string& args :
         {"--size 10000x10000 " + glider, std::string("--size 10000x10000 --soup 0.3:1 -g 2")}) {
        CliResult r = Cli("exec prlimit --as=160000000", args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(r.err, std::string(kCellMemoryMessage) + "\n") << args;
    }
}

TEST_F(CliReliability, PaletteFilesOfBinaryDataOrFoldersNeverEndBadly) {
    // A megabyte of random bytes that spells no number first gives no
    // colour: the run stops with the message and writes nothing.
    std::string noise(1 << 20, '\0');
    uint32_t x = 12345;
    for (char& c : noise) c = char((x = x * 1103515245u + 12345u) >> 24);
    const std::string map = Write("noise.map", noise);
    CliResult binary = Cli(
        "", "--size 150x150 --soup 0.3:1 --palette " + map + " --gif " + Path("noise.gif") + " -q");
    EXPECT_EQ(binary.status, 1);
    EXPECT_EQ(binary.err.rfind(map + " is not a palette file: it gives no colour.\n", 0), 0u)
        << binary.err;
    EXPECT_FALSE(std::filesystem::exists(Path("noise.gif")));
    // Colours first, then the noise: the colours are taken.
    const std::string coloured =
        Write("coloured.map", "# two colours\n1 2 3\n4 5 6\nend\n" + noise);
    CliResult loaded = Cli("", "--size 150x150 --soup 0.3:1 --palette " + coloured + " --gif " +
                                   Path("noise.gif") + " -q");
    EXPECT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_EQ(Slurp(Path("noise.gif")).substr(0, 4), "GIF8");

    // A folder is no palette: the run stops with a message and writes nothing.
    CliResult folder =
        Cli("", "--size 150x150 --palette " + dir.string() + " --gif " + Path("folder.gif"));
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.err.find(dir.string()), std::string::npos) << folder.err;
    EXPECT_FALSE(std::filesystem::exists(Path("folder.gif")));
}

// A device or a pipe named as the pattern or the palette is refused at once,
// with what it is: no read of a device that never ends, no wait for a writer
// that never comes. The timeout only turns a hang into a failure.
TEST_F(CliReliability, PipesAndDevicesAsPatternOrPaletteAreRefusedAtOnce) {
    const std::string fifo = Path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string guard = "exec timeout 60";
    for (const std::string& source : {std::string("/dev/zero"), fifo}) {
        const std::string what = source + (source == fifo ? " is a pipe" : " is a device");
        CliResult palette =
            Cli(guard, "--palette " + source + " --soup 0.3 -g 1 --gif " + Path("out.gif"));
        EXPECT_EQ(palette.status, 1);
        EXPECT_EQ(palette.out, "");
        EXPECT_EQ(palette.err.rfind(what + ", not a file.\n", 0), 0u) << palette.err;
        EXPECT_NE(palette.err.find("palette file '" + source + "'"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(Path("out.gif")));
        CliResult pattern = Cli(guard, source);
        EXPECT_EQ(pattern.status, 1);
        EXPECT_EQ(pattern.out, "");
        EXPECT_EQ(pattern.err, what + ", not a file.\n");
    }
}

// A reader that leaves a pipe before the save is written is a write error:
// the usual message and status 1, not the end of the program by a signal.
TEST_F(CliReliability, AReaderLeavingAPipeIsAWriteErrorNotTheEndOfTheProgram) {
    const std::string fifo = Path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    // The pattern fills the pipe long before it is written whole; the reader
    // then leaves.
    std::thread leaving([reader] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::close(reader);
    });
    CliResult r = Cli("exec timeout 60", "--size 800x800 --soup 0.5:1 --save " + fifo);
    leaving.join();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Failed to save document " + fifo + ".\n");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

// In a sticky folder everybody may write, another user's link is never
// followed by a save, an image or statistics (whatever the system's own
// protection of such links); a loop is refused too. Nothing is replaced.
TEST_F(CliReliability, OtherUsersLinksInASharedFolderAndLoopsAreNotFollowed) {
    const std::string loop = Path("loop.lif");
    std::filesystem::create_symlink("loop.lif", loop);
    CliResult looped = Cli("", "--size 150x150 --soup 0.3:1 --save " + loop);
    EXPECT_EQ(looped.status, 1);
    EXPECT_EQ(looped.err, loop + " is a link that leads nowhere usable; not followed.\n");
    EXPECT_TRUE(std::filesystem::is_symlink(loop));

    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to make a link another user owns";
    const std::string shared = Path("shared");
    std::filesystem::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const std::string victim = Write("victim", "root's");
    for (const char* option : {"--save", "--gif", "--stats"}) {
        const std::string bait = shared + "/bait" + option;
        std::filesystem::create_symlink(victim, bait);
        ASSERT_EQ(::lchown(bait.c_str(), 65534, 65534), 0);
        CliResult r =
            Cli("", std::string("--size 150x150 --soup 0.3:1 -g 2 ") + option + " " + bait);
        EXPECT_EQ(r.status, 1) << option;
        EXPECT_NE(r.err.find(bait), std::string::npos) << r.err;
        EXPECT_EQ(Slurp(victim), "root's") << option;
        EXPECT_TRUE(std::filesystem::is_symlink(bait)) << option;
        // A link the folder's owner left there is followed: it is theirs to
        // point where they like.
        const std::string theirs = shared + "/owners" + option;
        std::filesystem::create_symlink(Path("made") + option, theirs);
        CliResult ok =
            Cli("", std::string("--size 150x150 --soup 0.3:1 -g 2 ") + option + " " + theirs);
        EXPECT_EQ(ok.status, 0) << ok.err;
        EXPECT_TRUE(std::filesystem::is_regular_file(Path("made") + option)) << option;
    }
    for (const char* option : {"--save", "--stats"}) {
        const std::string bait = shared + "/bait" + option;
        CliResult r = Cli("", std::string("--size 150x150 --soup 0.3:1 ") + option + " " + bait);
        EXPECT_EQ(r.err.rfind(bait + " is a link owned by another user; not followed.\n", 0), 0u)
            << r.err;
    }
}

// The cases below need a user whom file permissions stop: the runner runs as
// the user nobody.
#define REQUIRE_NOBODY()                                                                       \
    const std::string nobody = AsNobody();                                                     \
    if (nobody.empty())                                                                        \
    GTEST_SKIP() << "needs root and setpriv or runuser, to run the runner as the user nobody " \
                    "(whom file permissions stop)"

TEST_F(CliReliability, AFileTheUserMayNotWriteIsNotReplaced) {
    REQUIRE_NOBODY();
    Own(dir.string(), true, 0755);  // nobody may add names to the folder
    const std::string pattern = Write("ro.lif", kBlockFile);
    const std::string image = Write("ro.gif", "an earlier image");
    Own(pattern, true, 0444);
    Own(image, true, 0444);
    const std::string soup = "--size 150x150 --soup 0.3:1 -g 1";

    CliResult save = Cli("exec " + nobody, soup + " --save " + pattern);
    EXPECT_EQ(save.status, 1);
    EXPECT_EQ(save.err, pattern + " is read-only or cannot be written.\n");
    CliResult gif = Cli("exec " + nobody, soup + " --gif " + image);
    EXPECT_EQ(gif.status, 1);
    EXPECT_EQ(gif.err, ImageExportFailedMessage(image, kGifCannotCreate) + "\n");

    EXPECT_EQ(Slurp(pattern), kBlockFile);
    EXPECT_EQ(Slurp(image), "an earlier image");
    EXPECT_EQ(Stat(pattern).st_mode & 07777, 0444u);
    EXPECT_EQ(Stat(image).st_mode & 07777, 0444u);
    EXPECT_TRUE(NoLeftovers("ro.lif"));
    EXPECT_TRUE(NoLeftovers("ro.gif"));
}

TEST_F(CliReliability, AWritableFileInAFolderTheUserCannotWriteIsWrittenInPlace) {
    REQUIRE_NOBODY();
    // The folder stays root's; the files are nobody's.
    const std::string pattern = Write("out.lif", kBlockFile);
    const std::string image = Write("out.gif", "an earlier image");
    Own(pattern, true, 0640);
    Own(image, true, 0640);
    const std::string soup = "--size 300x300 --soup 0.5:3 -g 1";

    CliResult ok = Cli("exec " + nobody, soup + " --save " + pattern + " --gif " + image);
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(Slurp(pattern).rfind("#Life 1.05\r\n", 0), 0u);
    EXPECT_EQ(Slurp(image).rfind("GIF87a", 0), 0u);
    for (const std::string& path : {pattern, image}) {
        EXPECT_EQ(Stat(path).st_mode & 07777, 0640u) << path;
        EXPECT_EQ(Stat(path).st_uid, ::getpwnam("nobody")->pw_uid) << path;
    }

    // A write that fails half-way cannot fall back on the old file: the user
    // is told that the file may be damaged.
    CliResult save = Cli(FileSizeLimit(4096) + " " + nobody, soup + " --save " + pattern);
    EXPECT_EQ(save.status, 1);
    EXPECT_EQ(save.err, "There is not enough space on the disk to save " + pattern + ". " +
                            Damaged(pattern) + "\n");
    CliResult gif = Cli(FileSizeLimit(4096) + " " + nobody, soup + " --gif " + image);
    EXPECT_EQ(gif.status, 1);
    EXPECT_EQ(gif.err, "Unable to save the image " + image +
                           ". The image could not be written completely. " + Damaged(image) + "\n");
    EXPECT_TRUE(NoLeftovers("out.lif"));
    EXPECT_TRUE(NoLeftovers("out.gif"));
}

TEST_F(CliReliability, TheSavedFileKeepsItsModeItsOwnerAndItsOtherNames) {
    REQUIRE_NOBODY();
    Own(dir.string(), true, 0755);
    const std::string pattern = Write("a.lif", kBlockFile);
    const std::string image = Write("a.gif", "an earlier image");
    Own(pattern, true, 0664);
    Own(image, true, 0604);
    std::filesystem::create_hard_link(pattern, Path("b.lif"));
    std::filesystem::create_hard_link(image, Path("b.gif"));
    // A file of root's that nobody may write but not give to anyone.
    const std::string roots = Write("roots.lif", kBlockFile);
    Own(roots, false, 0666);
    const std::string soup = "--size 150x150 --soup 0.3:1 -g 1";

    // A umask narrower than the files' modes changes nothing.
    CliResult run =
        Cli("umask 077; exec " + nobody, soup + " --save " + pattern + " --gif " + Path("b.gif"));
    EXPECT_EQ(run.status, 0) << run.err;
    CliResult other = Cli("umask 077; exec " + nobody, soup + " --save " + roots);
    EXPECT_EQ(other.status, 0) << other.err;

    EXPECT_NE(Slurp(pattern), kBlockFile);
    EXPECT_EQ(Slurp(roots), Slurp(pattern));
    EXPECT_EQ(Slurp(image).rfind("GIF87a", 0), 0u);
    EXPECT_EQ(Stat(pattern).st_mode & 07777, 0664u);
    EXPECT_EQ(Stat(image).st_mode & 07777, 0604u);
    EXPECT_EQ(Stat(roots).st_mode & 07777, 0666u);
    EXPECT_EQ(Stat(roots).st_uid, 0u);
    EXPECT_EQ(Stat(pattern).st_ino, Stat(Path("b.lif")).st_ino);
    EXPECT_EQ(Stat(image).st_ino, Stat(Path("b.gif")).st_ino);
    EXPECT_TRUE(NoLeftovers("a.lif") && NoLeftovers("b.gif") && NoLeftovers("roots.lif"));
}

TEST_F(CliReliability, ALinkToAFileNotThereYetMakesTheFileAndStaysALink) {
    REQUIRE_NOBODY();
    Own(dir.string(), true, 0755);
    std::filesystem::create_directory(Path("sub"));
    Own(Path("sub"), true, 0755);
    std::filesystem::create_symlink("sub/new.lif", Path("link.lif"));
    std::filesystem::create_symlink("sub/new.gif", Path("link.gif"));

    CliResult run =
        Cli("umask 022; exec " + nobody, "--size 150x150 --soup 0.3:1 --save " + Path("link.lif") +
                                             " --gif " + Path("link.gif"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_symlink(Path("link.lif")));
    EXPECT_TRUE(std::filesystem::is_symlink(Path("link.gif")));
    EXPECT_EQ(Slurp(Path("sub/new.lif")).rfind("#Life 1.05\r\n", 0), 0u);
    EXPECT_EQ(Slurp(Path("sub/new.gif")).rfind("GIF87a", 0), 0u);
    // Made like any new file: the umask decides its mode.
    EXPECT_EQ(Stat(Path("sub/new.lif")).st_mode & 07777, 0644u);
    EXPECT_EQ(Stat(Path("sub/new.gif")).st_mode & 07777, 0644u);
}

TEST_F(CliReliability, StandardOutputIsWrittenWhereItStandsThroughAPipeOrIntoAFile) {
    REQUIRE_NOBODY();
    const std::string soup = "--size 150x150 --soup 0.3:1 -g 2";
    CliResult file = Cli("", soup + " --save " + Path("soup.lif"));
    ASSERT_EQ(file.status, 0) << file.err;
    const std::string pattern = Slurp(Path("soup.lif"));
    // The runner writes into a pipe of root's; what comes out of it is the
    // pattern, then the status line.
    CliResult piped = Cli("{ " + nobody, soup + " --save /dev/stdout 2>&1; echo exit $?; } | cat");
    EXPECT_EQ(piped.out, pattern + file.out + "exit 0\n");
    // Standard output is a file of root's: the pattern goes into it, and the
    // status line after it, rather than a new file taking its name.
    CliResult redirected = Cli("exec " + nobody, soup + " --save /dev/stdout");
    EXPECT_EQ(redirected.status, 0) << redirected.err;
    EXPECT_EQ(redirected.out, pattern + file.out);
    EXPECT_TRUE(NoLeftovers("stdout.txt"));
}

// A file-size limit the program does not ignore beforehand: the signal is
// ignored by the program itself, and the write error reported as usual.
TEST_F(CliReliability, AFileSizeLimitIsAWriteErrorNotTheEndOfTheProgram) {
    const std::string single = Write("single.lif", kBlockFile);
    const std::string linked = Write("linked.lif", kBlockFile);
    std::filesystem::create_hard_link(linked, Path("alias.lif"));
    const std::string soup = "--size 300x300 --soup 0.5:3 -g 1 --save ";
    CliResult beside = Cli("exec prlimit --fsize=4096", soup + single);
    EXPECT_EQ(beside.status, 1);
    EXPECT_EQ(beside.err, "There is not enough space on the disk to save " + single + ".\n");
    EXPECT_EQ(Slurp(single), kBlockFile);
    EXPECT_TRUE(NoLeftovers("single.lif"));
    CliResult inPlace = Cli("exec prlimit --fsize=4096", soup + linked);
    EXPECT_EQ(inPlace.status, 1);
    EXPECT_EQ(inPlace.err, "There is not enough space on the disk to save " + linked + ". " +
                               Damaged(linked) + "\n");
}

// A file with two names is written in place: its content is made in memory
// first, so too little memory leaves the file as it was.
TEST_F(CliReliability, TooLittleMemoryToSaveInPlaceLeavesTheFileAsItWas) {
    if (kSanitized) GTEST_SKIP() << "AddressSanitizer cannot run under a small address-space limit";
    const std::string linked = Write("linked.lif", kBlockFile);
    std::filesystem::create_hard_link(linked, Path("alias.lif"));
    // Two boards of 100 MB fit under the limit; their 100 MB file does not.
    CliResult r = Cli("exec prlimit --as=300000000",
                      "--size 10000x10000 --soup 0.3:1 --threads 1 --save " + linked);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "There is not enough memory to save " + linked + ".\n");
    EXPECT_EQ(Slurp(linked), kBlockFile);
    EXPECT_EQ(Slurp(Path("alias.lif")), kBlockFile);
}

// Owner and mode go to the open file: no system call names a file for them.
TEST_F(CliReliability, OwnerAndModeAreNeverSetThroughAName) {
    if (::access("/usr/bin/strace", X_OK) != 0) GTEST_SKIP() << "strace not installed";
    const passwd* pw = ::getpwnam("nobody");
    if (::geteuid() != 0 || pw == nullptr) GTEST_SKIP() << "needs root, to save another's file";
    const std::string pattern = Write("theirs.lif", kBlockFile);
    Own(pattern, true, 0640);
    const std::string trace = Path("trace.txt");
    // LeakSanitizer cannot run under ptrace: leaks are looked for elsewhere.
    // Through a link of root's own: the system follows it, and nothing
    // resolves it by hand before the target is opened.
    const std::string link = Path("link.lif");
    std::filesystem::create_symlink(pattern, link);
    CliResult r =
        Cli("exec env ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" "
            "/usr/bin/strace -f -o " +
                trace +
                " -e trace=chmod,fchmod,fchmodat,chown,fchown,lchown,fchownat,open,openat,"
                "readlink,readlinkat",
            "--size 150x150 --soup 0.3:1 --save " + link);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string calls = Slurp(trace);
    // The open that follows the link: by its name in the folder held open.
    std::size_t opened = std::string::npos;
    for (std::size_t at = calls.find("\"link.lif\"");
         at != std::string::npos && opened == std::string::npos;
         at = calls.find("\"link.lif\"", at + 1)) {
        const std::string line = calls.substr(at, calls.find('\n', at) - at);
        if (line.find("O_PATH") != std::string::npos &&
            line.find("O_NOFOLLOW") == std::string::npos)
            opened = at;
    }
    ASSERT_NE(opened, std::string::npos) << calls;
    // No link under the test's folder is read before it; after it, only the
    // open file's own name as the system knows it.
    for (std::size_t at = calls.find("readlink"); at != std::string::npos;
         at = calls.find("readlink", at + 1)) {
        const std::string line = calls.substr(at, calls.find('\n', at) - at);
        if (at < opened)
            EXPECT_EQ(line.find(dir.string()), std::string::npos) << "before the open: " << line;
        else
            EXPECT_TRUE(line.find(dir.string()) == std::string::npos ||
                        line.rfind("readlink(\"/proc/self/fd/", 0) == 0)
                << line;
    }
    EXPECT_NE(calls.find("fchown("), std::string::npos) << calls;
    EXPECT_NE(calls.find("fchmod("), std::string::npos) << calls;
    for (const char* byName : {" chmod(", " chown(", " lchown(", "fchmodat(", "fchownat("})
        EXPECT_EQ(calls.find(byName), std::string::npos) << byName << "\n" << calls;
    EXPECT_EQ(Stat(pattern).st_uid, pw->pw_uid);
    EXPECT_EQ(Stat(pattern).st_mode & 07777, 0640u);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
}
