// libFuzzer target: any bytes as a ".map" palette file. Loading must end, read
// no more than 256 colours, refuse only a file longer than the byte limit, and
// leave a Custom palette in which no entry after the dead-cell colour is that
// colour once two or more colours were read.
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "colour/palette.h"
#include "colour/palette_file.h"

using namespace cellarium;

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "palette file: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // How many colours the file delivers (the builder reads at most 256).
    int colours = 0;
    {
        std::istringstream in(text);
        MapFileSource source(&in);
        if (!source.Open()) Fail("an open stream did not open");
        int r = 0, g = 0, b = 0;
        while (colours < kPaletteEntries + 1 && source.Next(r, g, b)) ++colours;
    }

    ResetPalettesForStart();
    std::istringstream in(text);
    const bool loaded = LoadPaletteFile(&in);
    if (!loaded && colours > 0 && size <= kMaxPaletteFileBytes)
        Fail("an open stream with colours was refused");
    if (loaded && colours == 0) Fail("a file with no colour loaded");
    const PaletteBlock& custom = Palette(PaletteId::Custom);
    if (colours >= 2) {
        for (int k = 1; k < kPaletteEntries; ++k)
            if (custom.entries[std::size_t(k)] == custom.entries[0])
                Fail("an entry after the first holds the dead-cell colour");
    }
    for (const ColourEntry& e : custom.entries)
        if (e.reserved != 0) Fail("reserved byte set");
    if (LoadPaletteFile(static_cast<std::istream*>(nullptr))) Fail("a missing file loaded");
    return 0;
}
