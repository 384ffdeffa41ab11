// The runner on failing disks, on the largest boards and short of memory:
// the user is told, the run ends cleanly, and an earlier good file at the
// target is still whole after a failed save or export.
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
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
    constexpr long kBoardKb = 10000L * 10000L / 1024;
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
    // A megabyte of random bytes: whatever numbers it spells become colours.
    std::string noise(1 << 20, '\0');
    uint32_t x = 12345;
    for (char& c : noise) c = char((x = x * 1103515245u + 12345u) >> 24);
    const std::string map = Write("noise.map", noise);
    CliResult binary = Cli(
        "", "--size 150x150 --soup 0.3:1 --palette " + map + " --gif " + Path("noise.gif") + " -q");
    EXPECT_EQ(binary.status, 0) << binary.err;
    EXPECT_EQ(Slurp(Path("noise.gif")).substr(0, 4), "GIF8");

    // A folder is no palette: the run stops with a message and writes nothing.
    CliResult folder =
        Cli("", "--size 150x150 --palette " + dir.string() + " --gif " + Path("folder.gif"));
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.err.find(dir.string()), std::string::npos) << folder.err;
    EXPECT_FALSE(std::filesystem::exists(Path("folder.gif")));
}

TEST_F(CliReliability, EndlessPatternOrPaletteSourcesStopWithAMessage) {
    // A device that never ends, named as the palette file or the pattern. The
    // timeout only turns a hang into a failure; the runs end long before it.
    const std::string guard = "exec timeout 300";
    CliResult palette = Cli(guard, "--palette /dev/zero --soup 0.3 -g 1 --gif " + Path("zero.gif"));
    EXPECT_EQ(palette.status, 1);
    EXPECT_EQ(palette.out, "");
    EXPECT_NE(palette.err.find("palette file '/dev/zero'"), std::string::npos) << palette.err;
    EXPECT_FALSE(std::filesystem::exists(Path("zero.gif")));

    if (kSanitized)
        GTEST_SKIP() << "reading the longest pattern under AddressSanitizer takes minutes";
    CliResult pattern = Cli(guard, "/dev/zero");
    EXPECT_EQ(pattern.status, 1);
    EXPECT_EQ(pattern.out, "");
    EXPECT_EQ(pattern.err, PatternTooLongMessage() + "\n");
    std::printf("[ time   ] /dev/zero as the pattern, read up to %lld bytes: %.1f s of CPU\n",
                static_cast<long long>(kMaxPatternBytes), pattern.cpuSeconds);
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
    CliResult r =
        Cli("exec env ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" "
            "/usr/bin/strace -f -o " +
                trace + " -e trace=chmod,fchmod,fchmodat,chown,fchown,lchown,fchownat",
            "--size 150x150 --soup 0.3:1 --save " + pattern);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string calls = Slurp(trace);
    EXPECT_NE(calls.find("fchown("), std::string::npos) << calls;
    EXPECT_NE(calls.find("fchmod("), std::string::npos) << calls;
    for (const char* byName : {" chmod(", " chown(", " lchown(", "fchmodat(", "fchownat("})
        EXPECT_EQ(calls.find(byName), std::string::npos) << byName << "\n" << calls;
    EXPECT_EQ(Stat(pattern).st_uid, pw->pw_uid);
    EXPECT_EQ(Stat(pattern).st_mode & 07777, 0640u);
}
