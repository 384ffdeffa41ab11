#include "framework/file.h"

#include "framework/win_app.h"

namespace cellarium {

CFile::~CFile() {
    Abort();
}

bool CFile::Open(const std::string& path, unsigned flags, CFileException* error) {
    Abort();
    FileError cause = FileError::None;
    file_ = Platform().Files().OpenFile(path, flags, cause);
    if (!file_) {
        lastError_ = cause == FileError::None ? FileError::Generic : cause;
        if (error != nullptr) error->m_cause = lastError_;
        return false;
    }
    path_ = path;
    lastError_ = FileError::None;
    written_ = 0;
    if (error != nullptr) error->m_cause = FileError::None;
    return true;
}

void CFile::Attach(std::unique_ptr<PlatformFile> file, const std::string& path) {
    Abort();
    file_ = std::move(file);
    path_ = path;
    lastError_ = FileError::None;
    written_ = 0;
}

std::size_t CFile::Read(void* buffer, std::size_t count) {
    if (!file_) {
        lastError_ = FileError::Generic;
        return 0;
    }
    std::size_t got = 0;
    FileError cause = FileError::None;
    if (!file_->Read(buffer, count, got, cause)) {
        lastError_ = cause;
        return 0;
    }
    return got;
}

bool CFile::Write(const void* data, std::size_t count) {
    if (!file_) {
        lastError_ = FileError::Generic;
        return false;
    }
    FileError cause = FileError::None;
    // A failed write may have written part: it counts as written.
    written_ += count;
    if (!file_->Write(data, count, cause)) {
        lastError_ = cause == FileError::None ? FileError::Generic : cause;
        return false;
    }
    return true;
}

bool CFile::Flush() {
    if (!file_) return false;
    FileError cause = FileError::None;
    if (!file_->Flush(cause)) {
        lastError_ = cause == FileError::None ? FileError::Generic : cause;
        return false;
    }
    return true;
}

bool CFile::Close() {
    if (!file_) return true;
    FileError cause = FileError::None;
    bool ok = file_->Close(cause);
    file_.reset();
    if (!ok) lastError_ = cause == FileError::None ? FileError::Generic : cause;
    return ok;
}

void CFile::Abort() {
    if (!file_) return;
    FileError ignored = FileError::None;
    file_->Close(ignored);
    file_.reset();
}

std::string FileTitleOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace cellarium
