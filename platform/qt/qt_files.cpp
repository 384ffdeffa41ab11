// Real files through POSIX calls, and the real free-space query.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/qt/qt_roles.h"

namespace cellarium {
namespace {

FileError FromErrno(int e) {
    switch (e) {
        case ENOENT:
            return FileError::FileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EINVAL:
            return FileError::BadPath;
        case EMFILE:
        case ENFILE:
            return FileError::TooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return FileError::AccessDenied;
        case EEXIST:
            return FileError::AlreadyExists;
        case ETXTBSY:
        case EBUSY:
            return FileError::SharingViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return FileError::DiskFull;
        case EIO:
            return FileError::HardIO;
        default:
            return FileError::Generic;
    }
}

class PosixFile : public PlatformFile {
public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override {
        if (fd_ >= 0) ::close(fd_);
    }

    bool Read(void* buffer, std::size_t count, std::size_t& got, FileError& cause) override {
        got = 0;
        if (fd_ < 0) return Fail(EBADF, cause);
        for (;;) {
            ssize_t n = ::read(fd_, buffer, count);
            if (n >= 0) {
                got = std::size_t(n);
                return true;
            }
            if (errno != EINTR) return Fail(errno, cause);
        }
    }

    bool Write(const void* data, std::size_t count, FileError& cause) override {
        if (fd_ < 0) return Fail(EBADF, cause);
        const char* p = static_cast<const char*>(data);
        std::size_t left = count;
        while (left > 0) {
            ssize_t n = ::write(fd_, p, left);
            if (n < 0) {
                if (errno == EINTR) continue;
                return Fail(errno, cause);
            }
            p += n;
            left -= std::size_t(n);
        }
        return true;
    }

    bool Flush(FileError& cause) override {
        if (fd_ < 0) return Fail(EBADF, cause);
        // Devices and some file systems cannot sync; that is not a failure of
        // the data written.
        if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) return Fail(errno, cause);
        return true;
    }

    bool Close(FileError& cause) override {
        if (fd_ < 0) return true;
        int rc = ::close(fd_);
        fd_ = -1;
        if (rc != 0 && errno != EINTR) return Fail(errno, cause);
        return true;
    }

private:
    static bool Fail(int e, FileError& cause) {
        cause = FromErrno(e);
        return false;
    }
    int fd_;
};

}  // namespace

std::unique_ptr<PlatformFile> QtFiles::OpenFile(const std::string& path, unsigned flags,
                                                FileError& cause) {
    if (path.empty()) {
        cause = FileError::BadPath;
        return nullptr;
    }
    int oflags = O_CLOEXEC;
    if (flags & kModeReadWrite)
        oflags |= O_RDWR;
    else if (flags & kModeWrite)
        oflags |= O_WRONLY;
    else
        oflags |= O_RDONLY;
    if (flags & kModeCreate) {
        oflags |= O_CREAT;
        if (flags & kModeCreateNew)
            oflags |= O_EXCL;
        else if (!(flags & kModeNoTruncate))
            oflags |= O_TRUNC;
    }
    int fd = ::open(path.c_str(), oflags, 0666);
    if (fd < 0) {
        cause = FromErrno(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        cause = FileError::AccessDenied;
        return nullptr;
    }
    cause = FileError::None;
    return std::make_unique<PosixFile>(fd);
}

bool QtFiles::RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool QtFiles::RenameFile(const std::string& from, const std::string& to, FileError& cause) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    cause = FromErrno(errno);
    return false;
}

bool QtFiles::IsDeviceOrPipe(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    return S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISFIFO(st.st_mode) ||
           S_ISSOCK(st.st_mode);
}

std::string QtFiles::FinalPath(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string result(real);
    std::free(real);
    return result;
}

bool QtFiles::GetFreeSpace(const std::string& folder, uint64_t& bytes) {
    // The empty folder name stands for the current directory's volume.
    struct statvfs sv {};
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &sv) != 0) return false;
    bytes = uint64_t(sv.f_bavail) * uint64_t(sv.f_frsize);
    return true;
}

}  // namespace cellarium
