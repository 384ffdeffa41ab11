// Layout: a sequence of (dead run length, literal length, literal bytes), the
// two lengths as base-128 numbers of 7 bits a byte, low bits first. A literal
// ends where two dead cells in a row begin, so a lone dead cell between live
// ones costs a byte, not a token.
#include "engine/cell_pack.h"

#include <cstring>

namespace cellarium {
namespace {

void PutLength(std::vector<uint8_t>& out, std::size_t n) {
    while (n >= 0x80) {
        out.push_back(uint8_t(n | 0x80));
        n >>= 7;
    }
    out.push_back(uint8_t(n));
}

bool GetLength(const uint8_t*& p, const uint8_t* end, std::size_t& n) {
    n = 0;
    for (int shift = 0; p != end && shift < 64; shift += 7) {
        const uint8_t b = *p++;
        n |= std::size_t(b & 0x7F) << shift;
        if ((b & 0x80) == 0) return true;
    }
    return false;
}

// The first index at or after i (below end) whose byte is not zero.
std::size_t SkipDead(const uint8_t* cells, std::size_t i, std::size_t end) {
    while (i < end && (i & 7) != 0 && cells[i] == 0) ++i;
    if (i < end && cells[i] != 0) return i;
    while (i + 8 <= end) {
        uint64_t word;
        std::memcpy(&word, cells + i, sizeof word);
        if (word != 0) break;
        i += 8;
    }
    while (i < end && cells[i] == 0) ++i;
    return i;
}

// The end of a literal starting at i: the first pair of dead cells, or end.
std::size_t LiteralEnd(const uint8_t* cells, std::size_t i, std::size_t end) {
    while (i < end) {
        if (cells[i] == 0 && (i + 1 == end || cells[i + 1] == 0)) return i;
        ++i;
    }
    return end;
}

void PackInto(std::vector<uint8_t>& out, const uint8_t* cells, std::size_t count) {
    std::size_t i = 0;
    while (i < count) {
        const std::size_t live = SkipDead(cells, i, count);
        const std::size_t stop = LiteralEnd(cells, live, count);
        PutLength(out, live - i);
        PutLength(out, stop - live);
        out.insert(out.end(), cells + live, cells + stop);
        i = stop;
    }
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

bool UnpackCells(const std::vector<uint8_t>& packed, uint8_t* cells, std::size_t count) {
    const uint8_t* p = packed.data();
    const uint8_t* end = p + packed.size();
    return UnpackFrom(p, end, cells, count) && p == end;
}

std::vector<uint8_t> PackRect(const CellBoard& board, Rect r) {
    // The whole width in one piece: rows packed as one block of cells.
    if (r.left == 0 && r.right == board.width - 1)
        return PackCells(&board.cells[std::size_t(r.top) * std::size_t(board.width)],
                         std::size_t(r.bottom - r.top + 1) * std::size_t(board.width));
    std::vector<uint8_t> out;
    const std::size_t w = std::size_t(r.right - r.left + 1);
    for (int y = r.top; y <= r.bottom; ++y) PackInto(out, CellAddress(board, r.left, y), w);
    out.shrink_to_fit();
    return out;
}

bool UnpackRect(const std::vector<uint8_t>& packed, CellBoard& board, Rect r) {
    if (r.left == 0 && r.right == board.width - 1)
        return UnpackCells(packed, &board.cells[std::size_t(r.top) * std::size_t(board.width)],
                           std::size_t(r.bottom - r.top + 1) * std::size_t(board.width));
    const uint8_t* p = packed.data();
    const uint8_t* end = p + packed.size();
    const std::size_t w = std::size_t(r.right - r.left + 1);
    for (int y = r.top; y <= r.bottom; ++y)
        if (!UnpackFrom(p, end, &board.At(r.left, y), w)) return false;
    return p == end;
}

}  // namespace cellarium
