#include "engine/soup.h"

#include "engine/cell_board.h"

namespace cellarium {
namespace {

// splitmix64: tiny, fast and the same on every platform.
uint64_t Next(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

void FillSoup(CellBoard& board, double density, uint64_t seed) {
    uint64_t state = seed;
    // Compare 53-bit uniform values against the density, exact at 0 and 1.
    const double scale = 1.0 / 9007199254740992.0;
    int32_t live = 0;
    board.Clear();
    for (int y = 1; y < board.height - 1; ++y)
        for (int x = 1; x < board.width - 1; ++x) {
            double r = double(Next(state) >> 11) * scale;
            if (r < density) {
                board.At(x, y) = 1;
                ++live;
            }
        }
    board.liveCount = live;
    board.SetWholeBounds();
}

}  // namespace cellarium
