#include "colour/palette_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>

#include "colour/palette.h"

using namespace cellarium;

namespace {

const std::string kData = std::string(CELLARIUM_TEST_DATA) + "/palette/";

struct Rgb {
    int r, g, b;
};

Rgb At(const PaletteBlock& block, int k) {
    const ColourEntry& e = block.entries[std::size_t(k)];
    return {e.red, e.green, e.blue};
}

void ExpectEntry(const PaletteBlock& block, int k, Rgb want) {
    const ColourEntry& e = block.entries[std::size_t(k)];
    EXPECT_EQ(e.red, want.r) << "entry " << k;
    EXPECT_EQ(e.green, want.g) << "entry " << k;
    EXPECT_EQ(e.blue, want.b) << "entry " << k;
    EXPECT_EQ(e.reserved, 0) << "entry " << k;
}

const PaletteBlock& Custom() {
    return Palette(PaletteId::Custom);
}

class PaletteFile : public ::testing::Test {
protected:
    void SetUp() override { ResetPalettesForStart(); }
    void TearDown() override { ResetPalettesForStart(); }
    // Opens the fixture as the caller does, and hands the loader the stream
    // (none when it would not open).
    static bool Load(const std::string& name) {
        std::ifstream in(kData + name, std::ios::binary);
        return LoadPaletteFile(in.is_open() ? &in : nullptr);
    }
};

// Every colour a source delivers, as the builder would see it.
std::vector<std::array<int, 3>> ReadAll(const std::string& text) {
    std::istringstream in(text);
    MapFileSource source(&in);
    EXPECT_TRUE(source.Open());
    std::vector<std::array<int, 3>> out;
    int r = -100, g = -100, b = -100;
    while (source.Next(r, g, b)) out.push_back({r, g, b});
    return out;
}

// A stream that never ends, as a device like /dev/zero is: `fill` over and
// over after an optional start. It gives up only after `giveUpAfter` bytes, so
// that a reader that would never stop fails the test instead of hanging it,
// and it counts what was taken from it.
class EndlessBuf final : public std::streambuf {
public:
    EndlessBuf(std::string start, char fill, std::size_t giveUpAfter)
        : start_(std::move(start)), giveUpAfter_(giveUpAfter) {
        std::memset(chunk_, fill, sizeof chunk_);
    }
    // Bytes handed out so far (whole chunks; the reader may not have taken
    // all of the last one).
    std::size_t handedOut() const { return handedOut_; }

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        if (handedOut_ >= giveUpAfter_) return traits_type::eof();
        char* from = chunk_;
        std::size_t n = sizeof chunk_;
        if (handedOut_ < start_.size()) {
            n = std::min(n, start_.size() - handedOut_);
            std::memcpy(chunk_ + sizeof chunk_ - n, start_.data() + handedOut_, n);
            from = chunk_ + sizeof chunk_ - n;
        }
        handedOut_ += n;
        setg(from, from, from + n);
        return traits_type::to_int_type(*gptr());
    }

private:
    std::string start_;
    std::size_t giveUpAfter_;
    std::size_t handedOut_ = 0;
    char chunk_[4096];
};

}  // namespace

TEST_F(PaletteFile, DeadColourRepeatedTakesThePreviousUsableColour) {
    ASSERT_TRUE(Load("dead_colour_repeated.map"));
    ExpectEntry(Custom(), 0, {0, 0, 0});
    ExpectEntry(Custom(), 1, {255, 0, 0});
    ExpectEntry(Custom(), 2, {255, 0, 0});
    ExpectEntry(Custom(), 3, {0, 255, 0});
    // Entries 4..255 repeat entries 1, 2, 3 in turn.
    for (int k = 4; k < 256; ++k) ExpectEntry(Custom(), k, At(Custom(), 1 + (k - 1) % 3));
}

TEST_F(PaletteFile, ComplementStandsInOnlyUntilTheFirstUsableColour) {
    ASSERT_TRUE(Load("complement_before_first_usable.map"));
    ExpectEntry(Custom(), 0, {255, 255, 255});
    for (int k = 1; k < 256; ++k) ExpectEntry(Custom(), k, {255, 0, 0});
}

TEST_F(PaletteFile, NoUsableColourLeavesTheComplement) {
    std::istringstream in("10 20 30\n10 20 30\n10 20 30\n");
    ASSERT_TRUE(LoadPaletteFile(&in));
    ExpectEntry(Custom(), 0, {10, 20, 30});
    for (int k = 1; k < 256; ++k) ExpectEntry(Custom(), k, {245, 235, 225});
}

TEST_F(PaletteFile, OneColourSetsOnlyTheDeadCellColour) {
    const PaletteBlock before = Custom();
    ASSERT_TRUE(Load("one_line.map"));
    ExpectEntry(Custom(), 0, {10, 20, 30});
    for (int k = 1; k < 256; ++k) EXPECT_EQ(Custom().entries[k], before.entries[k]) << k;

    // A carriage return alone does not end a record: the skip to the next line
    // feed runs to the end of the file, so only the first colour is read.
    ResetPalettesForStart();
    ASSERT_TRUE(Load("cr_only_line_ends.map"));
    ExpectEntry(Custom(), 0, {1, 2, 3});
    for (int k = 1; k < 256; ++k) EXPECT_EQ(Custom().entries[k], before.entries[k]) << k;
}

TEST_F(PaletteFile, AtMost256ColoursAreUsed) {
    ASSERT_TRUE(Load("three_hundred_lines.map"));
    for (int i = 0; i < 256; ++i) ExpectEntry(Custom(), i, {i, (7 * i) % 256, 255 - i});
}

TEST_F(PaletteFile, RecordsFollowTheScanRule) {
    ASSERT_TRUE(Load("comment_after_numbers.map"));
    ExpectEntry(Custom(), 0, {0, 0, 0});
    ExpectEntry(Custom(), 1, {12, 34, 56});
    ExpectEntry(Custom(), 2, {200, 100, 50});
    ExpectEntry(Custom(), 3, {12, 34, 56});
    ExpectEntry(Custom(), 4, {200, 100, 50});

    // "12,34,56" gives its red only; green and blue stay as last stored (0, 0).
    ASSERT_TRUE(Load("comma_separated.map"));
    ExpectEntry(Custom(), 1, {12, 0, 0});
    ExpectEntry(Custom(), 2, {7, 8, 9});

    // A two-number line takes its third number from the next line, whose rest
    // is dropped.
    ASSERT_TRUE(Load("two_numbers_on_a_line.map"));
    ExpectEntry(Custom(), 1, {1, 2, 3});
    ExpectEntry(Custom(), 2, {6, 7, 8});
    ExpectEntry(Custom(), 3, {1, 2, 3});

    ASSERT_TRUE(Load("crlf_line_ends.map"));
    ExpectEntry(Custom(), 1, {10, 20, 30});
    ExpectEntry(Custom(), 2, {40, 50, 60});

    ASSERT_TRUE(Load("blank_lines.map"));
    ExpectEntry(Custom(), 0, {0, 0, 0});
    for (int k = 1; k < 256; ++k) ExpectEntry(Custom(), k, {9, 9, 9});

    // Only the low 8 bits of a value count: -1 is 255, 256 is 0.
    ASSERT_TRUE(Load("values_outside_0_255.map"));
    ExpectEntry(Custom(), 1, {255, 0, 1});
    ExpectEntry(Custom(), 2, {7, 0, 64});
}

TEST_F(PaletteFile, ComponentsAScanLeavesOutStayAsTheCallerHadThem) {
    // Line breaks count as white space inside a record, so only something that
    // is not a number cuts a record short.
    auto colours = ReadAll("1 2 3\n4,5\n5 6;7\n7 8 9 10 11\n");
    ASSERT_EQ(colours.size(), 4u);
    EXPECT_EQ(colours[1], (std::array<int, 3>{4, 2, 3}));
    EXPECT_EQ(colours[2], (std::array<int, 3>{5, 6, 3}));
    EXPECT_EQ(colours[3], (std::array<int, 3>{7, 8, 9}));
    // A record that does not start with a number ends the list, even if
    // numbers follow on later lines.
    EXPECT_EQ(ReadAll("1 2 3\nx 4 5 6\n7 8 9\n").size(), 1u);
    EXPECT_EQ(ReadAll("1 2 3\n- 4 5 6\n7 8 9\n").size(), 1u);
}

TEST_F(PaletteFile, NothingToReadLeavesCustomAsItWas) {
    const PaletteBlock before = Custom();
    EXPECT_FALSE(Load("no_such_file.map"));
    EXPECT_FALSE(LoadPaletteFile(nullptr));
    EXPECT_EQ(Custom().entries, before.entries);
    // Files that open but give no colour are no palette either, and say so.
    EXPECT_FALSE(Load("empty.map"));
    EXPECT_FALSE(Load("first_record_not_a_number.map"));
    for (const char* text : {"", "# only a comment\n",
                             "\x7f"
                             "ELF\x02\x01\n"}) {
        std::istringstream in(text);
        EXPECT_EQ(ReadPaletteFile(&in), PaletteFileProblem::NoColour) << text;
    }
    EXPECT_EQ(ReadPaletteFile(nullptr), PaletteFileProblem::NotOpened);
    EXPECT_EQ(Custom().entries, before.entries);
    // Comment lines anywhere are skipped, a first one included.
    std::istringstream commented("# made by hand\n1 2 3\n  # dead above, live below\n4 5 6\n");
    EXPECT_EQ(ReadPaletteFile(&commented), PaletteFileProblem::None);
    ExpectEntry(Custom(), 0, {1, 2, 3});
    ExpectEntry(Custom(), 1, {4, 5, 6});
}

// A source that never ends (a device such as /dev/zero named as the palette
// file) is read only up to a limit far above any real palette file, and is
// then no palette: not loaded, Custom unchanged, even when colours came first.
TEST_F(PaletteFile, EndlessSourceStopsEarlyAndIsNotLoaded) {
    constexpr std::size_t kGiveUp = std::size_t(64) << 20;
    for (const std::string& start : {std::string(), std::string("1 2 3\n4 5 6\n7 8 9 ")}) {
        ResetPalettesForStart();
        const PaletteBlock before = Custom();
        EndlessBuf zeros(start, '\0', kGiveUp);
        std::istream in(&zeros);
        EXPECT_FALSE(LoadPaletteFile(&in));
        EXPECT_LE(zeros.handedOut(), std::size_t(1) << 20);
        EXPECT_EQ(Custom().entries, before.entries);
    }
    // Digits without a line feed: one record that never ends.
    EndlessBuf digits("", '7', kGiveUp);
    std::istream in(&digits);
    EXPECT_FALSE(LoadPaletteFile(&in));
    EXPECT_LE(digits.handedOut(), std::size_t(1) << 20);
}

TEST_F(PaletteFile, OnlyAListStillRunningAtTheLimitBreaksOff) {
    // One colour and a comment, the whole file just as long as the limit.
    std::string text = "1 2 3 ";
    text.append(kMaxPaletteFileBytes - text.size() - 1, 'x');
    text += '\n';
    ASSERT_EQ(text.size(), kMaxPaletteFileBytes);
    std::istringstream exact(text);
    EXPECT_TRUE(LoadPaletteFile(&exact));
    ExpectEntry(Custom(), 0, {1, 2, 3});

    // One byte more, and the comment runs past the limit: nothing is loaded.
    ResetPalettesForStart();
    const PaletteBlock before = Custom();
    text.insert(text.size() - 1, "x");
    std::istringstream longer(text);
    MapFileSource source(&longer);
    int r = 0, g = 0, b = 0;
    EXPECT_TRUE(source.Next(r, g, b));
    EXPECT_TRUE(source.Failed());
    EXPECT_FALSE(source.Next(r, g, b));
    std::istringstream again(text);
    EXPECT_FALSE(LoadPaletteFile(&again));
    EXPECT_EQ(Custom().entries, before.entries);

    // A file of any length whose list ends before the limit is read no
    // further, and loads.
    std::string ended = "4 5 6\n7 8 9\nend of the colours\n";
    ended.append(kMaxPaletteFileBytes * 4, 'x');
    std::istringstream in(ended);
    EXPECT_TRUE(LoadPaletteFile(&in));
    ExpectEntry(Custom(), 0, {4, 5, 6});
    ExpectEntry(Custom(), 1, {7, 8, 9});
}

TEST_F(PaletteFile, ColourTheDisplayShowsAsTheDeadColourIsUnusable) {
    // A display that shows anything darker than (4, 4, 4) as black.
    NearestColour display = [](ColourEntry c) {
        return (c.red < 4 && c.green < 4 && c.blue < 4) ? MakeColour(0, 0, 0) : c;
    };
    std::istringstream in("0 0 0\n200 0 0\n1 1 1\n5 5 5\n");
    ASSERT_TRUE(LoadPaletteFile(&in, display));
    ExpectEntry(Custom(), 1, {200, 0, 0});
    ExpectEntry(Custom(), 2, {200, 0, 0});
    ExpectEntry(Custom(), 3, {5, 5, 5});

    // A dead colour the display cannot show exactly is matched only by equal
    // colours: (1, 1, 1) shows as black, but black is usable after it.
    std::istringstream in2("1 1 1\n0 0 0\n1 1 1\n");
    ASSERT_TRUE(LoadPaletteFile(&in2, display));
    ExpectEntry(Custom(), 1, {0, 0, 0});
    ExpectEntry(Custom(), 2, {0, 0, 0});
}

// Whatever bytes a palette file holds, it loads exactly when it gives a
// colour, and never lets the dead-cell colour stand for a live cell.
TEST_F(PaletteFile, ArbitraryBytesNeverBreakTheDeadColourRule) {
    std::mt19937 rng(5);
    const std::string alphabet = "0123456789 \t\r\n-+,x";
    for (int round = 0; round < 2000; ++round) {
        std::string text(rng() % 600, '\0');
        bool binary = round % 2 == 0;
        for (char& c : text) c = binary ? char(rng() & 0xFF) : alphabet[rng() % alphabet.size()];
        ResetPalettesForStart();
        std::istringstream in(text);
        MapFileSource counter(&in);
        int n = 0, r = 0, g = 0, b = 0;
        while (n < 256 && counter.Next(r, g, b)) ++n;
        std::istringstream again(text);
        ASSERT_EQ(LoadPaletteFile(&again), n > 0) << "round " << round;
        if (n >= 2) {
            const uint32_t dead = Custom().entries[0].Rgb();
            for (int k = 1; k < 256; ++k)
                ASSERT_NE(Custom().entries[k].Rgb(), dead) << "round " << round << " entry " << k;
        }
    }
}

TEST_F(PaletteFile, ReverseOfBlackAndWhite) {
    ReversePalette(Palette(PaletteId::BlackAndWhite));
    ExpectEntry(Custom(), 0, {0, 0, 0});
    for (int k = 1; k < 256; ++k) ExpectEntry(Custom(), k, {255, 255, 255});
}

TEST_F(PaletteFile, ReverseOfRainbow) {
    ReversePalette(Palette(PaletteId::Rainbow));
    ExpectEntry(Custom(), 0, {0, 51, 153});
    ExpectEntry(Custom(), 1, {0, 51, 102});
    ExpectEntry(Custom(), 2, {0, 51, 102});
    ExpectEntry(Custom(), 215, {0, 51, 204});
    ExpectEntry(Custom(), 216, {0, 51, 204});
    ExpectEntry(Custom(), 255, {255, 255, 255});
    // Elsewhere new entry k is old entry 255 - k.
    for (int k = 3; k < 256; ++k)
        if (k != 216) ExpectEntry(Custom(), k, At(Palette(PaletteId::Rainbow), 255 - k));
}

TEST_F(PaletteFile, ReverseOfCustomReadsTheColoursBeforeRewritingThem) {
    const PaletteBlock autumn = Palette(PaletteId::Autumn);
    InvertPalette(autumn);
    InvertPalette(Custom());  // Custom now equals Autumn
    ReversePalette(Custom());
    ExpectEntry(Custom(), 0, At(autumn, 255));
    ExpectEntry(Custom(), 255, At(autumn, 0));
    ExpectEntry(Custom(), 100, At(autumn, 155));
}

TEST_F(PaletteFile, InvertComplementsEveryEntryAndTwiceRestores) {
    InvertPalette(Palette(PaletteId::Rainbow));
    ExpectEntry(Custom(), 0, {0, 0, 0});
    ExpectEntry(Custom(), 1, {255, 255, 204});
    // Invert ignores the usable-colour rule: Black and White inverted has a
    // black dead colour and white cells, and inverting Custom in place twice
    // gives back the colours before.
    InvertPalette(Palette(PaletteId::BlackAndWhite));
    ExpectEntry(Custom(), 0, {0, 0, 0});
    ExpectEntry(Custom(), 7, {255, 255, 255});
    const PaletteBlock sunshine = Palette(PaletteId::Sunshine);
    InvertPalette(sunshine);
    InvertPalette(Custom());
    EXPECT_EQ(Custom().entries, sunshine.entries);
    // The fixed block it read from is not touched.
    EXPECT_EQ(Palette(PaletteId::Sunshine).entries, sunshine.entries);
}

TEST_F(PaletteFile, CheckMarkFollowsTheCurrentBlockNotItsColours) {
    SetCurrentPalette(&Palette(PaletteId::Custom));  // Custom holds Rainbow's colours
    EXPECT_TRUE(IsCurrentPalette(PaletteId::Custom));
    EXPECT_FALSE(IsCurrentPalette(PaletteId::Rainbow));
    SetCurrentPalette(&Palette(PaletteId::Autumn));
    for (int i = 0; i < kPaletteCount; ++i)
        EXPECT_EQ(IsCurrentPalette(PaletteId(i)), PaletteId(i) == PaletteId::Autumn);
}
