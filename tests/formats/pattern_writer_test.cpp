#include "formats/pattern_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "formats/pattern_reader.h"
#include "pattern_test_support.h"

using namespace cellarium;
using namespace cellarium::testing;

namespace {

std::unique_ptr<CellBoard> BoardWith(const Cells& cells, int width = 800, int height = 800) {
    auto board = CellBoard::Create(width, height);
    for (auto [x, y] : cells) board->Set(x, y, 1);
    return board;
}

std::string Written(const CellBoard& board, const Rule& rule = Rule()) {
    MemoryByteSink sink;
    WritePattern(board, rule, sink);
    return sink.bytes();
}

// What the writer puts out for a description on a board with no live cell.
std::string DescriptionLines(const std::string& description) {
    auto board = CellBoard::Create(150, 150);
    board->description = description;
    const std::string all = Written(*board);
    const std::string head = "#Life 1.05\r\n", tail = "\r\n#R 23/3\r\n#P 0 0\r\n";
    EXPECT_EQ(all.substr(0, head.size()), head);
    EXPECT_EQ(all.substr(all.size() - tail.size()), tail);
    return all.substr(head.size(), all.size() - head.size() - tail.size());
}

}  // namespace

TEST(Writer, GliderFileByteForByte) {
    auto board = BoardWith({{400, 399}, {401, 400}, {399, 401}, {400, 401}, {401, 401}});
    board->Set(400, 401, 77);  // any live value is "*"
    EXPECT_EQ(Written(*board), "#Life 1.05\r\n\r\n#R 23/3\r\n#P -1 -1\r\n.*.\r\n..*\r\n***\r\n");
}

TEST(Writer, PositionIsRelativeToTheCentre) {
    EXPECT_EQ(Written(*BoardWith({{400, 400}})), "#Life 1.05\r\n\r\n#R 23/3\r\n#P 0 0\r\n*\r\n");
    EXPECT_EQ(Written(*BoardWith({{0, 0}, {2, 1}}, 151, 153)),
              "#Life 1.05\r\n\r\n#R 23/3\r\n#P -75 -76\r\n*..\r\n..*\r\n");
}

TEST(Writer, EmptyBoardSavesAFileThatOpensAgain) {
    auto board = CellBoard::Create(800, 800);
    const std::string file = Written(*board);
    EXPECT_EQ(file, "#Life 1.05\r\n\r\n#R 23/3\r\n#P 0 0\r\n");
    ReadResult back = Read(file);
    EXPECT_TRUE(back.ok);
    EXPECT_TRUE(back.cells().empty());
}

TEST(Writer, RuleLineListsSurviveThenBornOrGivesTheNotation) {
    auto board = BoardWith({{400, 400}});
    EXPECT_NE(Written(*board, Rule::Totalistic(1u << 8, 1)).find("\r\n#R 0/8\r\n"),
              std::string::npos);
    // The rule with no entries reads back as itself.
    const std::string none = Written(*board, Rule::Totalistic(0, 0));
    EXPECT_NE(none.find("\r\n#R /\r\n"), std::string::npos);
    EXPECT_EQ(Read(none).rules, "s/b");
    // A rule with letters, or a MAP rule, is written in its notation.
    Rule::Table northward{};  // a cell is live next where its upper neighbour is
    for (unsigned block = 0; block < 512; ++block)
        if (block & 128) northward[block >> 6] |= uint64_t(1) << (block & 63);
    const std::string map = RuleString(Rule::FromTable(northward));
    ASSERT_EQ(map.substr(0, 3), "MAP");
    for (const std::string& rule : {std::string("B2-a/S12"), std::string("B3/S2-i34q"), map}) {
        const std::string file = Written(*board, ParseRule(rule).rule);
        EXPECT_NE(file.find("\r\n#R " + rule + "\r\n"), std::string::npos) << rule;
        EXPECT_EQ(Read(file).rules, rule);
    }
}

TEST(Writer, DescriptionLinesWrapAtSpacesWithinEightyCharacters) {
    EXPECT_EQ(DescriptionLines("Glider"), "#D Glider");
    EXPECT_EQ(DescriptionLines(""), "");
    // The space where a line breaks is left out: the reader puts it back.
    std::string words;
    for (char c = 'a'; c <= 'j'; ++c) words += std::string(9, c) + (c == 'j' ? "" : " ");
    EXPECT_EQ(DescriptionLines(words),
              "#D aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff ggggggggg\r\n"
              "#D hhhhhhhhh iiiiiiiii jjjjjjjjj");
    // A word longer than a line is split; a line break is an empty line.
    EXPECT_EQ(DescriptionLines(std::string(100, 'x')),
              "#D " + std::string(77, 'x') + "\r\n#D " + std::string(23, 'x'));
    EXPECT_EQ(DescriptionLines("one\r\ntwo\rthree\n"), "#D one\r\n#D\r\n#D two\r\n#D\r\n#D three");
}

TEST(Writer, RandomBoardsReadBackWithEveryCellInPlace) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 60; ++round) {
        const int w = std::uniform_int_distribution<int>(3, 70)(rng);
        const int h = std::uniform_int_distribution<int>(3, 70)(rng);
        const double density = std::uniform_real_distribution<double>(0.0, 0.6)(rng);
        auto board = CellBoard::Create(w, h);
        std::bernoulli_distribution live(round % 10 == 0 ? 0.0 : density);
        std::uniform_int_distribution<int> value(1, 255);
        for (int y = 1; y < h - 1; ++y)  // the interior: a border cell does not read back
            for (int x = 1; x < w - 1; ++x)
                if (live(rng)) board->Set(x, y, uint8_t(value(rng)));
        std::bernoulli_distribution entry(0.3);
        uint16_t survive = 0, born = 0;
        for (int n = 0; n < 9; ++n) {
            survive |= uint16_t(entry(rng) << n);
            born |= uint16_t(entry(rng) << n);
        }
        const Rule rule = Rule::Totalistic(born, survive);
        const std::string rules = FormatRuleText(rule);
        board->description = "round " + std::to_string(round);

        SCOPED_TRACE("round " + std::to_string(round) + ", board " + std::to_string(w) + "x" +
                     std::to_string(h));
        ReadResult back = Read(Written(*board, rule), w, h);
        ASSERT_TRUE(back.ok);
        EXPECT_EQ(back.cells(), LiveCells(*board));
        EXPECT_EQ(back.rules, rules);
        EXPECT_EQ(back.board().description, board->description);
    }
}

TEST(Writer, SamplesSurviveAWriteAndAReadUnchanged) {
    for (const char* name : {"glider_gun.rle", "r_pentomino.lif", "spaceship.lif",
                             "pentadecathlon.txt", "acorn.lif"}) {
        SCOPED_TRACE(name);
        ReadResult first = Read(Sample(name));
        ASSERT_TRUE(first.ok);
        EXPECT_GT(first.board().liveCount, 0);
        ReadResult second = Read(Written(first.board()));
        ASSERT_TRUE(second.ok);
        EXPECT_EQ(second.cells(), first.cells());
        EXPECT_EQ(second.rules, first.rules);
    }
}
