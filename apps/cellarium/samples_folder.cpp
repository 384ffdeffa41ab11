#include "samples_folder.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace cellarium {

std::string FindSample(const std::string& executable, const std::string& name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> candidates;
    fs::path dir = fs::weakly_canonical(fs::path(executable), ec).parent_path();
    if (!dir.empty()) {
        candidates.push_back(dir / "samples");
        candidates.push_back(dir.parent_path() / "share" / "cellarium" / "samples");
        for (fs::path up = dir; !up.empty() && up != up.root_path(); up = up.parent_path())
            candidates.push_back(up / "samples");
    }
    candidates.push_back(fs::path(CELLARIUM_SOURCE_SAMPLES));
    for (const fs::path& folder : candidates) {
        const fs::path file = folder / name;
        if (fs::is_regular_file(file, ec)) return file.string();
    }
    return std::string();
}

}  // namespace cellarium
