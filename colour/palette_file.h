// The palette builder that fills the Custom palette, its two colour sources
// (".map" palette files and the reversed current palette) and Invert.
//
// Nothing here shows a message: a palette file that cannot be read, or gives
// no colour, leaves the palettes as they were, and the caller is told why.
// Nothing here opens a path it did not get from its caller.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <istream>
#include <memory>
#include <string>

#include "colour/palette.h"

namespace cellarium {

// The display's nearest-colour query: for a colour, the colour the display
// really shows for it. The builder takes it from its caller (the platform
// services on the desktop, a test's own function in tests).
using NearestColour = std::function<ColourEntry(ColourEntry)>;

// A display that shows every 24-bit colour: the colour itself.
ColourEntry TrueColour(ColourEntry colour);

// The input of the palette builder: a list of colours, delivered one at a time.
class ColorSource {
public:
    // Prepares the source; false when it cannot deliver anything.
    virtual bool Open() = 0;
    // Delivers the next colour; false when there is none. Values may lie
    // outside 0..255 (only their low 8 bits count). A source may leave some
    // components untouched, in which case the caller's values stand.
    virtual bool Next(int& red, int& green, int& blue) = 0;
    virtual ~ColorSource() = default;
    // True when the list broke off rather than ended (a palette file still
    // running at the byte limit below): what it delivered must not be used.
    virtual bool Failed() const { return false; }
};

// The most bytes read from a palette file. At most 256 colour lines count, and
// a line of three numbers with a colour name or a comment is a few dozen
// bytes; 256 KiB leave 1 KiB for each line, far more than any real palette
// file needs. A longer source (a device such as /dev/zero named as the file,
// or a file that is no palette) breaks off there: reading stops, and the
// file is not loaded at all rather than loaded in part.
inline constexpr std::size_t kMaxPaletteFileBytes = 256 * 1024;

// Colours read from a ".map" palette file: one "red green blue" record per
// line; a line whose first mark (after white space) is "#" is a comment,
// skipped whole. Each record is scanned like "%d %d %d" (white space, line breaks
// included, may precede each number; an optional sign), then everything up to
// and including the next line feed is skipped. A record that yields no number
// ends the list; one that yields one or two numbers still delivers a colour,
// the missing components left as the caller had them. Only the first
// kMaxPaletteFileBytes bytes are read: a list that runs on past them ends
// there, and Failed() holds.
class MapFileSource : public ColorSource {
public:
    // Reads from an already-opened stream, which must outlive the source; a
    // null stream stands for a file that could not be opened.
    explicit MapFileSource(std::istream* in);

    bool Open() override;
    bool Next(int& red, int& green, int& blue) override;
    bool Failed() const override { return tooLong_; }

    // The count of numbers the last scan converted (-1: it met the end of the
    // input first) and the last byte read (-1: the end of the input).
    int LastScanCount() const { return lastCount_; }
    int LastChar() const { return lastChar_; }

private:
    int Get();
    void Unget(int c);
    bool ScanInt(int& value);

    std::istream* in_ = nullptr;
    int lastCount_ = 0;
    int lastChar_ = 0;
    int pushedBack_ = -2;    // -2: nothing pushed back
    std::size_t taken_ = 0;  // bytes taken from the stream
    bool tooLong_ = false;   // the stream held more than kMaxPaletteFileBytes
};

// The 256 colours of a palette block from entry 255 down to entry 0. The
// colours are copied when the source is made, so the block may be rewritten
// while the source is read (the builder writing Custom from Custom).
class ReverseSource : public ColorSource {
public:
    explicit ReverseSource(const PaletteBlock& block);

    bool Open() override;  // read position 255; always true
    bool Next(int& red, int& green, int& blue) override;

private:
    std::array<ColourEntry, kPaletteEntries> colours_;
    int position_ = -1;
};

// Fills the Custom palette from the source:
// - the first colour is the dead-cell colour (entry 0);
// - every later colour that equals it, or that the display shows as it, is
//   unusable and replaced by the last usable colour before it (by the
//   complement of the dead-cell colour while there has been none yet; the
//   entries holding that complement take the first usable colour when one
//   comes);
// - at most 256 colours are read; if fewer come, the entries after them repeat
//   entries 1, 2, ... in turn (with a single colour, entries 1..255 stay).
// Returns false, with Custom unchanged, when the source cannot be opened, its
// list broke off (Failed() after reading) or it delivered no colour at all.
// Components a first colour leaves out are 0.
bool BuildCustomPalette(ColorSource& source, const NearestColour& nearest = TrueColour);

// Why a palette file was not loaded.
enum class PaletteFileProblem {
    None,       // loaded
    NotOpened,  // no stream: the file could not be opened
    NoColour,   // it gives no colour
    TooLong,    // longer than kMaxPaletteFileBytes, its list not ended by then
};

// BuildCustomPalette over a palette file read from the stream, which the caller
// opened (null: the file could not be opened); Custom is unchanged unless it
// returns None.
PaletteFileProblem ReadPaletteFile(std::istream* in, const NearestColour& nearest = TrueColour);
// The same, true when the file was loaded.
bool LoadPaletteFile(std::istream* in, const NearestColour& nearest = TrueColour);

// Custom entry k = the complement of entry k of the block, for all 256 entries,
// the dead-cell colour included (no usable-colour rule). The block may be
// Custom itself.
void InvertPalette(const PaletteBlock& block);

// Custom = the block's colours in reverse order, under the builder's rules.
void ReversePalette(const PaletteBlock& block, const NearestColour& nearest = TrueColour);

// True when the block of that name is the current palette: the check mark of
// its menu command.
bool IsCurrentPalette(PaletteId id);

}  // namespace cellarium
