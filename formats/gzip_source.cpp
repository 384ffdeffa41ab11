#include "formats/gzip_source.h"

#include <zlib.h>

namespace cellarium {

int PrefixedByteSource::Read(uint8_t& byte) {
    if (next_ < prefix_.size()) {
        byte = prefix_[next_++];
        return 1;
    }
    return rest_.Read(byte);
}

struct GzipByteSource::Stream {
    z_stream z{};
    bool open = false;
};

namespace {
constexpr std::size_t kChunk = 64 * 1024;
}  // namespace

GzipByteSource::GzipByteSource(ByteSource& compressed)
    : stream_(std::make_unique<Stream>()), in_(compressed), input_(kChunk), output_(kChunk) {
    // 16 + the largest window: gzip's wrapper only.
    if (inflateInit2(&stream_->z, 16 + MAX_WBITS) == Z_OK)
        stream_->open = true;
    else
        damaged_ = done_ = true;
}

GzipByteSource::~GzipByteSource() {
    if (stream_->open) inflateEnd(&stream_->z);
}

int GzipByteSource::Read(uint8_t& byte) {
    while (outputPos_ == outputEnd_) {
        if (done_ || !Fill()) return 0;
    }
    byte = output_[outputPos_++];
    return 1;
}

// Inflates the next piece of output; false at the end of the content.
bool GzipByteSource::Fill() {
    z_stream& z = stream_->z;
    for (;;) {
        if (z.avail_in == 0 && !inputEnded_) {
            std::size_t n = 0;
            uint8_t b = 0;
            while (n < input_.size() && in_.Read(b) == 1) input_[n++] = b;
            if (n < input_.size()) inputEnded_ = true;
            z.next_in = input_.data();
            z.avail_in = uInt(n);
        }
        if (memberEnded_) {
            // Data after a member's end: another member, or the end.
            if (z.avail_in == 0) {
                done_ = true;
                return false;
            }
            if (inflateReset(&z) != Z_OK) {
                damaged_ = done_ = true;
                return false;
            }
            memberEnded_ = false;
        }
        z.next_out = output_.data();
        z.avail_out = uInt(output_.size());
        const int status = inflate(&z, Z_NO_FLUSH);
        outputPos_ = 0;
        outputEnd_ = output_.size() - z.avail_out;
        if (status == Z_STREAM_END) {
            memberEnded_ = true;
        } else if (status == Z_BUF_ERROR && z.avail_in == 0 && inputEnded_) {
            damaged_ = done_ = true;  // cut short
        } else if (status != Z_OK && status != Z_BUF_ERROR) {
            damaged_ = done_ = true;
        }
        if (outputEnd_ > 0) return true;
        if (done_) return false;
    }
}

}  // namespace cellarium
