// A file role that hands every call to another one: the base of the roles
// that change a few calls of the real files and keep the rest (the headless
// back end's faults, the runner's standard input).
#pragma once

#include "framework/platform_services.h"

namespace cellarium {

class ForwardingFiles : public FileServices {
public:
    // inner must outlive this object; it is not used before the first call.
    explicit ForwardingFiles(FileServices& inner) : inner_(inner) {}

    std::unique_ptr<PlatformFile> OpenFile(const std::string& path, unsigned flags,
                                           FileError& cause) override {
        return inner_.OpenFile(path, flags, cause);
    }
    bool RemoveFile(const std::string& path) override { return inner_.RemoveFile(path); }
    FileFacts QueryFile(const std::string& path) override { return inner_.QueryFile(path); }
    std::unique_ptr<SaveTarget> FindSaveTarget(const std::string& path, FileError& cause) override {
        return inner_.FindSaveTarget(path, cause);
    }
    unsigned NewFileMode() override { return inner_.NewFileMode(); }
    bool GetFreeSpace(const std::string& folder, uint64_t& bytes) override {
        return inner_.GetFreeSpace(folder, bytes);
    }
    std::optional<std::string> MakePrivateTempFolder() override {
        return inner_.MakePrivateTempFolder();
    }
    bool RemoveFolder(const std::string& path) override { return inner_.RemoveFolder(path); }

protected:
    FileServices& Inner() { return inner_; }

private:
    FileServices& inner_;
};

}  // namespace cellarium
