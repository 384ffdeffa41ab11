// The framework's file object over a platform file: open by path and mode,
// read, write, flush, close. Failures are returned with a cause rather than
// thrown; a file still open is closed when the object is destroyed.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "framework/platform_services.h"

namespace cellarium {

class CFileException {
public:
    FileError m_cause = FileError::None;
};

class CFile {
public:
    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens path with the kMode.../kShare... flags. On failure returns false
    // and, when given, fills error with the cause.
    bool Open(const std::string& path, unsigned flags, CFileException* error = nullptr);
    // Takes over a file the platform opened already (closing any open one).
    void Attach(std::unique_ptr<PlatformFile> file, const std::string& path);
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& GetFilePath() const { return path_; }

    // Returns the number of bytes read (0 at the end or on failure; see
    // LastError).
    std::size_t Read(void* buffer, std::size_t count);
    // Writes every byte or returns false.
    bool Write(const void* data, std::size_t count);
    bool Flush();
    // Closes the file; false when the close reported an error (data may not
    // have reached the disk).
    bool Close();
    // Closes without reporting.
    void Abort();

    FileError LastError() const { return lastError_; }
    // Bytes handed to Write since the file was opened or attached.
    uint64_t BytesWritten() const { return written_; }
    // The platform's file, for what only it can do; null when closed.
    PlatformFile* Handle() { return file_.get(); }
    // Hands the platform's file over, still open; this object is closed.
    std::unique_ptr<PlatformFile> Detach() { return std::move(file_); }
    // Keeps the cause of a failure of an operation made through Handle().
    void SetLastError(FileError cause) { lastError_ = cause; }

private:
    std::unique_ptr<PlatformFile> file_;
    std::string path_;
    FileError lastError_ = FileError::None;
    uint64_t written_ = 0;
};

// The file-name part of a path (after the last "/" or "\").
std::string FileTitleOf(const std::string& path);

}  // namespace cellarium
