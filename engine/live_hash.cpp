#include "engine/live_hash.h"

#include <cstddef>
#include <cstring>

#include "engine/cell_board.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cellarium {
namespace {

uint64_t SplitMix64(uint64_t z) {
    z += 0x9e3779b97f4a7c15ull;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// Bit b of the result is set iff byte b of the 64 at p is nonzero.
inline uint64_t LiveBits64(const uint8_t* p) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    uint64_t dead = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        dead |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)))) << (16 * i);
    }
    return ~dead;
#else
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) {
        uint64_t v;
        std::memcpy(&v, p + 8 * i, 8);
        // The high bit of each byte set iff the byte is nonzero, then the
        // eight high bits gathered into one byte.
        const uint64_t high = ((v & 0x7F7F7F7F7F7F7F7Full) + 0x7F7F7F7F7F7F7F7Full) | v;
        const uint64_t flags = (high >> 7) & 0x0101010101010101ull;
        bits |= ((flags * 0x0102040810204080ull) >> 56) << (8 * i);
    }
    return bits;
#endif
}

}  // namespace

uint64_t LiveCellHash(const CellBoard& board) {
    const std::size_t width = std::size_t(board.width);
    const std::size_t fullWords = width / 64;
    const std::size_t tail = width % 64;
    uint64_t hash = 0;
    for (std::size_t y = 0; y < std::size_t(board.height); ++y) {
        const uint8_t* row = board.cells + y * width;
        for (std::size_t k = 0; k < fullWords; ++k) {
            const uint64_t w = LiveBits64(row + 64 * k);
            if (w != 0) hash += SplitMix64(w ^ ((uint64_t(y) << 32) | k));
        }
        if (tail != 0) {
            uint64_t w = 0;
            const uint8_t* p = row + 64 * fullWords;
            for (std::size_t b = 0; b < tail; ++b) w |= uint64_t(p[b] != 0) << b;
            if (w != 0) hash += SplitMix64(w ^ ((uint64_t(y) << 32) | fullWords));
        }
    }
    return hash;
}

}  // namespace cellarium
