// Chooses the step kernel once, for the CPU the program runs on.
#include <cstdlib>
#include <cstring>

#include "engine/live_hash.h"
#include "engine/step.h"
#include "engine/step_kernels.h"

namespace cellarium {

std::size_t g_stepStreamingCells = kStreamingCells;

namespace {

// A kernel without the live hash at hand: the hash by a pass over the target.
template <StepKernel kKernel>
StepCounts ThenHash(CellBoard& s, CellBoard& t, int newborn, const StepRule& rule,
                    uint64_t* liveHash) {
    const StepCounts counts = kKernel(s, t, newborn, rule);
    if (liveHash != nullptr) *liveHash = LiveCellHash(t);
    return counts;
}

// A kernel with the live hash at hand, asked for none.
template <StepHashKernel kKernel>
StepCounts WithoutHash(CellBoard& s, CellBoard& t, int newborn, const StepRule& rule) {
    return kKernel(s, t, newborn, rule, nullptr);
}

// The order is by speed as bench/step_benchmark measured it on a 2-core
// AVX-512 machine (CPU time per step of a 50% soup, one run): on 800 x 800
// the byte kernels ahead of the bit-sliced ones of the same instruction set
// (avx512bw 26.6, bits_avx512 37.7, avx2 31.8, bits_avx2 54.7 us), the
// bit-sliced one ahead of the portable byte kernel (149 against 176 us; 26.3
// against 29.8 ms on 10000 x 10000). The bit-sliced kernels are the ones whose
// live hash costs least.
#if defined(CELLARIUM_STEP_X86)
// Where AVX-512 runs, the byte kernel is the faster up to the largest boards,
// and the bit-sliced one there (2-core AVX-512 machine, boards on huge pages,
// three runs: 4000 x 4000 avx512bw 1.23-1.37 ms against 1.68-1.76 for
// bits_avx512vp on one thread, 0.58-0.78 against 0.92-1.08 on two; 10000 x
// 10000 10.8-11.7 against 10.5-12.0 on one, 5.5-5.9 against 5.4 on two). All
// give identical results, so which one a step takes is only a matter of
// speed.
constexpr std::size_t kBitSlicedCells = std::size_t(64) << 20;

// The bit-sliced kernel that counts bits and shifts across words in single
// instructions, where the CPU has them: on a 2-core AVX-512 machine 9.4-10.6
// against 10.4-11.4 ms on 10000 x 10000, and 8.2 against 9.7 us on a
// 10000 x 26 strip that fits the caches.
bool CountsAndShiftsWords() {
    return __builtin_cpu_supports("avx512vpopcntdq") && __builtin_cpu_supports("avx512vbmi2");
}

StepHashKernel StreamingBits() {
    static const StepHashKernel kernel =
        CountsAndShiftsWords() ? &StepBitsAvx512Vp : &StepBitsAvx512;
    return kernel;
}

StepCounts StepAvx512ThenBits(CellBoard& s, CellBoard& t, int newborn, const StepRule& rule) {
    const StepWindow win = WindowOf(s);
    if (!win.Empty() && std::size_t(win.Rows()) * std::size_t(win.Columns()) >= kBitSlicedCells)
        return StreamingBits()(s, t, newborn, rule, nullptr);
    return StepAvx512(s, t, newborn, rule);
}

// The same with the live hash: while the window fits the caches the byte
// kernel and a pass over its target (in the caches still) cost less than the
// bit-sliced kernel's own hash (800 x 800: 43 against 50 us); a streaming
// step hashes within the bit-sliced kernel, where it is almost free (10000 x
// 10000: 9.6 ms with or without it, against 21 ms for step and pass).
StepCounts StepAvx512ThenBitsHashed(CellBoard& s, CellBoard& t, int newborn, const StepRule& rule,
                                    uint64_t* liveHash) {
    const StepWindow win = WindowOf(s);
    if (!win.Empty() &&
        std::size_t(win.Rows()) * std::size_t(win.Columns()) >= g_stepStreamingCells)
        return StreamingBits()(s, t, newborn, rule, liveHash);
    return ThenHash<&StepAvx512>(s, t, newborn, rule, liveHash);
}
#endif

std::vector<StepKernelInfo> DetectKernels() {
    std::vector<StepKernelInfo> kernels;
#if defined(CELLARIUM_STEP_X86)
    // The checks include the operating system's support for the wider
    // registers, not just the instructions.
    __builtin_cpu_init();
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    const bool avx2 = __builtin_cpu_supports("avx2") != 0;
    const bool avx512dq = __builtin_cpu_supports("avx512dq") != 0;
    kernels.push_back({"avx512bw_bits", &StepAvx512ThenBits, avx512 && avx512dq,
                       &StepAvx512ThenBitsHashed, true});
    kernels.push_back({"avx512bw", &StepAvx512, avx512, &ThenHash<&StepAvx512>, false});
    const bool avx512vp = avx512 && avx512dq && CountsAndShiftsWords();
    kernels.push_back(
        {"bits_avx512vp", &WithoutHash<&StepBitsAvx512Vp>, avx512vp, &StepBitsAvx512Vp, true});
    kernels.push_back(
        {"bits_avx512", &WithoutHash<&StepBitsAvx512>, avx512 && avx512dq, &StepBitsAvx512, true});
    kernels.push_back({"avx2", &StepAvx2, avx2, &ThenHash<&StepAvx2>, false});
    kernels.push_back({"bits_avx2", &WithoutHash<&StepBitsAvx2>, avx2, &StepBitsAvx2, true});
#endif
    kernels.push_back({"bits64", &WithoutHash<&StepBits64>, true, &StepBits64, true});
    kernels.push_back({"portable", &StepPortable, true, &ThenHash<&StepPortable>, false});
    kernels.push_back({"reference", &StepReference, true, &ThenHash<&StepReference>, false});
    return kernels;
}

const StepKernelInfo& Selected() {
    static const StepKernelInfo chosen = [] {
        const std::vector<StepKernelInfo>& kernels = StepKernels();
        if (const char* wanted = std::getenv("CELLARIUM_STEP_KERNEL")) {
            for (const StepKernelInfo& k : kernels)
                if (k.supported && std::strcmp(k.name, wanted) == 0) return k;
        }
        for (const StepKernelInfo& k : kernels)
            if (k.supported) return k;
        return kernels.back();
    }();
    return chosen;
}

}  // namespace

const std::vector<StepKernelInfo>& StepKernels() {
    static const std::vector<StepKernelInfo> kernels = DetectKernels();
    return kernels;
}

StepKernel SelectedStepKernel() {
    return Selected().kernel;
}

StepHashKernel SelectedStepHashKernel() {
    static const StepHashKernel chosen = [] {
        if (std::getenv("CELLARIUM_STEP_KERNEL") != nullptr) return Selected().hashed;
        for (const StepKernelInfo& k : StepKernels())
            if (k.supported && k.hashInStep) return k.hashed;
        return Selected().hashed;
    }();
    return chosen;
}

const char* SelectedStepKernelName() {
    return Selected().name;
}

}  // namespace cellarium
