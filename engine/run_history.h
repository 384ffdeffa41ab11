// The live cells of every generation of a run, kept so that any earlier
// generation can be had again exactly: a bounded number of packed snapshots,
// thinned as the run grows, and the step from the nearest one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/rule.h"
#include "engine/step.h"

namespace cellarium {

class CellBoard;

// A board's live cells, one bit each: ceil(width / 64) words a row, bit b of
// word k of row y set iff cell (64k + b, y) is nonzero. The border is included.
struct LiveCells {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint64_t> words;

    std::size_t RowWords() const { return (std::size_t(width) + 63) / 64; }
    bool Live(int x, int y) const {
        return (words[std::size_t(y) * RowWords() + std::size_t(x) / 64] >> (x % 64)) & 1u;
    }
    friend bool operator==(const LiveCells&, const LiveCells&) = default;
};

void PackLiveCells(const CellBoard& board, LiveCells& out);

class RunHistory {
public:
    // Snapshots together take at most about budgetBytes (at least two are kept).
    static constexpr std::size_t kDefaultBudget = std::size_t(64) << 20;
    explicit RunHistory(const Rule& rule, std::size_t budgetBytes = kDefaultBudget);
    ~RunHistory();

    // Records the board of generation Generations(); the first call records
    // generation 0. Every board of a run has the same size.
    void Add(const CellBoard& board);
    int64_t Generations() const { return count_; }

    // The live cells of generation g (0 <= g < Generations()), stepped under the
    // rule from the nearest snapshot at or before it. False only when no board
    // to step on could be allocated.
    bool LiveCellsAt(int64_t g, LiveCells& out);

private:
    struct Snapshot {
        int64_t generation;
        LiveCells cells;
    };

    Rule rule_;  // a run keeps the rule it started with
    std::size_t budget_;
    std::size_t maxSnapshots_ = 0;
    int64_t interval_ = 1;
    int64_t count_ = 0;
    std::vector<Snapshot> snapshots_;
    std::vector<std::vector<uint64_t>> spare_;  // words of dropped snapshots
    std::unique_ptr<CellBoard> replay_[2];      // [0] holds generation replayed_
    int64_t replayed_ = -1;
};

}  // namespace cellarium
