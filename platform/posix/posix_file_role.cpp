#include "platform/posix/posix_file_role.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
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
        case ELOOP:
            return FileError::BrokenLink;
        case ENOTDIR:
        case ENAMETOOLONG:
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

// Where a file made for a save lives: its folder (held open, so that the
// names below stay names in that very folder whatever happens to its path),
// a second descriptor of the file itself (which outlives Close, so the file
// is still known, and its inode not reused, when it is renamed), its own name
// and the target's, and what the target's name named when the target was
// found. A file made at the target's name itself (through a link to nothing
// yet) has no rename to do.
struct Beside {
    int folder = -1;
    int self = -1;
    std::string name;
    std::string target;
    Identity targetWas;
    bool atTarget = false;
};

class PosixFile final : public PlatformFile {
public:
    explicit PosixFile(int fd) : fd_(fd) { start_ = ::lseek(fd_, 0, SEEK_CUR); }
    PosixFile(int fd, Beside beside) : PosixFile(fd) { beside_ = std::move(beside); }
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

    bool CutBackTo(uint64_t length, FileError& cause) override {
        struct stat st {};
        if (fd_ < 0 || start_ < 0) return Fail(EBADF, cause);
        // What went into a pipe or a device cannot be taken back.
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return Fail(ESPIPE, cause);
        const off_t at = start_ + off_t(length);
        if (::ftruncate(fd_, at) != 0 || ::lseek(fd_, at, SEEK_SET) != at)
            return Fail(errno, cause);
        return true;
    }

    bool ReplaceTarget(FileError& cause) override {
        if (beside_.folder < 0 || beside_.name.empty()) return Fail(EBADF, cause);
        const Identity self = Self();
        if (beside_.atTarget) {
            if (!self.exists || IdentityAt(beside_.folder, beside_.name) != self)
                return Swapped(cause);
            beside_.name.clear();
            return true;
        }
        // A name swapped since the file was made: the rename would put
        // another file in place, or replace another file than the one meant.
        if (!self.exists || IdentityAt(beside_.folder, beside_.name) != self ||
            IdentityAt(beside_.folder, beside_.target) != beside_.targetWas)
            return Swapped(cause);
        if (::renameat(beside_.folder, beside_.name.c_str(), beside_.folder,
                       beside_.target.c_str()) != 0)
            return Fail(errno, cause);
        beside_.name.clear();
        // Swapped in the instant between the check and the rename.
        if (IdentityAt(beside_.folder, beside_.target) != self) return Swapped(cause);
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
    static bool Swapped(FileError& cause) {
        cause = FileError::ChangedMeanwhile;
        return false;
    }

    Identity Self() const {
        struct stat st {};
        const int fd = beside_.self >= 0 ? beside_.self : fd_;
        if (fd < 0 || ::fstat(fd, &st) != 0) return Identity{};
        return IdentityOf(st);
    }

    int fd_;
    off_t start_ = -1;
    Beside beside_;
};

// A descriptor closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : fd_(other.Release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = other.Release();
        }
        return *this;
    }
    int Get() const { return fd_; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

// A path cut into its folder and its last name; false for a path whose last
// part names no file of a folder ("", "dir/", ".", "..").
bool SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const std::size_t slash = path.find_last_of('/');
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    folder = FolderOf(path);
    return !name.empty() && name != "." && name != "..";
}

// The folder of a path, held open to look names up in (its own links are
// followed by the system).
Descriptor OpenFolder(const std::string& folder, FileError& cause) {
    Descriptor fd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd) cause = FromErrno(errno);
    return fd;
}

// A link another user may have put in a sticky folder that everybody may
// write: followed only when it is this user's or the folder's owner's (the
// rule the system itself applies where it protects such links).
bool ForeignLink(int folder, const struct stat& link) {
    struct stat fs {};
    if (::fstat(folder, &fs) != 0) return true;
    if (!(fs.st_mode & S_ISVTX) || !(fs.st_mode & S_IWOTH)) return false;
    const uid_t me = ::geteuid();
    return link.st_uid != me && link.st_uid != fs.st_uid;
}

// Where the open file fd lives, as the system itself knows it: its folder
// held open and its name there, checked to name that very file still.
bool LocationOf(int fd, Descriptor& folder, std::string& name, std::string& path,
                FileError& cause) {
    char link[PATH_MAX];
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(self.c_str(), link, sizeof link);
    struct stat st {};
    if (n <= 0 || std::size_t(n) >= sizeof link || link[0] != '/' || ::fstat(fd, &st) != 0) {
        cause = FileError::BadPath;
        return false;
    }
    path.assign(link, std::size_t(n));
    std::string folderPath;
    if (!SplitPath(path, folderPath, name)) {
        cause = FileError::BadPath;
        return false;
    }
    folder = OpenFolder(folderPath, cause);
    if (!folder) return false;
    // A file removed or renamed since it was opened has moved on.
    if (IdentityAt(folder.Get(), name) != IdentityOf(st)) {
        cause = FileError::ChangedMeanwhile;
        return false;
    }
    return true;
}

FileFacts FactsOf(const struct stat& st) {
    FileFacts facts;
    facts.kind = S_ISREG(st.st_mode)   ? FileKind::Regular
                 : S_ISDIR(st.st_mode) ? FileKind::Folder
                                       : FileKind::Device;
    facts.mode = unsigned(st.st_mode & 07777);
    facts.owner = uint32_t(st.st_uid);
    facts.group = uint32_t(st.st_gid);
    facts.links = uint64_t(st.st_nlink);
    return facts;
}

// Renaming a new file over this one needs a folder that takes new names; in
// a sticky folder (as /tmp) only the owner of the file or the folder (or
// root) may replace a name.
bool Replaceable(int folder, const struct stat& st) {
    struct stat fs {};
    if (::fstat(folder, &fs) != 0 || ::faccessat(folder, ".", W_OK | X_OK, AT_EACCESS) != 0)
        return false;
    const uid_t me = ::geteuid();
    return !(fs.st_mode & S_ISVTX) || me == 0 || st.st_uid == me || fs.st_uid == me;
}

// Opening a pipe waits for the other end, for ever if none comes: opened
// without waiting, a pipe nobody reads is refused at once when written, and
// one nobody writes is seen for what it is when read. Reads and writes then
// wait as usual.
void Blocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
}

class PosixTarget final : public SaveTarget {
public:
    const FileFacts& Facts() const override { return facts_; }

    std::unique_ptr<PlatformFile> OpenInPlace(FileError& cause) override {
        if (stream_) {
            const int fd = ::fcntl(stream_.Get(), F_DUPFD_CLOEXEC, 0);
            if (fd < 0) {
                cause = FromErrno(errno);
                return nullptr;
            }
            return std::make_unique<PosixFile>(fd);
        }
        if (facts_.kind == FileKind::Missing) return Refuse(FileError::FileNotFound, cause);
        const int fd =
            ::openat(folder_.Get(), name_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            // A link where the file was found: another program put it there.
            return Refuse(errno == ELOOP ? FileError::ChangedMeanwhile : FromErrno(errno), cause);
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || IdentityOf(st) != was_) {
            ::close(fd);
            return Refuse(FileError::ChangedMeanwhile, cause);
        }
        Blocking(fd);
        return std::make_unique<PosixFile>(fd);
    }

    std::unique_ptr<PlatformFile> CreateBeside(std::string& path, FileError& cause) override {
        if (stream_) return Refuse(FileError::AccessDenied, cause);
        if (throughLink_) return CreateThroughLink(path, cause);
        Beside beside;
        beside.target = name_;
        beside.targetWas = was_;
        beside.folder = ::fcntl(folder_.Get(), F_DUPFD_CLOEXEC, 0);
        if (beside.folder < 0) return Refuse(FromErrno(errno), cause);
        // The target's name (shortened to leave room within the longest name
        // a folder takes), ".tmp-" and twelve random letters and digits: a
        // name nobody can make beforehand, tried again in the rare case it is
        // taken.
        constexpr std::size_t kRandom = 12;
        constexpr std::size_t kLongestStem = NAME_MAX - 5 - kRandom;
        const std::string stem = name_.substr(0, kLongestStem) + ".tmp-";
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
                path = folderPrefix_ + name;
                beside.name = name;
                beside.self = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
                cause = FileError::None;
                return std::make_unique<PosixFile>(fd, std::move(beside));
            }
            error = errno;
        }
        ::close(beside.folder);
        return Refuse(FromErrno(error), cause);
    }

    FileFacts facts_;
    Descriptor folder_;         // the folder the target is (or is to be) in
    std::string name_;          // its name there
    std::string folderPrefix_;  // the folder's path with a slash, for new files' paths
    Identity was_;              // what the name named when the target was found
    Descriptor stream_;         // one of the process's own streams
    bool throughLink_ = false;  // a link to nothing yet: made where it leads

private:
    static std::unique_ptr<PlatformFile> Refuse(FileError why, FileError& cause) {
        cause = why;
        return nullptr;
    }

    // The file a link to nothing yet leads to, made by the system as it
    // follows the link (its protections applied), empty and private.
    std::unique_ptr<PlatformFile> CreateThroughLink(std::string& path, FileError& cause) {
        Descriptor fd(::openat(folder_.Get(), name_.c_str(),
                               O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0600));
        if (!fd) {
            const int e = errno;
            return Refuse(
                e == ENOENT || e == ELOOP || e == ENOTDIR ? FileError::BrokenLink : FromErrno(e),
                cause);
        }
        // Something else was there by now, or the link led elsewhere than to
        // a new file of this user's.
        struct stat st {};
        if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0 ||
            st.st_nlink != 1 || st.st_uid != ::geteuid())
            return Refuse(FileError::ChangedMeanwhile, cause);
        Blocking(fd.Get());
        Beside made;
        Descriptor folder;
        if (!LocationOf(fd.Get(), folder, made.name, path, cause)) return nullptr;
        made.folder = folder.Release();
        made.target = made.name;
        made.atTarget = true;
        made.self = ::fcntl(fd.Get(), F_DUPFD_CLOEXEC, 0);
        cause = FileError::None;
        return std::make_unique<PosixFile>(fd.Release(), std::move(made));
    }
};

}  // namespace

std::unique_ptr<SaveTarget> PosixFileRole::FindSaveTarget(const std::string& path,
                                                          FileError& cause) {
    auto target = std::make_unique<PosixTarget>();
    if (StreamDescriptor(path) >= 0) {
        // A stream is never replaced by a file, not even a closed one (whose
        // name then names nothing, and a new file could take it).
        Descriptor fd(OpenStream(path, kModeWrite));
        struct stat st {};
        if (!fd || ::fstat(fd.Get(), &st) != 0) {
            cause = FileError::AccessDenied;
            return nullptr;
        }
        target->facts_ = FactsOf(st);
        target->facts_.kind = FileKind::Device;
        target->stream_ = std::move(fd);
        return target;
    }
    std::string folderPath, name;
    if (!SplitPath(path, folderPath, name)) {
        // Nothing but a folder can be named so.
        cause = path.empty() ? FileError::BadPath : FileError::AccessDenied;
        return nullptr;
    }
    Descriptor folder = OpenFolder(folderPath, cause);
    if (!folder) return nullptr;
    struct stat st {};
    if (::fstatat(folder.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) {
            cause = FromErrno(errno);
            return nullptr;
        }
        // Nothing there yet.
        target->folder_ = std::move(folder);
        target->name_ = name;
        target->folderPrefix_ = path.find('/') == std::string::npos ? "" : folderPath + "/";
        if (folderPath == "/") target->folderPrefix_ = "/";
        return target;
    }
    if (!S_ISLNK(st.st_mode)) {
        Descriptor fd(::openat(folder.Get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat now {};
        if (!fd || ::fstat(fd.Get(), &now) != 0 || IdentityOf(now) != IdentityOf(st)) {
            cause = FileError::ChangedMeanwhile;
            return nullptr;
        }
        target->facts_ = FactsOf(now);
        target->facts_.replaceable = S_ISREG(now.st_mode) && Replaceable(folder.Get(), now);
        target->was_ = IdentityOf(now);
        target->folder_ = std::move(folder);
        target->name_ = name;
        target->folderPrefix_ = path.find('/') == std::string::npos ? "" : folderPath + "/";
        if (folderPath == "/") target->folderPrefix_ = "/";
        return target;
    }
    // A link: followed by the system, only after the rule for shared folders.
    if (ForeignLink(folder.Get(), st)) {
        cause = FileError::ForeignLink;
        return nullptr;
    }
    Descriptor fd(::openat(folder.Get(), name.c_str(), O_PATH | O_CLOEXEC));
    if (!fd) {
        if (errno == ENOENT) {
            // A link to nothing yet: the save makes the file it leads to.
            target->folder_ = std::move(folder);
            target->name_ = name;
            target->throughLink_ = true;
            return target;
        }
        cause = errno == ELOOP || errno == ENOTDIR ? FileError::BrokenLink : FromErrno(errno);
        return nullptr;
    }
    struct stat now {};
    if (::fstat(fd.Get(), &now) != 0) {
        cause = FromErrno(errno);
        return nullptr;
    }
    target->facts_ = FactsOf(now);
    target->was_ = IdentityOf(now);
    if (S_ISDIR(now.st_mode)) return target;
    // The file the link ends at is replaced where it is: its folder, as the
    // system knows it for the open file.
    Descriptor where;
    std::string finalPath;
    if (!LocationOf(fd.Get(), where, target->name_, finalPath, cause)) return nullptr;
    target->folderPrefix_ = FolderOf(finalPath) == "/" ? "/" : FolderOf(finalPath) + "/";
    target->facts_.replaceable = S_ISREG(now.st_mode) && Replaceable(where.Get(), now);
    target->folder_ = std::move(where);
    return target;
}

unsigned PosixFileRole::NewFileMode() {
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

std::unique_ptr<PlatformFile> PosixFileRole::OpenFile(const std::string& path, unsigned flags,
                                                      FileError& cause) {
    if (path.empty()) {
        cause = FileError::BadPath;
        return nullptr;
    }
    if (const int stream = OpenStream(path, flags); stream >= 0) {
        cause = FileError::None;
        return std::make_unique<PosixFile>(stream);
    }
    std::string folderPath, name;
    if (!SplitPath(path, folderPath, name)) {
        cause = FileError::AccessDenied;
        return nullptr;
    }
    Descriptor folder = OpenFolder(folderPath, cause);
    if (!folder) return nullptr;
    struct stat ls {};
    if (::fstatat(folder.Get(), name.c_str(), &ls, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(ls.st_mode) && ForeignLink(folder.Get(), ls)) {
        cause = FileError::ForeignLink;
        return nullptr;
    }
    int oflags = O_CLOEXEC | O_NONBLOCK;
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
    const int fd = ::openat(folder.Get(), name.c_str(), oflags, 0666);
    if (fd < 0) {
        const int e = errno;
        // A link to nothing that can be made.
        cause = e == ENOENT && (flags & kModeCreate) && S_ISLNK(ls.st_mode) ? FileError::BrokenLink
                                                                            : FromErrno(e);
        return nullptr;
    }
    struct stat st {};
    const bool reading = (flags & (kModeWrite | kModeReadWrite)) == 0;
    const FileError refused =
        ::fstat(fd, &st) != 0 ? FromErrno(errno)
        : S_ISDIR(st.st_mode) ? FileError::AccessDenied
        : !reading || S_ISREG(st.st_mode)
            ? FileError::None
            : (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) ? FileError::IsPipe
                                                            : FileError::IsDevice);
    if (refused != FileError::None) {
        ::close(fd);
        cause = refused;
        return nullptr;
    }
    Blocking(fd);
    cause = FileError::None;
    return std::make_unique<PosixFile>(fd);
}

FileFacts PosixFileRole::QueryFile(const std::string& path) {
    FileFacts facts;
    struct stat st {};
    if (const int stream = StreamDescriptor(path); stream >= 0) {
        if (::fstat(stream, &st) != 0) return facts;
        facts = FactsOf(st);
        facts.kind = FileKind::Device;
        return facts;
    }
    if (::stat(path.c_str(), &st) != 0) return facts;
    return FactsOf(st);
}

}  // namespace cellarium
