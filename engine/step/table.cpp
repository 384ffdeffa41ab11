// The step for any rule: each cell's 3 x 3 block (engine/rule.h) looked up in
// the rule's 512-entry table. The totalistic kernels hand every other rule
// here (StepInBands).
#include "engine/step/kernels.h"

#if defined(CELLARIUM_STEP_X86)
#include <immintrin.h>
#endif

namespace cellarium {

namespace {

// Window rows y0..y1 cell by cell. Along a row, each of the three source rows
// keeps the live cells of the last three columns in three bits.
void TableBandScalar(const StepJob& job, int y0, int y1, StepScratch&, StepTally& tally) {
    const CellBoard& s = *job.source;
    CellBoard& t = *job.target;
    const Rule& rule = *job.rule;
    const std::size_t w = std::size_t(s.width);
    for (int y = y0; y <= y1; ++y) {
        const uint8_t* up = s.StepSourceCells() + (std::size_t(y) - 1) * w;
        const uint8_t* mid = up + w;
        const uint8_t* down = mid + w;
        uint8_t* out = t.StepCells() + std::size_t(y) * w;
        const int x0 = job.win.firstCol, x1 = job.win.lastCol;
        unsigned a = unsigned(up[x0 - 1] != 0) << 1 | (up[x0] != 0);
        unsigned b = unsigned(mid[x0 - 1] != 0) << 1 | (mid[x0] != 0);
        unsigned c = unsigned(down[x0 - 1] != 0) << 1 | (down[x0] != 0);
        int first = INT_MAX, last = INT_MIN;
        for (int x = x0; x <= x1; ++x) {
            a = (a << 1 | (up[x + 1] != 0)) & 7u;
            b = (b << 1 | (mid[x + 1] != 0)) & 7u;
            c = (c << 1 | (down[x + 1] != 0)) & 7u;
            const bool next = rule.Next(a << 6 | b << 3 | c);
            const uint8_t old = mid[x];
            uint8_t value = 0;
            if (old != 0) {
                if (next) {
                    value = old;
                    ++tally.live;
                } else {
                    ++tally.deaths;
                }
            } else if (next) {
                value = job.newborn;
                ++tally.births;
                ++tally.live;
            }
            out[x] = value;
            if ((old | value) != 0) {
                first = std::min(first, x);
                last = x;
            }
        }
        if (first <= last) {
            tally.IncludeColumns(first, last);
            tally.IncludeRow(y);
        }
    }
}

#if defined(CELLARIUM_STEP_X86)

#define CELLARIUM_TARGET_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))
#define CELLARIUM_INLINE_VBMI \
    __attribute__((target("avx512f,avx512bw,avx512vbmi"), always_inline)) inline

// 1 where the cell at p is live (lanes outside `lanes` 0).
CELLARIUM_INLINE_VBMI __m512i LiveBytes(const uint8_t* p, __mmask64 lanes) {
    return _mm512_min_epu8(_mm512_maskz_loadu_epi8(lanes, p), _mm512_set1_epi8(1));
}

// v * 2 + the cells at p: one more bit of the block number.
CELLARIUM_INLINE_VBMI __m512i Shifted(__m512i v, __m512i bit) {
    return _mm512_add_epi8(_mm512_add_epi8(v, v), bit);
}

// Window rows y0..y1, 64 cells a vector. A cell's block number splits into
// its upper six bits (the rows above and at the cell), which pick one of the
// table's 64 bytes in one byte permute, and its lower three (the row below),
// which pick the bit of that byte. Masked loads and stores take the ends of
// a row, so nothing outside the window is written or read past the board.
CELLARIUM_TARGET_VBMI void TableBandVbmi(const StepJob& job, int y0, int y1, StepScratch&,
                                         StepTally& tally) {
    const CellBoard& s = *job.source;
    CellBoard& t = *job.target;
    const std::size_t w = std::size_t(s.width);
    const __m512i table = _mm512_loadu_si512(job.rule->table().data());
    // Bytes 1, 2, 4, ... 128 in each eight: bit k of a table byte.
    const __m512i pow2 = _mm512_set1_epi64(int64_t(0x8040201008040201ull));
    const __m512i one = _mm512_set1_epi8(1);
    const __m512i newborn = _mm512_set1_epi8(char(job.newborn));
    const int x0 = job.win.firstCol, x1 = job.win.lastCol;
    int64_t births = 0, deaths = 0, live = 0;
    for (int y = y0; y <= y1; ++y) {
        const uint8_t* up = s.StepSourceCells() + (std::size_t(y) - 1) * w;
        const uint8_t* mid = up + w;
        const uint8_t* down = mid + w;
        uint8_t* out = t.StepCells() + std::size_t(y) * w;
        int first = -1, last = -1;
        for (int x = x0; x <= x1; x += 64) {
            const int n = std::min(64, x1 - x + 1);
            const __mmask64 lanes = n == 64 ? ~__mmask64(0) : (__mmask64(1) << n) - 1;
            const __m512i old = _mm512_maskz_loadu_epi8(lanes, mid + x);
            __m512i hi = LiveBytes(up + x - 1, lanes);
            hi = Shifted(hi, LiveBytes(up + x, lanes));
            hi = Shifted(hi, LiveBytes(up + x + 1, lanes));
            hi = Shifted(hi, LiveBytes(mid + x - 1, lanes));
            hi = Shifted(hi, _mm512_min_epu8(old, one));
            hi = Shifted(hi, LiveBytes(mid + x + 1, lanes));
            __m512i lo = LiveBytes(down + x - 1, lanes);
            lo = Shifted(lo, LiveBytes(down + x, lanes));
            lo = Shifted(lo, LiveBytes(down + x + 1, lanes));
            const __m512i entry = _mm512_maskz_permutexvar_epi8(~__mmask64(0), hi, table);
            const __mmask64 next =
                _mm512_mask_test_epi8_mask(lanes, entry, _mm512_shuffle_epi8(pow2, lo));
            const __mmask64 wasLive = _mm512_test_epi8_mask(old, old);
            const __mmask64 born = next & ~wasLive;
            const __m512i value =
                _mm512_mask_mov_epi8(_mm512_maskz_mov_epi8(next, old), born, newborn);
            _mm512_mask_storeu_epi8(out + x, lanes, value);
            births += __builtin_popcountll(born);
            live += __builtin_popcountll(next);
            deaths += __builtin_popcountll(wasLive & ~next);
            if (const uint64_t either = wasLive | next; either != 0) {
                if (first < 0) first = x + __builtin_ctzll(either);
                last = x + 63 - __builtin_clzll(either);
            }
        }
        if (first >= 0) {
            tally.IncludeColumns(first, last);
            tally.IncludeRow(y);
        }
    }
    tally.births += births;
    tally.deaths += deaths;
    tally.live += live;
}

bool HasVbmi() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}

#endif  // CELLARIUM_STEP_X86

}  // namespace

StepBand SelectedTableBand() {
#if defined(CELLARIUM_STEP_X86)
    static const StepBand band = HasVbmi() ? &TableBandVbmi : &TableBandScalar;
    return band;
#else
    return &TableBandScalar;
#endif
}

bool IsTableBand(StepBand band) {
#if defined(CELLARIUM_STEP_X86)
    if (band == &TableBandVbmi) return true;
#endif
    return band == &TableBandScalar;
}

StepCounts StepTable(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                     uint64_t* liveHash) {
    return StepInBands(s, t, newborn, rule, SelectedTableBand(), liveHash, false);
}

StepCounts StepTableScalar(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                           uint64_t* liveHash) {
    return StepInBands(s, t, newborn, rule, &TableBandScalar, liveHash, false);
}

#if defined(CELLARIUM_STEP_X86)
StepCounts StepTableVbmi(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                         uint64_t* liveHash) {
    return StepInBands(s, t, newborn, rule, &TableBandVbmi, liveHash, false);
}

bool TableVbmiSupported() {
    return HasVbmi();
}
#endif

}  // namespace cellarium
