// Byte sources for the readers and byte sinks for the writers. The formats
// layer never opens files by name: callers hand it one of these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

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
    explicit MemoryByteSource(const std::string& bytes)
        : MemoryByteSource(bytes.data(), bytes.size()) {}
    int Read(uint8_t& byte) override;

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Reads an open stdio stream; the caller opens and closes it. Buffers
// internally, but still hands out one byte per call. A read error ends the data
// like the end of the file does; Failed() tells the two apart afterwards.
class FileByteSource final : public ByteSource {
public:
    explicit FileByteSource(std::FILE* file) : file_(file) {}
    int Read(uint8_t& byte) override;
    bool Failed() const { return failed_; }

private:
    std::FILE* file_;
    uint8_t buffer_[16384];
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool done_ = false;
    bool failed_ = false;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(const void* bytes, std::size_t count) = 0;
};

class MemoryByteSink final : public ByteSink {
public:
    void Write(const void* bytes, std::size_t count) override;
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// Writes to an open stdio stream; the caller opens, flushes and closes it.
// Failed() reports whether any write fell short.
class FileByteSink final : public ByteSink {
public:
    explicit FileByteSink(std::FILE* file) : file_(file) {}
    void Write(const void* bytes, std::size_t count) override;
    bool Failed() const { return failed_; }

private:
    std::FILE* file_;
    bool failed_ = false;
};

}  // namespace cellarium
