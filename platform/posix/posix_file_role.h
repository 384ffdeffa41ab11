// The file role over the real files of a POSIX system, with no framework
// under it: the Python module uses it as it is, and PosixFiles (the file
// services both back ends use) stands on it.
//
// Names are looked up through their folder held open, and what a name turned
// out to be is checked on the open file, never by resolving a path by hand:
// the system follows links itself (with its own protections), and this role
// adds one rule of its own whatever the system's settings: a link in a
// sticky folder that everybody may write (as /tmp) is followed only when it
// belongs to this user or to the folder's owner. A file opened for reading
// is opened without waiting and must be a file, not a pipe or a device.
//
// The process's own open streams, named /dev/stdin, /dev/stdout, /dev/stderr,
// /dev/fd/N or /proc/self/fd/N, are used through the descriptor the process
// already holds rather than opened again: writing goes on where the stream
// stands (after what the program printed before), and works whoever owns the
// pipe or file behind it. They count as devices, written where they are.
#pragma once

#include "files/file_role.h"

namespace cellarium {

class PosixFileRole : public FileRole {
public:
    // The save target, found as FileRole says. A new file beside it is named
    // "TARGET.tmp-" and twelve random letters and digits (the target's name
    // shortened when that would make the name too long), made with mode
    // 0600 in the target's folder held open, never through a link.
    std::unique_ptr<SaveTarget> FindSaveTarget(const std::string& path, FileError& cause) override;
    unsigned NewFileMode() override;
    // Opens path with the kMode... flags of files/file_role.h, as
    // FileServices::OpenFile says.
    std::unique_ptr<PlatformFile> OpenFile(const std::string& path, unsigned flags,
                                           FileError& cause);
    // What path names, links followed.
    FileFacts QueryFile(const std::string& path);
};

}  // namespace cellarium
