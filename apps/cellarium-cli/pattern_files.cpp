#include "pattern_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "formats/byte_stream.h"
#include "formats/pattern_reader.h"
#include "formats/pattern_writer.h"

namespace cellarium {
namespace {

class MessageKeeper final : public PatternReporter {
public:
    void ShowMessage(const std::string& text) override { message = text; }
    std::string message;
};

std::string Quoted(const std::string& path) { return path == "-" ? "standard input" : "'" + path + "'"; }

}  // namespace

bool LoadPatternFile(const std::string& path, CellBoard& board, std::string& error) {
    const bool fromStdin = path == "-";
    std::FILE* file = fromStdin ? stdin : std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cellarium-cli: cannot open pattern " + Quoted(path) + ": " + std::strerror(errno);
        return false;
    }
    FileByteSource source(file);
    MessageKeeper reporter;
    const bool ok = ReadPattern(board, source, reporter);
    const int readErrno = errno;
    if (!fromStdin) std::fclose(file);
    if (source.Failed()) {
        error = "cellarium-cli: cannot read pattern " + Quoted(path) + ": " + std::strerror(readErrno);
        return false;
    }
    if (!ok) {
        error = reporter.message;
        return false;
    }
    return true;
}

bool SavePatternFile(const CellBoard& board, const std::string& path, std::string& error) {
    std::string temp = path + ".tmp-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        error = "cannot save to '" + path + "': " + std::strerror(errno);
        return false;
    }
    // mkstemp makes the file readable by its owner only; give the saved file
    // the permissions a plainly created one would have.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);

    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        error = "cannot save to '" + path + "': " + std::strerror(errno);
        close(fd);
        unlink(temp.c_str());
        return false;
    }
    FileByteSink sink(file);
    WritePattern(board, sink);
    bool ok = !sink.Failed() && std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    int savedErrno = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        error = "cannot save to '" + path + "': " + std::strerror(savedErrno);
        return false;
    }
    return true;
}

}  // namespace cellarium
