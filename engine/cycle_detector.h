// Recognises the first generation of a run whose live cells (colour values
// aside) equal those of an earlier generation. It is fed one 64-bit hash of
// the live cells per generation; a hash that matches an earlier one is
// confirmed exactly, by recovering that generation's live cells and comparing
// them with the board's, so a hash collision never reports a cycle.
//
// Its memory is bounded however long the run: the hashes of the latest
// `recent` generations are all kept, so a cycle whose period is shorter is
// found at its first repeat exactly; older generations are kept as a few
// checkpoints at growing strides, so a longer period is found a little later,
// and its first generation and period are then worked out exactly from the
// run's history. What is reported is always the first repeat.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/cycle.h"
#include "engine/run_history.h"
#include "engine/step.h"

namespace cellarium {

class CellBoard;

class CycleDetector {
public:
    static constexpr int64_t kDefaultRecent = int64_t(1) << 18;

    // The rule the run steps with; a run whose rule changes needs a new detector.
    explicit CycleDetector(const Rule& rule, std::size_t historyBudget = RunHistory::kDefaultBudget,
                           int64_t recent = kDefaultRecent);

    // Takes the board of the run's next generation G = Generations() (the first
    // call: the generation the run starts from, 0) with its LiveCellHash.
    // Returns the run's first repeat, the earliest generation S whose live
    // cells equal a later one's with the least period P, once it is known
    // (at G = S + P when P < recent, later otherwise). The hash is taken as
    // given, so a caller (or a test) may hand any value: a wrong one can only
    // hide a cycle, never invent one.
    std::optional<Cycle> Add(const CellBoard& board, uint64_t liveHash);
    std::optional<Cycle> Add(const CellBoard& board);

    int64_t Generations() const { return history_.Generations(); }
    // The bytes the hashes take (the history's snapshots aside).
    std::size_t HashBytes() const;

private:
    struct Slot {
        uint64_t hash = 0;
        int64_t generation = -1;  // -1: empty
        int64_t next = -1;        // the generation before it in its bucket
    };
    struct Checkpoint {
        int64_t generation;
        uint64_t hash;
    };
    // Whether generation s (< the one being added) has the live cells of current_.
    bool SameAsCurrent(int64_t s);
    // Whether generations a and b (at most the one being added) have the same
    // live cells.
    bool Same(int64_t a, int64_t b);
    // The first repeat, given that generation g repeats the earlier c.
    Cycle FirstRepeat(int64_t c, int64_t g);
    void Insert(int64_t g, uint64_t hash);
    void Grow();

    RunHistory history_;
    int64_t recent_;
    std::vector<Slot> ring_;      // generation g at g & (size - 1)
    std::vector<int64_t> heads_;  // newest generation of each bucket
    std::vector<Checkpoint> checkpoints_;
    int64_t stride_ = 1;
    int64_t adding_ = 0;  // the generation Add is taking
    LiveCells current_, earlier_, later_;
    std::vector<int64_t> candidates_;
};

}  // namespace cellarium
