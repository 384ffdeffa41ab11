#include "engine/cycle_detector.h"

#include <algorithm>
#include <vector>

#include "engine/live_hash.h"

namespace cellarium {

CycleDetector::CycleDetector(const Rule& rule, std::size_t historyBudget)
    : history_(rule, historyBudget) {}

std::optional<Cycle> CycleDetector::Add(const CellBoard& board) {
    return Add(board, LiveCellHash(board));
}

std::optional<Cycle> CycleDetector::Add(const CellBoard& board, uint64_t liveHash) {
    const int64_t g = history_.Generations();
    std::optional<Cycle> found;
    auto [first, last] = seen_.equal_range(liveHash);
    if (first != last) {
        std::vector<int64_t> candidates;
        for (auto it = first; it != last; ++it) candidates.push_back(it->second);
        std::sort(candidates.begin(), candidates.end());
        PackLiveCells(board, current_);
        for (int64_t s : candidates) {
            if (history_.LiveCellsAt(s, earlier_) && earlier_ == current_) {
                found = Cycle{s, g - s};
                break;
            }
        }
    }
    history_.Add(board);
    seen_.emplace(liveHash, g);
    return found;
}

}  // namespace cellarium
