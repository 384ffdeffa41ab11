#include "formats/rle_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "formats/pattern_reader.h"
#include "formats/pattern_writer.h"
#include "pattern_test_support.h"

using namespace cellarium;
using namespace cellarium::testing;

namespace {

std::unique_ptr<CellBoard> BoardWith(const Cells& cells, int width = 800, int height = 800) {
    auto board = CellBoard::Create(width, height);
    for (auto [x, y] : cells) board->Set(x, y, 1);
    return board;
}

std::string Rle(const CellBoard& board, RleGrid grid = RleGrid::Bounded,
                const Rule& rule = Rule()) {
    MemoryByteSink sink;
    WriteRlePattern(board, rule, sink, grid);
    return sink.bytes();
}

std::string Plaintext(const CellBoard& board, const std::string& title = "t") {
    MemoryByteSink sink;
    WritePlaintextPattern(board, title, sink);
    return sink.bytes();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text not ending in CR LF";
    return lines;
}

// Random cells of random values; the border too when asked, all but the
// storage's last cell, which no run-length pattern can set (a run reaching it
// writes nothing).
void Scatter(CellBoard& board, double density, bool border, std::mt19937& rng) {
    std::bernoulli_distribution live(density);
    std::uniform_int_distribution<int> value(1, 255);
    const int edge = border ? 0 : 1;
    for (int y = edge; y < board.height - edge; ++y)
        for (int x = edge; x < board.width - edge; ++x)
            if (live(rng) && !(x == board.width - 1 && y == board.height - 1))
                board.Set(x, y, uint8_t(value(rng)));
}

// A totalistic rule, a random isotropic one (whole classes of blocks) or any
// 512-entry table, by turns.
Rule RandomRule(std::mt19937& rng) {
    std::bernoulli_distribution entry(0.3);
    Rule::Table table{};
    switch (rng() % 3) {
        case 0: {
            uint16_t survive = 0, born = 0;
            for (int n = 0; n < 9; ++n) {
                survive |= uint16_t(entry(rng) << n);
                born |= uint16_t(entry(rng) << n);
            }
            return Rule::Totalistic(born, survive);
        }
        case 1:
            for (unsigned block = 0; block < 512; ++block) {
                if (!entry(rng)) continue;
                unsigned b = block;
                for (int m = 0; m < 2; ++m, b = MirrorBlock(b))
                    for (int t = 0; t < 4; ++t, b = TurnBlock(b))
                        table[b >> 6] |= uint64_t(1) << (b & 63);
            }
            return Rule::FromTable(table);
        default:
            for (uint64_t& word : table) word = uint64_t(rng()) << 32 | rng();
            return Rule::FromTable(table);
    }
}

}  // namespace

TEST(RleWriter, GliderByteForByte) {
    auto board = BoardWith({{400, 399}, {401, 400}, {399, 401}, {400, 401}, {401, 401}});
    board->Set(400, 401, 77);  // any live value is "o"
    EXPECT_EQ(Rle(*board),
              "#CXRLE Pos=-1,-1\r\nx = 3, y = 3, rule = B3/S23:P798,798\r\nbo$2bo$3o!\r\n");
    EXPECT_EQ(Rle(*board, RleGrid::Plain),
              "#CXRLE Pos=-1,-1\r\nx = 3, y = 3, rule = B3/S23\r\nbo$2bo$3o!\r\n");
    const Rule b06 = Rule::Totalistic(0b1000001, 0b1110);
    EXPECT_EQ(Lines(Rle(*BoardWith({{10, 10}}, 151, 160), RleGrid::Bounded, b06))[1],
              "x = 1, y = 1, rule = B06/S123:P149,158");
    EXPECT_EQ(Lines(Rle(*board, RleGrid::Plain, ParseRule("b3s2-i34q").rule))[1],
              "x = 3, y = 3, rule = B3/S2-i34q");
}

TEST(RleWriter, EmptyRowsCollapseAndRowEndsDropTheirDeadCells) {
    // Row 0: o then dead to the box's right edge; rows 1..3 empty; row 4: the
    // far cell; row 5 empty; row 6: the first cell.
    auto board = BoardWith({{100, 100}, {104, 104}, {100, 106}});
    const auto lines = Lines(Rle(*board));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "#CXRLE Pos=-300,-300");
    EXPECT_EQ(lines[1], "x = 5, y = 7, rule = B3/S23:P798,798");
    EXPECT_EQ(lines[2], "o4$4bo2$o!");
}

TEST(RleWriter, EmptyBoardWritesAnEmptyPatternThatReadsBackEmpty) {
    auto board = BoardWith({});
    board->description = "nothing here";
    const std::string text = Rle(*board);
    EXPECT_EQ(text, "#C nothing here\r\nx = 0, y = 0, rule = B3/S23:P798,798\r\n!\r\n");
    ReadResult back = Read(text);
    ASSERT_TRUE(back.ok);
    EXPECT_TRUE(back.cells().empty());
    EXPECT_EQ(back.board().liveCount, 0);
    EXPECT_EQ(back.board().description, "nothing here");
}

TEST(RleWriter, DataLinesStayWithinSeventyColumnsAndKeepCountsWhole) {
    // Alternating cells give two-character items that must wrap; a row of
    // 700 live cells and gaps of 300 give counts far longer lines would split.
    auto board = CellBoard::Create(1000, 1000);
    for (int x = 10; x < 400; x += 2) board->Set(x, 10, 1);
    for (int x = 10; x < 710; ++x) board->Set(x, 11, 1);
    board->Set(10, 12, 1);
    board->Set(990, 12, 1);
    for (int y = 13; y < 990; y += 3) board->Set(10 + (y * 7) % 900, y, 1);
    const std::string text = Rle(*board);
    const auto lines = Lines(text);
    ASSERT_GT(lines.size(), 10u);
    for (std::size_t i = 2; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 70u) << lines[i];
        EXPECT_FALSE(std::isdigit(static_cast<unsigned char>(lines[i].back()))) << lines[i];
    }
    EXPECT_NE(text.find("700o"), std::string::npos);
    EXPECT_NE(text.find("979bo"), std::string::npos);
    ReadResult back = Read(text, 1000, 1000);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.cells(), LiveCells(*board));
}

// Whichever format a pattern is saved in, it opens again with the same
// description byte for byte and the same name, in lines other programs read.
TEST(PatternWriters, DescriptionAndNameComeBackByteForByteInLinesOfSeventy) {
    std::string prose;  // 300 words of varied length, some spaces doubled
    for (int i = 0; i < 300; ++i)
        prose += std::string(std::size_t(1 + i * 7 % 11), char('a' + i % 26)) +
                 (i % 13 == 0 ? "  " : " ");
    while (prose.back() == ' ') prose.pop_back();
    const std::string descriptions[] = {"Glider",
                                        "a,b;c.d!e) f",
                                        "Para one.\r\n\r\nPara two.",
                                        "line ends in a space \r\nnext",
                                        prose,
                                        prose + "\r\n" + prose,
                                        std::string(30000, 'w')};
    for (const std::string& description : descriptions) {
        auto board = BoardWith({{100, 100}}, 200, 200);
        board->description = description;
        board->name = "Glider\ngun\x7f";
        MemoryByteSink life;
        WritePattern(*board, Rule(), life);
        for (const std::string& text : {life.bytes(), Rle(*board), Plaintext(*board, "x.cells")}) {
            SCOPED_TRACE(text.substr(0, 40));
            for (const std::string& line : Lines(text))
                EXPECT_LE(line.size(), text == life.bytes() ? 80u : 70u);
            ReadResult back = Read(text, 200, 200);
            ASSERT_TRUE(back.ok);
            // A word split across lines comes back with a space where it was split.
            if (description[0] != 'w') {
                EXPECT_EQ(back.board().description, description);
            }
            EXPECT_EQ(back.board().name, text == life.bytes() ? "" : "Glidergun");
        }
    }
    // The name travels in the form it came in.
    EXPECT_EQ(Read("#N Gosper gun\r\nx = 1, y = 1\r\no!\r\n").board().name, "Gosper gun");
    EXPECT_EQ(Read("!Name: Blinker\r\nOOO\r\n").board().name, "Blinker");
}

TEST(RleWriter, RandomBoardsReadBackWithEveryCellInPlace) {
    std::mt19937 rng(77031);
    for (int round = 0; round < 60; ++round) {
        const int w = std::uniform_int_distribution<int>(3, 90)(rng);
        const int h = std::uniform_int_distribution<int>(3, 90)(rng);
        auto board = CellBoard::Create(w, h);
        const double density = round % 10 == 0 ? 0.0 : (round % 3 == 0 ? 0.9 : 0.2);
        Scatter(*board, density, false, rng);
        const Rule rule = RandomRule(rng);
        const std::string rules = FormatRuleText(rule);
        board->description = "round " + std::to_string(round);

        SCOPED_TRACE("round " + std::to_string(round) + ", board " + std::to_string(w) + "x" +
                     std::to_string(h));
        for (RleGrid grid : {RleGrid::Bounded, RleGrid::Plain}) {
            ReadResult back = Read(Rle(*board, grid, rule), w, h);
            ASSERT_TRUE(back.ok);
            EXPECT_EQ(back.cells(), LiveCells(*board));
            EXPECT_EQ(back.rules, rules);
            EXPECT_EQ(back.board().description, board->description);
        }
    }
}

TEST(RleWriter, CellsOnEveryEdgeOfTheInteriorComeBackAndBorderCellsDoNot) {
    for (auto [w, h] : {std::pair{150, 150}, std::pair{151, 157}, std::pair{800, 800}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const Cells interior = {{1, 1}, {w - 2, 1}, {1, h - 2}, {w - 2, h - 2}, {w / 2, h / 2}};
        for (const Cells& cells : {interior, Cells{{1, 1}}, Cells{{w - 2, h - 2}}}) {
            auto board = BoardWith(cells, w, h);
            ReadResult back = Read(Rle(*board), w, h);
            ASSERT_TRUE(back.ok);
            EXPECT_EQ(back.cells(), LiveCells(*board));
        }
        // A border cell comes back one cell further in, with the rest.
        for (auto [border, in] : {std::pair{std::pair{0, 5}, std::pair{1, 5}},
                                  {{w - 1, 5}, {w - 2, 5}},
                                  {{5, 0}, {5, 1}},
                                  {{5, h - 1}, {5, h - 2}}}) {
            ReadResult back = Read(Rle(*BoardWith({border, {w / 2, h / 2}}, w, h)), w, h);
            ASSERT_TRUE(back.ok);
            const int dx = in.first - border.first, dy = in.second - border.second;
            EXPECT_EQ(back.cells(), LiveCells(*BoardWith({in, {w / 2 + dx, h / 2 + dy}}, w, h)));
        }
    }
}

// The position line places a pattern exactly where a Life 1.05 "#P" line puts
// the same cells, and without it a pattern is centred as before.
TEST(RleReader, PositionCommentPlacesThePatternAsHashPDoes) {
    std::mt19937 rng(5150);
    for (int round = 0; round < 20; ++round) {
        const int w = std::uniform_int_distribution<int>(150, 260)(rng);
        const int h = std::uniform_int_distribution<int>(150, 260)(rng);
        auto board = CellBoard::Create(w, h);
        const int x0 = std::uniform_int_distribution<int>(1, w - 12)(rng);
        const int y0 = std::uniform_int_distribution<int>(1, h - 12)(rng);
        for (int i = 0; i < 30; ++i) board->Set(x0 + int(rng() % 10), y0 + int(rng() % 10), 1);
        MemoryByteSink life;
        WritePattern(*board, Rule(), life);
        ReadResult fromLife = Read(life.bytes(), w, h);
        ReadResult fromRle = Read(Rle(*board), w, h);
        ASSERT_TRUE(fromLife.ok && fromRle.ok);
        EXPECT_EQ(fromRle.cells(), fromLife.cells());
        EXPECT_EQ(fromRle.cells(), LiveCells(*board));
    }
}

TEST(RleReader, PositionCommentIsOptionalAndNotPartOfTheDescription) {
    // Without the line: centred on the board as run-length patterns always were.
    ReadResult centred = Read("#C a blinker\r\nx = 3, y = 1\r\n3o!\r\n", 200, 200);
    ASSERT_TRUE(centred.ok);
    EXPECT_EQ(centred.cells(), (Cells{{98, 99}, {99, 99}, {100, 99}}));
    EXPECT_EQ(centred.board().description, "a blinker");

    // With it, before or after other comments and with more fields after it.
    for (const char* text :
         {"#C a blinker\r\n#CXRLE Pos=-99,37 Gen=12\r\nx = 3, y = 1\r\n3o!\r\n",
          "#CXRLE Pos=-99,37\n#C a blinker\nx = 3, y = 1, rule = B3/S23\n3o!\n"}) {
        SCOPED_TRACE(text);
        ReadResult placed = Read(text, 200, 200);
        ASSERT_TRUE(placed.ok);
        EXPECT_EQ(placed.cells(), (Cells{{1, 137}, {2, 137}, {3, 137}}));
        EXPECT_EQ(placed.board().description, "a blinker");
    }

    // A position off the board moves the pattern onto it, as any other.
    ReadResult off = Read("#CXRLE Pos=0,-101\r\nx = 3, y = 1\r\n3o!\r\n", 200, 200);
    ASSERT_TRUE(off.ok);
    EXPECT_EQ(off.cells(), (Cells{{100, 1}, {101, 1}, {102, 1}}));
    // "#D" lines are description whatever they say.
    ReadResult d = Read("#D XRLE Pos=5,5\r\nx = 1, y = 1\r\no!\r\n", 200, 200);
    EXPECT_EQ(d.board().description, "XRLE Pos=5,5");
    EXPECT_EQ(d.cells(), (Cells{{99, 99}}));
}

TEST(PlaintextWriter, GliderByteForByteAndBackAsTheSameShape) {
    auto board = BoardWith({{400, 399}, {401, 400}, {399, 401}, {400, 401}, {401, 401}});
    board->Set(401, 401, 200);
    board->description = "glider\r\nby hand";
    const std::string text = Plaintext(*board, "glider.cells");
    EXPECT_EQ(text, "!Name: glider.cells\r\n!glider\r\n!\r\n!by hand\r\n.O.\r\n..O\r\nOOO\r\n");
    ReadResult back = Read(text);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(Shape(back.cells()), Shape(LiveCells(*board)));
    EXPECT_EQ(back.rules, "s23/b3");
}

TEST(PlaintextWriter, RandomBoardsReadBackAsTheSameShape) {
    std::mt19937 rng(9911);
    for (int round = 0; round < 30; ++round) {
        const int w = std::uniform_int_distribution<int>(150, 200)(rng);
        auto board = CellBoard::Create(w, w);
        // A patch well inside: the reader centres plaintext patterns.
        std::bernoulli_distribution live(round % 10 == 0 ? 0.0 : 0.4);
        for (int y = 20; y < 70; ++y)
            for (int x = 30; x < 90; ++x)
                if (live(rng)) board->Set(x, y, 1);
        SCOPED_TRACE("round " + std::to_string(round));
        ReadResult back = Read(Plaintext(*board), w, w);
        ASSERT_TRUE(back.ok);
        EXPECT_EQ(Shape(back.cells()), Shape(LiveCells(*board)));
    }
}
