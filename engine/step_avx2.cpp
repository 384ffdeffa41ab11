// The step with AVX2: 32 cells per vector. AVX2 has no byte-masked stores, so
// the last vector of a row is moved back to end at the window's last column,
// overlapping the one before it: the overlapped cells are written again with
// the same values and their lanes are left out of the counts. Rows narrower
// than a vector go through the scalar cell loop. Compiled for AVX2 through
// function attributes only, so no inline function of a shared header is ever
// emitted with AVX2 code; the dispatcher calls it only on CPUs that have it.
#include "engine/step_kernels.h"

#if defined(CELLARIUM_STEP_X86)

#include <immintrin.h>

#define CELLARIUM_TARGET_AVX2 __attribute__((target("avx2,popcnt")))
#define CELLARIUM_INLINE_AVX2 __attribute__((target("avx2,popcnt"), always_inline)) inline

namespace cellarium {
namespace {

constexpr int kLanes = 32;

// Vertical sums of one window row, v[i] for column firstCol - 1 + i. Single
// thread (the program has one): one buffer, made once.
alignas(64) uint8_t g_verticalSums[kStepRowCapacity + 2 * kLanes];

struct Avx2Row {
    __m256i bornLut, survivesLut, newborn;
    const uint8_t* old;  // source row y at firstCol
    uint8_t* out;        // target row y at firstCol
    int firstCol;
    StepTally* tally;
    bool any;  // a cell of this row is live in either generation
};

// One vector of cells x..x+31 (offsets from firstCol). Lanes below `fresh`
// were counted by the vector before; they are rewritten but not counted.
template <bool kStream>
CELLARIUM_INLINE_AVX2 void Cells(Avx2Row& r, int x, uint32_t fresh) {
    const __m256i s = _mm256_add_epi8(
        _mm256_add_epi8(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(g_verticalSums + x)),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(g_verticalSums + x + 1))),
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(g_verticalSums + x + 2)));
    const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r.old + x));
    const __m256i bornAt = _mm256_shuffle_epi8(r.bornLut, s);
    const __m256i survivesAt = _mm256_shuffle_epi8(r.survivesLut, s);
    const __m256i dead = _mm256_cmpeq_epi8(old, _mm256_setzero_si256());
    const __m256i born = _mm256_and_si256(bornAt, dead);
    const __m256i next =
        _mm256_or_si256(_mm256_and_si256(old, survivesAt), _mm256_and_si256(r.newborn, born));
    if (kStream)
        _mm256_stream_si256(reinterpret_cast<__m256i*>(r.out + x), next);
    else
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(r.out + x), next);

    const uint32_t wasLive = ~uint32_t(_mm256_movemask_epi8(dead)) & fresh;
    const uint32_t keep = wasLive & uint32_t(_mm256_movemask_epi8(survivesAt));
    const uint32_t bornMask = uint32_t(_mm256_movemask_epi8(born)) & fresh;
    const int kept = _mm_popcnt_u32(keep);
    const int births = _mm_popcnt_u32(bornMask);
    r.tally->births += births;
    r.tally->deaths += _mm_popcnt_u32(wasLive) - kept;
    r.tally->live += kept + births;
    const uint32_t touched = wasLive | bornMask;
    if (touched != 0) {
        r.tally->IncludeColumns(r.firstCol + x + __builtin_ctz(touched),
                                r.firstCol + x + 31 - __builtin_clz(touched));
        r.any = true;
    }
}

// v[i] = live(up[i]) + live(mid[i]) + live(down[i]) for i in 0..count-1,
// count >= 32.
CELLARIUM_INLINE_AVX2 __m256i VerticalSum(const uint8_t* up, const uint8_t* mid,
                                          const uint8_t* down, int i) {
    const __m256i one = _mm256_set1_epi8(1);
    const __m256i a =
        _mm256_min_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(up + i)), one);
    const __m256i b =
        _mm256_min_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(mid + i)), one);
    const __m256i c =
        _mm256_min_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(down + i)), one);
    return _mm256_add_epi8(_mm256_add_epi8(a, b), c);
}

CELLARIUM_INLINE_AVX2 void VerticalSums(const uint8_t* up, const uint8_t* mid, const uint8_t* down,
                                        int count) {
    int i = 0;
    for (; i + kLanes <= count; i += kLanes)
        _mm256_store_si256(reinterpret_cast<__m256i*>(g_verticalSums + i),
                           VerticalSum(up, mid, down, i));
    if (i < count)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(g_verticalSums + count - kLanes),
                            VerticalSum(up, mid, down, count - kLanes));
}

template <bool kStream>
CELLARIUM_INLINE_AVX2 void Rows(const CellBoard& s, CellBoard& t, const StepWindow& win,
                                Avx2Row& r) {
    const std::size_t w = std::size_t(s.width);
    const int n = win.Columns();  // at least kLanes
    for (int y = win.firstRow; y <= win.lastRow; ++y) {
        const uint8_t* mid = s.cells + std::size_t(y) * w + std::size_t(win.firstCol);
        VerticalSums(mid - w - 1, mid - 1, mid + w - 1, n + 2);
        r.old = mid;
        r.out = t.cells + std::size_t(y) * w + std::size_t(win.firstCol);
        r.any = false;
        int x = 0;
        int done = 0;  // cells 0..done-1 of the row are counted
        if (kStream) {
            // One unaligned vector at the start, then whole vectors on the
            // target's 32-byte boundaries streamed past the caches.
            const int head = int((0 - reinterpret_cast<uintptr_t>(r.out)) & 31);
            if (head > 0) {
                Cells<false>(r, 0, ~0u);
                done = kLanes;
            }
            for (x = head; x + kLanes <= n; x += kLanes) {
                Cells<true>(r, x, ~0u << (done - x));
                done = x + kLanes;
            }
        } else {
            for (; x + kLanes <= n; x += kLanes) Cells<false>(r, x, ~0u);
            done = x;
        }
        if (done < n) Cells<false>(r, n - kLanes, ~0u << (done - (n - kLanes)));
        if (r.any) r.tally->IncludeRow(y);
    }
}

}  // namespace

CELLARIUM_TARGET_AVX2 StepCounts StepAvx2(CellBoard& s, CellBoard& t, int newborn,
                                          const StepRule& rule) {
    if (s.width > kStepRowCapacity) return StepReference(s, t, newborn, rule);
    StepTally tally;
    const StepWindow win = WindowOf(s);
    if (!win.Empty()) {
        const StepLookup lut = MakeStepLookup(rule);
        const uint8_t value = NewbornValue(newborn);
        if (win.Columns() < kLanes) {
            for (int y = win.firstRow; y <= win.lastRow; ++y)
                if (StepCellsScalar(s, t, y, win.firstCol, win.lastCol, lut, value, tally))
                    tally.IncludeRow(y);
        } else {
            Avx2Row r;
            r.bornLut = _mm256_broadcastsi128_si256(
                _mm_load_si128(reinterpret_cast<const __m128i*>(lut.born)));
            r.survivesLut = _mm256_broadcastsi128_si256(
                _mm_load_si128(reinterpret_cast<const __m128i*>(lut.survives)));
            r.newborn = _mm256_set1_epi8(char(value));
            r.firstCol = win.firstCol;
            r.tally = &tally;
            if (std::size_t(win.Rows()) * std::size_t(win.Columns()) >= g_stepStreamingCells) {
                Rows<true>(s, t, win, r);
                _mm_sfence();  // streamed cells are visible before anyone reads them
            } else {
                Rows<false>(s, t, win, r);
            }
        }
    }
    return FinishStep(s, t, tally);
}

}  // namespace cellarium

#endif  // CELLARIUM_STEP_X86
