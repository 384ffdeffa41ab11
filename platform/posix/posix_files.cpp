#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

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

bool Fail(int e, FileError& cause) {
    cause = FromErrno(e);
    return false;
}

class PosixFile final : public PlatformFile {
public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override {
        if (fd_ >= 0) ::close(fd_);
    }

    bool Read(void* buffer, std::size_t count, std::size_t& got, FileError& cause) override {
        got = 0;
        if (fd_ < 0) return Fail(EBADF, cause);
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, count);
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
        while (count > 0) {
            const ssize_t n = ::write(fd_, p, count);
            if (n < 0) {
                if (errno == EINTR) continue;
                return Fail(errno, cause);
            }
            p += n;
            count -= std::size_t(n);
        }
        return true;
    }

    bool Flush(FileError& cause) override {
        if (fd_ < 0) return Fail(EBADF, cause);
        // Devices, pipes and some file systems cannot sync; that is not a
        // failure of the data written.
        if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) return Fail(errno, cause);
        return true;
    }

    bool Close(FileError& cause) override {
        if (fd_ < 0) return true;
        const int rc = ::close(fd_);
        fd_ = -1;
        if (rc != 0 && errno != EINTR) return Fail(errno, cause);
        return true;
    }

private:
    int fd_;
};

// The descriptor a name of one of the process's own streams stands for, or
// -1 for any other path.
int StreamDescriptor(const std::string& path) {
    if (path == "/dev/stdin") return 0;
    if (path == "/dev/stdout") return 1;
    if (path == "/dev/stderr") return 2;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const std::string p(prefix);
        if (path.size() <= p.size() || path.compare(0, p.size(), p) != 0) continue;
        int fd = 0;
        for (std::size_t i = p.size(); i < path.size(); ++i) {
            if (path[i] < '0' || path[i] > '9' || fd > 100000) return -1;
            fd = fd * 10 + (path[i] - '0');
        }
        return fd;
    }
    return -1;
}

// The process's own stream, if path names one that is open in a way that
// serves flags.
int OpenStream(const std::string& path, unsigned flags) {
    const int fd = StreamDescriptor(path);
    if (fd < 0) return -1;
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0) return -1;
    const int access = status & O_ACCMODE;
    const bool wantsWrite = (flags & (kModeWrite | kModeReadWrite)) != 0;
    const bool wantsRead = (flags & kModeWrite) == 0;
    if ((wantsWrite && access == O_RDONLY) || (wantsRead && access == O_WRONLY)) return -1;
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

std::unique_ptr<PlatformFile> PosixFiles::OpenFile(const std::string& path, unsigned flags,
                                                   FileError& cause) {
    if (path.empty()) {
        cause = FileError::BadPath;
        return nullptr;
    }
    if (const int stream = OpenStream(path, flags); stream >= 0) {
        cause = FileError::None;
        return std::make_unique<PosixFile>(stream);
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
    const int fd = ::open(path.c_str(), oflags, 0666);
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

bool PosixFiles::RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool PosixFiles::RenameFile(const std::string& from, const std::string& to, FileError& cause) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    return Fail(errno, cause);
}

std::string PosixFiles::FinalPath(const std::string& path) {
    if (StreamDescriptor(path) >= 0) return path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    if (::stat(path.c_str(), &st) == 0) {
        // The links end at something. (A link of /proc to a pipe ends at no
        // path at all: then the name given is the one to use.)
        char* real = ::realpath(path.c_str(), nullptr);
        if (real == nullptr) return path;
        std::string result(real);
        std::free(real);
        return result;
    }
    // The links end at a name with nothing there yet: follow them one by one
    // to that name. The system's own limit on links in a row bounds the walk.
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(current.c_str(), target, sizeof target);
        if (n <= 0 || std::size_t(n) >= sizeof target) return path;
        std::string next(target, std::size_t(n));
        if (next[0] != '/') next = FolderOf(current) + "/" + next;
        if (::lstat(next.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return next;
        current = next;
    }
    return path;
}

FileFacts PosixFiles::QueryFile(const std::string& path) {
    FileFacts facts;
    struct stat st {};
    if (const int stream = StreamDescriptor(path); stream >= 0) {
        // A stream is never replaced by a file, not even a closed one (whose
        // name then names nothing, and a new file could take it).
        facts.kind = FileKind::Device;
        if (::fstat(stream, &st) != 0) return facts;
    } else if (::stat(path.c_str(), &st) != 0) {
        return facts;
    } else if (S_ISREG(st.st_mode)) {
        facts.kind = FileKind::Regular;
    } else if (S_ISDIR(st.st_mode)) {
        facts.kind = FileKind::Folder;
    } else {
        facts.kind = FileKind::Device;
    }
    facts.mode = unsigned(st.st_mode & 07777);
    facts.owner = uint32_t(st.st_uid);
    facts.group = uint32_t(st.st_gid);
    facts.links = uint64_t(st.st_nlink);
    if (facts.kind != FileKind::Regular) return facts;

    // Renaming a new file over this one needs a folder that takes new names;
    // in a sticky folder (as /tmp) only the owner of the file or the folder
    // (or root) may replace a name.
    const std::string folder = FolderOf(FinalPath(path));
    struct stat fs {};
    if (::stat(folder.c_str(), &fs) != 0 ||
        ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return facts;
    const uid_t me = ::geteuid();
    facts.replaceable = !(fs.st_mode & S_ISVTX) || me == 0 || st.st_uid == me || fs.st_uid == me;
    return facts;
}

std::unique_ptr<PlatformFile> PosixFiles::CreateFileBeside(const std::string& target,
                                                           std::string& path, FileError& cause) {
    const std::size_t slash = target.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string stem = target;
    // Room for ".tmp-100" within the longest name a folder takes.
    constexpr std::size_t kLongestName = NAME_MAX - 8;
    if (target.size() - nameStart > kLongestName) stem = target.substr(0, nameStart + kLongestName);
    for (int n = 1; n <= 100; ++n) {
        const std::string name = stem + ".tmp-" + std::to_string(n);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            path = name;
            cause = FileError::None;
            return std::make_unique<PosixFile>(fd);
        }
        if (errno != EEXIST) break;
    }
    cause = FromErrno(errno);
    return nullptr;
}

bool PosixFiles::SetFileMode(const std::string& path, unsigned mode, FileError& cause) {
    if (::chmod(path.c_str(), mode_t(mode & 07777)) == 0) return true;
    return Fail(errno, cause);
}

bool PosixFiles::SetFileOwner(const std::string& path, uint32_t owner, uint32_t group,
                              FileError& cause) {
    if (::chown(path.c_str(), uid_t(owner), gid_t(group)) == 0) return true;
    return Fail(errno, cause);
}

bool PosixFiles::GetFreeSpace(const std::string& folder, uint64_t& bytes) {
    // The empty folder name stands for the current directory's volume.
    struct statvfs sv {};
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &sv) != 0) return false;
    bytes = uint64_t(sv.f_bavail) * uint64_t(sv.f_frsize);
    return true;
}

std::optional<std::string> PosixFiles::MakePrivateTempFolder() {
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
    return folder;
}

bool PosixFiles::RemoveFolder(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

}  // namespace cellarium
