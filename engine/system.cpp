#include "engine/system.h"

#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#endif

namespace cellarium {

void* AllocateBlock(std::size_t bytes, bool zeroed) {
#if defined(__linux__)
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    if (bytes >= kHugePage / 4) {
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* p = nullptr;
        if (posix_memalign(&p, kHugePage, rounded) != 0) return nullptr;
        // Touched first on small pages, then offered to the system to merge
        // into huge ones in its own time: asked for before the first touch,
        // each fault may stop the caller while the system gathers a huge
        // page (on a virtual machine it clears fresh memory at a fraction of
        // the speed of memory it has used), and a run's start waits for it.
        if (zeroed) {
            std::memset(p, 0, bytes);
            madvise(p, rounded, MADV_HUGEPAGE);
        }
        return p;
    }
#endif
    return zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
}

void KeepThreadToProcessor(int index, int threads) {
#if defined(__linux__)
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
    const int count = CPU_COUNT(&allowed);
    if (count < 2 || threads > count) return;
    int wanted = index % count;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (!CPU_ISSET(cpu, &allowed)) continue;
        if (wanted-- == 0) {
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(cpu, &one);
            pthread_setaffinity_np(pthread_self(), sizeof one, &one);
            return;
        }
    }
#else
    (void)index;
    (void)threads;
#endif
}

}  // namespace cellarium
