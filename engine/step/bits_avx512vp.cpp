// The bit-sliced step for AVX-512 CPUs that also count bits and shift across
// words in one instruction (VPOPCNTDQ and VBMI2): the population counts of
// the planes and the shifts that bring in a neighbouring column each become
// a single instruction instead of four to eight. Otherwise the same as
// engine/step/bits_avx512.cpp.
#include "engine/step/kernels.h"

#if defined(CELLARIUM_STEP_X86)

#include <immintrin.h>

#define CELLARIUM_BITS_FN                                                                  \
    __attribute__((target("avx512f,avx512bw,avx512dq,avx512vpopcntdq,avx512vbmi2,popcnt"), \
                   always_inline)) inline
#define CELLARIUM_BITS_TOP \
    __attribute__((target("avx512f,avx512bw,avx512dq,avx512vpopcntdq,avx512vbmi2,popcnt")))
#include "engine/step/bitsliced.h"

namespace cellarium {
namespace {

#include "engine/step/bits_avx512_ops.h"

struct OpsAvx512Vp : OpsAvx512 {
    CELLARIUM_BITS_FN static V Count(V v) { return _mm512_popcnt_epi64(v); }
    CELLARIUM_BITS_FN static V ShiftInLeft(V cur, V prev) {
        return _mm512_shldi_epi64(cur, prev, 1);
    }
    CELLARIUM_BITS_FN static V ShiftInRight(V cur, V next) {
        return _mm512_shrdi_epi64(cur, next, 1);
    }
};

}  // namespace

StepCounts StepBitsAvx512Vp(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                            uint64_t* liveHash) {
    return StepInBands(s, t, newborn, rule, &bitsliced::Band<OpsAvx512Vp>, liveHash, true);
}

StepCounts StepPlanesAvx512Vp(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                              uint64_t* liveHash) {
    return StepInBands(s, t, newborn, rule, &bitsliced::PlaneBand<OpsAvx512Vp>, liveHash, true,
                       true);
}

StepBand PlanesBandAvx512Vp() {
    return &bitsliced::PlaneBand<OpsAvx512Vp>;
}

}  // namespace cellarium

#endif  // CELLARIUM_STEP_X86
