// The board: width x height one-byte cells, row stride = width, top row first.
// 0 is a dead cell; 1..255 a live cell whose value is its palette entry. The
// outermost rows and columns are the border, which the step reads but never
// computes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "colour/palette.h"
#include "engine/rule.h"
#include "engine/settings_source.h"

namespace cellarium {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

// Inclusive rectangle: left, top, right, bottom.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

inline constexpr int kMinBoardSide = 150;
inline constexpr int kMaxBoardSide = 10000;
inline constexpr int kDefaultBoardSide = 800;

// Board size from the settings, section "Size", keys "Width" and "Height",
// brought into kMinBoardSide..kMaxBoardSide.
struct BoardSize {
    int width = kDefaultBoardSide;
    int height = kDefaultBoardSide;
};
BoardSize ReadBoardSize(SettingsSource& settings);

// Memory for `count` cells (all 0 when `zeroed`), as a board's cells are
// kept; freed with std::free. Null when there is none.
uint8_t* AllocateCells(std::size_t count, bool zeroed);

class CellBoard {
public:
    // Makes a board of the size in the settings (or the given size, which is
    // taken as is) with the current palette's colour table (Rainbow's while
    // there is none). Returns null when the cells cannot be allocated; no
    // exception escapes and no half-made board is left behind. A board never
    // writes the program-wide palettes: making the current one and its header
    // is the business of whoever makes the program's boards.
    static std::unique_ptr<CellBoard> Create(SettingsSource& settings);
    static std::unique_ptr<CellBoard> Create(int width, int height);
    // A board that takes the given colour table, so it may be made on another
    // thread. Null as for Create.
    static std::unique_ptr<CellBoard> CreateDetached(
        int width, int height, const std::array<ColourEntry, kPaletteEntries>& colours);

    virtual ~CellBoard();
    CellBoard(const CellBoard&) = delete;
    CellBoard& operator=(const CellBoard&) = delete;

    // Frees the cells, leaving the board without any.
    void ReleaseCellBitmap();

    void ResetBounds();
    void SetWholeBounds();
    void IncludeCell(Point p);
    // Sets the bounds to the empty box taking in every live cell (see
    // LiveCellBox) and returns them: exact for interior cells; a live border
    // cell widens the box to the border without moving the opposite edge
    // past the interior's inner edge.
    Rect ScanBounds();

    // The empty box (inverted, at the interior's far edges) and the whole box
    // (the whole interior).
    Rect EmptyBox() const { return Rect{width - 2, height - 2, 1, 1}; }
    Rect WholeBox() const { return Rect{1, 1, width - 2, height - 2}; }

    std::size_t CellCount() const { return std::size_t(width) * std::size_t(height); }
    uint8_t& At(int x, int y) {
        return cells[std::size_t(y) * std::size_t(width) + std::size_t(x)];
    }
    uint8_t At(int x, int y) const {
        return cells[std::size_t(y) * std::size_t(width) + std::size_t(x)];
    }
    // Zeroes every cell, the border too; the bounds and the live count are
    // the caller's to set.
    void Clear();
    // Makes the board all dead: every cell zeroed, the bounds the empty box,
    // the live count 0. The description and the colour table stay.
    void MakeEmpty();

    // Computes the next generation into target (same size, a different board)
    // under `rule` and returns it. See engine/step.h.
    CellBoard& ComputeNext(CellBoard& target, const Rule& rule, int newborn, int32_t& births,
                           int32_t& deaths);
    // The same, also storing LiveCellHash (engine/live_hash.h) of the target
    // in liveHash when it is not null, at less cost than a separate pass.
    CellBoard& ComputeNext(CellBoard& target, const Rule& rule, int newborn, int32_t& births,
                           int32_t& deaths, uint64_t* liveHash);

    // Whole-board transforms: read this board, write target (same size).
    void CenterInto(CellBoard& target);
    void RotateLeftInto(CellBoard& target);
    // The cells move to target unchanged, with the palette's colour table;
    // this board takes the table too and is left all dead.
    void RepaletteInto(CellBoard& target, const PaletteBlock& palette);

    const int32_t width;
    const int32_t height;
    std::string description;  // bytes, 0x00..0xFF kept as they are
    // The pattern's name as its file gave it ("#N" of RLE, "!Name:" of
    // plaintext); empty when it gave none.
    std::string name;
    Rect bounds;
    int32_t liveCount = 0;
    uint8_t* cells = nullptr;  // width * height bytes
    // The colour table the board's bitmap was made with.
    std::array<ColourEntry, kPaletteEntries> colours{};

private:
    CellBoard(int w, int h);
};

// The smallest rectangle around every live cell of the board, border cells
// included, found by visiting every cell; the empty box (inverted) when no
// cell lives. Changes nothing: the board's own bounds are the step's.
Rect LiveCellBox(const CellBoard& board);

}  // namespace cellarium
