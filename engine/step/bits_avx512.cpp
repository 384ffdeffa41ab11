// The bit-sliced step with AVX-512: planes in 512-bit vectors, three-input
// logic in one instruction, and byte masks that blend the result into the
// bytes and end each row exactly at the window's edge. Compiled for AVX-512
// through function attributes only (see engine/step/bitsliced.h); the
// dispatcher calls it only on CPUs that have it.
#include "engine/step/kernels.h"

#if defined(CELLARIUM_STEP_X86)

#include <immintrin.h>

#define CELLARIUM_BITS_FN \
    __attribute__((target("avx512f,avx512bw,avx512dq,popcnt"), always_inline)) inline
#define CELLARIUM_BITS_TOP __attribute__((target("avx512f,avx512bw,avx512dq,popcnt")))
#include "engine/step/bitsliced.h"

namespace cellarium {
namespace {

#include "engine/step/bits_avx512_ops.h"

}  // namespace

StepCounts StepBitsAvx512(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                          uint64_t* liveHash) {
    return StepInBands(s, t, newborn, rule, &bitsliced::Band<OpsAvx512>, liveHash, true);
}

StepCounts StepPlanesAvx512(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                            uint64_t* liveHash) {
    return StepInBands(s, t, newborn, rule, &bitsliced::PlaneBand<OpsAvx512>, liveHash, true, true);
}

StepBand PlanesBandAvx512() {
    return &bitsliced::PlaneBand<OpsAvx512>;
}

}  // namespace cellarium

#endif  // CELLARIUM_STEP_X86
