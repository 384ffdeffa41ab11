#include "engine/cycle_jump.h"

#include <algorithm>
#include <new>

#include "engine/live_hash.h"

namespace cellarium {
namespace {

// The interior columns of word k of a row w cells wide, as a mask.
uint64_t InteriorMask(int width, std::size_t k) {
    uint64_t mask = ~uint64_t(0);
    const int first = int(64 * k);
    if (first == 0) mask &= ~uint64_t(1);  // column 0
    const int last = width - 1;            // the border column
    if (last >= first && last < first + 64) mask &= (uint64_t(1) << (last - first)) - 1;
    return mask;
}

}  // namespace

bool CycleJump::Begin(const CellBoard& board, int64_t period, int64_t now) {
    period_ = period;
    rowWords_ = (std::size_t(board.width) + 63) / 64;
    try {
        reborn_.assign(rowWords_ * std::size_t(board.height), 0);
        zero_.assign(rowWords_ * std::size_t(board.height), 0);
        Restart(board, now);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void CycleJump::Restart(const CellBoard& board, int64_t now) {
    since_ = now;
    verified_ = false;
    std::fill(reborn_.begin(), reborn_.end(), 0);
    std::fill(zero_.begin(), zero_.end(), 0);
    anchor_ = now;
    PackLiveCells(board, anchorCells_);
    anchorBounds_ = board.bounds;
}

void CycleJump::Stepped(const CellBoard& current, const CellBoard& previous, int64_t now) {
    const Rect& b = current.bounds;
    const bool zeroByte = (uint64_t(now) & 0xFFu) == 0;
    // From the planes where both are exact (a step on them leaves the bytes
    // to be caught up later), otherwise from the bytes.
    const bool planes = current.PlaneIsExact() && previous.PlaneIsExact();
    auto live = [planes](const CellBoard& board, int y, std::size_t k) {
        if (planes) return board.PlaneRow(y)[k];
        const uint8_t* row = board.Cells() + std::size_t(y) * std::size_t(board.width);
        return LiveBits(row + 64 * k, std::min(64, board.width - int(64 * k)));
    };
    if (b.left <= b.right && b.top <= b.bottom) {
        for (int y = b.top; y <= b.bottom; ++y) {
            for (std::size_t k = std::size_t(b.left) / 64; k <= std::size_t(b.right) / 64; ++k) {
                const uint64_t born = live(current, y, k) & ~live(previous, y, k);
                if (born == 0) continue;
                const std::size_t i = std::size_t(y) * rowWords_ + k;
                reborn_[i] |= born;
                zero_[i] = zeroByte ? zero_[i] | born : zero_[i] & ~born;
            }
        }
    }
    if (!verified_ && now == anchor_ + period_) {
        LiveCells cells;
        PackLiveCells(current, cells);
        if (cells == anchorCells_ && current.bounds == anchorBounds_) {
            verified_ = true;
            anchorCells_ = LiveCells{};
        } else {
            // The live cells came round but not the step's window: watch again
            // from here.
            Restart(current, now);
        }
    }
}

void CycleJump::Shift(CellBoard& board, int64_t generations) {
    const unsigned by = unsigned(uint64_t(generations) & 0xFFu);
    if (by == 0) return;
    const Rect& b = board.bounds;
    if (b.left > b.right || b.top > b.bottom) return;
    for (int y = std::max(b.top, 1); y <= std::min(b.bottom, board.height - 2); ++y) {
        uint8_t* row = board.EditCells() + std::size_t(y) * std::size_t(board.width);
        for (std::size_t k = std::size_t(b.left) / 64; k <= std::size_t(b.right) / 64; ++k) {
            const std::size_t i = std::size_t(y) * rowWords_ + k;
            const int count = std::min(64, board.width - int(64 * k));
            uint64_t cells =
                reborn_[i] & LiveBits(row + 64 * k, count) & InteriorMask(board.width, k);
            while (cells != 0) {
                const int bit = __builtin_ctzll(cells);
                cells &= cells - 1;
                uint8_t& v = row[64 * k + std::size_t(bit)];
                const uint64_t one = uint64_t(1) << bit;
                // The low byte of the generation the cell was last born in.
                const unsigned born = v == 1 ? ((zero_[i] & one) != 0 ? 0u : 1u) : unsigned(v);
                const unsigned later = (born + by) & 0xFFu;
                v = uint8_t(later == 0 ? 1 : later);
                zero_[i] = later == 0 ? zero_[i] | one : zero_[i] & ~one;
            }
        }
    }
}

}  // namespace cellarium
