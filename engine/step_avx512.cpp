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

// Vertical sums of one window row, v[i] for column firstCol - 1 + i. Single
// thread (the program has one): one buffer, made once. The slack past the
// widest row takes the full-width loads of the last vector.
alignas(64) uint8_t g_verticalSums[kStepRowCapacity + 2 * kLanes];

struct Avx512Row {
    __m512i bornLut, survivesLut, newborn;
    const uint8_t* old;  // source row y at firstCol
    uint8_t* out;        // target row y at firstCol
    int firstCol;
    StepTally* tally;
    bool any;  // a cell of this row is live in either generation
};

CELLARIUM_INLINE_AVX512 __mmask64 LowLanes(int count) {
    return count >= kLanes ? ~__mmask64(0) : (__mmask64(1) << count) - 1;
}

// One vector of cells x..x+63 (offsets from firstCol), lanes outside `lanes`
// neither read from the source row nor written.
template <bool kStream>
CELLARIUM_INLINE_AVX512 void Cells(Avx512Row& r, int x, __mmask64 lanes) {
    const __m512i s = _mm512_add_epi8(
        _mm512_add_epi8(_mm512_loadu_si512(g_verticalSums + x),
                        _mm512_loadu_si512(g_verticalSums + x + 1)),
        _mm512_loadu_si512(g_verticalSums + x + 2));
    const __m512i old = _mm512_maskz_loadu_epi8(lanes, r.old + x);
    const __mmask64 bornAt = _mm512_movepi8_mask(_mm512_shuffle_epi8(r.bornLut, s));
    const __mmask64 survivesAt = _mm512_movepi8_mask(_mm512_shuffle_epi8(r.survivesLut, s));
    const __mmask64 wasLive = _mm512_test_epi8_mask(old, old);  // zero outside `lanes`
    const __mmask64 keep = wasLive & survivesAt;
    const __mmask64 born = bornAt & ~wasLive & lanes;
    const __m512i next = _mm512_mask_mov_epi8(_mm512_maskz_mov_epi8(born, r.newborn), keep, old);
    if (kStream)
        _mm512_stream_si512(reinterpret_cast<__m512i*>(r.out + x), next);
    else
        _mm512_mask_storeu_epi8(r.out + x, lanes, next);

    const int kept = int(_mm_popcnt_u64(keep));
    const int births = int(_mm_popcnt_u64(born));
    r.tally->births += births;
    r.tally->deaths += int(_mm_popcnt_u64(wasLive)) - kept;
    r.tally->live += kept + births;
    const uint64_t touched = wasLive | born;
    if (touched != 0) {
        r.tally->IncludeColumns(r.firstCol + x + __builtin_ctzll(touched),
                                r.firstCol + x + 63 - __builtin_clzll(touched));
        r.any = true;
    }
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

template <bool kStream>
CELLARIUM_INLINE_AVX512 void Rows(const CellBoard& s, CellBoard& t, const StepWindow& win,
                                  Avx512Row& r) {
    const std::size_t w = std::size_t(s.width);
    const int n = win.Columns();
    for (int y = win.firstRow; y <= win.lastRow; ++y) {
        const uint8_t* mid = s.cells + std::size_t(y) * w + std::size_t(win.firstCol);
        VerticalSums(mid - w - 1, mid - 1, mid + w - 1, n + 2);
        r.old = mid;
        r.out = t.cells + std::size_t(y) * w + std::size_t(win.firstCol);
        r.any = false;
        int x = 0;
        if (kStream) {
            // Up to the first 64-byte boundary of the target row with a masked
            // store, then whole aligned vectors streamed past the caches.
            const int head = std::min(int((0 - reinterpret_cast<uintptr_t>(r.out)) & 63), n);
            if (head > 0) Cells<false>(r, 0, LowLanes(head));
            for (x = head; x + kLanes <= n; x += kLanes) Cells<true>(r, x, ~__mmask64(0));
        } else {
            for (; x + kLanes <= n; x += kLanes) Cells<false>(r, x, ~__mmask64(0));
        }
        if (x < n) Cells<false>(r, x, LowLanes(n - x));
        if (r.any) r.tally->IncludeRow(y);
    }
}

}  // namespace

CELLARIUM_TARGET_AVX512 StepCounts StepAvx512(CellBoard& s, CellBoard& t, int newborn,
                                              const StepRule& rule) {
    if (s.width > kStepRowCapacity) return StepReference(s, t, newborn, rule);
    StepTally tally;
    const StepWindow win = WindowOf(s);
    if (!win.Empty()) {
        const StepLookup lut = MakeStepLookup(rule);
        Avx512Row r;
        // The byte shuffle looks up within each 16-byte lane: one table copy
        // per lane.
        alignas(64) uint8_t tables[2][kLanes];
        for (int i = 0; i < kLanes; ++i) {
            tables[0][i] = lut.born[i % 16];
            tables[1][i] = lut.survives[i % 16];
        }
        r.bornLut = _mm512_load_si512(tables[0]);
        r.survivesLut = _mm512_load_si512(tables[1]);
        r.newborn = _mm512_set1_epi8(char(NewbornValue(newborn)));
        r.firstCol = win.firstCol;
        r.tally = &tally;
        if (std::size_t(win.Rows()) * std::size_t(win.Columns()) >= g_stepStreamingCells) {
            Rows<true>(s, t, win, r);
            _mm_sfence();  // streamed cells are visible before anyone reads them
        } else {
            Rows<false>(s, t, win, r);
        }
    }
    return FinishStep(s, t, tally);
}

}  // namespace cellarium

#endif  // CELLARIUM_STEP_X86
