#include "document/repeat_watch.h"

namespace cellarium {

bool RepeatWatch::Follows(int64_t generation, uint64_t edits, const Rule& rule) const {
    return detector_ && last_ == generation && edits_ == edits && rule_ == rule;
}

void RepeatWatch::Begin(const CellBoard& board, int64_t generation, uint64_t liveHash,
                        const Rule& rule, uint64_t edits) {
    detector_.emplace(rule);
    rule_ = rule;
    base_ = generation;
    last_ = generation;
    edits_ = edits;
    found_ = detector_->Add(board, liveHash);
}

std::optional<Cycle> RepeatWatch::Next(const CellBoard& board, uint64_t liveHash) {
    found_.reset();
    if (!detector_) return found_;
    ++last_;
    found_ = detector_->Add(board, liveHash);
    if (found_) found_->start += base_;
    return found_;
}

}  // namespace cellarium
