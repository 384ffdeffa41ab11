#include "files/safe_replace.h"

namespace cellarium {
SafeReplace::~SafeReplace() {
    Abandon();
}

bool SafeReplace::Refuse(FileError cause) {
    cause_ = cause == FileError::None ? FileError::Generic : cause;
    return false;
}

bool SafeReplace::Open(const std::string& path) {
    Abandon();
    target_.reset();
    cause_ = FileError::None;
    damaged_ = false;
    bytes_ = 0;
    FileError cause = FileError::None;
    target_ = role_.FindSaveTarget(path, cause);
    if (!target_) return Refuse(cause);
    const FileFacts facts = target_->Facts();
    switch (facts.kind) {
        case FileKind::Folder:
            return Refuse(FileError::AccessDenied);
        case FileKind::Device:
            // Renaming a file over a device would replace the device.
            return InPlaceFile(target_->OpenInPlace(cause), Way::Device) || Refuse(cause);
        case FileKind::Missing:
            return MakeBeside(nullptr) == Made::Yes;
        case FileKind::Regular:
            break;
    }
    // The user must be able to write the file itself; a folder that lets a
    // new file take the name of a read-only one does not make it writable.
    std::unique_ptr<PlatformFile> itself = target_->OpenInPlace(cause);
    if (!itself) return Refuse(cause);
    if (facts.links > 1 || !facts.replaceable) return InPlaceFile(std::move(itself), Way::InPlace);
    itself.reset();
    switch (MakeBeside(&facts)) {
        case Made::Yes:
            return true;
        case Made::Failed:
            return false;
        case Made::Unlike:
            return InPlaceFile(target_->OpenInPlace(cause), Way::InPlace) || Refuse(cause);
    }
    return false;
}

SafeReplace::Made SafeReplace::MakeBeside(const FileFacts* like) {
    std::string name;
    FileError cause = FileError::None;
    std::unique_ptr<PlatformFile> made = target_->CreateBeside(name, cause);
    if (!made) {
        Refuse(cause);
        return Made::Failed;
    }
    mode_ = role_.NewFileMode();
    if (like != nullptr) {
        // The owner and group now; the mode once the content is whole, so
        // that nobody else can read a private file's content meanwhile.
        FileFacts now;
        FileError ignored = FileError::None;
        const bool alike = made->Describe(now, ignored) &&
                           ((now.owner == like->owner && now.group == like->group) ||
                            made->SetOwner(like->owner, like->group, ignored));
        if (!alike) {
            made->Discard();
            return Made::Unlike;
        }
        mode_ = like->mode;
    }
    file_ = std::move(made);
    written_ = name;
    way_ = Way::Beside;
    return Made::Yes;
}

bool SafeReplace::InPlaceFile(std::unique_ptr<PlatformFile> file, Way way) {
    if (!file) return false;
    file_ = std::move(file);
    way_ = way;
    return true;
}

bool SafeReplace::Write(const void* data, std::size_t count) {
    if (!file_) return Refuse(cause_);
    // A failed write may have written part: it counts as written.
    bytes_ += count;
    FileError cause = FileError::None;
    if (!file_->Write(data, count, cause)) return Refuse(cause);
    return true;
}

bool SafeReplace::Failed(FileError cause) {
    if (cause_ == FileError::None) cause_ = cause == FileError::None ? FileError::Generic : cause;
    return false;
}

bool SafeReplace::Commit() {
    if (way_ == Way::None || !file_) {
        way_ = Way::None;
        return Refuse(cause_);
    }
    FileError cause = FileError::None;
    bool ok = cause_ == FileError::None || Failed(cause_);
    // Content written in place may be shorter than what was there.
    if (ok && way_ == Way::InPlace && !file_->EndHere(cause)) ok = Failed(cause);
    if (ok && !file_->Flush(cause)) ok = Failed(cause);
    if (ok && way_ == Way::Beside && !file_->SetMode(mode_, cause)) {
        // A file system that keeps modes of its own may refuse the change
        // and still give the file the mode asked for.
        FileFacts now;
        FileError ignored = FileError::None;
        if (!file_->Describe(now, ignored) || now.mode != (mode_ & 07777)) ok = Failed(cause);
    }
    // The file is closed (where a disk may report what went wrong with the
    // data) before it takes the target's place; the platform file stays,
    // knowing the file, until the rename.
    cause = FileError::None;
    if (!file_->Close(cause)) ok = ok && Failed(cause);
    if (way_ == Way::Beside) {
        if (ok && !file_->ReplaceTarget(cause)) ok = Failed(cause);
        if (!ok) file_->Discard();
    }
    if (!ok && way_ == Way::InPlace) damaged_ = true;
    file_.reset();
    target_.reset();
    way_ = Way::None;
    written_.clear();
    return ok;
}

void SafeReplace::AbandonKeeping(uint64_t length) {
    if (way_ == Way::InPlace && file_ && length < bytes_) {
        FileError ignored = FileError::None;
        file_->CutBackTo(length, ignored);
    }
    Abandon();
}

void SafeReplace::Abandon() {
    if (way_ == Way::None) return;
    if (file_) {
        if (way_ == Way::Beside) file_->Discard();
        FileError ignored = FileError::None;
        file_->Close(ignored);
    }
    // In place, the old content stays whole until the first byte is written.
    if (way_ == Way::InPlace && bytes_ > 0) damaged_ = true;
    file_.reset();
    target_.reset();
    way_ = Way::None;
    written_.clear();
}

}  // namespace cellarium
