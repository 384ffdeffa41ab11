// The step with AVX2: 32 cells per vector, one fused pass per window row
// (the next row's vertical sums built on the way), counts kept per lane. It
// keeps the live flags of three source rows in rotation, so each source row is
// turned into flags once; that is the faster choice for boards whose rows fit
// the caches, the 800-wide default among them. AVX2 has no byte-masked loads or stores, so the
// last vector of a row is moved back to end at the window's last column,
// overlapping the one before it: the overlapped cells are written again with
// the same values and their lanes are left out of the counts. Windows
// narrower than a vector go through the scalar cell loop. Compiled for AVX2
// through function attributes only, so no inline function of a shared header
// is ever emitted with AVX2 code; the dispatcher calls it only on CPUs that
// have it.
#include "engine/step/kernels.h"

#if defined(CELLARIUM_STEP_X86)

#include <immintrin.h>

#include <cstring>

#define CELLARIUM_TARGET_AVX2 __attribute__((target("avx2")))
#define CELLARIUM_INLINE_AVX2 __attribute__((target("avx2"), always_inline)) inline

namespace cellarium {
namespace {

constexpr int kLanes = 32;
constexpr std::size_t kRowBuffer = kStepRowCapacity + 3 * kLanes;

// The step thread's row buffers as this kernel uses them. In live and
// verticalSums, index i stands for column firstCol - 1 + i.
// live[k]: live flags of three consecutive source rows, used in rotation.
// verticalSums[k]: vertical sums of this window row and of the next.
// columnsTouched[x]: non-zero once a cell of column firstCol + x was live in
// either generation, in any row of the band so far.
static_assert(kStepRowBuffer >= kRowBuffer);
struct Avx2Buffers {
    uint8_t* live[3];
    uint8_t* verticalSums[2];
    uint8_t* columnsTouched;
    explicit Avx2Buffers(StepScratch& s)
        : live{s.rows[0], s.rows[1], s.rows[2]},
          verticalSums{s.rows[3], s.rows[4]},
          columnsTouched(s.rows[5]) {}
};

// Loading 32 bytes from kFreshFrom + 32 - k gives 0xFF in lanes k and up.
alignas(64) const uint8_t kFreshFrom[64] = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Counts are kept per lane in bytes and added up before they can wrap.
constexpr int kVectorsPerFlush = 250;

struct Avx2Row {
    __m256i bornLut, survivesLut, newborn;
    __m256i wasLive, born, kept;  // per-lane counts since the last flush
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
    uint8_t* columnsTouched;
};

CELLARIUM_INLINE_AVX2 __m256i Load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

CELLARIUM_INLINE_AVX2 void Store(uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Live flags of the source row at p, stored at live2, and the vertical sums
// they complete, stored at sums.
CELLARIUM_INLINE_AVX2 void VerticalSums(const uint8_t* p, const uint8_t* live0,
                                        const uint8_t* live1, uint8_t* live2, uint8_t* sums) {
    const __m256i flags = _mm256_min_epu8(Load(p), _mm256_set1_epi8(1));
    Store(live2, flags);
    Store(sums, _mm256_add_epi8(_mm256_add_epi8(Load(live0), Load(live1)), flags));
}

CELLARIUM_INLINE_AVX2 void NextSums(Avx2Row& r, int i) {
    VerticalSums(r.below + i, r.live0 + i, r.live1 + i, r.live2 + i, r.nextSums + i);
}

// One vector of cells x..x+31 of row y (offsets from firstCol). With kPartial
// only the lanes set in `fresh` are counted; the others were counted by the
// vector before.
template <bool kPartial, bool kStream>
CELLARIUM_INLINE_AVX2 void Cells(Avx2Row& r, int x, __m256i fresh) {
    const __m256i one = _mm256_set1_epi8(1);
    const __m256i s = _mm256_add_epi8(_mm256_add_epi8(Load(r.sums + x), Load(r.sums + x + 1)),
                                      Load(r.sums + x + 2));
    const __m256i old = Load(r.old + x);
    const __m256i bornAt = _mm256_shuffle_epi8(r.bornLut, s);  // 0xFF where the rule applies
    const __m256i survivesAt = _mm256_shuffle_epi8(r.survivesLut, s);
    const __m256i dead = _mm256_cmpeq_epi8(old, _mm256_setzero_si256());
    const __m256i born = _mm256_and_si256(bornAt, dead);
    const __m256i bornValue = _mm256_and_si256(born, r.newborn);
    const __m256i next = _mm256_or_si256(bornValue, _mm256_and_si256(old, survivesAt));
    if (kStream)
        _mm256_stream_si256(reinterpret_cast<__m256i*>(r.out + x), next);
    else
        Store(r.out + x, next);

    __m256i live01 = _mm256_min_epu8(old, one);
    __m256i born01 = _mm256_and_si256(born, one);
    if (kPartial) {
        live01 = _mm256_and_si256(live01, fresh);
        born01 = _mm256_and_si256(born01, fresh);
    }
    r.wasLive = _mm256_add_epi8(r.wasLive, live01);
    r.born = _mm256_add_epi8(r.born, born01);
    r.kept = _mm256_add_epi8(r.kept, _mm256_and_si256(survivesAt, live01));
    // Columns live in either generation: old | next = old | bornValue.
    uint8_t* touched = r.columnsTouched + x;
    Store(touched, _mm256_or_si256(Load(touched), _mm256_or_si256(old, bornValue)));
}

CELLARIUM_INLINE_AVX2 __m256i FreshFrom(int k) {
    return Load(kFreshFrom + kLanes - k);
}

CELLARIUM_INLINE_AVX2 int64_t Sum(__m256i v) {
    alignas(32) int64_t lanes[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), v);
    return lanes[0] + lanes[1] + lanes[2] + lanes[3];
}

struct Totals {
    __m256i wasLive, born, kept;  // 64-bit lanes
};

// Adds the per-lane counts to the totals and clears them. Returns whether any
// cell counted since the last flush was live in either generation.
CELLARIUM_INLINE_AVX2 bool Flush(Avx2Row& r, Totals& totals) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i any = _mm256_or_si256(r.wasLive, r.born);
    const bool touched = !_mm256_testz_si256(any, any);
    totals.wasLive = _mm256_add_epi64(totals.wasLive, _mm256_sad_epu8(r.wasLive, zero));
    totals.born = _mm256_add_epi64(totals.born, _mm256_sad_epu8(r.born, zero));
    totals.kept = _mm256_add_epi64(totals.kept, _mm256_sad_epu8(r.kept, zero));
    r.wasLive = r.born = r.kept = zero;
    return touched;
}

// One window row of n >= 32 cells, and with kAhead the next row's vertical
// sums (sumCount of them) on the way.
template <bool kStream, bool kAhead>
CELLARIUM_INLINE_AVX2 bool Row(Avx2Row& r, int n, int sumCount, Totals& totals) {
    const __m256i all = _mm256_set1_epi8(-1);
    bool any = false;
    int x = 0;
    int done = 0;  // cells 0..done-1 are counted
    if (kStream) {
        // One unaligned vector at the start, then whole vectors on the
        // target's 32-byte boundaries streamed past the caches.
        const int head = int((0 - reinterpret_cast<uintptr_t>(r.out)) & 31);
        if (head > 0) {
            Cells<false, false>(r, 0, all);
            done = kLanes;
            x = head;
            if (x + kLanes <= n) {
                Cells<true, true>(r, x, FreshFrom(done - x));
                x += kLanes;
                done = x;
            }
        }
    }
    int i = 0;  // next vertical sum to build
    while (x + kLanes <= n) {
        const int stop = std::min(n - kLanes, x + (kVectorsPerFlush - 4) * kLanes);
        for (; x <= stop; x += kLanes, i += kLanes) {
            Cells<false, kStream>(r, x, all);
            if (kAhead) NextSums(r, i);
            if (kStream) _mm_prefetch(reinterpret_cast<const char*>(r.farBelow + i), _MM_HINT_T0);
        }
        done = x;
        if (x + kLanes <= n) any |= Flush(r, totals);
    }
    if (done < n) Cells<true, false>(r, n - kLanes, FreshFrom(done - (n - kLanes)));
    if (kAhead) {
        for (; i + kLanes <= sumCount; i += kLanes) NextSums(r, i);
        if (i < sumCount) NextSums(r, sumCount - kLanes);
    }
    return Flush(r, totals) || any;
}

template <bool kStream>
CELLARIUM_INLINE_AVX2 void Rows(const CellBoard& s, CellBoard& t, const StepWindow& win, int y0,
                                int y1, Avx2Buffers& buf, Avx2Row& r, StepTally& tally) {
    const std::size_t w = std::size_t(s.width);
    const int n = win.Columns();
    const int sumCount = n + 2;  // columns firstCol - 1 .. lastCol + 1
    const uint8_t* first =
        s.StepSourceCells() + std::size_t(y0) * w + std::size_t(win.firstCol) - 1;
    // The first row's sums from scratch: the flags of the rows above and at
    // it, then its sums with the flags of the row below.
    uint8_t* live[3] = {buf.live[0], buf.live[1], buf.live[2]};
    const __m256i one = _mm256_set1_epi8(1);
    for (int i = 0;; i += kLanes) {
        if (i + kLanes > sumCount) i = sumCount - kLanes;
        Store(live[0] + i, _mm256_min_epu8(Load(first - w + i), one));
        Store(live[1] + i, _mm256_min_epu8(Load(first + i), one));
        VerticalSums(first + w + i, live[0] + i, live[1] + i, live[2] + i, buf.verticalSums[0] + i);
        if (i + kLanes >= sumCount) break;
    }

    Totals totals{_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
    int current = 0;
    for (int y = y0; y <= y1; ++y) {
        const std::size_t at = std::size_t(y) * w + std::size_t(win.firstCol);
        r.sums = buf.verticalSums[current];
        r.old = s.StepSourceCells() + at;
        r.out = t.StepCells() + at;
        bool any;
        if (y < y1) {
            r.below = s.StepSourceCells() + at + 2 * w - 1;
            r.farBelow = y + 3 < s.height ? r.below + w : r.below;
            r.live0 = live[1];
            r.live1 = live[2];
            r.live2 = live[0];
            r.nextSums = buf.verticalSums[1 - current];
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

CELLARIUM_INLINE_AVX2 uint32_t NonZeroLanes(const uint8_t* p) {
    return ~uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(Load(p), _mm256_setzero_si256())));
}

// The first and last columns whose touched flag is set, of n >= 32 from
// firstCol.
CELLARIUM_INLINE_AVX2 void TouchedColumns(const uint8_t* touched, int n, int firstCol,
                                          StepTally& tally) {
    int first = -1, last = -1;
    for (int x = 0; first < 0; x += kLanes) {
        const int at = std::min(x, n - kLanes);
        if (const uint32_t m = NonZeroLanes(touched + at)) first = at + __builtin_ctz(m);
        if (at == n - kLanes) break;
    }
    for (int x = n - kLanes; first >= 0 && last < 0; x -= kLanes) {
        const int at = std::max(x, 0);
        if (const uint32_t m = NonZeroLanes(touched + at)) last = at + 31 - __builtin_clz(m);
    }
    if (first >= 0) tally.IncludeColumns(firstCol + first, firstCol + last);
}

// Window rows y0..y1.
CELLARIUM_TARGET_AVX2 void Avx2Band(const StepJob& job, int y0, int y1, StepScratch& scratch,
                                    StepTally& tally) {
    const CellBoard& s = *job.source;
    CellBoard& t = *job.target;
    const StepWindow& win = job.win;
    const int n = win.Columns();
    if (n < kLanes) return StepRowsScalar(s, t, win, y0, y1, job.lut, job.newborn, tally);
    Avx2Buffers buf(scratch);
    Avx2Row r;
    // The byte shuffle looks up within each 16-byte lane: one table copy per
    // lane.
    alignas(32) uint8_t tables[2][kLanes];
    for (int i = 0; i < kLanes; ++i) {
        tables[0][i] = job.lut.born[i % 16];
        tables[1][i] = job.lut.survives[i % 16];
    }
    r.bornLut = Load(tables[0]);
    r.survivesLut = Load(tables[1]);
    r.newborn = _mm256_set1_epi8(char(job.newborn));
    r.wasLive = r.born = r.kept = _mm256_setzero_si256();
    r.columnsTouched = buf.columnsTouched;
    std::memset(buf.columnsTouched, 0, std::size_t(n));
    if (job.stream) {
        Rows<true>(s, t, win, y0, y1, buf, r, tally);
        _mm_sfence();  // streamed cells are visible before anyone reads them
    } else {
        Rows<false>(s, t, win, y0, y1, buf, r, tally);
    }
    TouchedColumns(buf.columnsTouched, n, win.firstCol, tally);
}

}  // namespace

StepCounts StepBytesAvx2(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                         uint64_t* liveHash) {
    if (s.width > kStepRowCapacity) return StepReference(s, t, newborn, rule, liveHash);
    return StepInBands(s, t, newborn, rule, &Avx2Band, liveHash);
}

}  // namespace cellarium

#endif  // CELLARIUM_STEP_X86
