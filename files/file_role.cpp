#include "files/file_role.h"

namespace cellarium {
namespace {

bool Refused(FileError& cause) {
    cause = FileError::AccessDenied;
    return false;
}

}  // namespace

bool PlatformFile::Describe(FileFacts&, FileError& cause) {
    return Refused(cause);
}

bool PlatformFile::SetMode(unsigned, FileError& cause) {
    return Refused(cause);
}

bool PlatformFile::SetOwner(uint32_t, uint32_t, FileError& cause) {
    return Refused(cause);
}

bool PlatformFile::EndHere(FileError& cause) {
    return Refused(cause);
}

bool PlatformFile::CutBackTo(uint64_t, FileError& cause) {
    return Refused(cause);
}

bool PlatformFile::ReplaceTarget(FileError& cause) {
    return Refused(cause);
}

}  // namespace cellarium
