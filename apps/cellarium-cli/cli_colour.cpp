#include "cli_colour.h"

#include "ids/command_ids.h"

namespace cellarium {

unsigned PaletteCommandFor(const std::string& name) {
    static const struct {
        const char* name;
        unsigned command;
    } kNames[] = {
        {"autumn", ID_COLORS_AUTUMN},     {"blue", ID_COLORS_BLUE}, {"rainbow", ID_COLORS_RAINBOW},
        {"sunshine", ID_COLORS_SUNSHINE}, {"bw", ID_COLORS_BW},
    };
    for (const auto& entry : kNames)
        if (name == entry.name) return entry.command;
    return 0;
}

std::string PaletteFileFailedMessage(const std::string& path) {
    return "cellarium-cli: cannot open palette file '" + path +
           "' (palettes: autumn, blue, rainbow, sunshine, bw, or a .map file)";
}

}  // namespace cellarium
