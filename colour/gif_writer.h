// GIF87a writer: one image with a global colour table, LZW-coded with
// variable code width (9 to 12 bits for 256 colours) in 255-byte sub-blocks.
//
// Two levels:
// - GifWriter writes to any ImageSink and holds the state of one image file;
//   tests use it in memory.
// - GifBegin / GifSetColor / GifWriteImage / GifEnd drive one program-wide
//   writer, so one export runs at a time.
// The writer never opens a file: the caller hands it a sink, and decides what
// becomes of the file when the image could not be written whole.
//
// Result codes, returned by every operation but GifSetColor.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "colour/image_sink.h"
#include "colour/palette.h"

namespace cellarium {

inline constexpr int kGifOk = 0;
inline constexpr int kGifCannotCreate = 1;  // the file cannot be created
inline constexpr int kGifWriteFailed = 2;   // a write failed
inline constexpr int kGifOutOfMemory = 3;   // memory for the string table ran out
inline constexpr int kGifBadImage = 4;      // sizes or colour count outside what GIF can hold

// A message for a result code, for the user: "" for kGifOk.
const char* GifResultMessage(int code);

// The value of the pixel at column x, row y (screen coordinates).
using GifPixelFunction = std::function<int(int x, int y)>;

// A plain byte image: pixel (x, y) is cells[y * width + x]. The board's cells
// are exactly this.
struct GifCells {
    const uint8_t* cells = nullptr;
    int width = 0;
    int height = 0;
};

class GifWriter {
public:
    GifWriter() = default;
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    // Starts a file on the sink (which must outlive the writer's use of it):
    // signature and logical screen descriptor. colours is 1..256 and gives a
    // table of max(2, next power of two) entries, all black until set; bits
    // (1..8) is the colour resolution. Screen sides are 0..65535.
    int Begin(ImageSink& sink, int width, int height, int colours, int bits);

    // Entry index of the colour table, each component scaled from `bits` bits
    // to 8 (unchanged with 8). Indices outside the table are ignored.
    void SetColor(int index, int red, int green, int blue);

    // Writes the colour table, the image descriptor and the LZW-coded pixels of
    // the rectangle (left, top, width, height). A negative width means the
    // screen width with left 0, a negative height the screen height with top
    // 0, a negative left or top 0. Pixels are taken row by row from the top,
    // each row left to right; a value outside the table's index range is taken
    // modulo the table size.
    int WriteImage(int left, int top, int width, int height, const GifPixelFunction& pixel);
    // The same, reading the pixels straight from a byte image, which must hold
    // the whole rectangle (else kGifBadImage and nothing is written).
    int WriteImage(int left, int top, int width, int height, const GifCells& cells);

    // Writes the trailer. Returns the first failure of this file (so one check
    // after End tells whether the file is whole), else kGifOk.
    int End();

private:
    template <class Pixel>
    int WriteImageWith(int left, int top, int width, int height, Pixel&& pixel);
    template <class Pixel>
    int Compress(int minCodeSize, int left, int top, int width, int height, Pixel& pixel);
    bool Put(const uint8_t* data, std::size_t size);
    int Fail(int code);

    ImageSink* sink_ = nullptr;
    int screenWidth_ = 0;
    int screenHeight_ = 0;
    int bits_ = 8;
    int entries_ = 0;
    std::array<uint8_t, 3 * 256> table_{};
    int error_ = kGifOk;
};

// The program-wide writer onto a sink (which must outlive the export).
// GifEnd reports the export as a whole: kGifOk when every byte of the image
// went to the sink, otherwise its first failure. A GifBegin while an export
// is unfinished ends that one first; it writes nothing more.
int GifBegin(ImageSink& sink, int width, int height, int colours, int bits);
void GifSetColor(int index, int red, int green, int blue);
int GifWriteImage(int left, int top, int width, int height, const GifPixelFunction& pixel);
int GifWriteImage(int left, int top, int width, int height, const GifCells& cells);
int GifEnd();

// The whole image export of a board through the program-wide writer: one
// pixel per cell (the cell's value as colour index), the palette's 256
// colours as the colour table, 8 bits per component. Returns the result code.
int ExportBoardGif(ImageSink& sink, const GifCells& cells, const PaletteBlock& palette);
// The same with a writer of its own (tests, benchmarks).
int WriteBoardGif(ImageSink& sink, const GifCells& cells, const PaletteBlock& palette);

}  // namespace cellarium
