#include "engine/live_hash.h"

#include <algorithm>

#include "engine/cell_board.h"

namespace cellarium {
uint64_t LiveBits(const uint8_t* cells, int count) {
    uint64_t bits = 0;
    int i = 0;
    for (; i + 8 <= count; i += 8) bits |= LiveBitsOf8(cells + i) << i;
    for (; i < count; ++i) bits |= uint64_t(cells[i] != 0) << i;
    return bits;
}

uint64_t LiveCellHashOf(const CellBoard& board, int y0, int y1, int k0, int k1) {
    const int words = (board.width + 63) / 64;
    k0 = std::max(k0, 0);
    k1 = std::min(k1, words - 1);
    y0 = std::max(y0, 0);
    y1 = std::min(y1, board.height - 1);
    uint64_t hash = 0;
    for (int y = y0; y <= y1; ++y) {
        const uint8_t* row = board.cells + std::size_t(y) * std::size_t(board.width);
        for (int k = k0; k <= k1; ++k)
            hash += LiveHashTerm(LiveBits(row + 64 * k, std::min(64, board.width - 64 * k)), y, k);
    }
    return hash;
}

uint64_t LiveCellHash(const CellBoard& board) {
    if (board.cells == nullptr) return 0;
    return LiveCellHashOf(board, 0, board.height - 1, 0, (board.width + 63) / 64 - 1);
}

}  // namespace cellarium
