// Stop when the pattern repeats: the document's watch over a run for the
// first generation whose live cells equal those of an earlier one.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/cycle_detector.h"

namespace cellarium {

class RepeatWatch {
public:
    // The next Add starts a new run.
    void Restart() {
        detector_.reset();
        found_.reset();
    }
    // Whether the last board taken was the counter's generation, with no
    // change since (edits as then) and the run's rule still in force.
    bool Follows(int64_t generation, uint64_t edits, const Rule& rule) const;
    // Starts a run from board, the counter's generation, with its live hash;
    // edits: the document's count of changes now.
    void Begin(const CellBoard& board, int64_t generation, uint64_t liveHash, const Rule& rule,
               uint64_t edits);
    // Takes the next generation's board with its live hash; returns the
    // repeat, numbered as the counter is, once its live cells equal an
    // earlier generation's of the run.
    std::optional<Cycle> Next(const CellBoard& board, uint64_t liveHash);
    // The repeat the last Next found.
    const std::optional<Cycle>& Found() const { return found_; }

private:
    std::optional<CycleDetector> detector_;
    int64_t base_ = 0;  // the counter's value for the run's first board
    int64_t last_ = 0;  // and for the last board taken
    uint64_t edits_ = 0;
    Rule rule_;
    std::optional<Cycle> found_;
};

}  // namespace cellarium
