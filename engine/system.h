// What the engine asks of the operating system beyond the standard library:
// memory on huge pages and keeping a thread to one processor. Everything
// that differs between systems lives in engine/system.cpp; elsewhere these
// are plain calls that do what the system allows and nothing where it
// offers nothing.
#pragma once

#include <cstddef>

namespace cellarium {

// Memory for `bytes` bytes (all 0 when `zeroed`), freed with std::free; null
// when there is none. Zeroed blocks of a quarter of a huge page and more
// are aligned to huge pages and, once cleared, left to the system to move
// onto huge pages where it offers them; clearing them never waits for the
// system to gather one (bench/run_benchmark's longest pass shows the run's
// start). Smaller blocks take calloc's zeroed pages, touched only when used.
void* AllocateBlock(std::size_t bytes, bool zeroed);

// Keeps the calling thread, worker `index` of `threads`, to the index-th of
// the processors this process may use. Does nothing where there are more
// threads than processors, fewer than two processors, or no way to ask.
void KeepThreadToProcessor(int index, int threads);

}  // namespace cellarium
