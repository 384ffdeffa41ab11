#include "colour/palette_file.h"

namespace cellarium {
namespace {

constexpr int kEnd = -1;

bool IsScanSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

ColourEntry Complement(ColourEntry c) {
    return MakeColour(255 - c.red, 255 - c.green, 255 - c.blue);
}

}  // namespace

ColourEntry TrueColour(ColourEntry colour) {
    return colour;
}

// ---------------------------------------------------------------------------
// MapFileSource

MapFileSource::MapFileSource(std::istream* in) : in_(in) {}

bool MapFileSource::Open() {
    return in_ != nullptr;
}

int MapFileSource::Get() {
    if (pushedBack_ != -2) {
        int c = pushedBack_;
        pushedBack_ = -2;
        return lastChar_ = c;
    }
    // Past the limit the list breaks off: one byte more tells a file of just
    // that length from a longer one.
    if (tooLong_) return lastChar_ = kEnd;
    std::istream::int_type c = in_->get();
    if (std::istream::traits_type::eq_int_type(c, std::istream::traits_type::eof()))
        return lastChar_ = kEnd;
    if (++taken_ > kMaxPaletteFileBytes) {
        tooLong_ = true;
        return lastChar_ = kEnd;
    }
    return lastChar_ = static_cast<unsigned char>(std::istream::traits_type::to_char_type(c));
}

void MapFileSource::Unget(int c) {
    pushedBack_ = c;
}

// One "%d": white space, an optional sign, then at least one digit. The byte
// that ends the number (or fails to start it) is left for the next read. The
// value is kept modulo 2^32, which keeps its low 8 bits exact whatever its size.
bool MapFileSource::ScanInt(int& value) {
    int c = Get();
    while (IsScanSpace(c)) c = Get();
    if (c == kEnd) return false;
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = Get();
    }
    if (c < '0' || c > '9') {
        Unget(c);
        return false;
    }
    uint32_t v = 0;
    while (c >= '0' && c <= '9') {
        v = v * 10u + uint32_t(c - '0');
        c = Get();
    }
    Unget(c);
    value = static_cast<int>(negative ? 0u - v : v);
    return true;
}

bool MapFileSource::Next(int& red, int& green, int& blue) {
    if (in_ == nullptr) return false;
    // Lines whose first mark is "#" are comments.
    for (;;) {
        int c = Get();
        while (IsScanSpace(c)) c = Get();
        if (c != '#') {
            Unget(c);
            break;
        }
        while (c != '\n' && c != kEnd) c = Get();
        if (c == kEnd) break;
    }
    // The scan: up to three numbers; each one converted is stored at once, the
    // others leave the caller's variables alone.
    int* out[3] = {&red, &green, &blue};
    int count = 0;
    bool endBeforeFirst = false;
    for (int k = 0; k < 3; ++k) {
        int value = 0;
        if (!ScanInt(value)) {
            endBeforeFirst = count == 0 && lastChar_ == kEnd;
            break;
        }
        *out[k] = value;
        ++count;
    }
    lastCount_ = endBeforeFirst ? -1 : count;
    // Skip the rest of the record, up to and including the next line feed.
    int c = Get();
    while (c != '\n' && c != kEnd) c = Get();
    return count > 0;
}

// ---------------------------------------------------------------------------
// ReverseSource

ReverseSource::ReverseSource(const PaletteBlock& block) : colours_(block.entries) {}

bool ReverseSource::Open() {
    position_ = 255;
    return true;
}

bool ReverseSource::Next(int& red, int& green, int& blue) {
    if (position_ < 0) return false;
    const ColourEntry& e = colours_[std::size_t(position_)];
    red = e.red;
    green = e.green;
    blue = e.blue;
    --position_;
    return true;
}

// ---------------------------------------------------------------------------
// The builder and the commands' colour operations

bool BuildCustomPalette(ColorSource& source, const NearestColour& nearest) {
    if (!source.Open()) return false;
    // Built aside and stored only once the source has ended well.
    std::array<ColourEntry, kPaletteEntries> custom = Palette(PaletteId::Custom).entries;

    int i = 0;
    bool filled = false;
    int red = 0, green = 0, blue = 0;
    ColourEntry dead{}, previous{};
    while (i < kPaletteEntries && source.Next(red, green, blue)) {
        ColourEntry colour = MakeColour(red & 0xFF, green & 0xFF, blue & 0xFF);
        if (i == 0) {
            dead = colour;
            previous = Complement(colour);
            custom[0] = colour;
        } else {
            bool unusable =
                colour.Rgb() == dead.Rgb() || (nearest && nearest(colour).Rgb() == dead.Rgb());
            if (unusable) {
                custom[std::size_t(i)] = previous;
                // A record that leaves components out takes them from here.
                red = previous.red;
                green = previous.green;
                blue = previous.blue;
            } else {
                previous = colour;
                if (!filled) {
                    for (int j = 1; j < i; ++j) custom[std::size_t(j)] = colour;
                    filled = true;
                }
                custom[std::size_t(i)] = colour;
            }
        }
        ++i;
    }
    // Fewer than 256 colours: repeat entries 1..i-1 in turn up to entry 255.
    if (i > 1)
        for (int j = i; j < kPaletteEntries; ++j)
            custom[std::size_t(j)] = custom[std::size_t(j - (i - 1))];
    // A list that broke off, or gave no colour at all, is no palette.
    if (source.Failed() || i == 0) return false;
    Palette(PaletteId::Custom).entries = custom;
    return true;
}

PaletteFileProblem ReadPaletteFile(std::istream* in, const NearestColour& nearest) {
    if (in == nullptr) return PaletteFileProblem::NotOpened;
    MapFileSource source(in);
    if (BuildCustomPalette(source, nearest)) return PaletteFileProblem::None;
    return source.Failed() ? PaletteFileProblem::TooLong : PaletteFileProblem::NoColour;
}

bool LoadPaletteFile(std::istream* in, const NearestColour& nearest) {
    return ReadPaletteFile(in, nearest) == PaletteFileProblem::None;
}

void InvertPalette(const PaletteBlock& block) {
    std::array<ColourEntry, kPaletteEntries>& custom = Palette(PaletteId::Custom).entries;
    for (int k = 0; k < kPaletteEntries; ++k)
        custom[std::size_t(k)] = Complement(block.entries[std::size_t(k)]);
}

void ReversePalette(const PaletteBlock& block, const NearestColour& nearest) {
    ReverseSource source(block);
    BuildCustomPalette(source, nearest);
}

bool IsCurrentPalette(PaletteId id) {
    return CurrentPalette() == &Palette(id);
}

}  // namespace cellarium
