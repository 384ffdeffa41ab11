#include "framework/safe_replace.h"

#include "framework/win_app.h"

namespace cellarium {

ReplacingFile::~ReplacingFile() {
    Abandon();
}

bool ReplacingFile::Refuse(FileError cause) {
    cause_ = cause == FileError::None ? FileError::Generic : cause;
    return false;
}

bool ReplacingFile::Open(const std::string& path) {
    Abandon();
    cause_ = FileError::None;
    inPlace_ = false;
    damaged_ = false;
    FileServices& files = Platform().Files();
    target_ = files.FinalPath(path);
    const FileFacts facts = files.QueryFile(target_);
    switch (facts.kind) {
        case FileKind::Folder:
            return Refuse(FileError::AccessDenied);
        case FileKind::Device:
            // Renaming a file over a device would replace the device.
            return OpenInPlace(kModeWrite | kShareExclusive, Way::Device);
        case FileKind::Missing:
            return MakeBeside(nullptr) == Made::Yes;
        case FileKind::Regular:
            break;
    }
    // The user must be able to write the file itself; a folder that lets a
    // new file take the name of a read-only one does not make it writable.
    {
        CFile probe;
        CFileException error;
        if (!probe.Open(target_, kModeWrite | kShareExclusive | kModeNoFollow, &error))
            return Refuse(error.m_cause);
    }
    const unsigned inPlace =
        kModeWrite | kModeCreate | kModeNoTruncate | kShareExclusive | kModeNoFollow;
    if (facts.links > 1 || !facts.replaceable) return OpenInPlace(inPlace, Way::InPlace);
    switch (MakeBeside(&facts)) {
        case Made::Yes:
            return true;
        case Made::Failed:
            return false;
        case Made::Unlike:
            return OpenInPlace(inPlace, Way::InPlace);
    }
    return false;
}

ReplacingFile::Made ReplacingFile::MakeBeside(const FileFacts* like) {
    FileServices& files = Platform().Files();
    std::string name;
    FileError cause = FileError::None;
    std::unique_ptr<PlatformFile> made = files.CreateFileBeside(target_, name, cause);
    if (!made) {
        Refuse(cause);
        return Made::Failed;
    }
    mode_ = files.NewFileMode();
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
    file_.Attach(std::move(made), name);
    temporary_ = name;
    way_ = Way::Beside;
    return Made::Yes;
}

bool ReplacingFile::OpenInPlace(unsigned flags, Way way) {
    CFileException error;
    if (!file_.Open(target_, flags, &error)) return Refuse(error.m_cause);
    way_ = way;
    inPlace_ = true;
    return true;
}

bool ReplacingFile::Commit() {
    if (way_ == Way::None) return Refuse(cause_);
    PlatformFile* file = file_.Handle();
    FileError cause = FileError::None;
    bool ok = file != nullptr;
    // Content written in place may be shorter than what was there.
    if (ok && way_ == Way::InPlace && !file->EndHere(cause)) {
        file_.SetLastError(cause);
        ok = false;
    }
    ok = ok && file_.Flush();
    if (ok && way_ == Way::Beside && !file->SetMode(mode_, cause)) {
        // A file system that keeps modes of its own may refuse the change
        // and still give the file the mode asked for.
        FileFacts now;
        FileError ignored = FileError::None;
        ok = file->Describe(now, ignored) && now.mode == (mode_ & 07777);
        if (!ok) file_.SetLastError(cause);
    }
    // The file is closed (where a disk may report what went wrong with the
    // data) before it takes the target's place; the platform file stays,
    // knowing the file, until the rename.
    std::unique_ptr<PlatformFile> made = way_ == Way::Beside ? file_.Detach() : nullptr;
    FileError closing = FileError::None;
    if (made) {
        if (!made->Close(closing)) {
            file_.SetLastError(closing == FileError::None ? FileError::Generic : closing);
            ok = false;
        }
        if (ok && !made->ReplaceTarget(cause)) {
            file_.SetLastError(cause);
            ok = false;
        }
        if (!ok) made->Discard();
    } else {
        ok = file_.Close() && ok;
    }
    if (!ok) {
        cause_ = file_.LastError() == FileError::None ? FileError::Generic : file_.LastError();
        if (way_ == Way::InPlace) damaged_ = true;
    }
    way_ = Way::None;
    temporary_.clear();
    return ok;
}

void ReplacingFile::Abandon() {
    if (way_ == Way::None) return;
    if (PlatformFile* file = file_.Handle(); file != nullptr && way_ == Way::Beside)
        file->Discard();
    // In place, the old content stays whole until the first byte is written.
    if (way_ == Way::InPlace && file_.BytesWritten() > 0) damaged_ = true;
    file_.Abort();
    way_ = Way::None;
    temporary_.clear();
}

FileError ReplacingFile::Cause() const {
    return cause_ != FileError::None ? cause_ : file_.LastError();
}

std::string MayBeDamagedText(const std::string& path) {
    return path +
           " was being rewritten in place and may be damaged; save it again, or save it under "
           "another name.";
}

}  // namespace cellarium
