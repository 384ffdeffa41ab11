#include "engine/run_session.h"

#include <utility>

#include "engine/cell_board.h"
#include "engine/cycle_detector.h"
#include "engine/live_hash.h"

namespace cellarium {

RunSession::RunSession() = default;

RunSession::~RunSession() = default;

bool RunSession::MakeBoards(int width, int height) {
    ReleaseBoards();
    std::unique_ptr<CellBoard> current = CellBoard::Create(width, height);
    std::unique_ptr<CellBoard> scratch = current ? CellBoard::Create(width, height) : nullptr;
    if (!current || !scratch) return false;
    AdoptBoards(std::move(current), std::move(scratch));
    return true;
}

void RunSession::AdoptBoards(std::unique_ptr<CellBoard> current,
                             std::unique_ptr<CellBoard> scratch) {
    current_ = std::move(current);
    scratch_ = std::move(scratch);
    generation_ = 0;
    births_ = deaths_ = 0;
    stepHash_.reset();
    found_.reset();
    watchFollows_ = false;
}

void RunSession::ReleaseBoards() {
    current_.reset();
    scratch_.reset();
    detector_.reset();
    found_.reset();
    stepHash_.reset();
    watchFollows_ = false;
}

void RunSession::SetRule(const cellarium::Rule& rule) {
    if (rule == rule_) return;
    rule_ = rule;
    watchFollows_ = false;
}

void RunSession::SetGeneration(int64_t generation) {
    if (generation != generation_) watchFollows_ = false;
    generation_ = generation;
}

void RunSession::SetLastCounts(int32_t births, int32_t deaths) {
    births_ = births;
    deaths_ = deaths;
}

void RunSession::WatchRepeats(bool on) {
    if (on != watching_) watchFollows_ = false;
    watching_ = on;
    if (!on) {
        detector_.reset();
        found_.reset();
    }
}

StepCounts RunSession::Step() {
    if (!HasBoards()) {
        births_ = deaths_ = 0;
        return StepCounts{};
    }
    static const StepKernel kernel = SelectedStepKernel();
    static const StepKernel hashed = SelectedStepHashKernel();
    const cellarium::Rule& rule = rule_;
    // A watch's first board, or one changed since the last step, starts the
    // watch again from the board as it is.
    if (watching_ && !watchFollows_) {
        detector_ = std::make_unique<CycleDetector>(rule);
        watchBase_ = generation_;
        detector_->Add(*current_, LiveCellHash(*current_));
        watchFollows_ = true;
    }
    const int newborn = int(uint64_t(generation_) & 0xFFu) + 1;
    StepPoolScope threads(pool_);
    StepCounts counts;
    if (watching_ || hashSteps_) {
        uint64_t hash = 0;
        counts = hashed(*current_, *scratch_, newborn, rule, &hash);
        stepHash_ = hash;
    } else {
        counts = kernel(*current_, *scratch_, newborn, rule, nullptr);
        stepHash_.reset();
    }
    std::swap(current_, scratch_);
    ++generation_;
    births_ = counts.births;
    deaths_ = counts.deaths;
    found_.reset();
    if (watching_) {
        found_ = detector_->Add(*current_, *stepHash_);
        if (found_) found_->start += watchBase_;
    }
    return counts;
}

RunStop RunSession::Run(const RunLimits& limits, GenerationObserver* observer) {
    if (!HasBoards()) return RunStop::NoBoards;
    for (int64_t made = 1;; ++made) {
        const StepCounts counts = Step();
        if (observer != nullptr)
            observer->GenerationDone(
                GenerationRecord{generation_, current_->liveCount, counts.births, counts.deaths});
        if (limits.stopAtStagnation && counts.births == 0 && counts.deaths == 0)
            return RunStop::Stagnation;
        if (found_) return RunStop::Repeat;
        if (limits.target != 0 && generation_ == limits.target) return RunStop::Target;
        if (made >= limits.generations) return RunStop::Count;
        if (limits.cancelled && limits.cancelled()) return RunStop::Cancelled;
        if (limits.PastDeadline()) return RunStop::Deadline;
    }
}

}  // namespace cellarium
