// Chooses the step kernel once, for the CPU the program runs on.
#include <cstdlib>
#include <cstring>

#include "engine/step.h"
#include "engine/step_kernels.h"

namespace cellarium {

std::size_t g_stepStreamingCells = kStreamingCells;

namespace {

std::vector<StepKernelInfo> DetectKernels() {
    std::vector<StepKernelInfo> kernels;
#if defined(CELLARIUM_STEP_X86)
    // The checks include the operating system's support for the wider
    // registers, not just the instructions.
    __builtin_cpu_init();
    const bool popcnt = __builtin_cpu_supports("popcnt");
    kernels.push_back({"avx512bw", &StepAvx512,
                       popcnt && __builtin_cpu_supports("avx512f") &&
                           __builtin_cpu_supports("avx512bw")});
    kernels.push_back({"avx2", &StepAvx2, popcnt && __builtin_cpu_supports("avx2")});
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

StepKernel SelectedStepKernel() { return Selected().kernel; }

const char* SelectedStepKernelName() { return Selected().name; }

}  // namespace cellarium
