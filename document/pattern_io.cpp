#include "document/pattern_io.h"

#include <cstring>

namespace cellarium {

int CFileByteSource::Read(uint8_t& byte) {
    if (pos_ == end_) {
        if (done_) return 0;
        end_ = file_.Read(buffer_, sizeof buffer_);
        pos_ = 0;
        if (end_ == 0) {
            done_ = true;
            failed_ = file_.LastError() != FileError::None;
            return 0;
        }
    }
    byte = buffer_[pos_++];
    return 1;
}

void CFileByteSink::Write(const void* bytes, std::size_t count) {
    if (failed_) return;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    while (count > 0 && !failed_) {
        std::size_t n = std::min(count, sizeof buffer_ - used_);
        std::memcpy(buffer_ + used_, p, n);
        used_ += n;
        p += n;
        count -= n;
        if (used_ == sizeof buffer_) Drain();
    }
}

void CFileByteSink::Drain() {
    if (used_ > 0 && !failed_ && !file_.Write(buffer_, used_)) failed_ = true;
    used_ = 0;
}

bool CFileByteSink::Finish() {
    Drain();
    return !failed_;
}

}  // namespace cellarium
