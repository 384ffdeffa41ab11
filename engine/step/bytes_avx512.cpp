// The step with AVX-512BW: 64 cells per vector. Byte masks make the ends of a
// row plain masked loads and stores, so every window width, down to one cell,
// takes the same path, and nothing outside the window is written or read past
// the board. Compiled for AVX-512 through function attributes only, so no
// inline function of a shared header is ever emitted with AVX-512 code; the
// dispatcher calls it only on CPUs that have it.
//
// One pass per window row: while the cells of row y are computed from its
// vertical sums, the same loop builds the vertical sums of row y + 1 in the
// same buffer, behind the sums still to be read. The row's working set (three
// source rows and one row of sums) stays in the first-level cache even on the
// widest boards, which is what keeps a 10000-wide step close to the speed of
// the memory.
#include "engine/step/kernels.h"

#if defined(CELLARIUM_STEP_X86)

#include <immintrin.h>

#define CELLARIUM_TARGET_AVX512 __attribute__((target("avx512f,avx512bw")))
#define CELLARIUM_INLINE_AVX512 __attribute__((target("avx512f,avx512bw"), always_inline)) inline

namespace cellarium {
namespace {

constexpr int kLanes = 64;

// The vertical sums of one window row sit in the step thread's first row
// buffer: index i stands for column firstCol - 1 + i.

// vpternlog's truth tables are written as expressions over these three.
constexpr int kA = 0xF0, kB = 0xCC, kC = 0xAA;

// Counts are kept per lane in bytes and added up before they can wrap.
constexpr int kVectorsPerFlush = 250;

// How far ahead of its use the source row read for the next sums is fetched
// on boards too large for the caches.
constexpr std::size_t kFetchAhead = 1024;

struct Avx512Row {
    __m512i bornLut, survivesLut, newborn;
    __m512i wasLive, born, kept;  // per-lane counts since the last flush
    const uint8_t* old;           // source row y at firstCol
    uint8_t* out;                 // target row y at firstCol
    const uint8_t* above;         // source row y at firstCol - 1: the next sums' top row
    std::size_t width;
    const uint8_t* ahead;  // kFetchAhead past the next sums' bottom row
    uint8_t* sums;         // 64-byte aligned
};

CELLARIUM_INLINE_AVX512 __mmask64 LowLanes(int count) {
    return count >= kLanes ? ~__mmask64(0) : (__mmask64(1) << count) - 1;
}

// Vertical sums i..i+63 of the row below `above` (lanes outside `lanes` 0).
CELLARIUM_INLINE_AVX512 void VerticalSums(uint8_t* sums, const uint8_t* above, std::size_t width,
                                          int i, __mmask64 lanes) {
    const __m512i one = _mm512_set1_epi8(1);
    const __m512i a = _mm512_min_epu8(_mm512_maskz_loadu_epi8(lanes, above + i), one);
    const __m512i b = _mm512_min_epu8(_mm512_maskz_loadu_epi8(lanes, above + width + i), one);
    const __m512i c = _mm512_min_epu8(_mm512_maskz_loadu_epi8(lanes, above + 2 * width + i), one);
    _mm512_store_si512(sums + i, _mm512_add_epi8(_mm512_add_epi8(a, b), c));
}

// One vector of cells x..x+63 of row y (offsets from firstCol). With kMasked
// only the lanes in `lanes` are read from the source row, written and counted.
// Returns the lanes whose cell is live in either generation.
template <bool kMasked, bool kStream>
CELLARIUM_INLINE_AVX512 uint64_t Cells(Avx512Row& r, int x, __mmask64 lanes) {
    const __m512i one = _mm512_set1_epi8(1);
    const __m512i s = _mm512_add_epi8(
        _mm512_add_epi8(_mm512_loadu_si512(r.sums + x), _mm512_loadu_si512(r.sums + x + 1)),
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
    // Cells live in either generation: old | next = old | bornValue.
    const __m512i either = _mm512_or_si512(old, bornValue);
    return _mm512_test_epi8_mask(either, either);
}

// The first and last vectors of a row holding a cell live in either
// generation, and which of their lanes do.
struct RowTouched {
    int firstX = -1, lastX = -1;
    uint64_t first = 0, last = 0;

    void Note(int x, uint64_t touched) {
        if (touched == 0) return;
        if (firstX < 0) {
            firstX = x;
            first = touched;
        }
        lastX = x;
        last = touched;
    }
};

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

// Adds the per-lane counts to the totals and clears them.
CELLARIUM_INLINE_AVX512 void Flush(Avx512Row& r, Totals& totals) {
    const __m512i zero = _mm512_setzero_si512();
    totals.wasLive = _mm512_add_epi64(totals.wasLive, _mm512_sad_epu8(r.wasLive, zero));
    totals.born = _mm512_add_epi64(totals.born, _mm512_sad_epu8(r.born, zero));
    totals.kept = _mm512_add_epi64(totals.kept, _mm512_sad_epu8(r.kept, zero));
    r.wasLive = r.born = r.kept = zero;
}

// One window row, and with kAhead the next row's vertical sums (sumCount of
// them) on the way: sums 0..i-1 are overwritten only once the cells that
// read them are done.
template <bool kStream, bool kAhead>
CELLARIUM_INLINE_AVX512 RowTouched Row(Avx512Row& r, int n, int sumCount, Totals& totals) {
    RowTouched touched;
    int x = 0;
    if (kStream) {
        // Up to the first 64-byte boundary of the target row with a masked
        // store, then whole aligned vectors streamed past the caches.
        x = std::min(int((0 - reinterpret_cast<uintptr_t>(r.out)) & 63), n);
        if (x > 0) touched.Note(0, Cells<true, false>(r, 0, LowLanes(x)));
    }
    int i = 0;  // next vertical sum to build
    while (x + kLanes <= n) {
        const int stop = std::min(n - kLanes, x + (kVectorsPerFlush - 2) * kLanes);
        for (; x <= stop; x += kLanes, i += kLanes) {
            touched.Note(x, Cells<false, kStream>(r, x, ~__mmask64(0)));
            if (kAhead) VerticalSums(r.sums, r.above, r.width, i, ~__mmask64(0));
            if (kStream) _mm_prefetch(reinterpret_cast<const char*>(r.ahead + i), _MM_HINT_T0);
        }
        if (x + kLanes <= n) Flush(r, totals);
    }
    if (x < n) touched.Note(x, Cells<true, false>(r, x, LowLanes(n - x)));
    if (kAhead)
        for (; i < sumCount; i += kLanes)
            VerticalSums(r.sums, r.above, r.width, i, LowLanes(sumCount - i));
    Flush(r, totals);
    return touched;
}

template <bool kStream>
CELLARIUM_INLINE_AVX512 void Rows(const CellBoard& s, CellBoard& t, const StepWindow& win, int y0,
                                  int y1, Avx512Row& r, StepTally& tally) {
    const std::size_t w = std::size_t(s.width);
    const int n = win.Columns();
    const int sumCount = n + 2;  // columns firstCol - 1 .. lastCol + 1
    const std::size_t firstAt = std::size_t(y0) * w + std::size_t(win.firstCol);
    for (int i = 0; i < sumCount; i += kLanes)
        VerticalSums(r.sums, s.StepSourceCells() + firstAt - w - 1, w, i, LowLanes(sumCount - i));

    Totals totals{_mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512()};
    r.width = w;
    for (int y = y0; y <= y1; ++y) {
        const std::size_t at = std::size_t(y) * w + std::size_t(win.firstCol);
        r.old = s.StepSourceCells() + at;
        r.out = t.StepCells() + at;
        r.above = r.old - 1;
        // Fetching ahead stays inside the board.
        const std::size_t ahead = at + 2 * w - 1 + kFetchAhead;
        r.ahead =
            ahead + std::size_t(n) + kLanes <= s.CellCount() ? s.StepSourceCells() + ahead : r.old;
        const RowTouched touched = y < y1 ? Row<kStream, true>(r, n, sumCount, totals)
                                          : Row<kStream, false>(r, n, sumCount, totals);
        if (touched.firstX >= 0) {
            tally.IncludeRow(y);
            tally.IncludeColumns(win.firstCol + touched.firstX + __builtin_ctzll(touched.first),
                                 win.firstCol + touched.lastX + 63 - __builtin_clzll(touched.last));
        }
    }
    const int64_t births = Sum(totals.born), kept = Sum(totals.kept);
    tally.births = births;
    tally.live = kept + births;
    tally.deaths = Sum(totals.wasLive) - kept;
}

// Window rows y0..y1.
CELLARIUM_TARGET_AVX512 void Avx512Band(const StepJob& job, int y0, int y1, StepScratch& scratch,
                                        StepTally& tally) {
    // The byte shuffle looks up within each 16-byte lane: one table copy per
    // lane.
    alignas(64) uint8_t tables[2][kLanes];
    for (int i = 0; i < kLanes; ++i) {
        tables[0][i] = job.lut.born[i % 16];
        tables[1][i] = job.lut.survives[i % 16];
    }
    Avx512Row r;
    r.bornLut = _mm512_load_si512(tables[0]);
    r.survivesLut = _mm512_load_si512(tables[1]);
    r.newborn = _mm512_set1_epi8(char(job.newborn));
    r.wasLive = r.born = r.kept = _mm512_setzero_si512();
    r.sums = scratch.rows[0];
    if (job.stream) {
        Rows<true>(*job.source, *job.target, job.win, y0, y1, r, tally);
        _mm_sfence();  // streamed cells are visible before anyone reads them
    } else {
        Rows<false>(*job.source, *job.target, job.win, y0, y1, r, tally);
    }
}

}  // namespace

StepCounts StepBytesAvx512(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                           uint64_t* liveHash) {
    if (s.width > kStepRowCapacity) return StepReference(s, t, newborn, rule, liveHash);
    return StepInBands(s, t, newborn, rule, &Avx512Band, liveHash);
}

}  // namespace cellarium

#endif  // CELLARIUM_STEP_X86
