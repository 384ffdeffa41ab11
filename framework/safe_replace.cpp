#include "framework/safe_replace.h"

#include "framework/win_app.h"

namespace cellarium {
namespace {

// What the CFile writes through: the replace's own file, which the replace
// keeps, flushes and closes itself.
class ReplaceWriter final : public PlatformFile {
public:
    explicit ReplaceWriter(SafeReplace& replace) : replace_(replace) {}
    bool Read(void*, std::size_t, std::size_t& got, FileError& cause) override {
        got = 0;
        cause = FileError::AccessDenied;
        return false;
    }
    bool Write(const void* data, std::size_t count, FileError& cause) override {
        if (replace_.Write(data, count)) return true;
        cause = replace_.Cause();
        return false;
    }
    bool Flush(FileError&) override { return true; }
    bool Close(FileError&) override { return true; }

private:
    SafeReplace& replace_;
};

}  // namespace

ReplacingFile::ReplacingFile() : replace_(Platform().Files()) {}

ReplacingFile::~ReplacingFile() {
    Abandon();
}

bool ReplacingFile::Open(const std::string& path) {
    file_.Abort();
    if (!replace_.Open(path)) return false;
    file_.Attach(std::make_unique<ReplaceWriter>(replace_), replace_.WrittenPath());
    return true;
}

bool ReplacingFile::Commit() {
    file_.Abort();
    return replace_.Commit();
}

void ReplacingFile::Abandon() {
    file_.Abort();
    replace_.Abandon();
}

void ReplacingFile::AbandonKeeping(uint64_t length) {
    file_.Abort();
    replace_.AbandonKeeping(length);
}

std::string MayBeDamagedText(const std::string& path) {
    return path +
           " was being rewritten in place and may be damaged; save it again, or save it under "
           "another name.";
}

}  // namespace cellarium
