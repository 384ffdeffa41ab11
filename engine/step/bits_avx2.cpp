// The bit-sliced step with AVX2: planes in 256-bit vectors. Compiled for AVX2
// through function attributes only (see engine/step/bitsliced.h); the
// dispatcher calls it only on CPUs that have it.
#include "engine/step/kernels.h"

#if defined(CELLARIUM_STEP_X86)

#include <immintrin.h>

#include <cstring>

#define CELLARIUM_BITS_FN __attribute__((target("avx2,popcnt"), always_inline)) inline
#define CELLARIUM_BITS_TOP __attribute__((target("avx2,popcnt")))
#include "engine/step/bitsliced.h"

namespace cellarium {
namespace {

struct OpsAvx2 {
    static constexpr int kWords = 4;
    using V = __m256i;
    CELLARIUM_BITS_FN static V Load(const uint64_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    CELLARIUM_BITS_FN static void Store(uint64_t* p, V v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    }
    CELLARIUM_BITS_FN static V Splat(uint64_t v) { return _mm256_set1_epi64x(int64_t(v)); }
    CELLARIUM_BITS_FN static V And(V a, V b) { return _mm256_and_si256(a, b); }
    CELLARIUM_BITS_FN static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
    CELLARIUM_BITS_FN static V Or(V a, V b) { return _mm256_or_si256(a, b); }
    CELLARIUM_BITS_FN static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }
    CELLARIUM_BITS_FN static V AndAndNot(V a, V b, V c) { return AndNot(c, And(a, b)); }
    CELLARIUM_BITS_FN static V AndNotNotAnd(V a, V b, V c) { return AndNot(Or(a, b), c); }
    CELLARIUM_BITS_FN static V Add(V a, V b) { return _mm256_add_epi64(a, b); }
    // Set bits per 64-bit lane: nibbles looked up, bytes summed.
    CELLARIUM_BITS_FN static V Count(V v) {
        const __m256i nibbles = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0,
                                                 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
        const __m256i low = _mm256_set1_epi8(0x0F);
        const __m256i bytes = _mm256_add_epi8(
            _mm256_shuffle_epi8(nibbles, _mm256_and_si256(v, low)),
            _mm256_shuffle_epi8(nibbles, _mm256_and_si256(_mm256_srli_epi16(v, 4), low)));
        return _mm256_sad_epu8(bytes, _mm256_setzero_si256());
    }
    CELLARIUM_BITS_FN static int64_t Sum(V v) {
        alignas(32) int64_t lanes[4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), v);
        return lanes[0] + lanes[1] + lanes[2] + lanes[3];
    }
    // Each lane's word before and after it, from the vectors beside this one.
    CELLARIUM_BITS_FN static V WordsLeft(V cur, V prev) {
        return _mm256_alignr_epi8(cur, _mm256_permute2x128_si256(prev, cur, 0x21), 8);
    }
    CELLARIUM_BITS_FN static V WordsRight(V cur, V next) {
        return _mm256_alignr_epi8(_mm256_permute2x128_si256(cur, next, 0x21), cur, 8);
    }
    CELLARIUM_BITS_FN static V Xor3(V a, V b, V c) { return Xor(Xor(a, b), c); }
    CELLARIUM_BITS_FN static V Maj(V a, V b, V c) {
        return _mm256_or_si256(And(a, b), And(c, _mm256_or_si256(a, b)));
    }
    CELLARIUM_BITS_FN static V Mux(V c, V x, V y) { return Xor(y, And(Xor(x, y), c)); }
    CELLARIUM_BITS_FN static V ShiftInLeft(V cur, V prev) {
        return _mm256_or_si256(_mm256_slli_epi64(cur, 1), _mm256_srli_epi64(prev, 63));
    }
    CELLARIUM_BITS_FN static V ShiftInRight(V cur, V next) {
        return _mm256_or_si256(_mm256_srli_epi64(cur, 1), _mm256_slli_epi64(next, 63));
    }
    CELLARIUM_BITS_FN static int Popcount(uint64_t v) { return __builtin_popcountll(v); }
    // Bit i set where word i of the vector is not 0.
    CELLARIUM_BITS_FN static uint32_t NonZeroWords(V v) {
        const __m256i zero = _mm256_cmpeq_epi64(v, _mm256_setzero_si256());
        return ~uint32_t(_mm256_movemask_pd(_mm256_castsi256_pd(zero))) & 0xFu;
    }
    // Bit i set where byte i of the 64 is non-zero.
    CELLARIUM_BITS_FN static uint64_t Bits64(const uint8_t* p) {
        const __m256i zero = _mm256_setzero_si256();
        const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        const uint32_t deadLo = uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, zero)));
        const uint32_t deadHi = uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, zero)));
        return ~(uint64_t(deadHi) << 32 | deadLo);
    }
    CELLARIUM_BITS_FN static void ToBits(const uint8_t* row, int count, uint64_t* words) {
        int k = 0;
        for (; 64 * k + 64 <= count; ++k) words[k] = Bits64(row + 64 * k);
        if (64 * k < count) {
            alignas(32) uint8_t tail[64] = {};
            std::memcpy(tail, row + 64 * k, std::size_t(count - 64 * k));
            words[k] = Bits64(tail);
        }
    }
    // 0xFF in byte i where bit i of the 32 is set.
    CELLARIUM_BITS_FN static __m256i ByteMask(uint32_t bits) {
        const __m256i spread =
            _mm256_shuffle_epi8(_mm256_set1_epi32(int32_t(bits)),
                                _mm256_setr_epi64x(0, 0x0101010101010101ll, 0x0202020202020202ll,
                                                   0x0303030303030303ll));
        const __m256i select = _mm256_set1_epi64x(int64_t(0x8040201008040201ull));
        return _mm256_cmpeq_epi8(_mm256_and_si256(spread, select), select);
    }
    template <bool kStream>
    CELLARIUM_BITS_FN static void WriteChunk(uint8_t* out, const uint8_t* old, uint64_t next,
                                             uint64_t, uint8_t newborn) {
        const __m256i zero = _mm256_setzero_si256();
        const __m256i value = _mm256_set1_epi8(char(newborn));
        for (int h = 0; h < 2; ++h) {
            const __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(old + 32 * h));
            const __m256i kept = _mm256_blendv_epi8(o, value, _mm256_cmpeq_epi8(o, zero));
            const __m256i v = _mm256_and_si256(kept, ByteMask(uint32_t(next >> (32 * h))));
            if (kStream)
                _mm256_stream_si256(reinterpret_cast<__m256i*>(out + 32 * h), v);
            else
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * h), v);
        }
    }
    CELLARIUM_BITS_FN static void WriteSelected(uint8_t* out, uint64_t write, uint64_t next,
                                                uint64_t alive, uint8_t newborn, uint8_t kept) {
        const __m256i born = _mm256_set1_epi8(char(newborn));
        const __m256i keep = _mm256_set1_epi8(char(kept));
        for (int h = 0; h < 2; ++h) {
            const uint32_t w = uint32_t(write >> (32 * h));
            if (w == 0) continue;
            const __m256i value = _mm256_and_si256(
                _mm256_blendv_epi8(born, keep, ByteMask(uint32_t(alive >> (32 * h)))),
                ByteMask(uint32_t(next >> (32 * h))));
            __m256i* at = reinterpret_cast<__m256i*>(out + 32 * h);
            _mm256_storeu_si256(at, _mm256_blendv_epi8(_mm256_loadu_si256(at), value, ByteMask(w)));
        }
    }
    CELLARIUM_BITS_FN static void WriteNarrow(uint8_t* out, const uint8_t* old, uint64_t next,
                                              uint64_t, int count, uint8_t newborn) {
        for (int i = 0; i < count; ++i)
            out[i] = (next >> i) & 1 ? (old[i] != 0 ? old[i] : newborn) : 0;
    }
    CELLARIUM_BITS_FN static void Fence() { _mm_sfence(); }
    using HashSum = uint64_t;
    CELLARIUM_BITS_FN static HashSum HashStart() { return 0; }
    CELLARIUM_BITS_FN static uint64_t HashTotal(HashSum sum) { return sum; }
    CELLARIUM_BITS_FN static void HashWords(const uint64_t* words, int count, int y, int k0,
                                            HashSum& sum) {
        for (int j = 0; j < count; ++j) sum += LiveHashTerm(words[j], y, k0 + j);
    }
};

}  // namespace

StepCounts StepBitsAvx2(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                        uint64_t* liveHash) {
    return StepInBands(s, t, newborn, rule, &bitsliced::Band<OpsAvx2>, liveHash, true);
}

StepCounts StepPlanesAvx2(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                          uint64_t* liveHash) {
    return StepInBands(s, t, newborn, rule, &bitsliced::PlaneBand<OpsAvx2>, liveHash, true, true);
}

StepBand PlanesBandAvx2() {
    return &bitsliced::PlaneBand<OpsAvx2>;
}

}  // namespace cellarium

#endif  // CELLARIUM_STEP_X86
