#include "formats/byte_stream.h"

namespace cellarium {

int MemoryByteSource::Read(uint8_t& byte) {
    if (pos_ >= size_) return 0;
    byte = data_[pos_++];
    return 1;
}

int FileByteSource::Read(uint8_t& byte) {
    if (pos_ == end_) {
        if (done_) return 0;
        pos_ = 0;
        end_ = std::fread(buffer_, 1, sizeof buffer_, file_);
        if (end_ == 0) {
            done_ = true;
            failed_ = std::ferror(file_) != 0;
            return 0;
        }
    }
    byte = buffer_[pos_++];
    return 1;
}

void MemoryByteSink::Write(const void* bytes, std::size_t count) {
    bytes_.append(static_cast<const char*>(bytes), count);
}

void FileByteSink::Write(const void* bytes, std::size_t count) {
    if (failed_ || count == 0) return;
    if (std::fwrite(bytes, 1, count, file_) != count) failed_ = true;
}

}  // namespace cellarium
