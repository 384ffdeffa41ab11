// The one way the program replaces a user's file with new content: the
// desktop's and the runner's Save, Save As Image and graph export (through
// the framework's ReplacingFile) and the Python module's save and gif. It
// stands on a FileRole only, so it needs no framework.
//
//   SafeReplace out(role);
//   if (!out.Open(path)) ...report out.Cause(): nothing was touched
//   ...out.Write(...)
//   if (!writtenWhole) out.Abandon(); else if (!out.Commit()) ...
//   ...a failure reports out.Cause(), and says so when out.MayBeDamaged()
//
// How the file is replaced:
// - Symbolic links are followed where the system would follow them: the
//   file they end at is replaced and the links stay links, also when that
//   file is not there yet. A link another user put in a shared sticky
//   folder, a loop and a link to nowhere usable are refused.
// - A file the user may not write is never replaced, even where its folder
//   would let a new file take its name: Open fails as opening it for
//   writing fails.
// - Normally a new file is made beside the target, under a name nobody can
//   guess, readable by this user alone; it is given the target's owner and
//   group, written, flushed, given the target's mode (or a new file's) and
//   only then renamed over the target. Owner and mode go to the open file,
//   never to a name: another user who owns the folder may swap names at any
//   moment, and a save whose names were swapped fails (ChangedMeanwhile)
//   rather than replace anything but the target it found. A failure leaves
//   the target as it was and no new file behind.
// - Where a new file cannot stand for the target, the target itself is
//   emptied and written: a device, pipe or stream; a file with several names
//   (hard links), which must stay one file; a file in a folder that takes no
//   new name; a file whose owner or group the user cannot give a new file.
//   Such a file is opened without emptying it and cut to the new length at
//   Commit, so a caller that builds the content before writing it (InPlace()
//   says when to) loses nothing when memory runs out. A failure after the
//   first byte was written can leave a regular file damaged, and
//   MayBeDamaged() says so: the caller must tell the user.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "files/file_role.h"

namespace cellarium {

class SafeReplace {
public:
    explicit SafeReplace(FileRole& role) : role_(role) {}
    // Abandons a replace neither committed nor abandoned.
    ~SafeReplace();
    SafeReplace(const SafeReplace&) = delete;
    SafeReplace& operator=(const SafeReplace&) = delete;

    // Gets ready to replace the file at path. False when it cannot be
    // written, with Cause() saying why; nothing was touched then.
    bool Open(const std::string& path);
    // Writes every byte or returns false (Cause() says why), from a
    // successful Open until Commit or Abandon.
    bool Write(const void* data, std::size_t count);
    // Once everything was written: flushes and closes the file, and puts a
    // new file in place. False when that fails (Cause() says why); a new
    // file is then removed, and the target stays as it was unless it was
    // written in place.
    bool Commit();
    // Gives up the new content: a new file is closed and removed; a target
    // written in place stays as far as it was written, and may be damaged.
    void Abandon();
    // Abandon, for a file of lines: a target written in place is first cut
    // back to the first length bytes of the new content (its last whole
    // line), so that it ends with a whole line rather than half of one.
    void AbandonKeeping(uint64_t length);

    // Why Open, a write or Commit failed; None when nothing failed.
    FileError Cause() const { return cause_; }
    // The file was (or is being) written where it is rather than replaced.
    bool InPlace() const { return way_ == Way::InPlace || way_ == Way::Device; }
    // A failure while the target was written in place: its old content is
    // gone and the new one is not whole.
    bool MayBeDamaged() const { return damaged_; }
    // The path of the file written now (the new file beside the target, or
    // the target); empty when none is open.
    const std::string& WrittenPath() const { return written_; }
    // Bytes handed to Write since Open.
    uint64_t BytesWritten() const { return bytes_; }

private:
    enum class Way { None, Beside, InPlace, Device };
    enum class Made { Yes, Failed, Unlike };
    // A new file beside the target, made like the target when like is given.
    Made MakeBeside(const FileFacts* like);
    bool InPlaceFile(std::unique_ptr<PlatformFile> file, Way way);
    bool Refuse(FileError cause);
    bool Failed(FileError cause);

    FileRole& role_;
    std::unique_ptr<SaveTarget> target_;
    std::unique_ptr<PlatformFile> file_;
    Way way_ = Way::None;
    unsigned mode_ = 0;  // the mode a new file beside gets before the rename
    std::string written_;
    uint64_t bytes_ = 0;
    FileError cause_ = FileError::None;
    bool damaged_ = false;
};

}  // namespace cellarium
