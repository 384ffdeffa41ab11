// The files of the system as the program's lowest layer sees them: an open
// file, what a file is, and the role (a small interface of system calls)
// that finds the target of a save and makes the files that replace it. It
// knows nothing of windows or documents: the framework's file services, the
// command-line runner and the Python module all stand on it, and
// platform/posix implements it over the real files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace cellarium {

// Why a file operation failed.
enum class FileError {
    None,
    Generic,
    FileNotFound,
    BadPath,
    TooManyOpenFiles,
    AccessDenied,
    SharingViolation,
    DiskFull,
    HardIO,
    EndOfFile,
    AlreadyExists,
    OutOfMemory,
    // A link in a sticky folder that others may write (as /tmp), owned
    // neither by this user nor by the folder's owner: not followed.
    ForeignLink,
    // A link that leads to itself, through too many links, or to a name
    // nothing can be made at.
    BrokenLink,
    // Another program swapped a name while the file was being saved.
    ChangedMeanwhile,
    // Opened for reading, but a pipe or socket, or a device, rather than a
    // file.
    IsPipe,
    IsDevice,
};

// File open flags (combinable).
inline constexpr unsigned kModeRead = 0x0000;
inline constexpr unsigned kModeWrite = 0x0001;
inline constexpr unsigned kModeReadWrite = 0x0002;
inline constexpr unsigned kShareExclusive = 0x0010;
inline constexpr unsigned kShareDenyWrite = 0x0020;
inline constexpr unsigned kModeCreate = 0x1000;  // create; truncates unless kModeNoTruncate
inline constexpr unsigned kModeNoTruncate = 0x2000;
inline constexpr unsigned kModeCreateNew = 0x4000;  // with kModeCreate: fails if the file exists
inline constexpr unsigned kModeNoFollow = 0x8000;   // fails if the path's last part is a link

// What a path names once symbolic links are followed.
enum class FileKind {
    Missing,  // nothing (or nothing this user may see)
    Regular,
    Folder,
    Device,  // a device, pipe, socket or open stream: written where it is
};

struct FileFacts {
    FileKind kind = FileKind::Missing;
    unsigned mode = 0;   // permission bits with the set-id and sticky bits (07777)
    uint32_t owner = 0;  // the platform's numbers for the owner and the group
    uint32_t group = 0;
    uint64_t links = 1;  // how many names the file has
    // A new file made beside this one may be renamed over it: its folder
    // takes new names, and lets this user replace this one.
    bool replaceable = false;
};

// An open file of the platform. Every operation reports failure with a cause;
// the object closes the file when destroyed if Close was not called. The
// operations past Close act on the open file itself, never on its name, so
// that another user who swaps names meanwhile changes nothing they do; a file
// that is no file of the system's (a stream of the program's own) refuses
// them.
class PlatformFile {
public:
    virtual ~PlatformFile() = default;
    // Reads up to count bytes; got is 0 at the end of the data.
    virtual bool Read(void* buffer, std::size_t count, std::size_t& got, FileError& cause) = 0;
    // Writes all count bytes or fails.
    virtual bool Write(const void* data, std::size_t count, FileError& cause) = 0;
    // Pushes what was written to stable storage.
    virtual bool Flush(FileError& cause) = 0;
    virtual bool Close(FileError& cause) = 0;

    // What the open file is (FileFacts::replaceable stays false).
    virtual bool Describe(FileFacts& facts, FileError& cause);
    // The permission bits (FileFacts::mode), and the owner and group.
    virtual bool SetMode(unsigned mode, FileError& cause);
    virtual bool SetOwner(uint32_t owner, uint32_t group, FileError& cause);
    // Cuts the file off where the writing stands (a file written in place
    // that the new content does not fill).
    virtual bool EndHere(FileError& cause);
    // Cuts a file written from where it stood when opened back to its first
    // length bytes of that writing, and goes on writing from there (a file
    // that grows by whole lines, after a line could not be written whole).
    virtual bool CutBackTo(uint64_t length, FileError& cause);
    // A file made beside a save target only: renames it over the target it
    // was made for, in one step. Refused, with nothing renamed, when its own
    // name no longer names it or the target's name no longer names the file
    // that was there when it was made (another program swapped one); false
    // also when, after the rename, the target's name does not name this
    // file. True only when the target now is this file. A file made at the
    // target's own name (through a link to nothing yet) keeps its name.
    virtual bool ReplaceTarget(FileError& cause);
    // A file made for a save only: removes its name, if that still names it
    // (whatever another program put there instead stays).
    virtual void Discard() {}
};

// The target of a save as the role found it: its folder held open, so that
// what is made for it lands in that very folder whatever happens to the
// names on the way there.
class SaveTarget {
public:
    virtual ~SaveTarget() = default;
    // What the target is (links followed); Missing when there is nothing
    // yet.
    virtual const FileFacts& Facts() const = 0;
    // The target itself, open for writing without emptying it: refused when
    // the user may not write it, or the name now names another file.
    virtual std::unique_ptr<PlatformFile> OpenInPlace(FileError& cause) = 0;
    // A new, empty file for writing in the target's folder, under an
    // unpredictable name no file had, that only this user may read or write
    // (it gets its mode with PlatformFile::SetMode once it is whole) and
    // that PlatformFile::ReplaceTarget renames over the target. For a link
    // to nothing yet, the file the link leads to, made there. path is the
    // new file's path.
    virtual std::unique_ptr<PlatformFile> CreateBeside(std::string& path, FileError& cause) = 0;
};

// The system calls a save needs.
class FileRole {
public:
    virtual ~FileRole() = default;
    // Finds what path names, following the last link only where the system
    // itself would and never a link another user may have put in a shared
    // folder; nothing is made or changed. Null with the cause when path
    // cannot be saved to (a folder, a link refused or leading nowhere).
    virtual std::unique_ptr<SaveTarget> FindSaveTarget(const std::string& path,
                                                       FileError& cause) = 0;
    // The permission bits a new file of this user gets where nothing else
    // decides them (the platform's default less what the user masks out).
    virtual unsigned NewFileMode() = 0;
};

}  // namespace cellarium
