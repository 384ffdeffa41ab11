// Save and Save As, Save As Image and the graph's export replace a user's
// file through the one safe replace (files/safe_replace.h) on the
// platform's file services, with the new content written through a CFile:
//
//   ReplacingFile out;
//   if (!out.Open(path)) ...report out.Cause(): nothing was touched
//   ...write through out.File()
//   if (!writtenWhole) out.Abandon(); else if (!out.Commit()) ...
//   ...a failure reports out.Cause(), and says so when out.MayBeDamaged()
#pragma once

#include <string>

#include "files/safe_replace.h"
#include "framework/file.h"

namespace cellarium {

class ReplacingFile {
public:
    ReplacingFile();
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Gets ready to replace the file at path (SafeReplace::Open).
    bool Open(const std::string& path);
    // Where to write the new content, from a successful Open until Commit or
    // Abandon.
    CFile& File() { return file_; }
    bool Commit();
    void Abandon();
    void AbandonKeeping(uint64_t length);

    FileError Cause() const { return replace_.Cause(); }
    bool InPlace() const { return replace_.InPlace(); }
    bool MayBeDamaged() const { return replace_.MayBeDamaged(); }

private:
    SafeReplace replace_;
    CFile file_;
};

// What a failure message adds for a file that may be damaged.
std::string MayBeDamagedText(const std::string& path);

}  // namespace cellarium
