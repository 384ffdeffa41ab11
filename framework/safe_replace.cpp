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
        if (!probe.Open(target_, kModeWrite | kShareExclusive, &error))
            return Refuse(error.m_cause);
    }
    const unsigned inPlace = kModeWrite | kModeCreate | kShareExclusive;
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
    if (like != nullptr) {
        // Owner and group first: a change of owner may clear set-id bits.
        const FileFacts now = files.QueryFile(name);
        FileError ignored = FileError::None;
        const bool alike = ((now.owner == like->owner && now.group == like->group) ||
                            files.SetFileOwner(name, like->owner, like->group, ignored)) &&
                           files.SetFileMode(name, like->mode, ignored);
        if (!alike) {
            made.reset();
            files.RemoveFile(name);
            return Made::Unlike;
        }
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
    bool ok = file_.Flush();
    ok = file_.Close() && ok;
    if (!ok) cause_ = file_.LastError();
    if (ok && way_ == Way::Beside) {
        FileError cause = FileError::None;
        if (!Platform().Files().RenameFile(temporary_, target_, cause)) {
            ok = false;
            Refuse(cause);
        }
    }
    if (!ok) {
        if (way_ == Way::Beside) Platform().Files().RemoveFile(temporary_);
        if (way_ == Way::InPlace) damaged_ = true;
    }
    way_ = Way::None;
    temporary_.clear();
    return ok;
}

void ReplacingFile::Abandon() {
    if (way_ == Way::None) return;
    file_.Abort();
    if (way_ == Way::Beside) Platform().Files().RemoveFile(temporary_);
    if (way_ == Way::InPlace) damaged_ = true;
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
