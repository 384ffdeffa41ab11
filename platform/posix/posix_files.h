// The file services over the real files of a POSIX system. Both back ends
// use them: the headless one puts its test faults around them, the desktop
// one uses them as they are. Files are opened and saves' targets found by the
// file role of platform/posix_file_role.h.
#pragma once

#include "framework/platform_services.h"
#include "platform/posix/posix_file_role.h"

namespace cellarium {

class PosixFiles final : public FileServices {
public:
    // Makes the program ignore SIGXFSZ and SIGPIPE: a write past a file-size
    // limit, or into a pipe whose reader has gone, is then a write error
    // like any other rather than the end of the program.
    PosixFiles();
    std::unique_ptr<SaveTarget> FindSaveTarget(const std::string& path, FileError& cause) override {
        return role_.FindSaveTarget(path, cause);
    }
    unsigned NewFileMode() override { return role_.NewFileMode(); }
    std::unique_ptr<PlatformFile> OpenFile(const std::string& path, unsigned flags,
                                           FileError& cause) override {
        return role_.OpenFile(path, flags, cause);
    }
    bool RemoveFile(const std::string& path) override;
    FileFacts QueryFile(const std::string& path) override { return role_.QueryFile(path); }
    bool GetFreeSpace(const std::string& folder, uint64_t& bytes) override;
    std::optional<std::string> MakePrivateTempFolder() override;
    bool RemoveFolder(const std::string& path) override;

private:
    PosixFileRole role_;
};

}  // namespace cellarium
