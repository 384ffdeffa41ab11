// Layout: a sequence of (dead run length, literal length, literal bytes), the
// two lengths as base-128 numbers of 7 bits a byte, low bits first. A literal
// ends where two dead cells in a row begin, so a lone dead cell between live
// ones costs a byte, not a token.
#include "engine/cell_pack.h"

#include <algorithm>
#include <cstring>

#include "engine/live_hash.h"

namespace cellarium {
namespace {

bool GetLength(const uint8_t*& p, const uint8_t* end, std::size_t& n) {
    n = 0;
    for (int shift = 0; p != end && shift < 64; shift += 7) {
        const uint8_t b = *p++;
        n |= std::size_t(b & 0x7F) << shift;
        if ((b & 0x80) == 0) return true;
    }
    return false;
}

// The live cells of a block of cells as masks of 64, each made once: the
// scans for runs go a mask at a time, so a soup's many short runs cost
// neither a mispredicted branch a cell nor a mask a run.
class LiveScan {
public:
    LiveScan(const uint8_t* cells, std::size_t count) : cells_(cells), count_(count) {}

    // The first index at or after i whose cell is live; count when none is.
    std::size_t NextLive(std::size_t i) {
        for (std::size_t k = i / 64; 64 * k < count_; ++k) {
            uint64_t live = Mask(k);
            if (k == i / 64) live &= ~uint64_t(0) << (i % 64);
            if (live != 0) return 64 * k + std::size_t(__builtin_ctzll(live));
        }
        return count_;
    }
    // The first index at or after i of two dead cells in a row (the cell
    // past the end counting as dead); count when none is before it.
    std::size_t NextDeadPair(std::size_t i) {
        for (std::size_t k = i / 64; 64 * k < count_; ++k) {
            const uint64_t live = Mask(k);
            const uint64_t after = 64 * (k + 1) < count_ ? Mask(k + 1) & 1 : 0;
            uint64_t pairs = ~live & ~((live >> 1) | (after << 63));
            if (k == i / 64) pairs &= ~uint64_t(0) << (i % 64);
            if (pairs != 0) return std::min(count_, 64 * k + std::size_t(__builtin_ctzll(pairs)));
        }
        return count_;
    }

private:
    uint64_t Mask(std::size_t k) {
        Slot& slot = slots_[k & 1];
        if (slot.block != k) {
            slot.block = k;
            slot.live = LiveBits(cells_ + 64 * k, int(std::min<std::size_t>(64, count_ - 64 * k)));
        }
        return slot.live;
    }

    struct Slot {
        std::size_t block = ~std::size_t(0);
        uint64_t live = 0;
    };
    const uint8_t* cells_;
    std::size_t count_;
    Slot slots_[2];
};

// A length as seven bits a byte, low bits first, at p; returns the end.
uint8_t* WriteLength(uint8_t* p, std::size_t n) {
    while (n >= 0x80) {
        *p++ = uint8_t(n | 0x80);
        n >>= 7;
    }
    *p++ = uint8_t(n);
    return p;
}

// The tokens of a block of cells, each handed to emit(dead, at, literal): a
// run of `dead` dead cells, then `literal` cells from index `at`.
template <class Emit>
void Tokens(const uint8_t* cells, std::size_t count, Emit emit) {
    LiveScan scan(cells, count);
    std::size_t i = 0;
    while (i < count) {
        const std::size_t live = scan.NextLive(i);
        const std::size_t stop = scan.NextDeadPair(live);
        emit(live - i, live, stop - live);
        i = stop;
    }
}

std::size_t LengthBytes(std::size_t n) {
    std::size_t bytes = 1;
    for (; n >= 0x80; n >>= 7) ++bytes;
    return bytes;
}

// Two passes: the first finds the packed size, so that the vector is
// allocated once at that size and the second writes the tokens straight into
// it. Growing it as the tokens came took several times the memory and a
// page fault for every 4 KB of it, which on a 10000 x 10000 soup cost more
// than the scan.
void PackInto(std::vector<uint8_t>& out, const uint8_t* cells, std::size_t count) {
    std::size_t size = 0;
    Tokens(cells, count, [&size](std::size_t dead, std::size_t, std::size_t literal) {
        size += LengthBytes(dead) + LengthBytes(literal) + literal;
    });
    const std::size_t used = out.size();
    out.resize(used + size);
    uint8_t* p = out.data() + used;
    Tokens(cells, count, [&p, cells](std::size_t dead, std::size_t at, std::size_t literal) {
        p = WriteLength(p, dead);
        p = WriteLength(p, literal);
        std::memcpy(p, cells + at, literal);
        p += literal;
    });
}

bool UnpackFrom(const uint8_t*& p, const uint8_t* end, uint8_t* cells, std::size_t count) {
    std::size_t i = 0;
    while (i < count) {
        std::size_t dead = 0, literal = 0;
        if (!GetLength(p, end, dead) || !GetLength(p, end, literal)) return false;
        if (dead > count - i || literal > count - i - dead || literal > std::size_t(end - p))
            return false;
        std::memset(cells + i, 0, dead);
        i += dead;
        std::memcpy(cells + i, p, literal);
        p += literal;
        i += literal;
    }
    return true;
}

}  // namespace

std::vector<uint8_t> PackCells(const uint8_t* cells, std::size_t count) {
    std::vector<uint8_t> out;
    PackInto(out, cells, count);
    out.shrink_to_fit();
    return out;
}

void PackCellsAppend(std::vector<uint8_t>& out, const uint8_t* cells, std::size_t count) {
    PackInto(out, cells, count);
}

bool UnpackCells(const std::vector<uint8_t>& packed, uint8_t* cells, std::size_t count) {
    const uint8_t* p = packed.data();
    const uint8_t* end = p + packed.size();
    return UnpackFrom(p, end, cells, count) && p == end;
}

std::vector<uint8_t> PackRect(const CellBoard& board, Rect r) {
    // The whole width in one piece: rows packed as one block of cells.
    if (r.left == 0 && r.right == board.width - 1)
        return PackCells(&board.Cells()[std::size_t(r.top) * std::size_t(board.width)],
                         std::size_t(r.bottom - r.top + 1) * std::size_t(board.width));
    std::vector<uint8_t> out;
    const std::size_t w = std::size_t(r.right - r.left + 1);
    for (int y = r.top; y <= r.bottom; ++y) PackInto(out, CellAddress(board, r.left, y), w);
    out.shrink_to_fit();
    return out;
}

bool UnpackRect(const std::vector<uint8_t>& packed, CellBoard& board, Rect r) {
    if (r.left == 0 && r.right == board.width - 1)
        return UnpackCells(packed,
                           &board.EditCells()[std::size_t(r.top) * std::size_t(board.width)],
                           std::size_t(r.bottom - r.top + 1) * std::size_t(board.width));
    const uint8_t* p = packed.data();
    const uint8_t* end = p + packed.size();
    const std::size_t w = std::size_t(r.right - r.left + 1);
    for (int y = r.top; y <= r.bottom; ++y)
        if (!UnpackFrom(p, end, board.EditAt(r.left, y), w)) return false;
    return p == end;
}

}  // namespace cellarium
