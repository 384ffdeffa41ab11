#include "colour/gif_writer.h"

#include <algorithm>
#include <new>
#include <utility>

namespace cellarium {
namespace {

constexpr uint32_t kNoCode = 0xFFFF;  // "no prefix", "not in the table", "the table is full"
constexpr int kMaxCodeWidth = 12;

void PutLe16(uint8_t* p, int v) {
    p[0] = uint8_t(v & 0xFF);
    p[1] = uint8_t((v >> 8) & 0xFF);
}

bool Fits16(int v) {
    return v >= 0 && v <= 0xFFFF;
}

// The string table of the LZW coder: each string it knows is a pair (prefix
// code, pixel value) with a code of its own. The strings of a single pixel
// value and the clear and end codes are implicit; a lookup never needs them.
//
// Codes are 0..4095. The pairs live in open-addressed slots, four for every
// code the table can hold (64 KiB, at home in the second-level cache): a
// pair's first slot is a multiplicative hash of its key (prefix << 8) |
// character, taken from the product's top bits, and a taken slot moves the
// search on to the next. With the table at most a quarter full a search
// mostly ends at its first or second slot. Entries are never removed but all
// at once, so whether a pair is in the table does not depend on where entries
// landed. Each taken slot holds a whole entry, (key << 12) | code, so a search
// compares one load per probe; 0 marks a free slot (no stored entry can be 0:
// its code comes after the clear and end codes).
class LzwStringTable {
public:
    // False when there is no memory for the slots.
    bool Allocate() {
        slots_.reset(new (std::nothrow) uint32_t[kSlots]);
        return slots_ != nullptr;
    }

    // Forgets every pair; the next one added gets firstCode.
    void Reset(uint32_t firstCode) {
        std::fill(slots_.get(), slots_.get() + kSlots, kFree);
        next_ = firstCode;
    }

    // The code of the string (prefix, character), or kNoCode when the table
    // does not hold it.
    uint32_t Find(uint32_t prefix, uint32_t character) const {
        const uint32_t key = (prefix << 8) | character;
        uint32_t slot = FirstSlot(key);
        uint32_t entry;
        while ((entry = slots_[slot]) != kFree) {
            if ((entry >> 12) == key) return entry & 0xFFFu;
            slot = (slot + 1) & (kSlots - 1);
        }
        return kNoCode;
    }

    // Adds (prefix, character), which the table does not hold, as the next
    // code and returns that code; kNoCode when the table is full.
    uint32_t Add(uint32_t prefix, uint32_t character) {
        if (next_ >= kMaxCodes) return kNoCode;
        const uint32_t key = (prefix << 8) | character;
        uint32_t slot = FirstSlot(key);
        while (slots_[slot] != kFree) slot = (slot + 1) & (kSlots - 1);
        slots_[slot] = (key << 12) | next_;
        return next_++;
    }

private:
    static constexpr uint32_t kMaxCodes = 4096;
    static constexpr int kSlotBits = 14;
    static constexpr uint32_t kSlots = 1u << kSlotBits;
    static constexpr uint32_t kFree = 0;

    static uint32_t FirstSlot(uint32_t key) { return (key * 0x9E3779B1u) >> (32 - kSlotBits); }

    std::unique_ptr<uint32_t[]> slots_;
    uint32_t next_ = 0;
};

// Packs codes least significant bit first into bytes, and the bytes into
// sub-blocks of up to 255 data bytes, each handed to write(block, size) with
// its length byte in front. A full sub-block goes out only once more data
// follows it, so image data of exactly 255 bytes is a single sub-block.
template <class Write>
class CodePacker {
public:
    explicit CodePacker(Write write) : write_(std::move(write)) {}

    void Put(uint32_t code, int bits) {
        bitBuffer_ |= uint64_t(code) << bitCount_;
        bitCount_ += bits;
        while (bitCount_ >= 8) {
            PutByte(uint8_t(bitBuffer_ & 0xFF));
            bitBuffer_ >>= 8;
            bitCount_ -= 8;
        }
    }

    // Writes out the bits of a last, partial byte and the last sub-block.
    void Flush() {
        if (bitCount_ > 0) {
            PutByte(uint8_t(bitBuffer_ & 0xFF));
            bitBuffer_ = 0;
            bitCount_ = 0;
        }
        if (used_ > 0) WriteBlock();
    }

    // Whether a write of a sub-block failed.
    bool Failed() const { return failed_; }

private:
    void PutByte(uint8_t byte) {
        if (used_ == 255) WriteBlock();
        block_[1 + used_++] = byte;
    }
    void WriteBlock() {
        block_[0] = uint8_t(used_);
        if (!write_(block_, std::size_t(used_) + 1)) failed_ = true;
        used_ = 0;
    }

    Write write_;
    uint8_t block_[256];
    int used_ = 0;  // data bytes in block_[1..255]
    uint64_t bitBuffer_ = 0;
    int bitCount_ = 0;
    bool failed_ = false;
};

}  // namespace

const char* GifResultMessage(int code) {
    switch (code) {
        case kGifOk:
            return "";
        case kGifCannotCreate:
            return "The image file cannot be created.";
        case kGifWriteFailed:
            return "The image could not be written completely; no image was saved.";
        case kGifOutOfMemory:
            return "There is not enough memory to save the image.";
        case kGifBadImage:
            return "The image is too large to be saved as GIF.";
    }
    return "The image could not be saved.";
}

// ---------------------------------------------------------------------------
// GifWriter

int GifWriter::Fail(int code) {
    if (error_ == kGifOk) error_ = code;
    return code;
}

bool GifWriter::Put(const uint8_t* data, std::size_t size) {
    if (sink_ == nullptr || error_ != kGifOk) return false;
    if (!sink_->Write(data, size)) {
        Fail(kGifWriteFailed);
        return false;
    }
    return true;
}

int GifWriter::Begin(ImageSink& sink, int width, int height, int colours, int bits) {
    sink_ = nullptr;
    error_ = kGifOk;
    entries_ = 0;
    table_.fill(0);
    if (!Fits16(width) || !Fits16(height) || colours < 1 || colours > 256 || bits < 1 || bits > 8)
        return kGifBadImage;
    sink_ = &sink;
    screenWidth_ = width;
    screenHeight_ = height;
    bits_ = bits;
    int entries = 2, log2 = 1;
    while (entries < colours) {
        entries *= 2;
        ++log2;
    }
    entries_ = entries;

    uint8_t head[13] = {'G', 'I', 'F', '8', '7', 'a'};
    PutLe16(head + 6, width);
    PutLe16(head + 8, height);
    head[10] = uint8_t(0x80 | (((bits - 1) & 7) << 4) | ((log2 - 1) & 7));
    head[11] = 0;  // background colour index
    head[12] = 0;  // no aspect ratio given
    return Put(head, sizeof head) ? kGifOk : kGifWriteFailed;
}

void GifWriter::SetColor(int index, int red, int green, int blue) {
    if (index < 0 || index >= entries_) return;
    const int max = (1 << bits_) - 1;
    auto scale = [&](int c) { return uint8_t((c & max) * 255 / max); };
    table_[std::size_t(3 * index)] = scale(red);
    table_[std::size_t(3 * index + 1)] = scale(green);
    table_[std::size_t(3 * index + 2)] = scale(blue);
}

int GifWriter::WriteImage(int left, int top, int width, int height, const GifPixelFunction& pixel) {
    if (sink_ == nullptr) return kGifCannotCreate;
    if (!pixel) return Fail(kGifBadImage);
    return WriteImageWith(left, top, width, height, [&pixel](int x, int y) { return pixel(x, y); });
}

int GifWriter::WriteImage(int left, int top, int width, int height, const GifCells& cells) {
    if (sink_ == nullptr) return kGifCannotCreate;
    // Resolve the rectangle here too, to check it against the byte image.
    int l = width < 0 ? 0 : (left < 0 ? 0 : left);
    int t = height < 0 ? 0 : (top < 0 ? 0 : top);
    int w = width < 0 ? screenWidth_ : width;
    int h = height < 0 ? screenHeight_ : height;
    bool inside = cells.width >= 0 && cells.height >= 0 && int64_t(l) + w <= cells.width &&
                  int64_t(t) + h <= cells.height && (cells.cells != nullptr || w == 0 || h == 0);
    if (!inside) return Fail(kGifBadImage);
    const uint8_t* base = cells.cells;
    const std::size_t stride = std::size_t(cells.width);
    return WriteImageWith(l, t, w, h, [base, stride](int x, int y) {
        return int(base[std::size_t(y) * stride + std::size_t(x)]);
    });
}

template <class Pixel>
int GifWriter::WriteImageWith(int left, int top, int width, int height, Pixel&& pixel) {
    if (sink_ == nullptr) return kGifCannotCreate;
    if (error_ != kGifOk) return error_;
    if (width < 0) {
        width = screenWidth_;
        left = 0;
    }
    if (height < 0) {
        height = screenHeight_;
        top = 0;
    }
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    if (!Fits16(left) || !Fits16(top) || !Fits16(width) || !Fits16(height))
        return Fail(kGifBadImage);

    if (!Put(table_.data(), std::size_t(3 * entries_))) return kGifWriteFailed;
    uint8_t desc[10] = {','};
    PutLe16(desc + 1, left);
    PutLe16(desc + 3, top);
    PutLe16(desc + 5, width);
    PutLe16(desc + 7, height);
    desc[9] = 0;  // no local colour table, not interlaced
    int minCodeSize = 1;
    while ((1 << minCodeSize) < entries_) ++minCodeSize;
    if (minCodeSize < 2) minCodeSize = 2;
    if (!Put(desc, sizeof desc)) return kGifWriteFailed;
    uint8_t size = uint8_t(minCodeSize);
    if (!Put(&size, 1)) return kGifWriteFailed;
    int rc = Compress(minCodeSize, left, top, width, height, pixel);
    if (rc != kGifOk) return Fail(rc);
    uint8_t terminator = 0;
    return Put(&terminator, 1) ? kGifOk : kGifWriteFailed;
}

// LZW with variable code width. The clear code is 2^s, the end code 2^s + 1,
// and codes start s + 1 bits wide. The width grows right after the first code
// above the current limit has been added (so the code written after adding 512
// is the first 10-bit one); when the table is full (4096 codes) the next miss
// writes its prefix at 12 bits, then the clear code at 12 bits, and coding goes
// on at s + 1 bits with a fresh table.
template <class Pixel>
int GifWriter::Compress(int s, int left, int top, int width, int height, Pixel& pixel) {
    LzwStringTable table;
    if (!table.Allocate()) return kGifOutOfMemory;
    CodePacker packer([this](const uint8_t* data, std::size_t size) { return Put(data, size); });

    const uint32_t clearCode = 1u << s;
    const uint32_t endCode = clearCode + 1;
    const uint32_t firstCode = endCode + 1;  // codes 0 .. 2^s + 1 are taken
    table.Reset(firstCode);
    int codeWidth = s + 1;
    uint32_t limit = (1u << codeWidth) - 1;
    packer.Put(clearCode, codeWidth);

    const uint32_t mask = uint32_t(entries_ - 1);
    // The first pixel is a string of its own (a lookup with no prefix); every
    // later pixel extends the pending string or starts a new one.
    uint32_t prefix = kNoCode;
    if (width > 0 && height > 0) prefix = uint32_t(pixel(left, top)) & mask;
    for (int y = 0; y < height && !packer.Failed(); ++y) {
        for (int x = y == 0 ? 1 : 0; x < width; ++x) {
            const uint32_t k = uint32_t(pixel(left + x, top + y)) & mask;
            const uint32_t code = table.Find(prefix, k);
            if (code != kNoCode) {
                prefix = code;
                continue;
            }
            packer.Put(prefix, codeWidth);
            if (table.Add(prefix, k) > limit) {
                ++codeWidth;
                if (codeWidth > kMaxCodeWidth) {
                    packer.Put(clearCode, kMaxCodeWidth);
                    table.Reset(firstCode);
                    codeWidth = s + 1;
                }
                limit = (1u << codeWidth) - 1;
            }
            prefix = k;
        }
    }
    if (packer.Failed()) return kGifWriteFailed;
    if (prefix != kNoCode) packer.Put(prefix, codeWidth);
    packer.Put(endCode, codeWidth);
    packer.Flush();
    return packer.Failed() ? kGifWriteFailed : kGifOk;
}

int GifWriter::End() {
    if (sink_ == nullptr) return kGifCannotCreate;
    if (error_ == kGifOk) {
        uint8_t trailer = ';';
        Put(&trailer, 1);
    }
    sink_ = nullptr;
    table_.fill(0);
    return error_;
}

// ---------------------------------------------------------------------------
// The program-wide writer

namespace {

struct ProgramWriter {
    GifWriter writer;
    bool begun = false;
};

ProgramWriter& TheWriter() {
    static ProgramWriter w;
    return w;
}

}  // namespace

int GifBegin(ImageSink& sink, int width, int height, int colours, int bits) {
    ProgramWriter& w = TheWriter();
    // An export that never ended is dropped: its sink, which may be gone by
    // now, gets nothing more.
    const int rc = w.writer.Begin(sink, width, height, colours, bits);
    w.begun = rc == kGifOk;
    return rc;
}

void GifSetColor(int index, int red, int green, int blue) {
    TheWriter().writer.SetColor(index, red, green, blue);
}

int GifWriteImage(int left, int top, int width, int height, const GifPixelFunction& pixel) {
    ProgramWriter& w = TheWriter();
    if (!w.begun) return kGifCannotCreate;
    return w.writer.WriteImage(left, top, width, height, pixel);
}

int GifWriteImage(int left, int top, int width, int height, const GifCells& cells) {
    ProgramWriter& w = TheWriter();
    if (!w.begun) return kGifCannotCreate;
    return w.writer.WriteImage(left, top, width, height, cells);
}

int GifEnd() {
    ProgramWriter& w = TheWriter();
    if (!w.begun) return kGifCannotCreate;
    w.begun = false;
    return w.writer.End();
}

namespace {

template <class Begin>
int WriteBoard(Begin&& begin, const GifCells& cells, const PaletteBlock& palette,
               GifWriter& writer) {
    int rc = begin();
    if (rc != kGifOk) return rc;
    for (int i = 0; i < kPaletteEntries; ++i) {
        const ColourEntry& e = palette.entries[std::size_t(i)];
        writer.SetColor(i, e.red, e.green, e.blue);
    }
    writer.WriteImage(0, 0, -1, -1, cells);
    return kGifOk;
}

}  // namespace

int ExportBoardGif(ImageSink& sink, const GifCells& cells, const PaletteBlock& palette) {
    int rc = WriteBoard([&] { return GifBegin(sink, cells.width, cells.height, 256, 8); }, cells,
                        palette, TheWriter().writer);
    if (rc != kGifOk) return rc;
    // GifEnd runs whatever the image write returned, and reports the first failure.
    return GifEnd();
}

int WriteBoardGif(ImageSink& sink, const GifCells& cells, const PaletteBlock& palette) {
    GifWriter writer;
    int rc = WriteBoard([&] { return writer.Begin(sink, cells.width, cells.height, 256, 8); },
                        cells, palette, writer);
    if (rc != kGifOk) return rc;
    return writer.End();
}

}  // namespace cellarium
