// Recognises the first generation of a run whose live cells (colour values
// aside) equal those of an earlier generation. It is fed one 64-bit hash of
// the live cells per generation; a hash that matches an earlier one is
// confirmed exactly, by recovering that generation's live cells and comparing
// them with the board's, so a hash collision never reports a cycle.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>

#include "engine/cycle.h"
#include "engine/run_history.h"
#include "engine/step.h"

namespace cellarium {

class CellBoard;

class CycleDetector {
public:
    // The rule the run steps with; a run whose rule changes needs a new detector.
    explicit CycleDetector(const Rule& rule,
                           std::size_t historyBudget = RunHistory::kDefaultBudget);

    // Takes the board of the run's next generation G = Generations() (the first
    // call: the generation the run starts from, 0) with its LiveCellHash.
    // Returns the cycle when G's live cells equal those of an earlier
    // generation. The hash is taken as given, so a caller (or a test) may hand
    // any value: a wrong one can only hide a cycle, never invent one.
    std::optional<Cycle> Add(const CellBoard& board, uint64_t liveHash);
    std::optional<Cycle> Add(const CellBoard& board);

    int64_t Generations() const { return history_.Generations(); }

private:
    RunHistory history_;
    std::unordered_multimap<uint64_t, int64_t> seen_;
    LiveCells current_, earlier_;
};

}  // namespace cellarium
