#pragma once

#include <string>

namespace cellarium {

// The file name in the pattern samples folder: beside the program
// (samples/ or ../share/cellarium/samples/), in a folder above it (a build
// tree inside the source tree), or in the source tree the program was built
// from. Empty when none of them holds the file.
std::string FindSample(const std::string& executable, const std::string& name);

}  // namespace cellarium
