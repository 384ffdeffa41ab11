// The letter tables and the MAP bit order against bgolly on the same bounded
// plane: every rule of a single class of blocks (one Hensel letter, born or
// surviving), random isotropic rules and random MAP rules, each run from a
// small soup, must leave exactly the cells bgolly's QuickLife leaves.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/cell_board.h"
#include "formats/byte_stream.h"
#include "formats/pattern_reader.h"
#include "formats/rle_writer.h"
#include "formats/rule_notation.h"

using namespace cellarium;

namespace {

constexpr int kSide = 40;  // a 38 x 38 plane
constexpr int kGenerations = 6;

struct Quiet final : PatternReporter {
    void ShowMessage(const std::string& text) override { message = text; }
    std::string message;
};

// The live cells of a board, moved so that the least column and row are 0.
std::vector<std::pair<int, int>> Shape(const CellBoard& b) {
    std::vector<std::pair<int, int>> cells;
    int minX = kSide, minY = kSide;
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x)
            if (b.At(x, y)) {
                cells.emplace_back(y, x);
                minX = std::min(minX, x);
                minY = std::min(minY, y);
            }
    for (auto& [y, x] : cells) y -= minY, x -= minX;
    return cells;
}

class RuleOracle : public ::testing::Test {
protected:
    void SetUp() override {
        bgolly_ = CELLARIUM_BGOLLY;
        if (bgolly_.empty() || !std::filesystem::exists(bgolly_))
            GTEST_SKIP() << "bgolly not found (Debian package golly): no peer to compare with";
        dir_ = std::filesystem::temp_directory_path() /
               ("cellarium-rule-oracle-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    // Runs `rule` from a soup of seed `seed` here and in bgolly; the text of
    // the rule names the failure.
    void Compare(const Rule& rule, uint64_t seed, int generations = kGenerations) {
        const std::string text = RuleString(rule);
        SCOPED_TRACE(text);
        auto cur = CellBoard::Create(kSide, kSide);
        auto scratch = CellBoard::Create(kSide, kSide);
        std::mt19937_64 rng(seed);
        for (int y = 14; y < 26; ++y)
            for (int x = 14; x < 26; ++x)
                if (rng() % 100 < 40) cur->Set(x, y, 1);
        cur->ScanBounds();
        int32_t live = 0;
        for (std::size_t i = 0; i < cur->CellCount(); ++i) live += cur->Cells()[i] != 0;
        cur->liveCount = live;
        const std::string in = (dir_ / "in.rle").string(), out = (dir_ / "out.rle").string();
        {
            MemoryByteSink sink;
            WriteRlePattern(*cur, rule, sink, RleGrid::Bounded);
            std::ofstream(in, std::ios::binary) << sink.bytes();
        }
        for (int g = 0; g < generations; ++g) {
            int32_t births, deaths;
            cur->ComputeNext(*scratch, rule, g + 1, births, deaths);
            std::swap(cur, scratch);
        }
        std::filesystem::remove(out);
        const std::string command = bgolly_ + " -q -q -a QuickLife -m " +
                                    std::to_string(generations) + " -o " + out + " " + in +
                                    " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream file(out, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(file), {}};
        ASSERT_FALSE(bytes.empty()) << "bgolly wrote nothing";
        auto theirs = CellBoard::Create(kSide, kSide);
        MemoryByteSource source(bytes);
        Quiet quiet;
        Rule read;
        ASSERT_TRUE(ReadPattern(*theirs, source, quiet, read)) << quiet.message;
        EXPECT_TRUE(read == rule) << "bgolly wrote the rule as " << RuleString(read);
        EXPECT_EQ(Shape(*theirs), Shape(*cur));
        shown_ += Shape(*cur).empty() ? 0 : 1;
    }

    std::string bgolly_;
    int shown_ = 0;  // comparisons that ended with live cells
    std::filesystem::path dir_;
};

}  // namespace

TEST_F(RuleOracle, EverySingleClassRuleRunsAsBgollyRunsIt) {
    int rules = 0;
    for (const bool survive : {false, true})
        for (int n = 0; n <= 8; ++n) {
            const std::string letters = HenselLetters(n);
            for (std::size_t k = 0; k < std::max<std::size_t>(letters.size(), 1); ++k) {
                if (!survive && n == 0) continue;  // B0 is no rule for a dead border
                const std::string part =
                    std::to_string(n) + (letters.empty() ? "" : letters.substr(k, 1));
                const std::string text = survive ? "B/S" + part : "B" + part + "/S";
                const RuleParse parse = ParseRule(text);
                ASSERT_TRUE(parse.ok()) << text;
                // The class alone for one generation, and Conway's rule with
                // the class turned over for several, where the soup lives on.
                Compare(parse.rule, 7 + uint64_t(rules), 1);
                Rule::Table turned = Rule().table();
                for (std::size_t w = 0; w < turned.size(); ++w) turned[w] ^= parse.rule.table()[w];
                Compare(Rule::FromTable(turned), 300 + uint64_t(rules));
                ++rules;
            }
        }
    EXPECT_EQ(rules, 101);   // 51 classes, born and surviving, but for B0
    EXPECT_GE(shown_, 150);  // the comparisons are of live cells, not of empty boards
}

TEST_F(RuleOracle, RandomIsotropicAndMapRulesRunAsBgollyRunsThem) {
    std::mt19937_64 rng(2929);
    for (int round = 0; round < 24; ++round) {
        Rule::Table table{};
        if (round % 2 == 0) {
            for (uint64_t& word : table) word = rng();
        } else {
            for (unsigned block = 0; block < 512; ++block) {
                if (rng() % 3 != 0) continue;
                unsigned b = block;
                for (int m = 0; m < 2; ++m, b = MirrorBlock(b))
                    for (int t = 0; t < 4; ++t, b = TurnBlock(b))
                        table[b >> 6] |= uint64_t(1) << (b & 63);
            }
        }
        table[0] &= ~uint64_t(1);  // no birth on an empty block: B0 is the border's
        Compare(Rule::FromTable(table), uint64_t(round), 3);
    }
    EXPECT_GE(shown_, 20);
}

TEST_F(RuleOracle, TheNamedRulesRunAsBgollyRunsThem) {
    for (const NamedRule& row : NamedRules()) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(RuleString(row.rule), row.notation);
        Compare(row.rule, 4242, 8);
    }
    EXPECT_GE(shown_, 15);
}
