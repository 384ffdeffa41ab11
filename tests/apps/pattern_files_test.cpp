#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/cell_board.h"
#include "engine/rules.h"
#include "pattern_files.h"

using namespace cellarium;
namespace fs = std::filesystem;

namespace {

class PatternFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("cellarium-pattern-files-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static std::string Contents(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir_;
};

}  // namespace

TEST_F(PatternFiles, SaveReplacesAnExistingFileWhole) {
    const fs::path target = dir_ / "saved.lif";
    std::ofstream(target) << std::string(5000, 'z');
    auto board = CellBoard::Create(800, 800);
    board->At(400, 400) = 1;
    ResetRules();
    std::string error;
    ASSERT_TRUE(SavePatternFile(*board, target.string(), error)) << error;
    EXPECT_EQ(Contents(target), "#Life 1.05\r\n\r\n#R 23/3\r\n#P 0 0\r\n*\r\n");
    // Only the target is left, readable like any plainly created file.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
    const mode_t mask = umask(0);
    umask(mask);
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST_F(PatternFiles, FailedSaveSaysWhyAndLeavesNothing) {
    auto board = CellBoard::Create(150, 150);
    std::string error;
    EXPECT_FALSE(SavePatternFile(*board, (dir_ / "missing" / "x.lif").string(), error));
    EXPECT_NE(error.find("cannot save to"), std::string::npos);
    EXPECT_NE(error.find("No such file or directory"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(PatternFiles, LoadReportsUnreadableAndTooBigPatterns) {
    auto board = CellBoard::Create(150, 150);
    std::string error;
    EXPECT_FALSE(LoadPatternFile(dir_.string(), *board, error));  // a folder
    EXPECT_NE(error.find("cannot read pattern"), std::string::npos) << error;

    EXPECT_FALSE(LoadPatternFile(std::string(CELLARIUM_TEST_DATA) + "/rle_taller_than_board.rle",
                                 *board, error));
    EXPECT_EQ(error.rfind("That pattern is too big for this board.  The maximum size is 150x150.", 0),
              0u);

    ASSERT_TRUE(LoadPatternFile(std::string(CELLARIUM_SAMPLES) + "/r_pentomino.lif", *board, error));
    EXPECT_EQ(board->liveCount, 5);
}
