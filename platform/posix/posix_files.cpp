#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
        case ENXIO:
            // A pipe with nobody reading it, or a device that is not there.
            return FileError::SharingViolation;
        case ENOMEM:
            return FileError::OutOfMemory;
        default:
            return FileError::Generic;
    }
}

bool Fail(int e, FileError& cause) {
    cause = FromErrno(e);
    return false;
}

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    bool exists = false;
    bool operator==(const Identity&) const = default;
};

Identity IdentityOf(const struct stat& st) {
    return Identity{st.st_dev, st.st_ino, true};
}

// What a name in a folder names now, links not followed.
Identity IdentityAt(int folder, const std::string& name) {
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Identity{};
    return IdentityOf(st);
}

// For a file made beside a target: the folder (held open, so that the names
// below stay names in that very folder whatever happens to its path), a
// second descriptor of the file itself (which outlives Close, so the file is
// still known, and its inode not reused, when it is renamed), the file's own
// name and the target's, and what the target's name named when the file was
// made.
struct Beside {
    int folder = -1;
    int self = -1;
    std::string name;
    std::string target;
    Identity targetWas;
};

class PosixFile final : public PlatformFile {
public:
    explicit PosixFile(int fd) : fd_(fd) {}
    PosixFile(int fd, Beside beside) : fd_(fd), beside_(std::move(beside)) {}
    ~PosixFile() override {
        if (fd_ >= 0) ::close(fd_);
        if (beside_.folder >= 0) ::close(beside_.folder);
        if (beside_.self >= 0) ::close(beside_.self);
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

    bool Describe(FileFacts& facts, FileError& cause) override {
        struct stat st {};
        if (fd_ < 0) return Fail(EBADF, cause);
        if (::fstat(fd_, &st) != 0) return Fail(errno, cause);
        facts.kind = S_ISREG(st.st_mode)   ? FileKind::Regular
                     : S_ISDIR(st.st_mode) ? FileKind::Folder
                                           : FileKind::Device;
        facts.mode = unsigned(st.st_mode & 07777);
        facts.owner = uint32_t(st.st_uid);
        facts.group = uint32_t(st.st_gid);
        facts.links = uint64_t(st.st_nlink);
        facts.replaceable = false;
        return true;
    }

    bool SetMode(unsigned mode, FileError& cause) override {
        if (fd_ < 0) return Fail(EBADF, cause);
        if (::fchmod(fd_, mode_t(mode & 07777)) != 0) return Fail(errno, cause);
        return true;
    }

    bool SetOwner(uint32_t owner, uint32_t group, FileError& cause) override {
        if (fd_ < 0) return Fail(EBADF, cause);
        if (::fchown(fd_, uid_t(owner), gid_t(group)) != 0) return Fail(errno, cause);
        return true;
    }

    bool EndHere(FileError& cause) override {
        if (fd_ < 0) return Fail(EBADF, cause);
        const off_t at = ::lseek(fd_, 0, SEEK_CUR);
        if (at < 0 || ::ftruncate(fd_, at) != 0) return Fail(errno, cause);
        return true;
    }

    bool ReplaceTarget(FileError& cause) override {
        if (beside_.folder < 0 || beside_.name.empty()) return Fail(EBADF, cause);
        const Identity self = Self();
        // A name swapped since the file was made: the rename would put
        // another file in place, or replace another file than the one meant.
        if (!self.exists || IdentityAt(beside_.folder, beside_.name) != self ||
            IdentityAt(beside_.folder, beside_.target) != beside_.targetWas)
            return Fail(EACCES, cause);
        if (::renameat(beside_.folder, beside_.name.c_str(), beside_.folder,
                       beside_.target.c_str()) != 0)
            return Fail(errno, cause);
        beside_.name.clear();
        // Swapped in the instant between the check and the rename.
        if (IdentityAt(beside_.folder, beside_.target) != self) return Fail(EACCES, cause);
        return true;
    }

    void Discard() override {
        if (beside_.folder < 0 || beside_.name.empty()) return;
        const Identity self = Self();
        if (self.exists && IdentityAt(beside_.folder, beside_.name) == self)
            ::unlinkat(beside_.folder, beside_.name.c_str(), 0);
        beside_.name.clear();
    }

private:
    Identity Self() const {
        struct stat st {};
        const int fd = beside_.self >= 0 ? beside_.self : fd_;
        if (fd < 0 || ::fstat(fd, &st) != 0) return Identity{};
        return IdentityOf(st);
    }

    int fd_;
    Beside beside_;
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

PosixFiles::PosixFiles() {
    // A write past the user's file-size limit fails with an error like any
    // other, rather than ending the program in the middle of a save.
    std::signal(SIGXFSZ, SIG_IGN);
}

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
    if (flags & kModeNoFollow) oflags |= O_NOFOLLOW;
    // Opening a pipe for writing waits for a reader, for ever if none comes:
    // opened without waiting, a pipe that nobody reads is refused at once.
    const bool writing = (flags & (kModeWrite | kModeReadWrite)) != 0;
    if (writing) oflags |= O_NONBLOCK;
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
    // Writes then wait as usual, for a reader that is there.
    if (writing) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    cause = FileError::None;
    return std::make_unique<PosixFile>(fd);
}

bool PosixFiles::RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

std::string PosixFiles::FinalPath(const std::string& path) {
    if (StreamDescriptor(path) >= 0) return path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        std::string result(real);
        std::free(real);
        return result;
    }
    // Only links that end at a name with nothing there yet are followed
    // further (the system makes that name when the link is opened to
    // create): one by one, as far as the system's own limit on links in a
    // row. Any other refusal (a loop, a folder this user may not search)
    // leaves the path as given, and opening it then fails as it should.
    if (errno != ENOENT) return path;
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(current.c_str(), target, sizeof target);
        if (n <= 0 || std::size_t(n) >= sizeof target) return path;
        std::string next(target, std::size_t(n));
        if (next[0] != '/') next = FolderOf(current) + "/" + next;
        if (::lstat(next.c_str(), &st) != 0) return errno == ENOENT ? next : path;
        if (!S_ISLNK(st.st_mode)) return path;  // there after all: not ours to guess
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
    const std::string folderPath = FolderOf(target);
    Beside beside;
    beside.target = slash == std::string::npos ? target : target.substr(slash + 1);
    if (beside.target.empty()) {
        cause = FileError::BadPath;
        return nullptr;
    }
    beside.folder = ::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (beside.folder < 0) {
        cause = FromErrno(errno);
        return nullptr;
    }
    beside.targetWas = IdentityAt(beside.folder, beside.target);
    // The target's name (shortened to leave room within the longest name a
    // folder takes), ".tmp-" and twelve random letters and digits: a name
    // nobody can make beforehand, tried again in the rare case it is taken.
    constexpr std::size_t kRandom = 12;
    constexpr std::size_t kLongestStem = NAME_MAX - 5 - kRandom;
    const std::string stem = beside.target.substr(0, kLongestStem) + ".tmp-";
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        unsigned char bytes[kRandom];
        if (::getrandom(bytes, sizeof bytes, 0) != ssize_t(sizeof bytes)) {
            error = EIO;
            break;
        }
        std::string name = stem;
        for (unsigned char b : bytes) name += kLetters[b % (sizeof kLetters - 1)];
        const int fd = ::openat(beside.folder, name.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            path = slash == std::string::npos ? name : target.substr(0, slash + 1) + name;
            beside.name = name;
            beside.self = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
            cause = FileError::None;
            return std::make_unique<PosixFile>(fd, std::move(beside));
        }
        error = errno;
    }
    ::close(beside.folder);
    cause = FromErrno(error);
    return nullptr;
}

unsigned PosixFiles::NewFileMode() {
    // The mask as the system reports it, without changing it even for an
    // instant; where the system does not report it, read by setting it back.
    unsigned mask = 022;
    bool known = false;
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr) {
            if (std::strncmp(line, "Umask:", 6) == 0) {
                mask = unsigned(std::strtoul(line + 6, nullptr, 8));
                known = true;
                break;
            }
        }
        std::fclose(status);
    }
    if (!known) {
        const mode_t old = ::umask(022);
        ::umask(old);
        mask = unsigned(old);
    }
    return 0666u & ~mask & 07777u;
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
    // The umask may have taken the owner's own bits: they are put back
    // through the folder opened without following a link, never its name.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const bool owned = fd >= 0 && ::fchmod(fd, S_IRWXU) == 0;
    if (fd >= 0) ::close(fd);
    if (!owned) {
        ::rmdir(folder.c_str());
        return std::nullopt;
    }
    return folder;
}

bool PosixFiles::RemoveFolder(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

}  // namespace cellarium
