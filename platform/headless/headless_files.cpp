// The real files (the POSIX file role), with the faults a test can put on
// them: refused opens, and reads or writes that fail after so many bytes.
// Every file the program opens or makes goes through here, so a fault on a
// path reaches whatever reads or writes it: a pattern, a palette, a
// statistics file, an image, and the new file a save writes beside a target.
// The free-space query can be answered by the test too.
#include "platform/headless/headless_roles.h"

namespace cellarium {
namespace {

using Fault = std::shared_ptr<HeadlessPlatform::WriteFault>;

class FaultyFile final : public PlatformFile {
public:
    FaultyFile(std::unique_ptr<PlatformFile> file, Fault writes, Fault reads)
        : file_(std::move(file)), writes_(std::move(writes)), reads_(std::move(reads)) {}

    bool Read(void* buffer, std::size_t count, std::size_t& got, FileError& cause) override {
        got = 0;
        if (reads_) {
            if (reads_->remaining == 0) {
                cause = reads_->cause;
                return false;
            }
            if (count > reads_->remaining) count = std::size_t(reads_->remaining);
        }
        if (!file_->Read(buffer, count, got, cause)) return false;
        if (reads_) reads_->remaining -= got;
        return true;
    }

    // Writes what the budget allows, then fails as a full disk would.
    bool Write(const void* data, std::size_t count, FileError& cause) override {
        wrote_ = true;
        if (!writes_ || writes_->remaining >= count) {
            if (writes_) writes_->remaining -= count;
            return file_->Write(data, count, cause);
        }
        const std::size_t allowed = std::size_t(writes_->remaining);
        writes_->remaining = 0;
        if (allowed > 0 && !file_->Write(data, allowed, cause)) return false;
        cause = writes_->cause;
        return false;
    }

    bool Flush(FileError& cause) override {
        if (flushes_ && flushes_->remaining-- == 0) {
            cause = flushes_->cause;
            return false;
        }
        return file_->Flush(cause);
    }
    bool Close(FileError& cause) override {
        const bool closed = file_->Close(cause);
        // Only a file written to reports what a disk found at the end.
        if (closes_ && wrote_ && closes_->remaining-- == 0) {
            cause = closes_->cause;
            return false;
        }
        return closed;
    }
    bool Describe(FileFacts& facts, FileError& cause) override {
        return file_->Describe(facts, cause);
    }
    bool SetMode(unsigned mode, FileError& cause) override { return file_->SetMode(mode, cause); }
    bool SetOwner(uint32_t owner, uint32_t group, FileError& cause) override {
        return file_->SetOwner(owner, group, cause);
    }
    bool EndHere(FileError& cause) override { return file_->EndHere(cause); }
    bool CutBackTo(uint64_t length, FileError& cause) override {
        return file_->CutBackTo(length, cause);
    }
    bool ReplaceTarget(FileError& cause) override { return file_->ReplaceTarget(cause); }
    void Discard() override { file_->Discard(); }

    Fault flushes_;
    Fault closes_;

private:
    std::unique_ptr<PlatformFile> file_;
    Fault writes_;
    Fault reads_;
    bool wrote_ = false;
};

Fault Find(const std::map<std::string, Fault>& faults, const std::string& path) {
    auto it = faults.find(path);
    return it == faults.end() ? nullptr : it->second;
}

}  // namespace

void HeadlessPlatform::FailWritesAfter(const std::string& path, uint64_t limit, FileError cause) {
    faults_[path] = std::make_shared<WriteFault>(WriteFault{limit, cause});
}

void HeadlessPlatform::FailReadsAfter(const std::string& path, uint64_t limit, FileError cause) {
    readFaults_[path] = std::make_shared<WriteFault>(WriteFault{limit, cause});
}

void HeadlessPlatform::FailFlush(const std::string& path, FileError cause) {
    flushFaults_[path] = std::make_shared<WriteFault>(WriteFault{0, cause});
}

void HeadlessPlatform::FailClose(const std::string& path, FileError cause) {
    closeFaults_[path] = std::make_shared<WriteFault>(WriteFault{0, cause});
}

void HeadlessPlatform::RefuseOpen(const std::string& path, FileError cause) {
    refusals_[path] = cause;
}

void HeadlessPlatform::SetFreeSpace(const std::string& folder, std::optional<uint64_t> bytes) {
    freeOverrides_[folder] = bytes;
}

std::unique_ptr<PlatformFile> HeadlessFiles::Wrap(std::unique_ptr<PlatformFile> file,
                                                  const std::string& path,
                                                  const std::string& target) {
    if (!file) return file;
    Fault writes = Find(p_.faults_, path);
    if (!writes) writes = Find(p_.faults_, target);
    Fault reads = Find(p_.readFaults_, path);
    Fault flushes = Find(p_.flushFaults_, target);
    Fault closes = Find(p_.closeFaults_, target);
    if (!writes && !reads && !flushes && !closes) return file;
    auto faulty =
        std::make_unique<FaultyFile>(std::move(file), std::move(writes), std::move(reads));
    faulty->flushes_ = std::move(flushes);
    faulty->closes_ = std::move(closes);
    return faulty;
}

std::unique_ptr<PlatformFile> HeadlessFiles::OpenFile(const std::string& path, unsigned flags,
                                                      FileError& cause) {
    if (auto refused = p_.refusals_.find(path); refused != p_.refusals_.end()) {
        cause = refused->second;
        return nullptr;
    }
    return Wrap(real_.OpenFile(path, flags, cause), path, path);
}

namespace {

// A save's target with the test's faults: a refused target can no more be
// made or opened than anything else at its path, and the files made for it
// carry the faults set for it.
class FaultyTarget final : public SaveTarget {
public:
    FaultyTarget(HeadlessFiles& files, std::unique_ptr<SaveTarget> target, std::string path)
        : files_(files), target_(std::move(target)), path_(std::move(path)) {}
    const FileFacts& Facts() const override { return target_->Facts(); }
    std::unique_ptr<PlatformFile> OpenInPlace(FileError& cause) override {
        if (Refused(cause)) return nullptr;
        return files_.Wrap(target_->OpenInPlace(cause), path_, path_);
    }
    std::unique_ptr<PlatformFile> CreateBeside(std::string& path, FileError& cause) override {
        if (Refused(cause)) return nullptr;
        std::unique_ptr<PlatformFile> file = target_->CreateBeside(path, cause);
        if (file) files_.MadeBeside(path);
        return files_.Wrap(std::move(file), path, path_);
    }

private:
    bool Refused(FileError& cause) const { return files_.Refused(path_, cause); }

    HeadlessFiles& files_;
    std::unique_ptr<SaveTarget> target_;
    std::string path_;
};

}  // namespace

bool HeadlessFiles::Refused(const std::string& path, FileError& cause) const {
    auto refused = p_.refusals_.find(path);
    if (refused == p_.refusals_.end()) return false;
    cause = refused->second;
    return true;
}

void HeadlessFiles::MadeBeside(const std::string& path) {
    if (p_.onFileMadeBeside) p_.onFileMadeBeside(path);
}

std::unique_ptr<SaveTarget> HeadlessFiles::FindSaveTarget(const std::string& path,
                                                          FileError& cause) {
    std::unique_ptr<SaveTarget> target = real_.FindSaveTarget(path, cause);
    if (!target) return nullptr;
    return std::make_unique<FaultyTarget>(*this, std::move(target), path);
}

bool HeadlessFiles::GetFreeSpace(const std::string& folder, uint64_t& bytes) {
    p_.freeQueries_.push_back(folder);
    auto it = p_.freeOverrides_.find(folder);
    if (it != p_.freeOverrides_.end()) {
        if (!it->second) return false;
        bytes = *it->second;
        return true;
    }
    return real_.GetFreeSpace(folder, bytes);
}

std::optional<std::string> HeadlessFiles::MakePrivateTempFolder() {
    std::optional<std::string> folder = real_.MakePrivateTempFolder();
    if (folder) p_.privateFolders_.push_back(*folder);
    return folder;
}

}  // namespace cellarium
