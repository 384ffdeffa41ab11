#include "engine/soup.h"

#include <cmath>

#include "engine/cell_board.h"

namespace cellarium {
namespace {

constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ull;

// splitmix64's output for the state after `state` was advanced: tiny, fast
// and the same on every platform.
inline uint64_t Mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A cell is live when the top 53 bits of its random number, u, as the
// fraction u / 2^53, fall below the density: u < density * 2^53 (exact, a
// power of two only moves the exponent), so u below the threshold returned.
uint64_t Threshold(double density) {
    const double limit = 9007199254740992.0;  // 2^53
    if (!(density > 0)) return 0;             // NaN too
    if (density >= 1) return uint64_t(limit);
    return uint64_t(std::ceil(density * limit));
}

}  // namespace

void FillSoup(CellBoard& board, double density, uint64_t seed) {
    const uint64_t threshold = Threshold(density);
    board.Clear();
    // Cell i of the interior (in rows, top first) takes splitmix64's i-th
    // number from the seed; the state after i + 1 advances is a product, so
    // every cell is computed on its own and the loop carries no dependency.
    uint64_t state = seed;
    int64_t live = 0;
    const int inner = board.width - 2;
    for (int y = 1; y < board.height - 1; ++y) {
        uint8_t* row = board.EditCells() + std::size_t(y) * std::size_t(board.width) + 1;
        for (int x = 0; x < inner; ++x) {
            const uint8_t cell = (Mix(state + uint64_t(x + 1) * kGolden) >> 11) < threshold;
            row[x] = cell;
            live += cell;
        }
        state += uint64_t(inner) * kGolden;
    }
    board.liveCount = int32_t(live);
    board.SetWholeBounds();
}

void FillSoupPerCell(CellBoard& board, double density, uint64_t state) {
    board.Clear();
    int32_t live = 0;
    for (int y = 1; y < board.height - 1; ++y)
        for (int x = 1; x < board.width - 1; ++x) {
            uint64_t z = (state += 0x9E3779B97F4A7C15ull);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            z ^= z >> 31;
            if (double(z >> 11) * (1.0 / 9007199254740992.0) < density) {
                board.Set(x, y, 1);
                ++live;
            }
        }
    board.liveCount = live;
    board.SetWholeBounds();
}

}  // namespace cellarium
