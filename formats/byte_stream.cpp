#include "formats/byte_stream.h"

namespace cellarium {

int MemoryByteSource::Read(uint8_t& byte) {
    if (pos_ >= size_) return 0;
    byte = data_[pos_++];
    return 1;
}

void MemoryByteSink::Write(const void* bytes, std::size_t count) {
    bytes_.append(static_cast<const char*>(bytes), count);
}

}  // namespace cellarium
