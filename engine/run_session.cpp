#include "engine/run_session.h"

#include <algorithm>
#include <new>
#include <utility>

#include "engine/birth_log.h"
#include "engine/cell_board.h"
#include "engine/cycle_detector.h"
#include "engine/cycle_jump.h"
#include "engine/live_hash.h"

namespace cellarium {
namespace {

// A run with fewer generations to go does not start watching for a cycle to
// jump through.
constexpr int64_t kJumpWatchMinimum = 16;
// Periods longer than this are stepped: the jump keeps a record a generation.
constexpr int64_t kMaxJumpPeriod = int64_t(1) << 20;
// The jump's watch: its first burst, and its longest, which finds every
// period the jump takes.
constexpr int64_t kFirstProbe = 64;
constexpr int64_t kLongestProbe = 2 * kMaxJumpPeriod;
// After a burst the counts asked for finds nothing (a glider in flight
// repeats its counts, not its cells), the next waits this long, twice as
// long each time up to the last.
constexpr int64_t kFirstQuiet = 256;
constexpr int64_t kLongestQuiet = int64_t(1) << 16;
constexpr std::size_t kCountWindows = std::size_t(1) << 14;
// Runs of fewer generations write the bytes every step: bringing them up to
// date at the end costs about as much as a step that writes them.
constexpr int64_t kPlanesOnlyMinimum = 4;

uint64_t Mix(uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    return x ^ (x >> 33);
}

}  // namespace

void GenerationObserver::GenerationsRepeated(const std::vector<GenerationRecord>& byPhase,
                                             int64_t first, int64_t count) {
    const int64_t period = int64_t(byPhase.size());
    for (int64_t h = first; h < first + count; ++h) {
        GenerationRecord record = byPhase[std::size_t(h % period)];
        record.generation = h;
        GenerationDone(record);
    }
}

RunSession::RunSession() : log_(std::make_unique<BirthLog>()) {}

RunSession::~RunSession() {
    log_->CatchUp();
}

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
    // The log's planes are kept from one run to the next; with the boards
    // they go too.
    log_->CatchUp();
    log_->Trim();
    current_.reset();
    scratch_.reset();
    watchFollows_ = false;
    Follow();
    stepHash_.reset();
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
    if (on && !watching_) RestartRepeatWatch();
    watching_ = on;
    if (!on) found_.reset();
}

void RunSession::RestartRepeatWatch() {
    origin_ = generation_;
    found_.reset();
}

void RunSession::Follow() {
    if (watchFollows_) return;
    detector_.reset();
    known_.reset();
    found_.reset();
    jump_.reset();
    byPhase_.clear();
    origin_ = generation_;
    probeStart_ = generation_;
    probeLength_ = kFirstProbe;
    triggerEnd_ = 0;
    quietUntil_ = 0;
    quietFor_ = kFirstQuiet;
    countsSeen_ = 0;
    countWindows_.clear();
    watchFollows_ = true;
}

StepCounts RunSession::StepOnce(bool watchForJump) {
    if (!HasBoards()) {
        births_ = deaths_ = 0;
        return StepCounts{};
    }
    static const StepKernel kernel = SelectedStepKernel();
    static const StepKernel hashed = SelectedStepHashKernel();
    const cellarium::Rule& rule = rule_;
    Follow();
    // The detector sees every generation from its first board on, or none:
    // one that missed a generation is of no use.
    bool probing = false;
    if (watchForJump && !watching_ && !known_) {
        if (generation_ >= probeStart_ + probeLength_) {
            // A burst without a repeat: the next, longer one after a gap.
            probeStart_ = generation_ + 15 * probeLength_;
            probeLength_ = std::min(2 * probeLength_, kLongestProbe);
        }
        probing = generation_ >= probeStart_ || generation_ < triggerEnd_;
    }
    const bool detect = (watching_ || probing) && !known_;
    if (!detect) {
        detector_.reset();
    } else if (!detector_) {
        detector_ = std::make_unique<CycleDetector>(rule);
        watchBase_ = generation_;
        detector_->Add(*current_, LiveCellHash(*current_));
    }
    const int newborn = int(uint64_t(generation_) & 0xFFu) + 1;
    StepPoolScope threads(pool_);
    StepCounts counts;
    const bool planes = planesOnly_ && log_->CanStep(*current_, *scratch_, rule);
    if (detect || hashSteps_) {
        uint64_t hash = 0;
        counts = planes ? log_->Step(*current_, *scratch_, newborn, rule, &hash)
                        : hashed(*current_, *scratch_, newborn, rule, &hash);
        stepHash_ = hash;
    } else {
        counts = planes ? log_->Step(*current_, *scratch_, newborn, rule, nullptr)
                        : kernel(*current_, *scratch_, newborn, rule, nullptr);
        stepHash_.reset();
    }
    std::swap(current_, scratch_);
    ++generation_;
    births_ = counts.births;
    deaths_ = counts.deaths;
    if (detector_) {
        if (std::optional<Cycle> cycle = detector_->Add(*current_, *stepHash_)) {
            known_ = Cycle{cycle->start + watchBase_, cycle->period};
            detector_.reset();
            // From here on the cycle is followed for the jump instead.
            if (known_->period <= kMaxJumpPeriod) {
                jump_ = std::make_unique<CycleJump>();
                try {
                    byPhase_.assign(std::size_t(known_->period), GenerationRecord{});
                } catch (const std::bad_alloc&) {
                    jump_.reset();
                }
                if (jump_ && !jump_->Begin(*current_, known_->period, generation_)) jump_.reset();
            }
        }
    } else if (jump_) {
        jump_->Stepped(*current_, *scratch_, generation_);
    }
    if (watchForJump && !watching_ && !known_) NoteCounts();
    if (jump_)
        byPhase_[std::size_t(generation_ % known_->period)] =
            GenerationRecord{generation_, current_->liveCount, births_, deaths_};
    found_.reset();
    if (watching_ && known_ && generation_ >= std::max(origin_, known_->start) + known_->period)
        found_ = Cycle{generation_ - known_->period, known_->period};
    return counts;
}

void RunSession::NoteCounts() {
    recentCounts_[std::size_t(countsSeen_ % 8)] =
        (uint64_t(uint32_t(current_->liveCount)) << 32) ^ (uint64_t(uint32_t(births_)) << 16) ^
        uint64_t(uint32_t(deaths_)) * 0x9E3779B97F4A7C15ULL;
    ++countsSeen_;
    if (countsSeen_ < 8) return;
    uint64_t signature = 0;
    for (int64_t k = countsSeen_ - 8; k < countsSeen_; ++k)
        signature = Mix(signature ^ recentCounts_[std::size_t(k % 8)]);
    if (countWindows_.empty()) {
        try {
            countWindows_.assign(kCountWindows, {0, -1});
        } catch (const std::bad_alloc&) {
            return;  // the scheduled bursts alone, then
        }
    }
    std::pair<uint64_t, int64_t>& slot = countWindows_[signature & (kCountWindows - 1)];
    const int64_t period = generation_ - slot.second;
    if (slot.second >= 0 && slot.first == signature && period <= kMaxJumpPeriod &&
        generation_ >= quietUntil_ && generation_ >= triggerEnd_) {
        triggerEnd_ = generation_ + 2 * period + kFirstProbe;
        quietUntil_ = triggerEnd_ + quietFor_;
        quietFor_ = std::min(2 * quietFor_, kLongestQuiet);
    }
    slot = {signature, generation_};
}

int64_t RunSession::PeriodsToJump(const RunLimits& limits, int64_t made) const {
    if (!limits.jump || watching_ || !jump_ || !watchFollows_ || !jump_->Ready(generation_))
        return 0;
    const int64_t period = jump_->Period();
    // A still board stops a run that stops at stagnation on its next step.
    if (period == 1 && limits.stopAtStagnation) return 0;
    int64_t left = std::max<int64_t>(limits.generations - made, 0);
    if (limits.target != 0)
        left = std::min(left, std::max<int64_t>(limits.target - generation_, 0));
    return left / period;
}

int64_t RunSession::Jump(int64_t periods, const RunLimits& limits, GenerationObserver* observer) {
    const int64_t period = jump_->Period();
    int64_t done = 0;
    // Pieces that double, so the observer's work for a long jump can be
    // stopped by the deadline or the caller without costing a check each;
    // one piece when that work does not grow with the generations.
    const bool bulk = observer != nullptr && observer->RepeatsInBulk();
    for (int64_t piece = bulk ? periods : 1; done < periods; piece *= 2) {
        const int64_t n = std::min(piece, periods - done);
        if (observer != nullptr)
            observer->GenerationsRepeated(byPhase_, generation_ + done * period + 1, n * period);
        done += n;
        if (done == periods) break;
        if (limits.cancelled && limits.cancelled()) break;
        if (limits.PastDeadline()) break;
        if (piece > (int64_t(1) << 40)) piece = int64_t(1) << 40;
    }
    const int64_t generations = done * period;
    jump_->Shift(*current_, generations);
    generation_ += generations;
    return generations;
}

RunStop RunSession::Run(const RunLimits& limits, GenerationObserver* observer) {
    if (!HasBoards()) return RunStop::NoBoards;
    // A run with a deadline is the window's, which shows every board it
    // hands back; its steps write the bytes.
    struct PlanesOnly {
        RunSession& session;
        ~PlanesOnly() {
            session.planesOnly_ = false;
            session.log_->CatchUp();
        }
    } planesOnly{*this};
    // Memory the log has not had yet costs its first touch, about what
    // writing the bytes of a few steps costs: a run that needs it first is
    // to be twice as long as the log.
    const int64_t fewest =
        log_->Ready(*current_)
            ? kPlanesOnlyMinimum
            : std::max<int64_t>(kPlanesOnlyMinimum, 2 * int64_t(log_->StepsFor(*current_)));
    const bool manySteps = limits.generations >= fewest &&
                           (limits.target == 0 || limits.target - generation_ >= fewest);
    planesOnly_ = !limits.deadline && manySteps && current_->CellCount() >= planesOnlyFromCells_;
    for (int64_t made = 0;;) {
        if (const int64_t periods = PeriodsToJump(limits, made); periods > 0) {
            made += Jump(periods, limits, observer);
            if (limits.target != 0 && generation_ == limits.target) return RunStop::Target;
            if (made >= limits.generations) return RunStop::Count;
            if (limits.cancelled && limits.cancelled()) return RunStop::Cancelled;
            if (limits.PastDeadline()) return RunStop::Deadline;
            continue;
        }
        int64_t left = limits.generations - made;
        if (limits.target != 0 && limits.target > generation_)
            left = std::min(left, limits.target - generation_);
        const StepCounts counts = StepOnce(limits.jump && left >= kJumpWatchMinimum);
        ++made;
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
