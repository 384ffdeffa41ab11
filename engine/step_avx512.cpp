// The step with AVX-512BW: 64 cells per vector. Byte masks make the ends of a
// row plain masked loads and stores, so every window width, down to one cell,
// takes the same path, and nothing outside the window is written or read past
// the board. Compiled for AVX-512 through function attributes only, so no
// inline function of a shared header is ever emitted with AVX-512 code; the
// dispatcher calls it only on CPUs that have it.
//
// One pass per window row: while the cells of row y are computed from its
// vertical sums, the same loop builds the vertical sums of row y + 1, reading
// the source row y + 2 for the first time. Each source row is thus turned into
// live flags (0 or 1) once and read from memory once.
#include "engine/step_kernels.h"

#if defined(CELLARIUM_STEP_X86)

#include <immintrin.h>

#include <cstring>

#define CELLARIUM_TARGET_AVX512 __attribute__((target("avx512f,avx512bw")))
#define CELLARIUM_INLINE_AVX512 __attribute__((target("avx512f,avx512bw"), always_inline)) inline

namespace cellarium {
namespace {

constexpr int kLanes = 64;
constexpr std::size_t kRowBuffer = kStepRowCapacity + 3 * kLanes;

// Row buffers, made once; the program has a single thread. In g_live and
// g_verticalSums, index i stands for column firstCol - 1 + i. The slack past the widest row takes the full-width
// loads and stores of a row's last vector.
// g_live[k]: live flags of three consecutive source rows, used in rotation.
// g_verticalSums[k]: vertical sums of this window row and of the next.
// g_columnsTouched[x]: non-zero once a cell of column firstCol + x was live
// in either generation, in any row so far.
alignas(64) uint8_t g_live[3][kRowBuffer];
alignas(64) uint8_t g_verticalSums[2][kRowBuffer];
alignas(64) uint8_t g_columnsTouched[kRowBuffer];

// vpternlog's truth tables are written as expressions over these three.
constexpr int kA = 0xF0, kB = 0xCC, kC = 0xAA;

// Counts are kept per lane in bytes and added up before they can wrap.
constexpr int kVectorsPerFlush = 250;

struct Avx512Row {
    __m512i bornLut, survivesLut, newborn;
    __m512i wasLive, born, kept;  // per-lane counts since the last flush
    const uint8_t* sums;          // vertical sums of row y
    const uint8_t* old;           // source row y at firstCol
    uint8_t* out;                 // target row y at firstCol
    // Building the next row's sums: source row y + 2 from firstCol - 1, the
    // live flags of rows y and y + 1, and where row y + 2's flags and row
    // y + 1's sums go.
    const uint8_t* below;
    const uint8_t *live0, *live1;
    uint8_t *live2, *nextSums;
    const uint8_t* farBelow;  // source row y + 3: fetched ahead on large boards
};

CELLARIUM_INLINE_AVX512 __mmask64 LowLanes(int count) {
    return count >= kLanes ? ~__mmask64(0) : (__mmask64(1) << count) - 1;
}

// Live flags of the source row at p (lanes in `lanes`, others 0), stored at
// live2, and the vertical sums they complete, stored at sums.
CELLARIUM_INLINE_AVX512 void VerticalSums(const uint8_t* p, const uint8_t* live0,
                                          const uint8_t* live1, uint8_t* live2, uint8_t* sums,
                                          __mmask64 lanes) {
    const __m512i flags = _mm512_min_epu8(_mm512_maskz_loadu_epi8(lanes, p), _mm512_set1_epi8(1));
    _mm512_store_si512(live2, flags);
    _mm512_store_si512(sums, _mm512_add_epi8(_mm512_add_epi8(_mm512_load_si512(live0),
                                                             _mm512_load_si512(live1)),
                                             flags));
}

CELLARIUM_INLINE_AVX512 void NextSums(Avx512Row& r, int i, __mmask64 lanes) {
    VerticalSums(r.below + i, r.live0 + i, r.live1 + i, r.live2 + i, r.nextSums + i, lanes);
}

// One vector of cells x..x+63 of row y (offsets from firstCol). With kMasked
// only the lanes in `lanes` are read from the source row, written and counted.
template <bool kMasked, bool kStream>
CELLARIUM_INLINE_AVX512 void Cells(Avx512Row& r, int x, __mmask64 lanes) {
    const __m512i one = _mm512_set1_epi8(1);
    const __m512i s = _mm512_add_epi8(_mm512_add_epi8(_mm512_loadu_si512(r.sums + x),
                                                      _mm512_loadu_si512(r.sums + x + 1)),
                                      _mm512_loadu_si512(r.sums + x + 2));
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
    if (kStream)
        _mm512_stream_si512(reinterpret_cast<__m512i*>(r.out + x), next);
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

CELLARIUM_INLINE_AVX512 int64_t Sum(__m512i v) {
    alignas(64) int64_t lanes[8];
    _mm512_store_si512(lanes, v);
    int64_t sum = 0;
    for (int64_t lane : lanes) sum += lane;
    return sum;
}

struct Totals {
    __m512i wasLive, born, kept;  // 64-bit lanes
};

// Adds the per-lane counts to the totals and clears them. Returns whether any
// cell counted since the last flush was live in either generation.
CELLARIUM_INLINE_AVX512 bool Flush(Avx512Row& r, Totals& totals) {
    const __m512i zero = _mm512_setzero_si512();
    const __m512i any = _mm512_or_si512(r.wasLive, r.born);
    const bool touched = _mm512_test_epi8_mask(any, any) != 0;
    totals.wasLive = _mm512_add_epi64(totals.wasLive, _mm512_sad_epu8(r.wasLive, zero));
    totals.born = _mm512_add_epi64(totals.born, _mm512_sad_epu8(r.born, zero));
    totals.kept = _mm512_add_epi64(totals.kept, _mm512_sad_epu8(r.kept, zero));
    r.wasLive = r.born = r.kept = zero;
    return touched;
}

// One window row, and with kAhead the next row's vertical sums (sumCount of
// them) on the way.
template <bool kStream, bool kAhead>
CELLARIUM_INLINE_AVX512 bool Row(Avx512Row& r, int n, int sumCount, Totals& totals) {
    bool any = false;
    int x = 0;
    if (kStream) {
        // Up to the first 64-byte boundary of the target row with a masked
        // store, then whole aligned vectors streamed past the caches.
        x = std::min(int((0 - reinterpret_cast<uintptr_t>(r.out)) & 63), n);
        if (x > 0) Cells<true, false>(r, 0, LowLanes(x));
    }
    int i = 0;  // next vertical sum to build
    while (x + kLanes <= n) {
        const int stop = std::min(n - kLanes, x + (kVectorsPerFlush - 2) * kLanes);
        for (; x <= stop; x += kLanes, i += kLanes) {
            Cells<false, kStream>(r, x, ~__mmask64(0));
            if (kAhead) NextSums(r, i, ~__mmask64(0));
            if (kStream) _mm_prefetch(reinterpret_cast<const char*>(r.farBelow + i), _MM_HINT_T0);
        }
        if (x + kLanes <= n) any |= Flush(r, totals);
    }
    if (x < n) Cells<true, false>(r, x, LowLanes(n - x));
    if (kAhead)
        for (; i < sumCount; i += kLanes) NextSums(r, i, LowLanes(sumCount - i));
    return Flush(r, totals) || any;
}

template <bool kStream>
CELLARIUM_INLINE_AVX512 void Rows(const CellBoard& s, CellBoard& t, const StepWindow& win,
                                  Avx512Row& r, StepTally& tally) {
    const std::size_t w = std::size_t(s.width);
    const int n = win.Columns();
    const int sumCount = n + 2;  // columns firstCol - 1 .. lastCol + 1
    const uint8_t* first = s.cells + std::size_t(win.firstRow) * w + std::size_t(win.firstCol) - 1;
    // The first row's sums from scratch: the flags of the rows above and at
    // it, then its sums with the flags of the row below.
    uint8_t* live[3] = {g_live[0], g_live[1], g_live[2]};
    for (int i = 0; i < sumCount; i += kLanes) {
        const __mmask64 lanes = LowLanes(sumCount - i);
        const __m512i one = _mm512_set1_epi8(1);
        _mm512_store_si512(live[0] + i,
                           _mm512_min_epu8(_mm512_maskz_loadu_epi8(lanes, first - w + i), one));
        _mm512_store_si512(live[1] + i,
                           _mm512_min_epu8(_mm512_maskz_loadu_epi8(lanes, first + i), one));
        VerticalSums(first + w + i, live[0] + i, live[1] + i, live[2] + i, g_verticalSums[0] + i,
                     lanes);
    }

    Totals totals{_mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512()};
    int current = 0;
    for (int y = win.firstRow; y <= win.lastRow; ++y) {
        const std::size_t at = std::size_t(y) * w + std::size_t(win.firstCol);
        r.sums = g_verticalSums[current];
        r.old = s.cells + at;
        r.out = t.cells + at;
        bool any;
        if (y < win.lastRow) {
            r.below = s.cells + at + 2 * w - 1;
            r.farBelow = y + 3 < s.height ? r.below + w : r.below;
            r.live0 = live[1];
            r.live1 = live[2];
            r.live2 = live[0];
            r.nextSums = g_verticalSums[1 - current];
            any = Row<kStream, true>(r, n, sumCount, totals);
            std::swap(live[0], live[1]);
            std::swap(live[1], live[2]);
            current = 1 - current;
        } else {
            r.farBelow = r.old;
            any = Row<kStream, false>(r, n, sumCount, totals);
        }
        if (any) tally.IncludeRow(y);
    }
    tally.births = Sum(totals.born);
    tally.live = Sum(totals.kept) + tally.births;
    tally.deaths = Sum(totals.wasLive) - Sum(totals.kept);
}

// The first and last columns whose touched flag is set, of n from firstCol.
CELLARIUM_INLINE_AVX512 void TouchedColumns(int n, int firstCol, StepTally& tally) {
    const uint8_t* flags = g_columnsTouched;
    int first = -1, last = -1;
    for (int x = 0; x < n && first < 0; x += kLanes) {
        const __m512i v = _mm512_maskz_loadu_epi8(LowLanes(n - x), flags + x);
        const uint64_t m = _mm512_test_epi8_mask(v, v);
        if (m != 0) first = x + __builtin_ctzll(m);
    }
    for (int x = ((n - 1) / kLanes) * kLanes; x >= 0 && last < 0; x -= kLanes) {
        const __m512i v = _mm512_maskz_loadu_epi8(LowLanes(n - x), flags + x);
        const uint64_t m = _mm512_test_epi8_mask(v, v);
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
