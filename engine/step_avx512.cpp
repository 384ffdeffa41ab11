// The step with AVX-512BW: 64 cells per vector. Byte masks make the ends of a
// row plain masked loads and stores, so every window width, down to one cell,
// takes the same path and nothing outside the window is read past the board
// or written. Compiled for AVX-512 through function attributes only, so no
// inline function of a shared header is ever emitted with AVX-512 code; the
// dispatcher calls it only on CPUs that have it.
#include "engine/step_kernels.h"

#if defined(CELLARIUM_STEP_X86)

#include <immintrin.h>

#include <cstring>

#define CELLARIUM_TARGET_AVX512 __attribute__((target("avx512f,avx512bw,popcnt")))
#define CELLARIUM_INLINE_AVX512 \
    __attribute__((target("avx512f,avx512bw,popcnt"), always_inline)) inline

namespace cellarium {
namespace {

constexpr int kLanes = 64;

// Row buffers, made once; the program has a single thread. The slack past the
// widest row takes the full-width loads and stores of a row's last vector.
// g_verticalSums[i]: the vertical sum of column firstCol - 1 + i of this row.
// g_columnsTouched[i]: non-zero once a cell of column firstCol + i was live in
// either generation, in any row so far.
alignas(64) uint8_t g_verticalSums[kStepRowCapacity + 2 * kLanes];
alignas(64) uint8_t g_columnsTouched[kStepRowCapacity + 2 * kLanes];

// vpternlog's truth tables are written as expressions over these three.
constexpr int kA = 0xF0, kB = 0xCC, kC = 0xAA;

// Counts are kept per lane in bytes and added up before they can wrap.
constexpr int kVectorsPerFlush = 255;

struct Avx512Row {
    __m512i bornLut, survivesLut, newborn;
    __m512i wasLive, born, kept;  // per-lane counts since the last flush
    const uint8_t* old;           // source row y at firstCol
    uint8_t* out;                 // target row y at firstCol
    const uint8_t* ahead;         // source row y + 2 at firstCol
};

CELLARIUM_INLINE_AVX512 __mmask64 LowLanes(int count) {
    return count >= kLanes ? ~__mmask64(0) : (__mmask64(1) << count) - 1;
}

// One vector of cells x..x+63 (offsets from firstCol). With kMasked only the
// lanes in `lanes` are read from the source row, written and counted.
template <bool kMasked, bool kStream>
CELLARIUM_INLINE_AVX512 void Cells(Avx512Row& r, int x, __mmask64 lanes) {
    const __m512i one = _mm512_set1_epi8(1);
    const __m512i s = _mm512_add_epi8(
        _mm512_add_epi8(_mm512_loadu_si512(g_verticalSums + x),
                        _mm512_loadu_si512(g_verticalSums + x + 1)),
        _mm512_loadu_si512(g_verticalSums + x + 2));
    const __m512i old =
        kMasked ? _mm512_maskz_loadu_epi8(lanes, r.old + x) : _mm512_loadu_si512(r.old + x);
    // 0xFF where the rule applies; outside `lanes` nothing is born.
    const __m512i bornAt = kMasked ? _mm512_maskz_shuffle_epi8(lanes, r.bornLut, s)
                                   : _mm512_shuffle_epi8(r.bornLut, s);
    const __m512i survivesAt = _mm512_shuffle_epi8(r.survivesLut, s);
    const __m512i live01 = _mm512_min_epu8(old, one);
    const __m512i live = _mm512_sub_epi8(_mm512_setzero_si512(), live01);  // 0xFF where live
    // next = (newborn & bornAt & ~live) | (survivesAt & old)
    const __m512i bornValue = _mm512_ternarylogic_epi32(bornAt, r.newborn, live, kA & kB & ~kC);
    const __m512i next = _mm512_ternarylogic_epi32(bornValue, survivesAt, old, kA | (kB & kC));
    if (kStream) {
        _mm512_stream_si512(reinterpret_cast<__m512i*>(r.out + x), next);
        // The next row's vertical sums read the source row below the one
        // below: ask for it now, while this row computes, instead of then.
        _mm_prefetch(reinterpret_cast<const char*>(r.ahead + x), _MM_HINT_T0);
    }
    else if (kMasked)
        _mm512_mask_storeu_epi8(r.out + x, lanes, next);
    else
        _mm512_storeu_si512(r.out + x, next);

    r.wasLive = _mm512_add_epi8(r.wasLive, live01);
    r.born = _mm512_add_epi8(r.born, _mm512_ternarylogic_epi32(bornAt, live, one, kA & ~kB & kC));
    r.kept = _mm512_add_epi8(r.kept, _mm512_and_si512(survivesAt, live01));
    // Columns live in either generation: old | next = old | bornValue.
    uint8_t* touched = g_columnsTouched + x;
    _mm512_storeu_si512(touched, _mm512_ternarylogic_epi32(_mm512_loadu_si512(touched), old,
                                                           bornValue, kA | kB | kC));
}

// v[i] = live(up[i]) + live(mid[i]) + live(down[i]) for i in 0..count-1.
CELLARIUM_INLINE_AVX512 void VerticalSums(const uint8_t* up, const uint8_t* mid,
                                          const uint8_t* down, int count) {
    const __m512i one = _mm512_set1_epi8(1);
    int i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        const __m512i a = _mm512_min_epu8(_mm512_loadu_si512(up + i), one);
        const __m512i b = _mm512_min_epu8(_mm512_loadu_si512(mid + i), one);
        const __m512i c = _mm512_min_epu8(_mm512_loadu_si512(down + i), one);
        _mm512_store_si512(g_verticalSums + i, _mm512_add_epi8(_mm512_add_epi8(a, b), c));
    }
    if (i < count) {
        const __mmask64 m = LowLanes(count - i);
        const __m512i a = _mm512_min_epu8(_mm512_maskz_loadu_epi8(m, up + i), one);
        const __m512i b = _mm512_min_epu8(_mm512_maskz_loadu_epi8(m, mid + i), one);
        const __m512i c = _mm512_min_epu8(_mm512_maskz_loadu_epi8(m, down + i), one);
        _mm512_store_si512(g_verticalSums + i, _mm512_add_epi8(_mm512_add_epi8(a, b), c));
    }
}

// Adds the per-lane counts to the totals and clears them. Returns whether any
// cell counted since the last flush was live in either generation.
CELLARIUM_INLINE_AVX512 bool Flush(Avx512Row& r, __m512i& wasLive, __m512i& born,
                                   __m512i& kept) {
    const __m512i zero = _mm512_setzero_si512();
    const bool any = _mm512_test_epi8_mask(_mm512_or_si512(r.wasLive, r.born),
                                           _mm512_or_si512(r.wasLive, r.born)) != 0;
    wasLive = _mm512_add_epi64(wasLive, _mm512_sad_epu8(r.wasLive, zero));
    born = _mm512_add_epi64(born, _mm512_sad_epu8(r.born, zero));
    kept = _mm512_add_epi64(kept, _mm512_sad_epu8(r.kept, zero));
    r.wasLive = r.born = r.kept = zero;
    return any;
}

CELLARIUM_INLINE_AVX512 int64_t Sum(__m512i v) {
    alignas(64) int64_t lanes[8];
    _mm512_store_si512(lanes, v);
    int64_t sum = 0;
    for (int64_t lane : lanes) sum += lane;
    return sum;
}

template <bool kStream>
CELLARIUM_INLINE_AVX512 void Rows(const CellBoard& s, CellBoard& t, const StepWindow& win,
                                  Avx512Row& r, StepTally& tally) {
    const std::size_t w = std::size_t(s.width);
    const int n = win.Columns();
    __m512i wasLive = _mm512_setzero_si512(), born = wasLive, kept = wasLive;
    for (int y = win.firstRow; y <= win.lastRow; ++y) {
        const uint8_t* mid = s.cells + std::size_t(y) * w + std::size_t(win.firstCol);
        VerticalSums(mid - w - 1, mid - 1, mid + w - 1, n + 2);
        r.old = mid;
        r.out = t.cells + std::size_t(y) * w + std::size_t(win.firstCol);
        r.ahead = mid + 2 * w;
        bool any = false;
        int x = 0;
        if (kStream) {
            // Up to the first 64-byte boundary of the target row with a masked
            // store, then whole aligned vectors streamed past the caches.
            x = std::min(int((0 - reinterpret_cast<uintptr_t>(r.out)) & 63), n);
            if (x > 0) Cells<true, false>(r, 0, LowLanes(x));
        }
        while (x + kLanes <= n) {
            const int stop = std::min(n - kLanes, x + (kVectorsPerFlush - 2) * kLanes);
            for (; x <= stop; x += kLanes) Cells<false, kStream>(r, x, ~__mmask64(0));
            if (x + kLanes <= n) any |= Flush(r, wasLive, born, kept);
        }
        if (x < n) Cells<true, false>(r, x, LowLanes(n - x));
        any |= Flush(r, wasLive, born, kept);
        if (any) tally.IncludeRow(y);
    }
    tally.births = Sum(born);
    tally.live = Sum(kept) + tally.births;
    tally.deaths = Sum(wasLive) - Sum(kept);
}

// The first and last columns (offsets) whose touched flag is set, of n.
CELLARIUM_INLINE_AVX512 void TouchedColumns(int n, int firstCol, StepTally& tally) {
    int first = -1, last = -1;
    for (int x = 0; x < n && first < 0; x += kLanes) {
        const uint64_t m = _mm512_test_epi8_mask(_mm512_loadu_si512(g_columnsTouched + x),
                                                 _mm512_set1_epi8(-1)) &
                           LowLanes(n - x);
        if (m != 0) first = x + __builtin_ctzll(m);
    }
    for (int x = ((n - 1) / kLanes) * kLanes; x >= 0 && last < 0; x -= kLanes) {
        const uint64_t m = _mm512_test_epi8_mask(_mm512_loadu_si512(g_columnsTouched + x),
                                                 _mm512_set1_epi8(-1)) &
                           LowLanes(n - x);
        if (m != 0) last = x + 63 - __builtin_clzll(m);
    }
    if (first >= 0) tally.IncludeColumns(firstCol + first, firstCol + last);
}

}  // namespace

CELLARIUM_TARGET_AVX512 StepCounts StepAvx512(CellBoard& s, CellBoard& t, int newborn,
                                              const StepRule& rule) {
    if (s.width > kStepRowCapacity) return StepReference(s, t, newborn, rule);
    StepTally tally;
    const StepWindow win = WindowOf(s);
    if (!win.Empty()) {
        const StepLookup lut = MakeStepLookup(rule);
        // The byte shuffle looks up within each 16-byte lane: one table copy
        // per lane.
        alignas(64) uint8_t tables[2][kLanes];
        for (int i = 0; i < kLanes; ++i) {
            tables[0][i] = lut.born[i % 16];
            tables[1][i] = lut.survives[i % 16];
        }
        Avx512Row r;
        r.bornLut = _mm512_load_si512(tables[0]);
        r.survivesLut = _mm512_load_si512(tables[1]);
        r.newborn = _mm512_set1_epi8(char(NewbornValue(newborn)));
        r.wasLive = r.born = r.kept = _mm512_setzero_si512();
        const int n = win.Columns();
        std::memset(g_columnsTouched, 0, std::size_t(n));
        if (std::size_t(win.Rows()) * std::size_t(n) >= g_stepStreamingCells) {
            Rows<true>(s, t, win, r, tally);
            _mm_sfence();  // streamed cells are visible before anyone reads them
        } else {
            Rows<false>(s, t, win, r, tally);
        }
        TouchedColumns(n, win.firstCol, tally);
    }
    return FinishStep(s, t, tally);
}

}  // namespace cellarium

#endif  // CELLARIUM_STEP_X86
