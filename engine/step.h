// The generation step. A step reads the source board and the rule,
// writes the target's cells inside the window (the source's bounds grown by
// two cells on every side, clipped to the interior), the target's bounds
// (every interior cell live in either generation) and both boards' live
// counts, and reports births and deaths. Cells outside the window, the border
// among them, are never written; the scratch board is never cleared.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/rule.h"

namespace cellarium {

class CellBoard;

struct StepCounts {
    int32_t births = 0;
    int32_t deaths = 0;
};

// Every kernel has this one signature. When liveHash is not null the kernel
// also stores there LiveCellHash (engine/live_hash.h) of the target after the
// step: computed within the step where the kernel has the cells' liveness at
// hand, by a pass over the target otherwise.
using StepKernel = StepCounts (*)(CellBoard& source, CellBoard& target, int newborn,
                                  const Rule& rule, uint64_t* liveHash);

// The plain reading of the step: visit the window, look each cell's 3 x 3
// block up in the rule's table. Kept as the oracle the fast kernels are held to.
StepCounts StepReference(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                         uint64_t* liveHash = nullptr);

// Every kernel built into the program, fastest first and the reference last;
// `supported` tells whether this CPU can run it. All give identical results.
struct StepKernelInfo {
    // "bytes_*" kernels step the cells' bytes, "bits_*" ones bit planes made
    // from them; the part after the underscore is the instruction set.
    const char* name;  // "bits_avx512", "bytes_avx512", "bytes_portable", "reference", ...
    StepKernel kernel;
    bool supported;
    bool hashInStep;  // the kernel hashes within the step, where that costs less
};
const std::vector<StepKernelInfo>& StepKernels();

// The kernel ComputeNext uses, chosen once for this CPU: the first supported
// one, or the one named by the environment variable CELLARIUM_STEP_KERNEL when
// this CPU supports it (for measurements and tests).
StepKernel SelectedStepKernel();
// The kernel ComputeNext uses when asked for the live hash: the fastest
// supported one computing it within the step (or the one
// CELLARIUM_STEP_KERNEL names).
StepKernel SelectedStepHashKernel();
const char* SelectedStepKernelName();

// The step for any rule, a cell's whole block looked up in the rule's table:
// vectors where the CPU has the instructions, otherwise cell by cell. The
// other kernels are built for totalistic rules and hand any other rule here.
StepCounts StepTable(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                     uint64_t* liveHash);

// The program's setting for the threads a step may use on large windows, the
// calling thread included: at least 1, by default the machine's cores. With 1
// every step runs whole on the calling thread. The result of a step is the
// same for any number. Pools that follow the setting take it from their next
// step.
void SetStepThreads(int threads);
int StepThreads();

// Step threads of their own: the workers that step bands of a large window,
// made at a pool's first threaded step (and again when its number changes),
// then kept. A pool steps one board at a time (a second step waits for the
// one under way); steps on different pools run at the same time. Every step
// runs on the pool of the innermost StepPoolScope of the calling thread, or,
// outside any, on the program's own pool.
class StepPool {
public:
    // threads: 1 or more, or 0 to follow the program's setting.
    explicit StepPool(int threads = 0);
    ~StepPool();
    StepPool(const StepPool&) = delete;
    StepPool& operator=(const StepPool&) = delete;

    void SetThreads(int threads);
    // The threads its next step may use.
    int Threads() const;

    // The workers themselves, for the kernels' band stepping (step_threads.cpp).
    class Bands;
    Bands& Workers() { return *bands_; }

private:
    std::unique_ptr<Bands> bands_;
    std::atomic<int> threads_{0};
};

// While it lives, the steps this thread makes run on `pool`.
class StepPoolScope {
public:
    explicit StepPoolScope(StepPool& pool);
    ~StepPoolScope();
    StepPoolScope(const StepPoolScope&) = delete;
    StepPoolScope& operator=(const StepPoolScope&) = delete;

private:
    StepPool* previous_;
};

// The newborn value a caller's integer stands for: its low 8 bits, 0 becoming 1.
inline uint8_t NewbornValue(int newborn) {
    uint8_t v = static_cast<uint8_t>(newborn & 0xFF);
    return v == 0 ? 1 : v;
}

}  // namespace cellarium
