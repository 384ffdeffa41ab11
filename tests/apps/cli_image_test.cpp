// End-to-end: the built runner's --palette and --gif, its image decoded with
// giflib and compared with the cells the runner lists.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../colour/gif_decode.h"

namespace {

namespace fs = std::filesystem;

struct CliRun {
    int status = -1;
    std::string out;
};

// Runs the runner with the arguments (each single-quoted for the shell).
CliRun RunCli(const std::vector<std::string>& args, bool quietStderr = true) {
    std::string cmd = CELLARIUM_CLI;
    for (const auto& a : args) cmd += " '" + a + "'";
    if (quietStderr) cmd += " 2>/dev/null";
    CliRun r;
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::vector<uint8_t> ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CliImage : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("cellarium_cli_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

}  // namespace

TEST_F(CliImage, GifShowsTheFinalBoardInTheChosenPalette) {
    fs::path gif = dir_ / "soup.gif";
    CliRun r = RunCli({"--size", "210x160", "--soup", "0.35:9", "-g", "40", "--cells", "--palette",
                       "autumn", "--gif", gif.string()});
    ASSERT_EQ(r.status, 0);
    std::vector<uint8_t> expected(210 * 160, 0);
    std::istringstream lines(r.out);
    std::string line;
    int live = 0;
    while (std::getline(lines, line)) {
        int x, y, v;
        if (std::sscanf(line.c_str(), "%d %d %d", &x, &y, &v) == 3) {
            expected[std::size_t(y) * 210 + std::size_t(x)] = uint8_t(v);
            ++live;
        }
    }
    ASSERT_GT(live, 100);
    auto d = cellarium::test::DecodeWithGiflib(ReadFile(gif));
    ASSERT_TRUE(d.ok) << d.error;
    ASSERT_EQ(d.width, 210);
    ASSERT_EQ(d.height, 160);
    EXPECT_EQ(d.pixels, expected);
    // Autumn: black dead cells, entry 1 (252, 192, 0), entry 255 (8, 0, 0).
    EXPECT_EQ(std::vector<uint8_t>(d.colours.begin(), d.colours.begin() + 6),
              (std::vector<uint8_t>{0, 0, 0, 252, 192, 0}));
    EXPECT_EQ(std::vector<uint8_t>(d.colours.end() - 3, d.colours.end()),
              (std::vector<uint8_t>{8, 0, 0}));
}

TEST_F(CliImage, PaletteFileAndDefaultPalette) {
    fs::path gif = dir_ / "map.gif";
    ASSERT_EQ(RunCli({"--size", "150x150", "--palette",
                      std::string(CELLARIUM_TEST_DATA) + "/palette/dead_colour_repeated.map",
                      "--gif", gif.string(), "-q"})
                  .status,
              0);
    auto d = cellarium::test::DecodeWithGiflib(ReadFile(gif));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(std::vector<uint8_t>(d.colours.begin(), d.colours.begin() + 15),
              (std::vector<uint8_t>{0, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 0, 255, 0, 0}));

    ASSERT_EQ(RunCli({"--size", "150x150", "--gif", gif.string(), "-q"}).status, 0);
    d = cellarium::test::DecodeWithGiflib(ReadFile(gif));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(std::vector<uint8_t>(d.colours.begin(), d.colours.begin() + 6),
              (std::vector<uint8_t>{255, 255, 255, 0, 0, 51}));  // Rainbow
}

TEST_F(CliImage, FailuresAreReportedWithStatus1) {
    CliRun r = RunCli({"--size", "150x150", "--gif", (dir_ / "no" / "such" / "x.gif").string()});
    EXPECT_EQ(r.status, 1);
    r = RunCli({"--size", "150x150", "--palette", (dir_ / "missing.map").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(fs::is_empty(dir_));
    // The message names the file.
    std::string cmd = std::string(CELLARIUM_CLI) + " --size 150x150 --gif '" +
                      (dir_ / "no" / "x.gif").string() + "' 2>&1 >/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[512] = {};
    std::size_t n = fread(buf, 1, sizeof buf - 1, p);
    pclose(p);
    EXPECT_NE(std::string(buf, n).find("x.gif"), std::string::npos) << buf;
}

TEST_F(CliImage, GunAfter200GenerationsInAutumnOpensInGiflibAndImageMagick) {
    fs::path gif = dir_ / "gun.gif";
    CliRun r = RunCli({std::string(CELLARIUM_SAMPLES) + "/glider_gun.rle", "-g", "200", "--cells",
                       "--palette", "autumn", "--gif", gif.string()});
    ASSERT_EQ(r.status, 0);
    std::vector<uint8_t> expected(800 * 800, 0);
    std::istringstream lines(r.out);
    std::string line;
    int live = 0;
    while (std::getline(lines, line)) {
        int x, y, v;
        if (std::sscanf(line.c_str(), "%d %d %d", &x, &y, &v) == 3) {
            expected[std::size_t(y) * 800 + std::size_t(x)] = uint8_t(v);
            ++live;
        }
    }
    // The gun and the gliders it fired by then.
    ASSERT_GT(live, 36 + 5 * 6);
    EXPECT_NE(r.out.find("G:00200"), std::string::npos);
    auto d = cellarium::test::DecodeWithGiflib(ReadFile(gif));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.width, 800);
    EXPECT_EQ(d.height, 800);
    EXPECT_EQ(d.pixels, expected);
    EXPECT_EQ(std::vector<uint8_t>(d.colours.begin(), d.colours.begin() + 3),
              (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_TRUE(cellarium::test::ImageBlocks(ReadFile(gif)).wellFormed);

    // A second decoder, where one is installed.
    if (std::system("command -v identify >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ImageMagick is not installed";
    FILE* p = popen(("identify -format '%m %w %h' '" + gif.string() + "' 2>&1").c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[256] = {};
    std::size_t n = fread(buf, 1, sizeof buf - 1, p);
    EXPECT_EQ(pclose(p), 0);
    EXPECT_EQ(std::string(buf, n), "GIF 800 800");
}
