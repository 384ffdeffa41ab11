// Whole-board transforms. Each reads this board and writes the target; the
// document then exchanges the two. The target always ends with the whole box,
// so the next step recomputes the whole interior and no stale cell of the
// other board survives.
#include <algorithm>
#include <cstring>

#include "engine/cell_board.h"

namespace cellarium {
namespace {

int FloorDiv2(int v) {
    return v >= 0 ? v / 2 : -((-v + 1) / 2);
}

}  // namespace

void CellBoard::CenterInto(CellBoard& t) {
    Rect box = ScanBounds();
    t.Clear();
    if (box.left <= box.right && box.top <= box.bottom && liveCount >= 0) {
        const int boxHeight = box.bottom - box.top + 1;
        const int boxWidth = box.right - box.left + 1;
        int row0 = (height - boxHeight + 2) / 2;
        int col0 = (width + box.left - box.right) / 2;
        // A box that reaches the border rows or columns would be pushed off the
        // board by the half-cell rounding above; keep it on the board.
        row0 = std::clamp(row0, 0, height - boxHeight);
        col0 = std::clamp(col0, 0, width - boxWidth);
        for (int y = box.top; y <= box.bottom; ++y)
            t.WriteRow(col0, y - box.top + row0, Row(y) + box.left, boxWidth);
    }
    t.SetWholeBounds();
    t.liveCount = liveCount;
}

// A quarter turn anti-clockwise about the board's centre: on a square board of
// side N, (x, y) goes to (y, N - 1 - x) and four turns restore every cell. On a
// board whose width and height differ the same turn about the centre is made
// and the cells that would land off the board are dropped (rotating only what
// fits); the live count then counts what was kept.
void CellBoard::RotateLeftInto(CellBoard& t) {
    const int shiftX = FloorDiv2(width - height);
    const int shiftY = FloorDiv2(width + height - 2);
    if (width != height) t.Clear();
    int32_t kept = 0;
    for (int y = 0; y < height; ++y) {
        const int nx = y + shiftX;
        if (nx < 0 || nx >= width) continue;
        for (int x = 0; x < width; ++x) {
            const int ny = shiftY - x;
            if (ny < 0 || ny >= height) continue;
            const uint8_t v = At(x, y);
            t.Set(nx, ny, v);
            if (v != 0) ++kept;
        }
    }
    t.SetWholeBounds();
    // On a square board the live count carries over unchanged (border cells
    // stay border cells); otherwise it is the live cells that were kept.
    t.liveCount = (width == height) ? liveCount : kept;
    Clear();
}

void CellBoard::RepaletteInto(CellBoard& t, const PaletteBlock& palette) {
    t.CopyCellsFrom(*this);
    t.colours = palette.entries;
    t.SetWholeBounds();
    t.liveCount = liveCount;
    colours = palette.entries;
    MakeEmpty();
}

}  // namespace cellarium
