// The word operations of the bit-sliced step on AVX-512 vectors, shared by the
// files that compile it for AVX-512 (see engine/step/bitsliced.h). Included
// inside an unnamed namespace after CELLARIUM_BITS_FN is defined, so each
// file has its own copy compiled for its own instruction set.
#pragma once

// vpternlog's truth tables are written as expressions over these three.
constexpr int kA = 0xF0, kB = 0xCC, kC = 0xAA;

// Shifts are written masked with every lane set, and AND-NOT as three-input
// logic: GCC 12's plain forms start from an undefined vector that its
// uninitialised-use warnings report.
struct OpsAvx512 {
    static constexpr int kWords = 8;
    using V = __m512i;
    CELLARIUM_BITS_FN static V Load(const uint64_t* p) { return _mm512_loadu_si512(p); }
    CELLARIUM_BITS_FN static void Store(uint64_t* p, V v) { _mm512_storeu_si512(p, v); }
    CELLARIUM_BITS_FN static V Splat(uint64_t v) { return _mm512_set1_epi64(int64_t(v)); }
    CELLARIUM_BITS_FN static V And(V a, V b) { return _mm512_and_si512(a, b); }
    CELLARIUM_BITS_FN static V Xor(V a, V b) { return _mm512_xor_si512(a, b); }
    CELLARIUM_BITS_FN static V Or(V a, V b) { return _mm512_or_si512(a, b); }
    CELLARIUM_BITS_FN static V AndNot(V a, V b) {
        return _mm512_ternarylogic_epi64(a, b, b, ~kA & kB);
    }
    CELLARIUM_BITS_FN static V AndAndNot(V a, V b, V c) {
        return _mm512_ternarylogic_epi64(a, b, c, kA & kB & ~kC);
    }
    CELLARIUM_BITS_FN static V AndNotNotAnd(V a, V b, V c) {
        return _mm512_ternarylogic_epi64(a, b, c, ~kA & ~kB & kC);
    }
    CELLARIUM_BITS_FN static V Add(V a, V b) { return _mm512_add_epi64(a, b); }
    // Set bits per 64-bit lane: nibbles looked up, bytes summed.
    CELLARIUM_BITS_FN static V Count(V v) {
        // Bits set in 0..15, in every 16-byte lane.
        const __m512i nibbles = _mm512_set4_epi32(0x04030302, 0x03020201, 0x03020201, 0x02010100);
        const __m512i low = _mm512_set1_epi8(0x0F);
        const __m512i bytes = _mm512_add_epi8(
            _mm512_shuffle_epi8(nibbles, _mm512_and_si512(v, low)),
            _mm512_shuffle_epi8(nibbles,
                                _mm512_and_si512(_mm512_maskz_srli_epi64(0xFF, v, 4), low)));
        return _mm512_sad_epu8(bytes, _mm512_setzero_si512());
    }
    // The lanes' sum, modulo 2^64 (the hash's sums wrap).
    CELLARIUM_BITS_FN static int64_t Sum(V v) {
        alignas(64) uint64_t lanes[8];
        _mm512_store_si512(lanes, v);
        uint64_t sum = 0;
        for (uint64_t lane : lanes) sum += lane;
        return int64_t(sum);
    }
    // Each lane's word before and after it, from the vectors beside this one.
    CELLARIUM_BITS_FN static V WordsLeft(V cur, V prev) {
        return _mm512_permutex2var_epi64(prev, _mm512_setr_epi64(7, 8, 9, 10, 11, 12, 13, 14), cur);
    }
    CELLARIUM_BITS_FN static V WordsRight(V cur, V next) {
        return _mm512_permutex2var_epi64(cur, _mm512_setr_epi64(1, 2, 3, 4, 5, 6, 7, 8), next);
    }
    CELLARIUM_BITS_FN static V Xor3(V a, V b, V c) {
        return _mm512_ternarylogic_epi64(a, b, c, kA ^ kB ^ kC);
    }
    CELLARIUM_BITS_FN static V Maj(V a, V b, V c) {
        return _mm512_ternarylogic_epi64(a, b, c, (kA & kB) | (kA & kC) | (kB & kC));
    }
    CELLARIUM_BITS_FN static V Mux(V c, V x, V y) {
        return _mm512_ternarylogic_epi64(c, x, y, (kA & kB) | (~kA & kC));
    }
    CELLARIUM_BITS_FN static V ShiftInLeft(V cur, V prev) {
        return _mm512_or_si512(_mm512_maskz_slli_epi64(0xFF, cur, 1),
                               _mm512_maskz_srli_epi64(0xFF, prev, 63));
    }
    CELLARIUM_BITS_FN static V ShiftInRight(V cur, V next) {
        return _mm512_or_si512(_mm512_maskz_srli_epi64(0xFF, cur, 1),
                               _mm512_maskz_slli_epi64(0xFF, next, 63));
    }
    CELLARIUM_BITS_FN static int Popcount(uint64_t v) { return __builtin_popcountll(v); }
    // Bit i set where word i of the vector is not 0.
    CELLARIUM_BITS_FN static uint32_t NonZeroWords(V v) {
        return uint32_t(_mm512_test_epi64_mask(v, v));
    }
    CELLARIUM_BITS_FN static void ToBits(const uint8_t* row, int count, uint64_t* words) {
        int k = 0;
        for (; 64 * k + 64 <= count; ++k) {
            const __m512i v = _mm512_loadu_si512(row + 64 * k);
            words[k] = _cvtmask64_u64(_mm512_test_epi8_mask(v, v));
        }
        if (64 * k < count) {
            const __mmask64 lanes = _cvtu64_mask64((uint64_t(1) << (count - 64 * k)) - 1);
            const __m512i v = _mm512_maskz_loadu_epi8(lanes, row + 64 * k);
            words[k] = _cvtmask64_u64(_mm512_test_epi8_mask(v, v));
        }
    }
    // The row's cells where `lanes`: the old byte where it survives, the
    // newborn value where it is born, 0 where it is dead.
    CELLARIUM_BITS_FN static __m512i Next(const uint8_t* old, uint64_t next, __mmask64 lanes,
                                          uint8_t newborn) {
        const __m512i o = _mm512_maskz_loadu_epi8(lanes, old);
        const __m512i kept =
            _mm512_mask_mov_epi8(o, _mm512_testn_epi8_mask(o, o), _mm512_set1_epi8(char(newborn)));
        return _mm512_maskz_mov_epi8(_cvtu64_mask64(next), kept);
    }
    template <bool kStream>
    CELLARIUM_BITS_FN static void WriteChunk(uint8_t* out, const uint8_t* old, uint64_t next,
                                             uint64_t, uint8_t newborn) {
        const __m512i v = Next(old, next, _cvtu64_mask64(~uint64_t(0)), newborn);
        if (kStream)
            _mm512_stream_si512(reinterpret_cast<__m512i*>(out), v);
        else
            _mm512_storeu_si512(out, v);
    }
    CELLARIUM_BITS_FN static void WriteSelected(uint8_t* out, uint64_t write, uint64_t next,
                                                uint64_t alive, uint8_t newborn, uint8_t kept) {
        const __m512i value = _mm512_maskz_mov_epi8(
            _cvtu64_mask64(next),
            _mm512_mask_blend_epi8(_cvtu64_mask64(alive), _mm512_set1_epi8(char(newborn)),
                                   _mm512_set1_epi8(char(kept))));
        _mm512_mask_storeu_epi8(out, _cvtu64_mask64(write), value);
    }
    CELLARIUM_BITS_FN static void WriteNarrow(uint8_t* out, const uint8_t* old, uint64_t next,
                                              uint64_t, int count, uint8_t newborn) {
        const __mmask64 lanes = _cvtu64_mask64((uint64_t(1) << count) - 1);
        _mm512_mask_storeu_epi8(out, lanes, Next(old, next, lanes, newborn));
    }
    CELLARIUM_BITS_FN static void Fence() { _mm_sfence(); }
    // LiveHashTerm of eight words at a time (AVX512DQ's 64-bit multiply).
    using HashSum = __m512i;  // per lane, summed once the band is done
    CELLARIUM_BITS_FN static HashSum HashStart() { return _mm512_setzero_si512(); }
    CELLARIUM_BITS_FN static uint64_t HashTotal(HashSum sum) { return uint64_t(Sum(sum)); }
    CELLARIUM_BITS_FN static void HashWords(const uint64_t* words, int count, int y, int k0,
                                            HashSum& sum) {
        const __m512i golden = _mm512_set1_epi64(int64_t(0x9e3779b97f4a7c15ull));
        const __m512i m1 = _mm512_set1_epi64(int64_t(0xbf58476d1ce4e5b9ull));
        const __m512i m2 = _mm512_set1_epi64(int64_t(0x94d049bb133111ebull));
        __m512i key = _mm512_add_epi64(
            _mm512_set1_epi64(int64_t((uint64_t(uint32_t(y)) << 32) | uint32_t(k0))),
            _mm512_setr_epi64(0, 1, 2, 3, 4, 5, 6, 7));
        const __m512i step = _mm512_set1_epi64(8);
        for (int j = 0; j < count; j += 8) {
            const __mmask8 lanes =
                count - j >= 8 ? __mmask8(0xFF) : __mmask8((1u << (count - j)) - 1);
            const __m512i word = _mm512_maskz_loadu_epi64(lanes, words + j);
            __m512i z = _mm512_add_epi64(_mm512_xor_si512(word, key), golden);
            z = _mm512_mullo_epi64(_mm512_xor_si512(z, _mm512_maskz_srli_epi64(0xFF, z, 30)), m1);
            z = _mm512_mullo_epi64(_mm512_xor_si512(z, _mm512_maskz_srli_epi64(0xFF, z, 27)), m2);
            z = _mm512_xor_si512(z, _mm512_maskz_srli_epi64(0xFF, z, 31));
            // Words of no live cell add nothing.
            sum = _mm512_mask_add_epi64(sum, _mm512_test_epi64_mask(word, word), sum, z);
            key = _mm512_add_epi64(key, step);
        }
    }
};
