#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <vector>

namespace cellarium {

PosixFiles::PosixFiles() {
    // A write past the user's file-size limit, or to a pipe nobody reads any
    // more, fails with an error like any other, rather than ending the
    // program in the middle of a save.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

bool PosixFiles::RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
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
