#include <algorithm>

#include "engine/cell_board.h"
#include "engine/live_hash.h"
#include "engine/step.h"

namespace cellarium {

StepCounts StepReference(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                         uint64_t* liveHash) {
    StepCounts counts;
    const uint8_t value = NewbornValue(newborn);
    s.liveCount = 0;
    t.ResetBounds();

    const int firstRow = std::max(s.bounds.top - 2, 1);
    const int lastRow = std::min(s.bounds.bottom + 2, s.height - 2);
    const int firstCol = std::max(s.bounds.left - 2, 1);
    const int lastCol = std::min(s.bounds.right + 2, s.width - 2);

    for (int y = firstRow; y <= lastRow; ++y) {
        for (int x = firstCol; x <= lastCol; ++x) {
            unsigned block = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) block = block << 1 | (s.At(x + dx, y + dy) != 0);
            const uint8_t old = s.At(x, y);
            if (old != 0) {
                if (rule.Next(block)) {
                    t.Set(x, y, old);
                    ++s.liveCount;
                } else {
                    t.Set(x, y, 0);
                    ++counts.deaths;
                }
                t.IncludeCell(Point{x, y});
            } else if (rule.Next(block)) {
                t.Set(x, y, value);
                ++counts.births;
                ++s.liveCount;
                t.IncludeCell(Point{x, y});
            } else {
                t.Set(x, y, 0);
            }
        }
    }
    t.liveCount = s.liveCount;
    if (liveHash != nullptr) *liveHash = LiveCellHash(t);
    return counts;
}

}  // namespace cellarium
