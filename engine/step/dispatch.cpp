// Chooses the step kernel once, for the CPU the program runs on.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/live_hash.h"
#include "engine/soup.h"
#include "engine/step.h"
#include "engine/step/kernels.h"

namespace cellarium {

std::size_t g_stepStreamingCells = kStreamingCells;

namespace {

// The order is by speed as bench/step_benchmark shows it (Soup800,
// Soup10000 and Strip10000x26: every kernel beside a memcpy of the board
// in one run): on 800 x 800 the byte kernels ahead of the bit-sliced ones of
// the same instruction set, the bit-sliced one ahead of the portable byte
// kernel. The bit-sliced kernels are the ones whose live hash costs least.
// All give identical results, so which one a step takes is only a matter of
// speed. The kernels on the boards' planes come after the byte and bit-sliced
// kernels of their instruction set, which were the faster on an AVX2 CPU
// (Run800, Run10000), and before the portable ones, which they beat:
// planes_64 is the kernel of a CPU without AVX2.
#if defined(CELLARIUM_STEP_X86)
// Where AVX-512 runs, the byte kernel is the faster at every size without
// the live hash: level with the bit-sliced one on some CPUs, ahead by a fifth
// (one thread) to a quarter (two) on others (ThreadedSoup4000 and
// ThreadedSoup10000). With AVX2 alone the bit-sliced kernel is the faster
// from this many cells on.
constexpr std::size_t kBitSlicedCells = std::size_t(64) << 20;

// The bit-sliced kernel that counts bits and shifts across words in single
// instructions, where the CPU has them (bits_avx512vp against bits_avx512 in
// Soup10000 and Strip10000x26).
bool CountsAndShiftsWords() {
    return __builtin_cpu_supports("avx512vpopcntdq") && __builtin_cpu_supports("avx512vbmi2");
}

StepKernel StreamingBits() {
    static const StepKernel kernel = CountsAndShiftsWords() ? &StepBitsAvx512Vp : &StepBitsAvx512;
    return kernel;
}

std::size_t WindowCells(const CellBoard& s) {
    const StepWindow win = WindowOf(s);
    return win.Empty() ? 0 : std::size_t(win.Rows()) * std::size_t(win.Columns());
}

// Windows up to this many cells keep both boards in the caches. There some
// CPUs that run AVX-512 (those that do a 512-bit operation as two halves)
// step faster with the AVX2 byte kernel, though bytes_avx512 stays the
// faster on larger windows (Run800 against ThreadedSoup4000 in
// bench/step_benchmark, which reports the kernel chosen here). Which kind
// of CPU this is, is measured once, on a soup that has run a while.
constexpr std::size_t kCacheWindowCells = std::size_t(2) << 20;

// The time of the fastest of several rounds of steps of a soup that has run
// a while, on a window small enough to stay on the calling thread.
double FastestRound(StepKernel kernel, CellBoard& a, CellBoard& b, const Rule& rule) {
    double best = 1e9;
    CellBoard* s = &a;
    CellBoard* t = &b;
    for (int round = 0; round < 7; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (int g = 0; g < 8; ++g) {
            kernel(*s, *t, g + 1, rule, nullptr);
            std::swap(s, t);
        }
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

StepKernel CacheWindowBytes() {
    static const StepKernel chosen = [] {
        StepKernel kernel = &StepBytesAvx512;
        auto a = CellBoard::CreateDetached(800, 80, {});
        auto b = CellBoard::CreateDetached(800, 80, {});
        if (!a || !b) return kernel;
        FillSoup(*a, 0.5, 1);
        b->CopyCellsFrom(*a);
        const Rule rule;
        for (int g = 0; g < 300; ++g) {
            StepBytesAvx512(*a, *b, g + 1, rule, nullptr);
            std::swap(a, b);
        }
        // Taken in turns, so that what else the machine does weighs on both.
        double avx512 = 1e9, avx2 = 1e9;
        for (int turn = 0; turn < 5; ++turn) {
            avx512 = std::min(avx512, FastestRound(&StepBytesAvx512, *a, *b, rule));
            avx2 = std::min(avx2, FastestRound(&StepBytesAvx2, *a, *b, rule));
        }
        if (avx2 < avx512) kernel = &StepBytesAvx2;
        return kernel;
    }();
    return chosen;
}

// Without the live hash, the byte kernel (see CacheWindowBytes for the
// windows that fit the caches). With it, while the window fits the
// caches the byte kernel and a pass over its target (in the caches still)
// cost less than the bit-sliced kernel's own hash; a streaming step hashes
// within the bit-sliced kernel, where it is almost free (the /hash rows of
// Soup800 and Soup10000).
StepCounts StepBytesThenBitsAvx512(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                                   uint64_t* liveHash) {
    const std::size_t cells = WindowCells(s);
    if (liveHash != nullptr && cells >= g_stepStreamingCells)
        return StreamingBits()(s, t, newborn, rule, liveHash);
    if (cells <= kCacheWindowCells) return CacheWindowBytes()(s, t, newborn, rule, liveHash);
    return StepBytesAvx512(s, t, newborn, rule, liveHash);
}

// With AVX2 the bit-sliced kernel's hash costs less than a pass over the
// byte kernel's target at every size, and without the hash the byte kernel
// is the faster until the window outgrows kBitSlicedCells: on one thread
// bytes_avx2 leads at 4000 x 4000 and bits_avx2 at 10000 x 10000
// (ThreadedSoup4000, ThreadedSoup10000, Run10000).
StepCounts StepBytesThenBitsAvx2(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                                 uint64_t* liveHash) {
    if (liveHash != nullptr || WindowCells(s) >= kBitSlicedCells)
        return StepBitsAvx2(s, t, newborn, rule, liveHash);
    return StepBytesAvx2(s, t, newborn, rule, liveHash);
}
#endif

}  // namespace

#if defined(CELLARIUM_STEP_X86)
const char* CacheWindowBytesName() {
    return CacheWindowBytes() == &StepBytesAvx2 ? "bytes_avx2" : "bytes_avx512";
}
#endif

namespace {

std::vector<StepKernelInfo> DetectKernels() {
    std::vector<StepKernelInfo> kernels;
#if defined(CELLARIUM_STEP_X86)
    // The checks include the operating system's support for the wider
    // registers, not just the instructions.
    __builtin_cpu_init();
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    const bool avx2 = __builtin_cpu_supports("avx2") != 0;
    const bool avx512dq = __builtin_cpu_supports("avx512dq") != 0;
    kernels.push_back({"bytes_bits_avx512", &StepBytesThenBitsAvx512, avx512 && avx512dq, true});
    kernels.push_back({"bytes_avx512", &StepBytesAvx512, avx512, false});
    const bool avx512vp = avx512 && avx512dq && CountsAndShiftsWords();
    kernels.push_back({"bits_avx512vp", &StepBitsAvx512Vp, avx512vp, true});
    kernels.push_back({"bits_avx512", &StepBitsAvx512, avx512 && avx512dq, true});
    kernels.push_back({"bytes_bits_avx2", &StepBytesThenBitsAvx2, avx2, true});
    kernels.push_back({"bytes_avx2", &StepBytesAvx2, avx2, false});
    kernels.push_back({"bits_avx2", &StepBitsAvx2, avx2, true});
    kernels.push_back({"planes_avx512vp", &StepPlanesAvx512Vp, avx512vp, true});
    kernels.push_back({"planes_avx512", &StepPlanesAvx512, avx512 && avx512dq, true});
    kernels.push_back({"planes_avx2", &StepPlanesAvx2, avx2, true});
#endif
    kernels.push_back({"planes_64", &StepPlanes64, true, true});
    kernels.push_back({"bits_64", &StepBits64, true, true});
    kernels.push_back({"bytes_portable", &StepBytesPortable, true, false});
#if defined(CELLARIUM_STEP_X86)
    kernels.push_back({"table_avx512vbmi", &StepTableVbmi, TableVbmiSupported(), false});
#endif
    kernels.push_back({"table_scalar", &StepTableScalar, true, false});
    kernels.push_back({"reference", &StepReference, true, false});
    return kernels;
}

const StepKernelInfo& Selected() {
    static const StepKernelInfo chosen = [] {
        const std::vector<StepKernelInfo>& kernels = StepKernels();
        const char* wanted = std::getenv("CELLARIUM_STEP_KERNEL");
        if (wanted != nullptr) {
            for (const StepKernelInfo& k : kernels)
                if (k.supported && std::strcmp(k.name, wanted) == 0) return k;
        }
        const StepKernelInfo* fastest = &kernels.back();
        for (const StepKernelInfo& k : kernels)
            if (k.supported) {
                fastest = &k;
                break;
            }
        // A measurement that asked for a kernel must not quietly time another.
        if (wanted != nullptr)
            std::fprintf(stderr,
                         "CELLARIUM_STEP_KERNEL=%s: this CPU has no step kernel of that name; "
                         "using %s\n",
                         wanted, fastest->name);
        return *fastest;
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

StepKernel SelectedStepHashKernel() {
    static const StepKernel chosen = [] {
        if (std::getenv("CELLARIUM_STEP_KERNEL") != nullptr) return Selected().kernel;
        for (const StepKernelInfo& k : StepKernels())
            if (k.supported && k.hashInStep) return k.kernel;
        return Selected().kernel;
    }();
    return chosen;
}

const char* SelectedStepKernelName() {
    return Selected().name;
}

StepBand PlanesBandOf(const StepKernelInfo& kernel) {
    struct Named {
        const char* name;
        StepBand (*band)();
    };
    const Named bands[] = {
#if defined(CELLARIUM_STEP_X86)
        {"planes_avx512vp", &PlanesBandAvx512Vp},
        {"planes_avx512", &PlanesBandAvx512},
        {"planes_avx2", &PlanesBandAvx2},
#endif
        {"planes_64", &PlanesBand64},
    };
    if (!kernel.supported) return nullptr;
    for (const Named& b : bands)
        if (std::strcmp(kernel.name, b.name) == 0) return b.band();
    return nullptr;
}

StepBand SelectedPlanesBand() {
    static const StepBand chosen = [] {
        // A measurement or test that names a kernel gets that kernel's band,
        // and none when it names one that does not step the planes.
        const bool named = std::getenv("CELLARIUM_STEP_KERNEL") != nullptr;
        for (const StepKernelInfo& k : StepKernels()) {
            if (named && k.kernel != Selected().kernel) continue;
            if (const StepBand band = PlanesBandOf(k)) return band;
        }
        return StepBand(nullptr);
    }();
    return chosen;
}

}  // namespace cellarium
