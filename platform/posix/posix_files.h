// The file role over the real files of a POSIX system. Both back ends use it:
// the headless one puts its test faults around it, the desktop one uses it as
// it is.
//
// The process's own open streams, named /dev/stdin, /dev/stdout, /dev/stderr,
// /dev/fd/N or /proc/self/fd/N, are used through the descriptor the process
// already holds rather than opened again: writing goes on where the stream
// stands (after what the program printed before), and works whoever owns the
// pipe or file behind it. They count as devices, written where they are.
#pragma once

#include "framework/platform_services.h"

namespace cellarium {

class PosixFiles final : public FileServices {
public:
    // Makes the program ignore SIGXFSZ: a write past a file-size limit is
    // then a write error, reported as a full disk.
    PosixFiles();
    std::unique_ptr<PlatformFile> OpenFile(const std::string& path, unsigned flags,
                                           FileError& cause) override;
    bool RemoveFile(const std::string& path) override;
    std::string FinalPath(const std::string& path) override;
    FileFacts QueryFile(const std::string& path) override;
    // Names the new file "TARGET.tmp-" and twelve random letters and digits
    // (the target's name shortened when that would make the name too long),
    // made with mode 0600 in the target's folder held open, never through a
    // link.
    std::unique_ptr<PlatformFile> CreateFileBeside(const std::string& target, std::string& path,
                                                   FileError& cause) override;
    unsigned NewFileMode() override;
    bool GetFreeSpace(const std::string& folder, uint64_t& bytes) override;
    std::optional<std::string> MakePrivateTempFolder() override;
    bool RemoveFolder(const std::string& path) override;
};

}  // namespace cellarium
