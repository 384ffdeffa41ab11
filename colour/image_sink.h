// Where the image writer puts the bytes of an image file: a file, or memory
// in tests and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cellarium {

class ImageSink {
public:
    virtual ~ImageSink() = default;
    // Appends size bytes; false when they could not all be written.
    virtual bool Write(const uint8_t* data, std::size_t size) = 0;
};

// Collects everything written, in order.
class MemoryImageSink : public ImageSink {
public:
    bool Write(const uint8_t* data, std::size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    std::vector<uint8_t> bytes;
};

}  // namespace cellarium
