// What the engine asks of the operating system beyond the standard library:
// memory on huge pages and keeping a thread to one processor. Everything
// that differs between systems lives in engine/system.cpp; elsewhere these
// are plain calls that do what the system allows and nothing where it
// offers nothing.
#pragma once

#include <cstddef>

namespace cellarium {

// Memory for `bytes` bytes (all 0 when `zeroed`), freed with std::free; null
// when there is none. Blocks of a quarter of a huge page and more are put on
// huge pages where the system offers them on request: the system makes a
// huge page in one fault where small pages take one each (bench/undo_benchmark
// and the runner's start show what that saves). Smaller blocks take calloc's
// zeroed pages, touched only when used.
void* AllocateBlock(std::size_t bytes, bool zeroed);

// Keeps the calling thread, worker `index` of `threads`, to the index-th of
// the processors this process may use. Does nothing where there are more
// threads than processors, fewer than two processors, or no way to ask.
void KeepThreadToProcessor(int index, int threads);

}  // namespace cellarium
