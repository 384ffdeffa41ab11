#include "formats/pattern_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "formats/pattern_writer.h"
#include "pattern_test_support.h"

using namespace cellarium;
using namespace cellarium::testing;

namespace {

// A glider whose 3 x 3 block has its top-left corner at (399, 399): where
// every glider fixture on an 800 x 800 board should end up.
const Cells kCentredGlider = {{400, 399}, {401, 400}, {399, 401}, {400, 401}, {401, 401}};

const std::string kTooBig800 =
    "That pattern is too big for this board.  The maximum size is 800x800. You can change the "
    "board size on the Tools menu at the file selection screen to choose a bigger board size.";

// Line-end variants of the same text. A line end is a run of CRs followed by
// an LF, or an LF followed by any run of CRs; each becomes `lineEnd`. Runs of
// CRs with no LF next to them are left as they are.
std::string WithLineEnds(const std::string& text, const std::string& lineEnd) {
    std::string out;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        if (text[i] == '\r') {
            std::size_t j = i;
            while (j < n && text[j] == '\r') ++j;
            if (j < n && text[j] == '\n') {
                out += lineEnd;
                i = j + 1;
            } else {
                out.append(text, i, j - i);
                i = j;
            }
        } else if (text[i] == '\n') {
            out += lineEnd;
            for (++i; i < n && text[i] == '\r';) ++i;
        } else {
            out += text[i++];
        }
    }
    return out;
}

// Whether the text has a run of CRs with no LF next to it: a line end of its
// own, which would join an LF CR line end put right before it.
bool HasLoneCr(const std::string& text) {
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        if (text[i] != '\r') {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < n && text[j] == '\r') ++j;
        const bool afterLf = i > 0 && text[i - 1] == '\n', beforeLf = j < n && text[j] == '\n';
        if (!afterLf && !beforeLf) return true;
        i = j;
    }
    return false;
}

void ExpectSameRead(const ReadResult& a, const ReadResult& b) {
    EXPECT_EQ(a.ok, b.ok);
    EXPECT_EQ(a.cells(), b.cells());
    EXPECT_EQ(a.board().liveCount, b.board().liveCount);
    EXPECT_EQ(a.board().bounds, b.board().bounds);
    EXPECT_EQ(a.rules, b.rules);
    EXPECT_EQ(a.board().description, b.board().description);
}

// A source that never ends, as a device like /dev/zero is: `start`, then
// `fill` for ever. It counts the bytes pulled from it.
class EndlessSource final : public ByteSource {
public:
    explicit EndlessSource(std::string start, uint8_t fill = 0)
        : start_(std::move(start)), fill_(fill) {}
    int Read(uint8_t& byte) override {
        byte = pulled_ < start_.size() ? uint8_t(start_[pulled_]) : fill_;
        ++pulled_;
        return 1;
    }
    std::size_t pulled() const { return pulled_; }

private:
    std::string start_;
    uint8_t fill_;
    std::size_t pulled_ = 0;
};

struct KeptMessages final : PatternReporter {
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowNote(const std::string& line) override { notes.push_back(line); }
    std::vector<std::string> messages;
    std::vector<std::string> notes;
};

// One read of `text` onto a plain board, keeping the messages and notes.
struct Kept {
    std::unique_ptr<CellBoard> board;
    KeptMessages reporter;
    Rule rule;
    bool ok = false;
};
Kept ReadKept(const std::string& text, int width = 150, int height = 150) {
    Kept k;
    k.board = CellBoard::Create(width, height);
    MemoryByteSource source(text);
    k.ok = ReadPattern(*k.board, source, k.reporter, k.rule);
    return k;
}

}  // namespace

TEST(Reader, EmptyInputGivesAnEmptyCentredPattern) {
    ReadResult r = Read("");
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.cells().empty());
    EXPECT_EQ(r.board().description, "");
    EXPECT_EQ(r.rules, "s23/b3");
    EXPECT_EQ(r.board().bounds, r.board().WholeBox());
}

TEST(Reader, Life105WithPositionDescriptionAndRules) {
    ReadResult r = Read(Fixture("life105_glider_with_description.lif"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.cells(), kCentredGlider);
    EXPECT_EQ(r.board().liveCount, 5);
    EXPECT_EQ(r.rules, "s23/b3");
    // Spaces after "#D" go, spaces inside stay, line ends become one space,
    // trailing white space is trimmed.
    EXPECT_EQ(r.board().description, "Glider:   the smallest spaceship. Found in 1970.");
    EXPECT_EQ(r.board().bounds, (Rect{399, 399, 401, 401}));
}

TEST(Reader, PicturesWithoutPositionAreCentred) {
    ReadResult r = Read(Fixture("life105_unplaced_glider.lif"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.cells(), kCentredGlider);
    EXPECT_EQ(r.board().bounds, r.board().WholeBox());

    // On an odd-sized board the glider's corner lands at half(W - 2), half(H - 2).
    ReadResult odd = Read(Fixture("life105_unplaced_glider.lif"), 151, 157);
    ASSERT_TRUE(odd.ok);
    EXPECT_EQ(odd.cells(), (Cells{{75, 77}, {76, 78}, {74, 79}, {75, 79}, {76, 79}}));
}

TEST(Reader, Life106CoordinatesAreRelativeToTheCentre) {
    ReadResult r = Read(Fixture("life106_glider.lif"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.cells(), kCentredGlider);
    EXPECT_EQ(r.board().bounds, (Rect{399, 399, 401, 401}));  // placed, so not the whole box
}

TEST(Reader, RleHeaderCentresThePatternAndSetsTheRule) {
    ReadResult r = Read(Fixture("rle_glider_with_rule.rle"));
    ASSERT_TRUE(r.ok);
    // Top-left corner at half(800 - 3) = 398.
    EXPECT_EQ(r.cells(), (Cells{{399, 398}, {400, 399}, {398, 400}, {399, 400}, {400, 400}}));
    EXPECT_EQ(r.rules, "s23/b36");
    EXPECT_EQ(r.board().description, "A glider in HighLife");

    // A header without rule text gives Conway's rule, whatever came before it.
    ReadResult plain = Read(Fixture("rle_header_without_rule.rle"));
    ASSERT_TRUE(plain.ok);
    EXPECT_EQ(plain.cells(), r.cells());
    EXPECT_EQ(plain.rules, "s23/b3");
}

TEST(Reader, RleCountsRowSkipsAndEveryLiveLetter) {
    ReadResult r = Read(Fixture("rle_counts_and_cell_letters.rle"));
    ASSERT_TRUE(r.ok);
    // Origin (397, 397); "3$" moves down three rows; x y z X Y Z are live; a
    // count before "!" does nothing.
    EXPECT_EQ(r.cells(), (Cells{{397, 397},
                                {398, 397},
                                {397, 400},
                                {398, 400},
                                {399, 400},
                                {397, 401},
                                {398, 401},
                                {399, 401}}));
}

TEST(Reader, TextAfterRleEndBecomesTheDescription) {
    ReadResult r = Read(Fixture("rle_trailing_description.rle"));
    ASSERT_TRUE(r.ok);
    // The rest of the "!" line is ignored; "#" and the byte after it are
    // dropped; the first line end is kept as CR LF, later ones become spaces.
    EXPECT_EQ(r.board().description, "First line\r\nsecond line third");
    EXPECT_EQ(r.board().liveCount, 1);
}

TEST(Reader, RuleLinesInEveryNotation) {
    const std::string cell = "#P 0 0\r\n*\r\n";
    for (const char* rule : {"#R 23/3", "#R S23/B3", "#R B3/S23", "#R s23b3", "#r b3s23"})
        EXPECT_EQ(Read(std::string(rule) + "\r\n" + cell).rules, "s23/b3") << rule;
    EXPECT_EQ(Read("#R 3/23\r\n" + cell).rules, "s3/b23");
    // Digits after a slash that follows a B section survive, as other Life
    // programs read them.
    EXPECT_EQ(Read("#R B3/23\r\n" + cell).rules, "s23/b3");
    EXPECT_EQ(Read("#R 23/36\n" + cell).rules, "s23/b36");
    EXPECT_EQ(Read(Fixture("rules_reset_by_n_line.lif")).rules, "s23/b3");
    EXPECT_EQ(Read(Fixture("rules_empty_r_line.lif")).rules, "s23/b3");
    EXPECT_EQ(Read("x = 1, y = 1, rule = s1357/b1357\r\no!").rules, "s1357/b1357");
}

TEST(Reader, GridSuffixAfterColonIsNotPartOfTheRule) {
    ReadResult r = Read(Fixture("rle_rule_with_grid_suffix.rle"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.rules, "s23/b36");
    EXPECT_EQ(Read("#R B3/S23:P798,798\r\n#P 0 0\r\n*\r\n").rules, "s23/b3");
}

// Comment lines of a bare "#" or "# text" (as golly's files have them)
// before a run-length header leave the header a header.
TEST(Reader, BareHashLinesBeforeAnRleHeader) {
    for (const char* text : {"#\r\nx = 3, y = 1, rule = B36/S23\r\n3o!\r\n",
                             "# a note\n#\nx = 3, y = 1, rule = B36/S23\n3o!\n"}) {
        ReadResult r = Read(text);
        ASSERT_TRUE(r.ok) << text;
        EXPECT_EQ(r.cells(), (Cells{{398, 399}, {399, 399}, {400, 399}})) << text;
        EXPECT_EQ(r.rules, "s23/b36") << text;
    }
}

TEST(Reader, EachRuleTextStartsWithFreshParserFlags) {
    // An author line with an r and later a b is read as rule text; the real
    // rule line after it must not inherit its "born" section.
    EXPECT_EQ(Read(Fixture("rule_line_after_author_line.lif")).rules, "s23/b36");
    // A "#r" line's "/" must not send the header's survive digits to born.
    EXPECT_EQ(Read(Fixture("rle_rule_after_hash_r_line.rle")).rules, "s23/b3");
}

TEST(Reader, BangFormatRowsCommentsAndCounts) {
    ReadResult named = Read(Fixture("bang_name_then_rows.txt"));
    ASSERT_TRUE(named.ok);
    EXPECT_EQ(named.cells(), (Cells{{400, 399}, {400, 400}, {400, 401}}));  // all three rows
    EXPECT_EQ(named.board().description, "");
    EXPECT_EQ(named.board().name, "Blinker");

    // Rows after comments, with or without a leading space, are all read.
    ReadResult spaced = Read(Fixture("bang_rows_starting_with_space.txt"));
    ASSERT_TRUE(spaced.ok);
    EXPECT_EQ(spaced.cells(), (Cells{{400, 399}, {399, 400}}));
    EXPECT_EQ(Read("!Name\r\n!\r\n.O\r\nO.\r\n").cells(), spaced.cells());

    // Any other line after the comments is skipped whole; counts repeat cells.
    ReadResult counted = Read(Fixture("bang_skipped_line_and_counts.txt"));
    ASSERT_TRUE(counted.ok);
    EXPECT_EQ(counted.cells(), (Cells{{400, 399}, {399, 400}, {400, 400}, {401, 400}}));
    EXPECT_EQ(counted.board().description, "comment");
}

TEST(Reader, BangFirstLineDimensionsPlaceThePattern) {
    ReadResult r = Read(Fixture("bang_dimensions_in_first_line.txt"));
    ASSERT_TRUE(r.ok);
    // 4 rows, 4 columns: top-left at half(800 - 4) = 398 on both axes.
    EXPECT_EQ(r.cells(), (Cells{{398, 398},
                                {399, 398},
                                {398, 399},
                                {399, 399},
                                {400, 400},
                                {401, 400},
                                {400, 401},
                                {401, 401}}));
    EXPECT_EQ(r.board().description, "\"Beacon\" 1 4 4");
}

TEST(Reader, LineEndForms) {
    EXPECT_EQ(Shape(Read(Fixture("line_ends_cr_only.lif")).cells()),
              (Cells{{0, 0}, {2, 0}, {1, 1}}));
    EXPECT_EQ(Shape(Read(Fixture("line_ends_cr_cr_lf.lif")).cells()), (Cells{{0, 0}, {0, 1}}));
    EXPECT_EQ(Shape(Read(Fixture("line_ends_cr_lf_twice.lif")).cells()), (Cells{{0, 0}, {0, 2}}));
    // LF alone ends rows of pictures and Life 1.06 lines.
    EXPECT_EQ(Read(".*.\n..*\n***\n").cells(), kCentredGlider);
    EXPECT_EQ(Read("0 -1\n1 0\n-1 1\n0 1\n1 1\n").cells(), kCentredGlider);
    EXPECT_EQ(Read("!x\n.O.\n..O\nOOO\n").cells(), kCentredGlider);
}

TEST(Reader, EveryFixtureReadsTheSameWithLfCrLfAndLfCrLineEnds) {
    namespace fs = std::filesystem;
    int compared = 0, comparedLfCr = 0;
    for (const char* folder : {CELLARIUM_TEST_DATA, CELLARIUM_SAMPLES}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (!entry.is_regular_file()) continue;  // other areas' fixture folders
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string text(std::istreambuf_iterator<char>(in), {});
            const std::string lf = WithLineEnds(text, "\n"), crlf = WithLineEnds(text, "\r\n");
            if (lf == crlf) continue;  // no LF line ends at all
            ++compared;
            SCOPED_TRACE(entry.path().filename().string());
            ReadResult a = Read(lf, 150, 150), b = Read(crlf, 150, 150);
            ExpectSameRead(a, b);
            if (HasLoneCr(text)) continue;
            ++comparedLfCr;
            SCOPED_TRACE("LF CR line ends");
            ExpectSameRead(Read(WithLineEnds(text, "\n\r"), 150, 150), b);
        }
    }
    EXPECT_GE(compared, 25);
    EXPECT_GE(comparedLfCr, 25);
}

TEST(Reader, LfCrLineEndsCountOnce) {
    // Written by a converter that put the CR after the LF: every line end,
    // the one of the blank row too, is one row.
    ReadResult r = Read(Fixture("line_ends_lf_cr.lif"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.cells(), (Cells{{400, 399}, {399, 401}, {400, 401}, {401, 401}}));
    EXPECT_EQ(r.board().description, "Written with LF CR line ends by an old converter");

    ReadResult bang = Read(Fixture("bang_lf_cr.txt"));
    ASSERT_TRUE(bang.ok);
    EXPECT_EQ(bang.cells(),
              (Cells{{399, 399}, {400, 399}, {398, 400}, {401, 400}, {399, 401}, {400, 401}}));
    EXPECT_EQ(bang.board().description, "Written with LF CR line ends");
    EXPECT_EQ(bang.board().name, "Beehive");

    // LF CR and LF CR CR are one line end each; LF CR LF CR is two.
    EXPECT_EQ(Shape(Read("*\n\r*\n\r").cells()), (Cells{{0, 0}, {0, 1}}));
    EXPECT_EQ(Shape(Read("*\n\r\r*").cells()), (Cells{{0, 0}, {0, 1}}));
    EXPECT_EQ(Shape(Read("*\n\r\n\r*").cells()), (Cells{{0, 0}, {0, 2}}));
    EXPECT_EQ(Shape(Read("*\r\n\r*").cells()), (Cells{{0, 0}, {0, 2}}));
}

TEST(Reader, PositionLineWithoutNumbersIsTheCentre) {
    // "#P" alone, as widely shared Life 1.05 files have it, is "#P 0 0".
    ReadResult bare = Read(Fixture("position_without_numbers.lif"));
    ASSERT_TRUE(bare.ok);
    const Cells atCentre = {{401, 400}, {402, 401}, {400, 402}, {401, 402}, {402, 402}};
    EXPECT_EQ(bare.cells(), atCentre);
    EXPECT_EQ(bare.board().description, "A glider under a bare #P line");
    EXPECT_EQ(bare.board().bounds, (Rect{400, 400, 402, 402}));  // placed: not centred again
    EXPECT_EQ(Read("#P\n.*.\n..*\n***\n").cells(), atCentre);
    EXPECT_EQ(Read("#P\n\r.*.\n\r..*\n\r***\n\r").cells(), atCentre);
    EXPECT_EQ(Read("#P 0 0\r\n.*.\r\n..*\r\n***\r\n").cells(), atCentre);

    // One number is the column; the row is 0, as after "#P x 0".
    ReadResult one = Read(Fixture("position_with_one_number.lif"));
    ASSERT_TRUE(one.ok);
    EXPECT_EQ(one.cells(), (Cells{{398, 400}, {399, 401}, {397, 402}, {398, 402}, {399, 402}}));
    EXPECT_EQ(one.board().description, "A glider under a #P line with one number");
    EXPECT_EQ(Read("#P 7\r\n*\r\n").cells(), (Cells{{407, 400}}));
    EXPECT_EQ(Read("#P 7\n*\n").cells(), (Cells{{407, 400}}));
    EXPECT_EQ(Read("#P 7 \r\n*\r\n").cells(), (Cells{{407, 400}}));
}

TEST(Reader, FormatsMixInOneFile) {
    ReadResult r = Read(Fixture("mixed_formats.lif"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.cells(), (Cells{{390, 390},
                                {391, 390},
                                {399, 399},
                                {400, 399},
                                {399, 400},
                                {400, 400},
                                {406, 405},
                                {407, 405}}));
    EXPECT_EQ(r.board().description, "then a block");
}

TEST(Reader, CellWrittenTwiceIsCountedOnce) {
    EXPECT_EQ(Read(Fixture("double_written_cells.lif")).board().liveCount, 2);
    EXPECT_EQ(Read("#P 0 0\r\n**\r\n#P 0 0\r\n***\r\n").board().liveCount, 3);
    EXPECT_EQ(Read("x = 3, y = 1\r\n3o!\r\nx = 3, y = 1\r\n3o!\r\n").board().liveCount, 3);
}

// Every live cell is placed by its column and its row; nothing wraps into the
// next row. A pattern whose cells fit the interior is moved onto it by the
// least amount, wherever its file put it, and the note says how far; only
// cells that cannot fit the interior together are too big, and the message
// gives the pattern's size.
TEST(Reader, PatternsOffTheInteriorAreMovedOnByTheLeastAmountOrAreTooBig) {
    struct Case {
        std::string text;
        Cells cells;       // where the cells end, on 150 x 150; none: too big
        std::string note;  // the note of a move
    };
    // On 150 x 150 the interior runs from -74 to 73 around the centre.
    const std::vector<Case> cases = {
        {"-74 0\r\n", {{1, 75}}, ""},
        {"-75 0\r\n", {{1, 75}}, "Moved 1 column right to fit the board."},
        {"#P -76 0\r\n*\r\n", {{1, 75}}, "Moved 2 columns right to fit the board."},
        {"#CXRLE Pos=74,0\r\nx = 1, y = 1\r\no!\r\n",
         {{148, 75}},
         "Moved 1 column left to fit the board."},
        {"0 -80\r\n1 -79\r\n", {{75, 1}, {76, 2}}, "Moved 6 rows down to fit the board."},
        {"#P 72 74\r\n**\r\n", {{147, 148}, {148, 148}}, "Moved 1 row up to fit the board."},
        {"#P 72 75\r\n***\r\n",
         {{146, 148}, {147, 148}, {148, 148}},
         "Moved 1 column left and 2 rows up to fit the board."},
        {"x = 148, y = 1\r\n148o!\r\n", {}, ""},  // on the interior: no move
        {"#CXRLE Pos=-1000,-1000\r\nx = 3, y = 2\r\nb2o$obo!\r\n",
         {{2, 1}, {3, 1}, {1, 2}, {3, 2}},
         "Moved 926 columns right and 926 rows down to fit the board."},
        // One pattern from cells on both sides of the board, listed in any order.
        {"#P -80 0\r\n*\r\n#P 60 0\r\n*\r\n",
         {{1, 75}, {141, 75}},
         "Moved 6 columns right to fit the board."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ReadResult r = Read(c.text, 150, 150);  // the guarded read checks the board's promises
        ASSERT_TRUE(r.ok);
        if (!c.cells.empty()) {
            EXPECT_EQ(r.cells(), c.cells);
        }
        Kept k = ReadKept(c.text);
        EXPECT_EQ(k.reporter.notes,
                  c.note.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.note});
    }
    EXPECT_EQ(Read("x = 148, y = 1\r\n148o!\r\n", 150, 150).board().liveCount, 148);
    // Wider or taller than the interior, however placed: too big, with the sizes.
    for (const char* text : {"x = 149, y = 1\r\n149o!\r\n", "x = 1, y = 149\r\no148$o!\r\n",
                             "#P -80 0\r\n*\r\n#P 68 0\r\n*\r\n",
                             "#P -80 0\r\n*\r\n#P 0 70\r\n*\r\n#P 0 -80\r\n*\r\n"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(Read(text, 150, 150).ok);
    }
    Kept wide = ReadKept("x = 149, y = 1\r\n149o!\r\n");
    EXPECT_EQ(wide.reporter.messages,
              std::vector<std::string>{PatternTooBigMessage(150, 150) +
                                       " (The pattern is 149x1 cells; the board has room for "
                                       "148x148 inside its border.)"});
    EXPECT_FALSE(Read(std::string(149, '*') + "\r\n", 150, 150).ok);
    EXPECT_FALSE(Read("!\"n\" 1 1 150\r\n" + std::string(150, 'O') + "\r\n", 150, 150).ok);
    EXPECT_TRUE(Read(std::string(148, '*') + "\r\n", 150, 150).ok);
    EXPECT_TRUE(Read("#P 0 5000\r\n", 150, 150).ok);  // a position with no cell
    // The fixture whose row runs past the right edge comes in whole.
    EXPECT_TRUE(Read(Fixture("row_past_right_edge.lif")).ok);
}

TEST(Reader, PositionOffTheStorageFailsWithTheBoardSizeInTheMessage) {
    ReadResult r = Read(Fixture("life106_off_board.lif"));  // checks message and description
    EXPECT_FALSE(r.ok);
    // Its header's height says nothing of where its one row of cells goes.
    EXPECT_TRUE(Read(Fixture("rle_taller_than_board.rle")).ok);
    EXPECT_EQ(PatternTooBigMessage(800, 800), kTooBig800);
    EXPECT_NE(PatternTooBigMessage(150, 320).find("The maximum size is 150x320. "),
              std::string::npos);
    EXPECT_TRUE(Read(Fixture("life106_glider.lif"), 800, 150).ok);
}

TEST(Reader, SourceThatNeverEndsStopsAtTheLimitWithTheTooLongMessage) {
    constexpr int64_t kLimit = 1 << 20;
    // Nothing but NUL bytes; a description line that never ends; a cell, then
    // NUL bytes; a Life 1.06 pair whose second number never ends.
    for (const std::string& start : {std::string(), std::string("#D endless"),
                                     std::string("#P 0 0\r\n*\r\n"), std::string("1 ")}) {
        SCOPED_TRACE(start);
        GuardedBoard g(150, 150);
        g.board().description = "the pattern before";
        EndlessSource source(start, start == "1 " ? '7' : 0);
        KeptMessages reporter;
        Rule rule;
        EXPECT_FALSE(ReadPattern(g.board(), source, reporter, rule, kLimit));
        // One byte past the limit tells a longer source from one of just that
        // length; nothing more is pulled.
        EXPECT_EQ(source.pulled(), std::size_t(kLimit) + 1);
        EXPECT_EQ(reporter.messages, std::vector<std::string>{PatternTooLongMessage(kLimit)});
        EXPECT_EQ(g.board().description, "the pattern before");
        EXPECT_EQ(g.Check(), "");
    }
}

TEST(Reader, SourceOfExactlyTheLimitIsRead) {
    constexpr int64_t kLimit = 4096;
    std::string text = "#D padded\r\n#P 0 0\r\n*\r\n";
    text.resize(std::size_t(kLimit), ' ');
    GuardedBoard g(150, 150);
    MemoryByteSource source(text);
    KeptMessages reporter;
    Rule rule;
    EXPECT_TRUE(ReadPattern(g.board(), source, reporter, rule, kLimit));
    EXPECT_TRUE(reporter.messages.empty());
    EXPECT_EQ(LiveCells(g.board()), (Cells{{75, 75}}));

    text += ' ';
    MemoryByteSource longer(text);
    EXPECT_FALSE(ReadPattern(g.board(), longer, reporter, rule, kLimit));
    EXPECT_EQ(reporter.messages, std::vector<std::string>{PatternTooLongMessage(kLimit)});
}

TEST(Reader, LengthLimitHoldsEveryCellOfTheLargestBoardInItsWordiestFormat) {
    EXPECT_EQ(PatternTooLongMessage(),
              "That file is too long to be a pattern.  Reading stopped after 1320 MB, more than a "
              "pattern for the largest board size (10000x10000) can take.");
    EXPECT_EQ(PatternTooLongMessage(4096),
              "That file is too long to be a pattern.  Reading stopped after 4096 bytes, more "
              "than a pattern for the largest board size (10000x10000) can take.");
    // The longest Life 1.06 line that still lands on the largest board: its
    // top-left corner. Every cell given by a line that long fits the limit.
    const std::string corner = "-5000 -5000\r\n";
    EXPECT_EQ(int64_t(corner.size()), kMaxPatternCellLine);
    EXPECT_GE(kMaxPatternBytes,
              int64_t(corner.size()) * kMaxBoardSide * kMaxBoardSide + 10'000'000);
    std::unique_ptr<CellBoard> largest = CellBoard::Create(kMaxBoardSide, kMaxBoardSide);
    ASSERT_NE(largest, nullptr);
    KeptMessages reporter;
    Rule rule;
    const std::string corners = "-4999 -4999\r\n4998 4998\r\n";
    MemoryByteSource cornerSource(corners);
    ASSERT_TRUE(ReadPattern(*largest, cornerSource, reporter, rule));
    EXPECT_EQ(largest->At(1, 1), 1);
    EXPECT_EQ(largest->At(kMaxBoardSide - 2, kMaxBoardSide - 2), 1);
    EXPECT_EQ(largest->liveCount, 2);
    // The corner of the border is off the interior: the cell moves in.
    const std::string past = corner;
    MemoryByteSource pastSource(past);
    EXPECT_TRUE(ReadPattern(*largest, pastSource, reporter, rule));
    EXPECT_EQ(largest->At(1, 1), 1);
}

TEST(Reader, HugeNumbersNeverWrapOntoTheBoard) {
    // Each of these lands on the board's middle if its number wraps around in
    // 32 bits; it is moved onto the board's edge instead.
    for (const char* text : {
             "#P 4294967296 -400\r\n*\r\n",
             "4294967296 0\r\n",
             "0 4294967296\r\n",
             "x = 4294967296, y = 3\r\no!\r\n",
             "x = 3, y = 4294967296\r\no!\r\n",
             "x = 3, y = 3\r\n4294967296$o!\r\n",
             "x = 3, y = 3\r\n4294967296bo!\r\n",
             "!\"n\" 1 4294967296 3\r\n.O\r\n",
             "!\"n\" 1 3 4294967296\r\n.O\r\n",
         }) {
        ReadResult r = Read(text);
        ASSERT_TRUE(r.ok) << text;
        ASSERT_EQ(r.cells().size(), 1u) << text;
        const auto [x, y] = r.cells()[0];
        EXPECT_TRUE(x == 1 || x == 798 || y == 1 || y == 798) << text;
    }
    // Far past any integer type: saturated, so the cell's true place is
    // unknown: too big, nothing written.
    const std::string huge(60, '9');
    for (const std::string& text : {
             "#P " + huge + " 0\r\n*\r\n",
             "#P -" + huge + " 0\r\n*\r\n",
             "-" + huge + " -" + huge + "\r\n",
             "x = 3, y = 3\r\n" + huge + "o!\r\n",
             "x = 3, y = 3\r\n" + huge + "$o!\r\n",
             "x = " + huge + ", y = " + huge + "\r\no!\r\n",
         }) {
        ReadResult r = Read(text);
        EXPECT_FALSE(r.ok) << text;
        EXPECT_EQ(r.board().liveCount, 0) << text;
    }
    // Two cells far apart stay far apart.
    EXPECT_FALSE(Read("#P -1200 1\r\n*\r\n#P 1200 1\r\n*\r\n").ok);
}

TEST(Reader, FuzzFindingsKeepTheBoardPromises) {
    namespace fs = std::filesystem;
    int replayed = 0;
    for (const auto& entry : fs::directory_iterator(CELLARIUM_TEST_DATA)) {
        if (entry.path().filename().string().rfind("fuzz_", 0) != 0) continue;
        ++replayed;
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        Read(std::string(std::istreambuf_iterator<char>(in), {}), 150, 150);
    }
    EXPECT_GE(replayed, 1);
}

TEST(Reader, DescriptionHighBytesSurviveReadAndWrite) {
    ReadResult r = Read(Fixture("description_high_bytes.lif"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.board().description, "caf\xe9 \x80\xff na\xefve");
    MemoryByteSink sink;
    WritePattern(r.board(), r.rule(), sink);
    EXPECT_NE(sink.bytes().find("#D caf\xe9 \x80\xff na\xefve\r\n"), std::string::npos);
}

TEST(Reader, GuardedBoardCatchesBrokenPromises) {
    // The checks the reader tests and the fuzz target rely on can fail.
    GuardedBoard g(10, 10);
    const std::string text = "#P 0 0\r\n*\r\n";
    ASSERT_EQ(g.ReadAndCheck(reinterpret_cast<const uint8_t*>(text.data()), text.size()), "");
    g.storage()[GuardedBoard::kGuard - 1] = 0;
    EXPECT_EQ(g.Check(), "write outside the board's cells");
    g.storage()[GuardedBoard::kGuard - 1] = GuardedBoard::kCanary;
    g.board().Set(1, 1, 1);
    EXPECT_NE(g.Check().find("outside the bounds"), std::string::npos);
    g.board().IncludeCell(Point{1, 1});
    EXPECT_NE(g.Check().find("live count"), std::string::npos);
}
