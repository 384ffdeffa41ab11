// The runner's colour options. --palette NAME chooses one of the palette
// commands; anything else names a ".map" palette file, which the runner loads
// through "Load Custom Colors...". --gif goes through "Save As Image...".
#pragma once

#include <string>

namespace cellarium {

// The palette command for a --palette name ("autumn", "blue", "rainbow",
// "sunshine", "bw"), or 0 when the argument is not one of them (a file).
unsigned PaletteCommandFor(const std::string& name);

// The message for a palette file that could not be loaded.
std::string PaletteFileFailedMessage(const std::string& path);

}  // namespace cellarium
