// The runner on failing disks, on the largest boards and short of memory:
// the user is told, the run ends cleanly, and an earlier good file at the
// target is still whole after a failed save or export.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "../document/life_session.h"
#include "document/life_app_base.h"
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
