#include "document/shrunk_cells.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace cellarium {

namespace {

// The first live byte of [p, p + n), or 0.
uint8_t FirstLive(const uint8_t* p, int n) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, sizeof word);
        if (word != 0) return p[i + std::countr_zero(word) / 8];
    }
    for (; i < n; ++i)
        if (p[i] != 0) return p[i];
    return 0;
}

}  // namespace

void ShrinkCells(const uint8_t* cells, int width, int height, int k, int firstX, int firstY,
                 int cols, int rows, uint8_t* out) {
    std::fill(out, out + std::size_t(cols) * std::size_t(rows), uint8_t(0));
    for (int r = 0; r < rows; ++r) {
        const long long top = (int64_t(firstY) + r) * k;
        if (top + k <= 0 || top >= height) continue;
        const int y0 = int(std::max<long long>(top, 0)),
                  y1 = int(std::min<long long>(top + k, height));
        uint8_t* line = out + std::size_t(r) * std::size_t(cols);
        for (int c = 0; c < cols; ++c) {
            const long long left = (int64_t(firstX) + c) * k;
            if (left + k <= 0 || left >= width) continue;
            const int x0 = int(std::max<long long>(left, 0));
            const int x1 = int(std::min<long long>(left + k, width));
            // Row by row, so that a block with a live cell near its top
            // costs a few bytes, not k x k.
            for (int y = y0; y < y1 && line[c] == 0; ++y)
                line[c] = FirstLive(cells + std::size_t(y) * std::size_t(width) + x0, x1 - x0);
        }
    }
}

}  // namespace cellarium
