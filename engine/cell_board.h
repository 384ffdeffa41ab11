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

// Whoever holds a board's bytes behind its plane (a run that steps the planes
// alone, engine/birth_log.h): CatchUp brings the bytes of every board it
// holds up to date and lets go of them.
class BytesBehind {
public:
    virtual void CatchUp() = 0;

protected:
    ~BytesBehind() = default;
};

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

    // Reading. The bytes, width * height of them, row after row; exact
    // whenever they are read (bytes held behind the plane are caught up
    // first). Null only on a board whose cells were released.
    const uint8_t* Cells() const {
        CatchUpBytes();
        return cells_;
    }
    const uint8_t* Row(int y) const { return Cells() + std::size_t(y) * std::size_t(width); }
    uint8_t At(int x, int y) const {
        return Cells()[std::size_t(y) * std::size_t(width) + std::size_t(x)];
    }
    bool HasCells() const { return cells_ != nullptr; }

    // The liveness plane: row y is PlaneStride() 64-bit words (a multiple of
    // eight, each row 64-byte aligned), bit b of word k standing for cell
    // 64k + b, set when that cell is live; bits past the row's end are 0.
    // Always equal to the bytes when read: an edit that does not keep it in
    // step leaves it to be made again from the bytes here. Null only without
    // cells.
    int PlaneStride() const { return planeStride_; }
    const uint64_t* Plane() const {
        if (!planeExact_) RebuildPlane();
        return plane_;
    }
    const uint64_t* PlaneRow(int y) const {
        return Plane() + std::size_t(y) * std::size_t(planeStride_);
    }
    // Whether the plane is up to date without a pass over the bytes.
    bool PlaneIsExact() const { return planeExact_; }

    // Editing: every change to the cells goes through these, so that the
    // plane stays in step with the bytes. Each one counts as an edit (see
    // EditCount). Bounds and live count stay the caller's to keep.
    void Set(int x, int y, uint8_t value) {
        CatchUpBytes();
        const std::size_t i = std::size_t(y) * std::size_t(width) + std::size_t(x);
        ++edits_;
        if (planeExact_ && (cells_[i] != 0) != (value != 0)) {
            uint64_t& word =
                plane_[std::size_t(y) * std::size_t(planeStride_) + (unsigned(x) >> 6)];
            word ^= uint64_t(1) << (unsigned(x) & 63);
        }
        cells_[i] = value;
    }
    // Writes `count` bytes from `values` into row y from column x.
    void WriteRow(int x, int y, const uint8_t* values, int count);
    // Sets every cell of the inclusive rectangle to value.
    void FillRect(const Rect& area, uint8_t value);
    // Zeroes every cell, the border too; the bounds and the live count are
    // the caller's to set.
    void Clear();
    // Makes the board all dead: every cell zeroed, the bounds the empty box,
    // the live count 0. The description and the colour table stay.
    void MakeEmpty();
    // Copies every cell of `other` (the same size) and its plane; bounds,
    // live count and the rest stay.
    void CopyCellsFrom(const CellBoard& other);
    // Copies the cells of `area` from `other` (the same size).
    void CopyRectFrom(const CellBoard& other, const Rect& area);
    // Direct writes to the bytes, for writers that fill large parts of the
    // board at once (readers of files, transforms, soups): the plane is made
    // again from the bytes when next read. The pointer is for the writes
    // that follow at once, not to be kept.
    uint8_t* EditCells() {
        CatchUpBytes();
        ++edits_;
        planeExact_ = false;
        return cells_;
    }
    // The byte of cell (x, y) for such writes.
    uint8_t* EditAt(int x, int y) {
        return EditCells() + std::size_t(y) * std::size_t(width) + std::size_t(x);
    }
    // Gives the board `fresh` (width * height bytes, from AllocateCells, the
    // board's to free from now on) as its cells and returns the ones it had,
    // now the caller's.
    uint8_t* ExchangeCells(uint8_t* fresh);

    // The bytes were written through a view of them handed out earlier (the
    // module's edit block): counts as an edit, and the plane is made again
    // from them when next read.
    void BytesWrittenOutside() { EditCells(); }

    // Every edit and every step written into the board adds to this count;
    // with Serial (one number per board made) it tells a step whether a
    // board is still as an earlier step left it.
    uint64_t EditCount() const { return edits_; }
    uint64_t Serial() const { return serial_; }

    // Bytes behind the plane: while `holder` is set, the plane is exact and
    // the bytes are the holder's to bring up to date, which every reader and
    // writer of them has it do first. Null lets go without a catch-up.
    void HoldBytesBehind(BytesBehind* holder) { behind_ = holder; }
    bool BytesAreBehind() const { return behind_ != nullptr; }
    void CatchUpBytes() const {
        if (behind_ != nullptr) behind_->CatchUp();
    }

    // For the step kernels only: the source's bytes as they are, the
    // target's bytes and plane to write, and
    // after the writes, whether the kernel left the plane exact (a kernel
    // that writes bytes alone leaves it to be made again), which board the
    // step read and the window it wrote.
    uint8_t* StepCells() { return cells_; }
    const uint8_t* StepSourceCells() const { return cells_; }
    uint64_t* StepPlane() { return plane_; }
    void StepWritten(bool planeExact, const CellBoard& source, const Rect& window,
                     uint8_t newborn) {
        ++edits_;
        planeExact_ = planeExact;
        origin_ = StepOrigin{source.serial_, source.edits_, edits_, window, newborn};
    }
    // Whether this board holds what the last step written into it made of
    // `source`, and neither board has changed since; if so, `window` is the
    // window that step wrote and `newborn` the value its births took. Inside
    // that window every byte of this board is what the step made of
    // `source`'s, so a step back into `source` need only write the cells
    // whose bytes differ, and knows the byte of every cell born here.
    bool SteppedFrom(const CellBoard& source, Rect& window, uint8_t& newborn) const {
        if (origin_.edits != edits_ || origin_.sourceSerial != source.serial_ ||
            origin_.sourceEdits != source.edits_)
            return false;
        window = origin_.window;
        newborn = origin_.newborn;
        return true;
    }

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
    // The colour table the board's bitmap was made with.
    std::array<ColourEntry, kPaletteEntries> colours{};

private:
    CellBoard(int w, int h);
    void RebuildPlane() const;
    void PlaneRowFromBytes(int y) const;

    uint8_t* cells_ = nullptr;  // width * height bytes
    mutable uint64_t* plane_ = nullptr;
    BytesBehind* behind_ = nullptr;
    int planeStride_ = 0;
    mutable bool planeExact_ = true;
    uint64_t edits_ = 0;
    uint64_t serial_ = 0;
    struct StepOrigin {
        uint64_t sourceSerial = 0, sourceEdits = 0;
        uint64_t edits = ~uint64_t(0);  // this board's count once written
        Rect window;
        uint8_t newborn = 0;
    } origin_;
};

// The smallest rectangle around every live cell of the board, border cells
// included, found by visiting every cell; the empty box (inverted) when no
// cell lives. Changes nothing: the board's own bounds are the step's.
Rect LiveCellBox(const CellBoard& board);

}  // namespace cellarium
