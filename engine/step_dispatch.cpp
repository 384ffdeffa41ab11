// Chooses the step kernel once, for the CPU the program runs on.
#include <cstdlib>
#include <cstring>

#include "engine/step.h"
#include "engine/step_kernels.h"

namespace cellarium {

std::size_t g_stepStreamingCells = kStreamingCells;

namespace {

#if defined(CELLARIUM_STEP_X86)
// Where both wide kernels run, the AVX-512 one is the faster while the window
// fits the caches, and the AVX2 one once the step streams a window too large
// for them (measured here: 15.0 against 13.3 ms for a 10000 x 10000 soup,
// 36 against 41 us for 800 x 800). Both give identical results, so which one
// a step takes is only a matter of speed.
StepCounts StepAvx512ThenAvx2(CellBoard& s, CellBoard& t, int newborn, const StepRule& rule) {
    const StepWindow win = WindowOf(s);
    if (!win.Empty() &&
        std::size_t(win.Rows()) * std::size_t(win.Columns()) >= g_stepStreamingCells)
        return StepAvx2(s, t, newborn, rule);
    return StepAvx512(s, t, newborn, rule);
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
    kernels.push_back({"avx512bw_avx2", &StepAvx512ThenAvx2, avx512 && avx2});
    kernels.push_back({"avx512bw", &StepAvx512, avx512});
    kernels.push_back({"avx2", &StepAvx2, avx2});
#endif
    kernels.push_back({"portable", &StepPortable, true});
    kernels.push_back({"reference", &StepReference, true});
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

const char* SelectedStepKernelName() {
    return Selected().name;
}

}  // namespace cellarium
