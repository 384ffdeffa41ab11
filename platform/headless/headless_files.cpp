// Real files through POSIX calls, with optional write faults for tests, and
// the real free-space query.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/headless/headless_roles.h"

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
    PosixFile(int fd, std::shared_ptr<HeadlessPlatform::WriteFault> fault,
              std::shared_ptr<HeadlessPlatform::WriteFault> readFault)
        : fd_(fd), fault_(std::move(fault)), readFault_(std::move(readFault)) {}
    ~PosixFile() override {
        if (fd_ >= 0) ::close(fd_);
    }

    bool Read(void* buffer, std::size_t count, std::size_t& got, FileError& cause) override {
        got = 0;
        if (fd_ < 0) return Fail(EBADF, cause);
        if (readFault_) {
            if (readFault_->remaining == 0) {
                cause = readFault_->cause;
                return false;
            }
            if (count > readFault_->remaining) count = std::size_t(readFault_->remaining);
        }
        for (;;) {
            ssize_t n = ::read(fd_, buffer, count);
            if (n >= 0) {
                got = std::size_t(n);
                if (readFault_) readFault_->remaining -= got;
                return true;
            }
            if (errno != EINTR) return Fail(errno, cause);
        }
    }

    bool Write(const void* data, std::size_t count, FileError& cause) override {
        if (fd_ < 0) return Fail(EBADF, cause);
        std::size_t allowed = count;
        bool faulted = false;
        if (fault_) {
            if (fault_->remaining < count) {
                allowed = std::size_t(fault_->remaining);
                faulted = true;
            }
            fault_->remaining -= allowed;
        }
        const char* p = static_cast<const char*>(data);
        std::size_t left = allowed;
        while (left > 0) {
            ssize_t n = ::write(fd_, p, left);
            if (n < 0) {
                if (errno == EINTR) continue;
                return Fail(errno, cause);
            }
            p += n;
            left -= std::size_t(n);
        }
        if (faulted) {
            cause = fault_->cause;
            return false;
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
    std::shared_ptr<HeadlessPlatform::WriteFault> fault_;
    std::shared_ptr<HeadlessPlatform::WriteFault> readFault_;
};

}  // namespace

void HeadlessPlatform::FailWritesAfter(const std::string& path, uint64_t limit, FileError cause) {
    faults_[path] = std::make_shared<WriteFault>(WriteFault{limit, cause});
}

void HeadlessPlatform::FailReadsAfter(const std::string& path, uint64_t limit, FileError cause) {
    readFaults_[path] = std::make_shared<WriteFault>(WriteFault{limit, cause});
}

void HeadlessPlatform::RefuseOpen(const std::string& path, FileError cause) {
    refusals_[path] = cause;
}

void HeadlessPlatform::SetFreeSpace(const std::string& folder, std::optional<uint64_t> bytes) {
    freeOverrides_[folder] = bytes;
}

std::unique_ptr<PlatformFile> HeadlessFiles::OpenFile(const std::string& path, unsigned flags,
                                                      FileError& cause) {
    if (path.empty()) {
        cause = FileError::BadPath;
        return nullptr;
    }
    if (auto refused = p_.refusals_.find(path); refused != p_.refusals_.end()) {
        cause = refused->second;
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
    std::shared_ptr<HeadlessPlatform::WriteFault> fault;
    auto it = p_.faults_.find(path);
    if (it != p_.faults_.end()) fault = it->second;
    std::shared_ptr<HeadlessPlatform::WriteFault> readFault;
    if (auto r = p_.readFaults_.find(path); r != p_.readFaults_.end()) readFault = r->second;
    cause = FileError::None;
    return std::make_unique<PosixFile>(fd, std::move(fault), std::move(readFault));
}

bool HeadlessFiles::RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool HeadlessFiles::RenameFile(const std::string& from, const std::string& to, FileError& cause) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    cause = FromErrno(errno);
    return false;
}

bool HeadlessFiles::IsDeviceOrPipe(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    return S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISFIFO(st.st_mode) ||
           S_ISSOCK(st.st_mode);
}

std::string HeadlessFiles::FinalPath(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string result(real);
    std::free(real);
    return result;
}

bool HeadlessFiles::GetFreeSpace(const std::string& folder, uint64_t& bytes) {
    p_.freeQueries_.push_back(folder);
    auto it = p_.freeOverrides_.find(folder);
    if (it != p_.freeOverrides_.end()) {
        if (!it->second) return false;
        bytes = *it->second;
        return true;
    }
    // The empty folder name stands for the current directory's volume.
    struct statvfs sv {};
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &sv) != 0) return false;
    bytes = uint64_t(sv.f_bavail) * uint64_t(sv.f_frsize);
    return true;
}

std::optional<std::string> HeadlessFiles::MakePrivateTempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = (base != nullptr && *base != '\0') ? base : "/tmp";
    if (pattern.back() != '/') pattern += '/';
    pattern += "cellarium-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    // mkdtemp makes the folder with mode 0700 under a name nobody had.
    if (::mkdtemp(buffer.data()) == nullptr) return std::nullopt;
    std::string folder(buffer.data());
    if (::chmod(folder.c_str(), S_IRWXU) != 0) {
        ::rmdir(folder.c_str());
        return std::nullopt;
    }
    p_.privateFolders_.push_back(folder);
    return folder;
}

bool HeadlessFiles::RemoveFolder(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

}  // namespace cellarium
