// Byte sources for the readers and byte sinks for the writers. The formats
// layer never opens files by name: callers hand it one of these (the document
// wraps its open file in its own source and sink).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cellarium {

// One byte per call, in order, no seeking.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Stores the next byte in `byte` and returns 1, or returns 0 at the end of
    // the data (or on a read error; see the concrete sources).
    virtual int Read(uint8_t& byte) = 0;
};

class MemoryByteSource final : public ByteSource {
public:
    MemoryByteSource(const void* data, std::size_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    // The bytes are not copied: they must outlive the source.
    explicit MemoryByteSource(const std::string& bytes)
        : MemoryByteSource(bytes.data(), bytes.size()) {}
    explicit MemoryByteSource(std::string&&) = delete;
    int Read(uint8_t& byte) override;

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(const void* bytes, std::size_t count) = 0;
};

// Writes the bytes of text.
inline void Put(ByteSink& sink, std::string_view text) {
    sink.Write(text.data(), text.size());
}

class MemoryByteSink final : public ByteSink {
public:
    void Write(const void* bytes, std::size_t count) override;
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

}  // namespace cellarium
