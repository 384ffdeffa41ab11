// A 64-bit hash of which cells of a board are live, the same for any two boards
// with the same live cells whatever their values. Row y of the board is cut
// into 64-cell words, word k holding cells 64k..64k+63 (bit b for cell
// 64k + b, set when the cell is live, 0 past the row's end); every non-zero
// word adds splitmix64(word ^ (y << 32 | k)) to the hash, modulo 2^64. The
// border counts like any other cell and an empty board hashes to 0. As a sum
// it can be gathered in pieces, in any order, by bands of rows.
#pragma once

#include <cstdint>
#include <cstring>

namespace cellarium {

class CellBoard;

inline uint64_t SplitMix64(uint64_t z) {
    z += 0x9e3779b97f4a7c15ull;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// What word k of row y adds to the hash.
inline uint64_t LiveHashTerm(uint64_t word, int y, int k) {
    if (word == 0) return 0;
    return SplitMix64(word ^ ((uint64_t(uint32_t(y)) << 32) | uint64_t(uint32_t(k))));
}

uint64_t LiveCellHash(const CellBoard& board);

// Bit i set when cells[i] is non-zero, for eight cells.
inline uint64_t LiveBitsOf8(const uint8_t* cells) {
    uint64_t w;
    std::memcpy(&w, cells, sizeof w);
    const uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;
    const uint64_t high = (((w & low7) + low7) | w) & ~low7;
    // Gathers the eight high bits into the top byte, byte i to bit 56 + i.
    return ((high >> 7) * 0x0102040810204080ull) >> 56;
}

// The part of LiveCellHash from words k0..k1 (clipped to the row) of rows
// y0..y1.
uint64_t LiveCellHashOf(const CellBoard& board, int y0, int y1, int k0, int k1);

// Bit i set when cells[i] is non-zero, for the first `count` (at most 64)
// cells.
uint64_t LiveBits(const uint8_t* cells, int count);

}  // namespace cellarium
