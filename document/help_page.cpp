#include "document/help_page.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "framework/win_app.h"

#ifndef CELLARIUM_SOURCE_HELP_DIR
#define CELLARIUM_SOURCE_HELP_DIR ""
#endif

namespace cellarium {
namespace {

std::string Absolute(const std::filesystem::path& p) {
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(p, ec);
    return (ec ? p : abs).lexically_normal().string();
}

}  // namespace

const char* const kHelpPageName = "life.htm";
const char* const kHelpContentsAnchor = "Main_Contents";

std::vector<std::string> HelpPageCandidates(const std::string& programFolder) {
    std::vector<std::string> out;
    if (!programFolder.empty()) {
        const std::filesystem::path folder(programFolder);
        out.push_back(Absolute(folder / ".." / "share" / "cellarium" / "help" / kHelpPageName));
        out.push_back(Absolute(folder / "help" / kHelpPageName));
    }
    const std::string source = CELLARIUM_SOURCE_HELP_DIR;
    if (!source.empty()) out.push_back(Absolute(std::filesystem::path(source) / kHelpPageName));
    return out;
}

std::string FindHelpPage(const std::string& programFolder) {
    for (const std::string& candidate : HelpPageCandidates(programFolder)) {
        FileError cause = FileError::None;
        std::unique_ptr<PlatformFile> file =
            Platform().Files().OpenFile(candidate, kModeRead, cause);
        if (file) return candidate;
    }
    return kHelpPageName;
}

std::string ProgramFolderOf(const std::string& programPath) {
    const std::filesystem::path folder = std::filesystem::path(programPath).parent_path();
    return folder.empty() ? std::string() : Absolute(folder);
}

}  // namespace cellarium
