#include "engine/live_hash.h"

#include <algorithm>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "engine/cell_board.h"

namespace cellarium {
uint64_t LiveBits(const uint8_t* cells, int count) {
    uint64_t bits = 0;
    int i = 0;
    for (; i + 8 <= count; i += 8) bits |= LiveBitsOf8(cells + i) << i;
    for (; i < count; ++i) bits |= uint64_t(cells[i] != 0) << i;
    return bits;
}

namespace {

#if defined(__x86_64__) || defined(__i386__)
#define CELLARIUM_HASH_X86 1
// With AVX-512: a word of live bits is one byte test of 64 cells, and eight
// words are mixed at once (AVX512DQ's 64-bit multiply); per lane sums.
__attribute__((target("avx512f,avx512bw,avx512dq,popcnt"))) uint64_t HashRowsAvx512(
    const CellBoard& board, int y0, int y1, int k0, int k1) {
    const __m512i golden = _mm512_set1_epi64(int64_t(0x9e3779b97f4a7c15ull));
    const __m512i m1 = _mm512_set1_epi64(int64_t(0xbf58476d1ce4e5b9ull));
    const __m512i m2 = _mm512_set1_epi64(int64_t(0x94d049bb133111ebull));
    const __m512i lane = _mm512_setr_epi64(0, 1, 2, 3, 4, 5, 6, 7);
    __m512i sum = _mm512_setzero_si512();
    for (int y = y0; y <= y1; ++y) {
        const uint8_t* row = board.Cells() + std::size_t(y) * std::size_t(board.width);
        for (int k = k0; k <= k1; k += 8) {
            const int count = std::min(8, k1 - k + 1);
            __m512i word = _mm512_setzero_si512();
            for (int j = 0; j < count; ++j) {
                const int cells = std::min(64, board.width - 64 * (k + j));
                const __mmask64 in = cells == 64 ? ~__mmask64(0) : (__mmask64(1) << cells) - 1;
                const __m512i bytes = _mm512_maskz_loadu_epi8(in, row + 64 * (k + j));
                word = _mm512_mask_set1_epi64(word, __mmask8(1u << j),
                                              int64_t(_mm512_test_epi8_mask(bytes, bytes)));
            }
            const __m512i key = _mm512_add_epi64(
                _mm512_set1_epi64(int64_t((uint64_t(uint32_t(y)) << 32) | uint32_t(k))), lane);
            __m512i z = _mm512_add_epi64(_mm512_xor_si512(word, key), golden);
            z = _mm512_mullo_epi64(_mm512_xor_si512(z, _mm512_maskz_srli_epi64(0xFF, z, 30)), m1);
            z = _mm512_mullo_epi64(_mm512_xor_si512(z, _mm512_maskz_srli_epi64(0xFF, z, 27)), m2);
            z = _mm512_xor_si512(z, _mm512_maskz_srli_epi64(0xFF, z, 31));
            // Words of no live cell add nothing.
            sum = _mm512_mask_add_epi64(sum, _mm512_test_epi64_mask(word, word), sum, z);
        }
    }
    alignas(64) uint64_t lanes[8];
    _mm512_store_si512(lanes, sum);
    uint64_t hash = 0;
    for (uint64_t term : lanes) hash += term;
    return hash;
}

bool HasAvx512() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512dq");
    }();
    return has;
}
#endif

}  // namespace

uint64_t LiveCellHashOf(const CellBoard& board, int y0, int y1, int k0, int k1) {
    const int words = (board.width + 63) / 64;
    k0 = std::max(k0, 0);
    k1 = std::min(k1, words - 1);
    y0 = std::max(y0, 0);
    y1 = std::min(y1, board.height - 1);
    if (board.PlaneIsExact() && board.PlaneStride() > 0) {
        // The plane's words are the hash's own.
        uint64_t hash = 0;
        for (int y = y0; y <= y1; ++y) {
            const uint64_t* row = board.PlaneRow(y);
            for (int k = k0; k <= k1; ++k)
                if (row[k] != 0) hash += LiveHashTerm(row[k], y, k);
        }
        return hash;
    }
#if defined(CELLARIUM_HASH_X86)
    if (k0 <= k1 && y0 <= y1 && HasAvx512()) return HashRowsAvx512(board, y0, y1, k0, k1);
#endif
    uint64_t hash = 0;
    for (int y = y0; y <= y1; ++y) {
        const uint8_t* row = board.Cells() + std::size_t(y) * std::size_t(board.width);
        for (int k = k0; k <= k1; ++k)
            hash += LiveHashTerm(LiveBits(row + 64 * k, std::min(64, board.width - 64 * k)), y, k);
    }
    return hash;
}

uint64_t LiveCellHash(const CellBoard& board) {
    if (!board.HasCells()) return 0;
    return LiveCellHashOf(board, 0, board.height - 1, 0, (board.width + 63) / 64 - 1);
}

}  // namespace cellarium
