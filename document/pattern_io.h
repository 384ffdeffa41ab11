// The document's glue between the framework's file object and the formats
// layer: a buffered byte source and sink over a CFile, and a reporter that
// keeps the reader's message for the document to show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/byte_stream.h"
#include "formats/pattern_reader.h"
#include "framework/file.h"

namespace cellarium {

class CFileByteSource final : public ByteSource {
public:
    explicit CFileByteSource(CFile& file) : file_(file) {}
    int Read(uint8_t& byte) override;
    // Whether the data ended on a read error rather than at the end.
    bool Failed() const { return failed_; }

private:
    CFile& file_;
    uint8_t buffer_[16384];
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool done_ = false;
    bool failed_ = false;
};

// Collects bytes and writes them to the file in large blocks. After the
// first failed write nothing more is written and Failed() holds.
class CFileByteSink final : public ByteSink {
public:
    explicit CFileByteSink(CFile& file) : file_(file) {}
    void Write(const void* bytes, std::size_t count) override;
    // Writes what is still buffered; false when any write failed.
    bool Finish();
    bool Failed() const { return failed_; }

private:
    void Drain();
    CFile& file_;
    uint8_t buffer_[16384];
    std::size_t used_ = 0;
    bool failed_ = false;
};

class MessageKeepingReporter final : public PatternReporter {
public:
    void ShowMessage(const std::string& text) override { message = text; }
    void ShowNote(const std::string& line) override {
        if (!notes.empty()) notes += "\r\n";
        notes += line;
    }
    std::string message;
    std::string notes;  // the read's notes, one a line
};

}  // namespace cellarium
