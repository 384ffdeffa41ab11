// Byte sources the reader puts in front of the one it was given: the bytes it
// looked at to learn what a file is, handed out again, and the content of
// gzip-compressed data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/byte_stream.h"

namespace cellarium {

// True when `bytes` start the way gzip-compressed data starts.
inline bool LooksGzipped(const uint8_t* bytes, std::size_t size) {
    return size >= 2 && bytes[0] == 0x1f && bytes[1] == 0x8b;
}
// True when `bytes` start the way a .zip archive starts.
inline bool LooksZipped(const uint8_t* bytes, std::size_t size) {
    return size >= 4 && bytes[0] == 'P' && bytes[1] == 'K' && bytes[2] == 3 && bytes[3] == 4;
}

// Up to `count` bytes looked at already, then the rest of `rest`.
class PrefixedByteSource final : public ByteSource {
public:
    PrefixedByteSource(const uint8_t* prefix, std::size_t count, ByteSource& rest)
        : prefix_(prefix, prefix + count), rest_(rest) {}
    int Read(uint8_t& byte) override;

private:
    std::vector<uint8_t> prefix_;
    std::size_t next_ = 0;
    ByteSource& rest_;
};

// The content of gzip-compressed bytes (one member or several one after the
// other, as gzip writes them). Compressed data that is damaged or cut short
// ends the content there, and Damaged() says so.
class GzipByteSource final : public ByteSource {
public:
    explicit GzipByteSource(ByteSource& compressed);
    ~GzipByteSource() override;
    GzipByteSource(const GzipByteSource&) = delete;
    GzipByteSource& operator=(const GzipByteSource&) = delete;

    int Read(uint8_t& byte) override;
    bool Damaged() const { return damaged_; }

private:
    bool Fill();

    struct Stream;
    std::unique_ptr<Stream> stream_;
    ByteSource& in_;
    std::vector<uint8_t> input_;
    std::vector<uint8_t> output_;
    std::size_t outputPos_ = 0;
    std::size_t outputEnd_ = 0;
    bool inputEnded_ = false;
    bool memberEnded_ = false;  // the last member ended; more input starts another
    bool done_ = false;
    bool damaged_ = false;
};

}  // namespace cellarium
