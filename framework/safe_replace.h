// The one way a command replaces a user's file with new content (Save and
// Save As, Save As Image): the new content is written into File(), then
// Commit puts it in place, or Abandon gives it up.
//
//   ReplacingFile out;
//   if (!out.Open(path)) ...report out.Cause(): nothing was touched
//   ...write through out.File()
//   if (!writtenWhole) out.Abandon(); else if (!out.Commit()) ...
//   ...a failure reports out.Cause(), and says so when out.MayBeDamaged()
//
// How the file is replaced:
// - Symbolic links are followed: the file they end at is replaced and the
//   links stay links, also when that file is not there yet.
// - A file the user may not write is never replaced, even where its folder
//   would let a new file take its name: Open fails as opening it for
//   writing fails.
// - Normally a new file is made beside the target, under a name nobody can
//   guess, readable by this user alone; it is given the target's owner and
//   group, written, flushed, given the target's mode (or a new file's) and
//   only then renamed over the target. Owner and mode go to the open file,
//   never to a name: another user who owns the folder may swap names at any
//   moment, and a save whose names were swapped fails rather than replace
//   anything but the target it resolved. A failure leaves the target as it
//   was and no new file behind.
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

#include <string>

#include "framework/file.h"
#include "framework/platform_services.h"

namespace cellarium {

class ReplacingFile {
public:
    ReplacingFile() = default;
    // Abandons a replace neither committed nor abandoned.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Gets ready to replace the file at path. False when it cannot be
    // written, with Cause() saying why; nothing was touched then.
    bool Open(const std::string& path);
    // Where to write the new content, from a successful Open until Commit or
    // Abandon.
    CFile& File() { return file_; }
    // Once everything was written: flushes and closes the file, and puts a
    // new file in place. False when that fails (Cause() says why); a new
    // file is then removed, and the target stays as it was unless it was
    // written in place.
    bool Commit();
    // Gives up the new content: a new file is closed and removed; a target
    // written in place stays as far as it was written, and may be damaged.
    void Abandon();

    // Why Open, a write through File() or Commit failed; None when nothing
    // failed.
    FileError Cause() const;
    // The file was (or is being) written where it is rather than replaced.
    bool InPlace() const { return inPlace_; }
    // A failure while the target was written in place: its old content is
    // gone and the new one is not whole.
    bool MayBeDamaged() const { return damaged_; }
    // The file written, links followed (valid after Open).
    const std::string& Target() const { return target_; }

private:
    enum class Way { None, Beside, InPlace, Device };
    enum class Made { Yes, Failed, Unlike };
    // A new file beside the target, made like the target when like is given.
    Made MakeBeside(const FileFacts* like);
    bool OpenInPlace(unsigned flags, Way way);
    bool Refuse(FileError cause);

    CFile file_;
    Way way_ = Way::None;
    unsigned mode_ = 0;  // the mode a new file beside gets before the rename
    std::string target_;
    std::string temporary_;
    FileError cause_ = FileError::None;
    bool inPlace_ = false;
    bool damaged_ = false;
};

// What a failure message adds for a file that may be damaged.
std::string MayBeDamagedText(const std::string& path);

}  // namespace cellarium
