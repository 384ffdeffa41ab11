// A repeat of live cells: generation G = start + period has the live cells
// of generation start.
#pragma once

#include <cstdint>

namespace cellarium {

struct Cycle {
    int64_t start = 0;   // S: the earlier generation with the same live cells
    int64_t period = 0;  // P = G - S
    friend bool operator==(const Cycle&, const Cycle&) = default;
};

}  // namespace cellarium
