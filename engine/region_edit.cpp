#include "engine/region_edit.h"

#include <algorithm>
#include <cstring>

#include "engine/cell_pack.h"

namespace cellarium {
namespace {

int64_t CountLive(const CellBoard& b, Rect r) {
    int64_t n = 0;
    if (IsEmptyRect(r)) return 0;
    for (int y = r.top; y <= r.bottom; ++y) {
        const uint8_t* row = CellAddress(b, r.left, y);
        for (int x = 0; x <= r.right - r.left; ++x) n += row[x] != 0;
    }
    return n;
}

// Runs edit on the cells of area (clipped), keeping the live count by the
// difference it made there, and leaves the whole box.
template <typename Edit>
void EditArea(CellBoard& b, Rect area, Edit&& edit) {
    area = ClipToBoard(b, area);
    const int64_t before = CountLive(b, area);
    edit();
    b.liveCount = int32_t(b.liveCount + (CountLive(b, area) - before));
    b.SetWholeBounds();
}

int FloorHalf(int v) {
    return v >= 0 ? v / 2 : -((-v + 1) / 2);
}

// splitmix64: small, fast and the same on every platform.
uint64_t NextRandom(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

Rect ClipToBoard(const CellBoard& b, Rect r) {
    return Rect{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, b.width - 1),
                std::min(r.bottom, b.height - 1)};
}

bool IsEmptyRect(const Rect& r) {
    return r.left > r.right || r.top > r.bottom;
}

Rect UnionRect(const Rect& a, const Rect& b) {
    if (IsEmptyRect(a)) return b;
    if (IsEmptyRect(b)) return a;
    return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

bool IsInterior(const CellBoard& b, int x, int y) {
    return x >= 1 && y >= 1 && x <= b.width - 2 && y <= b.height - 2;
}

void CopyBorder(const CellBoard& from, CellBoard& to) {
    const std::size_t w = std::size_t(from.width);
    std::memcpy(to.EditCells(), from.Cells(), w);
    std::memcpy(to.EditAt(0, from.height - 1), CellAddress(from, 0, from.height - 1), w);
    for (int y = 1; y < from.height - 1; ++y) {
        to.Set(0, y, from.At(0, y));
        to.Set(from.width - 1, y, from.At(from.width - 1, y));
    }
}

void ClearRect(CellBoard& b, Rect r) {
    r = ClipToBoard(b, r);
    if (IsEmptyRect(r)) return;
    EditArea(b, r, [&] {
        for (int y = r.top; y <= r.bottom; ++y)
            std::memset(b.EditAt(r.left, y), 0, std::size_t(r.right - r.left + 1));
    });
}

void ClearOutsideRect(CellBoard& b, Rect r) {
    r = ClipToBoard(b, r);
    if (IsEmptyRect(r)) {
        b.Clear();
        b.liveCount = 0;
        b.SetWholeBounds();
        return;
    }
    const int64_t inside = CountLive(b, r);
    // The live count becomes what is inside; above and below the rectangle
    // whole rows go, beside it the ends of its rows.
    std::memset(b.EditCells(), 0, std::size_t(r.top) * std::size_t(b.width));
    for (int y = r.top; y <= r.bottom; ++y) {
        std::memset(b.EditAt(0, y), 0, std::size_t(r.left));
        std::memset(b.EditAt(r.right + 1, y), 0, std::size_t(b.width - 1 - r.right));
    }
    std::memset(b.EditAt(0, r.bottom + 1), 0,
                std::size_t(b.height - 1 - r.bottom) * std::size_t(b.width));
    b.liveCount = int32_t(inside);
    b.SetWholeBounds();
}

void FillRandomRect(CellBoard& b, Rect r, int percent, uint64_t seed) {
    r = ClipToBoard(b, r);
    if (IsEmptyRect(r)) return;
    percent = std::clamp(percent, 0, 100);
    // A cell lives when a 32-bit draw falls below the threshold.
    const uint64_t threshold = (uint64_t(percent) << 32) / 100;
    uint64_t state = seed;
    EditArea(b, r, [&] {
        for (int y = r.top; y <= r.bottom; ++y)
            for (int x = r.left; x <= r.right; ++x) {
                const bool live = (NextRandom(state) >> 32) < threshold;
                b.Set(x, y, IsInterior(b, x, y) && live ? 1 : 0);
            }
    });
}

CellBlock CopyRect(const CellBoard& b, Rect r) {
    CellBlock block;
    r = ClipToBoard(b, r);
    if (IsEmptyRect(r)) return block;
    block.width = r.right - r.left + 1;
    block.height = r.bottom - r.top + 1;
    block.cells.resize(std::size_t(block.width) * std::size_t(block.height));
    for (int y = r.top; y <= r.bottom; ++y)
        std::memcpy(&block.cells[std::size_t(y - r.top) * std::size_t(block.width)],
                    CellAddress(b, r.left, y), std::size_t(block.width));
    return block;
}

int64_t PasteBlock(CellBoard& b, const CellBlock& block, int x0, int y0, uint8_t value) {
    int64_t dropped = 0;
    const Rect area{x0, y0, x0 + block.width - 1, y0 + block.height - 1};
    EditArea(b, area, [&] {
        for (int y = 0; y < block.height; ++y)
            for (int x = 0; x < block.width; ++x) {
                if (block.cells[std::size_t(y) * std::size_t(block.width) + std::size_t(x)] == 0)
                    continue;
                const int64_t bx = int64_t(x0) + x, by = int64_t(y0) + y;
                if (bx < 1 || by < 1 || bx > b.width - 2 || by > b.height - 2)
                    ++dropped;
                else
                    b.Set(int(bx), int(by), value);
            }
    });
    return dropped;
}

int64_t FlipRect(CellBoard& b, Rect r, bool horizontal) {
    r = ClipToBoard(b, r);
    if (IsEmptyRect(r)) return 0;
    const CellBlock block = CopyRect(b, r);
    int64_t dropped = 0;
    EditArea(b, r, [&] {
        for (int y = r.top; y <= r.bottom; ++y)
            std::memset(b.EditAt(r.left, y), 0, std::size_t(block.width));
        for (int y = 0; y < block.height; ++y)
            for (int x = 0; x < block.width; ++x) {
                const uint8_t v = block.cells[std::size_t(y) * std::size_t(block.width) + x];
                if (v == 0) continue;
                const int nx = horizontal ? r.right - x : r.left + x;
                const int ny = horizontal ? r.top + y : r.bottom - y;
                if (IsInterior(b, nx, ny))
                    b.Set(nx, ny, v);
                else
                    ++dropped;
            }
    });
    return dropped;
}

Rect RotatedRect(Rect r) {
    // Doubled coordinates about the centre, so that a centre between cells
    // stays exact until the final halving.
    const int sx = r.left + r.right, sy = r.top + r.bottom;
    const int halfW = r.right - r.left, halfH = r.bottom - r.top;
    const int left = FloorHalf(sx - halfH), top = FloorHalf(sy - halfW);
    return Rect{left, top, left + halfH, top + halfW};
}

int64_t RotateRect(CellBoard& b, Rect r, bool clockwise) {
    r = ClipToBoard(b, r);
    if (IsEmptyRect(r)) return 0;
    const CellBlock block = CopyRect(b, r);
    const Rect to = RotatedRect(r);
    const int w = block.width, h = block.height;
    int64_t dropped = 0;
    EditArea(b, UnionRect(r, to), [&] {
        for (int y = r.top; y <= r.bottom; ++y) std::memset(b.EditAt(r.left, y), 0, std::size_t(w));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t v = block.cells[std::size_t(y) * std::size_t(w) + std::size_t(x)];
                if (v == 0) continue;
                // Clockwise on a screen whose rows grow downwards: the left
                // column becomes the top row.
                const int nx = clockwise ? to.left + (h - 1 - y) : to.left + y;
                const int ny = clockwise ? to.top + x : to.top + (w - 1 - x);
                if (IsInterior(b, nx, ny))
                    b.Set(nx, ny, v);
                else
                    ++dropped;
            }
    });
    return dropped;
}

}  // namespace cellarium
