#include "colour/gif_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "colour/palette.h"
#include "colour/palette_file.h"
#include "gif_decode.h"

using namespace cellarium;
using cellarium::test::DecodeWithGiflib;
using cellarium::test::ImageBlocks;

namespace {

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> cells;
    GifCells View() const { return GifCells{cells.data(), width, height}; }
};

std::vector<uint8_t> Encode(const Image& im, const PaletteBlock& palette) {
    MemoryImageSink sink;
    EXPECT_EQ(WriteBoardGif(sink, im.View(), palette), kGifOk);
    return sink.bytes;
}

// Decodes with giflib and compares every pixel and every colour-table entry.
void ExpectRoundTrip(const Image& im, const PaletteBlock& palette, const std::string& what) {
    std::vector<uint8_t> bytes = Encode(im, palette);
    auto blocks = ImageBlocks(bytes);
    ASSERT_TRUE(blocks.wellFormed) << what << ": " << blocks.problem;
    auto d = DecodeWithGiflib(bytes);
    ASSERT_TRUE(d.ok) << what << ": " << d.error;
    ASSERT_EQ(d.screenWidth, im.width) << what;
    ASSERT_EQ(d.screenHeight, im.height) << what;
    ASSERT_EQ(d.width, im.width) << what;
    ASSERT_EQ(d.height, im.height) << what;
    ASSERT_EQ(d.left, 0);
    ASSERT_EQ(d.top, 0);
    ASSERT_FALSE(d.interlaced);
    ASSERT_EQ(d.colourCount, 256) << what;
    for (int i = 0; i < 256; ++i) {
        const ColourEntry& e = palette.entries[std::size_t(i)];
        ASSERT_EQ(d.colours[3 * i], e.red) << what << " colour " << i;
        ASSERT_EQ(d.colours[3 * i + 1], e.green) << what << " colour " << i;
        ASSERT_EQ(d.colours[3 * i + 2], e.blue) << what << " colour " << i;
    }
    for (std::size_t p = 0; p < im.cells.size(); ++p)
        ASSERT_EQ(d.pixels[p], im.cells[p]) << what << " pixel (" << p % std::size_t(im.width)
                                            << ", " << p / std::size_t(im.width) << ")";
}

Image Filled(int w, int h, uint8_t v) {
    return Image{w, h, std::vector<uint8_t>(std::size_t(w) * h, v)};
}

Image Random(int w, int h, int values, uint32_t seed) {
    Image im = Filled(w, h, 0);
    std::mt19937 rng(seed);
    for (auto& c : im.cells) c = uint8_t(rng() % unsigned(values));
    return im;
}

PaletteBlock RandomPalette(uint32_t seed) {
    PaletteBlock p;
    std::mt19937 rng(seed);
    for (auto& e : p.entries) e = MakeColour(int(rng() & 255), int(rng() & 255), int(rng() & 255));
    return p;
}

// A pixel sequence in which no pair of neighbours repeats, so every pixel after
// the first misses the string table and adds exactly one code.
std::vector<uint8_t> DistinctPairs(int n) {
    std::vector<uint8_t> seq{0};
    int used[256] = {};
    while (int(seq.size()) < n) {
        int a = seq.back();
        seq.push_back(uint8_t((a * 5 + 1 + 3 * used[a]++) % 256));
    }
    std::set<std::pair<int, int>> pairs;
    for (std::size_t i = 1; i < seq.size(); ++i)
        EXPECT_TRUE(pairs.insert({seq[i - 1], seq[i]}).second);
    return seq;
}

// Reads the data's codes given each code's width.
struct BitReader {
    const std::vector<uint8_t>& data;
    std::size_t bit = 0;
    uint32_t Read(int width) {
        uint32_t v = 0;
        for (int i = 0; i < width; ++i, ++bit) {
            if (bit / 8 >= data.size()) {
                ADD_FAILURE() << "image data ends early";
                return 0;
            }
            v |= uint32_t((data[bit / 8] >> (bit % 8)) & 1) << i;
        }
        return v;
    }
};

std::vector<uint8_t> ImageData(const std::vector<uint8_t>& file) {
    auto blocks = ImageBlocks(file);
    EXPECT_TRUE(blocks.wellFormed) << blocks.problem;
    return blocks.data;
}

std::string Hex(const std::vector<uint8_t>& bytes, std::size_t from, std::size_t n) {
    std::string s;
    char buf[4];
    for (std::size_t i = from; i < from + n && i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02X ", bytes[i]);
        s += buf;
    }
    return s;
}

constexpr std::size_t kDataStart = 792;  // first sub-block of a 256-colour image

}  // namespace

TEST(GifWriter, SmallImagesGiveTheExpectedBytes) {
    const PaletteBlock& rainbow = FixedPalette(PaletteId::Rainbow);
    std::vector<uint8_t> f = Encode(Filled(2, 2, 0), rainbow);
    ASSERT_EQ(f.size(), 801u);
    EXPECT_EQ(Hex(f, 0, 13), "47 49 46 38 37 61 02 00 02 00 F7 00 00 ");
    EXPECT_EQ(Hex(f, 13, 6), "FF FF FF 00 00 33 ");  // entries 0 and 1 of Rainbow
    EXPECT_EQ(Hex(f, 781, 11), "2C 00 00 00 00 02 00 02 00 00 08 ");
    EXPECT_EQ(Hex(f, kDataStart, 9), "06 00 01 08 04 10 10 00 3B ");

    f = Encode(Filled(1, 1, 5), rainbow);
    EXPECT_EQ(Hex(f, kDataStart, f.size() - kDataStart), "04 00 0B 04 04 00 3B ");

    Image im{3, 2, {1, 2, 1, 2, 1, 2}};
    f = Encode(im, rainbow);
    EXPECT_EQ(Hex(f, kDataStart, f.size() - kDataStart), "07 00 03 08 10 28 30 20 00 3B ");
}

TEST(GifWriter, FewerColoursMakeASmallerTableAndCodeSize) {
    // 5 colours at 4 bits: an 8-entry table, flags 1 011 0 010, code size 3.
    MemoryImageSink sink;
    GifWriter w;
    ASSERT_EQ(w.Begin(sink, 4, 3, 5, 4), kGifOk);
    w.SetColor(0, 15, 0, 7);
    w.SetColor(4, 1, 2, 3);
    w.SetColor(8, 15, 15, 15);  // outside the table: ignored
    std::vector<uint8_t> px = {0, 1, 2, 3, 4, 4, 4, 4, 3, 2, 1, 0};
    ASSERT_EQ(
        w.WriteImage(-5, -5, -1, -1, [&](int x, int y) { return px[std::size_t(y * 4 + x)]; }),
        kGifOk);
    ASSERT_EQ(w.End(), kGifOk);
    const auto& f = sink.bytes;
    EXPECT_EQ(f[10], 0xB2);
    EXPECT_EQ(Hex(f, 13, 3), "FF 00 77 ");  // 4-bit components scaled to 8 bits
    EXPECT_EQ(Hex(f, 25, 3), "11 22 33 ");
    EXPECT_EQ(f[13 + 24 + 10], 3);
    auto d = DecodeWithGiflib(f);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.colourCount, 8);
    EXPECT_EQ(d.pixels, px);

    // Two colours still code with a minimum code size of 2; a pixel value
    // beyond the table wraps into it rather than corrupting the code stream.
    MemoryImageSink two;
    ASSERT_EQ(w.Begin(two, 3, 3, 2, 1), kGifOk);
    w.SetColor(1, 1, 1, 1);
    ASSERT_EQ(
        w.WriteImage(0, 0, -1, -1, [](int x, int y) { return (x + y) % 2 + (x == 2 ? 6 : 0); }),
        kGifOk);
    ASSERT_EQ(w.End(), kGifOk);
    EXPECT_EQ(two.bytes[10], 0x80);
    EXPECT_EQ(two.bytes[13 + 6 + 10], 2);
    d = DecodeWithGiflib(two.bytes);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.pixels, (std::vector<uint8_t>{0, 1, 0, 1, 0, 1, 0, 1, 0}));

    EXPECT_EQ(w.Begin(two, 4, 4, 0, 8), kGifBadImage);
    EXPECT_EQ(w.Begin(two, 70000, 4, 256, 8), kGifBadImage);
}

// Every pixel of a distinct-pair sequence adds one code. Pixel k (from 1)
// writes pixel k - 1 and adds code 257 + k, so: pixels 1..255 write 9-bit
// codes (the last of them just before code 512 is added), 256..767 10-bit,
// 768..1791 11-bit, 1792..3838 12-bit (3838 adds code 4095). Pixel 3839 finds
// the table full: it writes its prefix and then the clear code, both at 12
// bits, and from pixel 3840 on a fresh table starts again at 9 bits.
TEST(GifWriter, CodeWidthGrowsAt512_1024_2048AndResetsAfter4095) {
    const int n = 4200;
    std::vector<uint8_t> seq = DistinctPairs(n);
    Image im{70, 60, seq};
    std::vector<uint8_t> file = Encode(im, FixedPalette(PaletteId::Autumn));
    std::vector<uint8_t> data = ImageData(file);
    BitReader bits{data};

    auto widthFor = [](int k) {
        if (k <= 255) return 9;
        if (k <= 767) return 10;
        if (k <= 1791) return 11;
        if (k <= 3839) return 12;
        return k - 3840 + 258 <= 512 ? 9 : 10;  // the second table, as from 258
    };
    EXPECT_EQ(bits.Read(9), 256u);
    for (int k = 1; k < n; ++k) {
        ASSERT_EQ(bits.Read(widthFor(k)), seq[std::size_t(k - 1)]) << "code for pixel " << k;
        if (k == 3839) {
            ASSERT_EQ(bits.Read(12), 256u) << "clear code after the full table";
        }
    }
    // The last pixel and the end code, at the width after the last code added
    // (pixel n - 1 added code 258 + (n - 1 - 3840) = 617 > 511: 10 bits).
    EXPECT_EQ(bits.Read(10), seq[std::size_t(n - 1)]);
    EXPECT_EQ(bits.Read(10), 257u);
    EXPECT_EQ((bits.bit + 7) / 8, data.size()) << "nothing after the end code";
    ExpectRoundTrip(im, FixedPalette(PaletteId::Autumn), "distinct pairs");
}

TEST(GifWriter, SubBlocksAreFullExceptTheLastAndNeverEmpty) {
    const PaletteBlock& p = FixedPalette(PaletteId::Sunshine);
    // 224 distinct-pair pixels: 226 codes of 9 bits = 2034 bits = 255 bytes,
    // a single full sub-block followed directly by the terminator.
    Image exact{224, 1, DistinctPairs(224)};
    std::vector<uint8_t> f = Encode(exact, p);
    ASSERT_EQ(f.size(), kDataStart + 1 + 255 + 2);
    EXPECT_EQ(f[kDataStart], 255);
    EXPECT_EQ(f[kDataStart + 256], 0);
    EXPECT_EQ(f[kDataStart + 257], ';');
    // One pixel more spills one byte into a second sub-block.
    Image more{225, 1, DistinctPairs(225)};
    f = Encode(more, p);
    ASSERT_EQ(f.size(), kDataStart + 1 + 255 + 2 + 2);
    EXPECT_EQ(f[kDataStart + 256], 1);
    // Every length from a few bytes to several blocks, through the boundaries.
    std::vector<uint8_t> seq = DistinctPairs(1600);
    for (int len = 1; len <= 1600; ++len) {
        Image im{len, 1, std::vector<uint8_t>(seq.begin(), seq.begin() + len)};
        std::vector<uint8_t> bytes = Encode(im, p);
        auto blocks = ImageBlocks(bytes);
        ASSERT_TRUE(blocks.wellFormed) << len << ": " << blocks.problem;
        auto d = DecodeWithGiflib(bytes);
        ASSERT_TRUE(d.ok) << len << ": " << d.error;
        ASSERT_EQ(d.pixels, im.cells) << len;
    }
}

TEST(GifWriter, GiflibDecodesRandomBoardsExactly) {
    // Uniform values fill the table within a few thousand pixels, so these
    // boards go through hundreds of resets; few values make long strings.
    ExpectRoundTrip(Random(1000, 1000, 256, 1), RandomPalette(1), "1000x1000, 256 values");
    ExpectRoundTrip(Random(1000, 997, 3, 2), RandomPalette(2), "1000x997, 3 values");
    ExpectRoundTrip(Random(613, 1000, 2, 3), FixedPalette(PaletteId::Autumn), "613x1000, 2 values");
    ExpectRoundTrip(Random(10000, 150, 17, 4), FixedPalette(PaletteId::ShadesOfBlue), "10000x150");
    for (uint32_t seed = 0; seed < 40; ++seed) {
        std::mt19937 rng(seed);
        int w = 1 + int(rng() % 300), h = 1 + int(rng() % 300);
        int values = 1 + int(rng() % 256);
        ExpectRoundTrip(Random(w, h, values, seed), RandomPalette(seed),
                        "seed " + std::to_string(seed));
    }
}

TEST(GifWriter, GiflibDecodesDeadAndSingleColourBoards) {
    for (auto [w, h] :
         {std::pair{1000, 1000}, {800, 800}, {150, 150}, {1, 1}, {1, 5000}, {5000, 1}})
        ExpectRoundTrip(Filled(w, h, 0), FixedPalette(PaletteId::Rainbow),
                        "dead " + std::to_string(w) + "x" + std::to_string(h));
    for (int v : {1, 7, 128, 255})
        ExpectRoundTrip(Filled(1000, 1000, uint8_t(v)), FixedPalette(PaletteId::Sunshine),
                        "all " + std::to_string(v));
}

TEST(GifWriter, ColourTableIsThePaletteAtExportTime) {
    ResetPalettesForStart();
    InvertPalette(FixedPalette(PaletteId::Rainbow));
    Image im = Random(40, 30, 256, 9);
    ExpectRoundTrip(im, Palette(PaletteId::Custom), "inverted rainbow");
    auto d = DecodeWithGiflib(Encode(im, Palette(PaletteId::Custom)));
    EXPECT_EQ(d.colours[0] + d.colours[1] + d.colours[2], 0);  // dead cells black
    ResetPalettesForStart();
}

namespace {

// Accepts `budget` bytes, then fails every write; records any write attempted
// after the first failure.
class FailingSink : public ImageSink {
public:
    explicit FailingSink(std::size_t budget) : budget_(budget) {}
    bool Write(const uint8_t* data, std::size_t size) override {
        if (failed_) {
            ++writesAfterFailure;
            return false;
        }
        if (written + size > budget_) {
            failed_ = true;
            return false;
        }
        written += size;
        (void)data;
        return true;
    }
    std::size_t written = 0;
    int writesAfterFailure = 0;

private:
    std::size_t budget_;
    bool failed_ = false;
};

}  // namespace

TEST(GifWriter, AFailedWriteStopsTheImageAndIsReportedAtTheEnd) {
    Image im = Random(120, 90, 256, 3);
    const std::size_t full = Encode(im, FixedPalette(PaletteId::Rainbow)).size();
    for (std::size_t budget = 0; budget < full; budget += (budget < 1000 ? 1 : 97)) {
        FailingSink sink(budget);
        GifWriter w;
        int begin = w.Begin(sink, im.width, im.height, 256, 8);
        int image = begin == kGifOk ? w.WriteImage(0, 0, -1, -1, im.View()) : begin;
        int end = w.End();
        ASSERT_EQ(end, kGifWriteFailed) << budget;
        ASSERT_TRUE(begin == kGifWriteFailed || image == kGifWriteFailed) << budget;
        ASSERT_EQ(sink.writesAfterFailure, 0) << budget;
    }
    // A rectangle outside the cells writes nothing and spoils the file.
    MemoryImageSink sink;
    GifWriter w;
    ASSERT_EQ(w.Begin(sink, 10, 10, 256, 8), kGifOk);
    std::vector<uint8_t> cells(50);
    EXPECT_EQ(w.WriteImage(0, 0, -1, -1, GifCells{cells.data(), 10, 5}), kGifBadImage);
    EXPECT_EQ(sink.bytes.size(), 13u);
    EXPECT_EQ(w.End(), kGifBadImage);
}

// --------------------------------------------------------------------------
// The program-wide writer, as the export drives it

TEST(GifExport, WritesTheSameImageAsAWriterOfItsOwn) {
    Image im = Random(300, 200, 256, 11);
    const PaletteBlock& palette = FixedPalette(PaletteId::Autumn);
    MemoryImageSink sink;
    ASSERT_EQ(ExportBoardGif(sink, im.View(), palette), kGifOk);
    EXPECT_EQ(sink.bytes, Encode(im, palette));
    auto d = DecodeWithGiflib(sink.bytes);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.pixels, im.cells);

    // A failing sink is reported as a failed write, through GifEnd.
    FailingSink failing(2000);
    EXPECT_EQ(ExportBoardGif(failing, im.View(), palette), kGifWriteFailed);
    EXPECT_EQ(failing.writesAfterFailure, 0);
}

TEST(GifExport, AnImageGifCannotHoldOrAnUnfinishedExportWritesNothingMore) {
    MemoryImageSink wide;
    EXPECT_EQ(GifBegin(wide, 70000, 10, 256, 8), kGifBadImage);
    EXPECT_TRUE(wide.bytes.empty());
    // Nothing was begun: the other operations say so and write nothing.
    EXPECT_EQ(GifWriteImage(0, 0, -1, -1, [](int, int) { return 0; }), kGifCannotCreate);
    EXPECT_EQ(GifEnd(), kGifCannotCreate);
    EXPECT_TRUE(wide.bytes.empty());

    // An export begun and never ended gets nothing more once the next begins.
    MemoryImageSink abandoned, next;
    ASSERT_EQ(GifBegin(abandoned, 10, 10, 256, 8), kGifOk);
    const std::size_t header = abandoned.bytes.size();
    Image small = Filled(50, 50, 3);
    ASSERT_EQ(ExportBoardGif(next, small.View(), FixedPalette(PaletteId::Sunshine)), kGifOk);
    EXPECT_EQ(abandoned.bytes.size(), header);
    EXPECT_EQ(next.bytes, Encode(small, FixedPalette(PaletteId::Sunshine)));
}
