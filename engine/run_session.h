// A run session: one board pair (the current board and the scratch board the
// step writes, exchanged after every step), the rule they are stepped under,
// the generation counter with the last step's births and deaths, the watch for
// a repeat of live cells, and step threads of its own. Every generation the
// program makes, for the window, the runner and the Python module, is made by
// Step or Run here, so stagnation, repeats and the counters exist once.
//
// A session is used by one thread at a time; two sessions step at the same
// time on threads of their own (each has its own StepPool).
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/cycle.h"
#include "engine/rule.h"
#include "engine/step.h"

namespace cellarium {

class BirthLog;
class CellBoard;
class CycleDetector;
class CycleJump;

using RunClock = std::chrono::steady_clock;

// The counts of one generation, as the status line and a statistics line
// give them: the generation counter after the step, the live cells of the
// new board, the births and deaths of the step.
struct GenerationRecord {
    int64_t generation = 0;
    int32_t live = 0;
    int32_t births = 0;
    int32_t deaths = 0;
};

// Told of every generation a run makes, in order, once the counters hold it.
class GenerationObserver {
public:
    virtual ~GenerationObserver() = default;
    virtual void GenerationDone(const GenerationRecord& record) = 0;
    // Generations first .. first + count - 1 that a jump through a cycle made
    // without stepping: generation h has the counts of byPhase[h % P], P
    // being byPhase's size (the last period's generations), numbered h. By
    // default each is told to GenerationDone in turn.
    virtual void GenerationsRepeated(const std::vector<GenerationRecord>& byPhase, int64_t first,
                                     int64_t count);
    // Whether GenerationsRepeated costs about the same however many
    // generations it is told of (nothing is kept or written a generation):
    // a jump then tells it of them all at once rather than in pieces that
    // the deadline or cancellation can stop between.
    virtual bool RepeatsInBulk() const { return false; }
};

// Why a run handed control back. Every stop comes after a whole generation,
// counted, recorded and checked.
enum class RunStop {
    Count,       // the number of generations asked for is done
    Target,      // the generation counter reached the target
    Deadline,    // the time given is used up
    Stagnation,  // a generation with neither births nor deaths
    Repeat,      // live cells equal to an earlier generation's (watched)
    Cancelled,   // the caller asked the run to stop
    NoBoards,    // nothing to run
};

struct RunLimits {
    // At most this many generations (at least one is made).
    int64_t generations = 1;
    // Stops once the generation counter equals this (0: no target).
    int64_t target = 0;
    // Stops after the first generation that ends at or past this moment, as
    // clock tells it (empty: the steady clock itself).
    std::optional<RunClock::time_point> deadline;
    std::function<RunClock::time_point()> clock;
    // Stops after a generation with neither births nor deaths.
    bool stopAtStagnation = true;
    // Asked after every generation; true stops the run there.
    std::function<bool()> cancelled;
    // Whole periods of a cycle may be jumped: once the live cells are known
    // to repeat, the run gets to the target or count without stepping every
    // generation, leaving the boards, counters and observer's records as
    // stepping would. Never past a stop: no jump while repeats stop the run,
    // nor through stagnation that would stop it. The run watches for the
    // cycle while it has generations enough to go.
    bool jump = false;

    RunClock::time_point Now() const { return clock ? clock() : RunClock::now(); }
    bool PastDeadline() const { return deadline && Now() >= *deadline; }
};

class RunSession {
public:
    RunSession();
    ~RunSession();
    RunSession(const RunSession&) = delete;
    RunSession& operator=(const RunSession&) = delete;

    // --- Boards ---------------------------------------------------------------
    // Two new all-dead boards of one size; false (and no boards) when memory
    // runs out. The counter and the watch start again.
    bool MakeBoards(int width, int height);
    // Takes a pair of boards of one size (scratch may hold anything).
    void AdoptBoards(std::unique_ptr<CellBoard> current, std::unique_ptr<CellBoard> scratch);
    void ReleaseBoards();
    bool HasBoards() const { return current_ && scratch_; }
    CellBoard* Current() const { return current_.get(); }
    CellBoard* Scratch() const { return scratch_.get(); }
    // The boards themselves, for an owner that swaps a board in or out (an
    // undo that puts an earlier board back). Call BoardChanged afterwards.
    std::unique_ptr<CellBoard>& CurrentSlot() { return current_; }
    std::unique_ptr<CellBoard>& ScratchSlot() { return scratch_; }
    // Something other than a step changed the current board (an edit, a
    // transform, a load): the watch for repeats starts again from it.
    void BoardChanged() { watchFollows_ = false; }
    // Runs without a frame deadline on boards of at least this many cells
    // step the liveness planes alone and bring the bytes up to date at the
    // end (engine/birth_log.h); smaller boards write the bytes every step.
    void SetPlanesOnlyFromCells(std::size_t cells) { planesOnlyFromCells_ = cells; }

    // --- Rule -------------------------------------------------------------------
    // The rule every later step uses; a change starts the watch again.
    void SetRule(const cellarium::Rule& rule);
    const cellarium::Rule& Rule() const { return rule_; }

    // --- Counters ---------------------------------------------------------------
    // The generation counter: the newborn value of a step is its low byte
    // plus one, and it grows by one a step.
    int64_t Generation() const { return generation_; }
    // Setting the counter (an undo, a new board) starts the watch again.
    void SetGeneration(int64_t generation);
    int32_t Births() const { return births_; }
    int32_t Deaths() const { return deaths_; }
    void SetLastCounts(int32_t births, int32_t deaths);

    // --- Watching for repeats -----------------------------------------------------
    // While on, every generation's live cells are checked against those of the
    // earlier generations since the watch began (the board as it was when the
    // watch was switched on, or last changed other than by a step); Run stops
    // with RunStop::Repeat at the first match.
    void WatchRepeats(bool on);
    bool WatchingRepeats() const { return watching_; }
    // Repeats count from the board as it is now: Run stops at the first
    // generation whose live cells equal those of one since now.
    void RestartRepeatWatch();
    // The repeat the last generation made, numbered as the counter is: the
    // earlier generation S with the same live cells and the period P.
    const std::optional<Cycle>& LastRepeat() const { return found_; }
    // The run's cycle once it is known: its live cells repeat with period P
    // from generation S (the first such, numbered as the counter is).
    const std::optional<Cycle>& KnownCycle() const { return known_; }

    // Every step also gives LiveCellHash (engine/live_hash.h) of the board it
    // makes, at less cost than a pass afterwards; the watch turns it on too.
    void HashEachStep(bool on) { hashSteps_ = on; }
    // The hash of the board the last step made, while steps hash.
    std::optional<uint64_t> StepLiveHash() const { return stepHash_; }

    // --- Step threads -------------------------------------------------------------
    // This session's own: by default following the program's setting.
    StepPool& Threads() { return pool_; }

    // --- Generations ----------------------------------------------------------------
    // One generation: the step into the scratch board, the boards exchanged,
    // the counter incremented, the counts kept, the watch fed. Nothing
    // without boards.
    StepCounts Step() { return StepOnce(false); }
    // Generations until one of limits' stops, checked after every generation
    // in this order: stagnation, a repeat (watched), the target, the count,
    // cancellation, the deadline. The observer is told of each generation
    // before the checks. A jump (limits.jump) is checked as its last
    // generation is: the target, the count, cancellation, the deadline.
    RunStop Run(const RunLimits& limits, GenerationObserver* observer = nullptr);

    // Where the planes alone pay: on all but the smallest boards, whose
    // steps cost little either way (bench/step_benchmark's Run800 to
    // Run10000, lazy against the selected kernel).
    static constexpr std::size_t kPlanesOnlyFromCells = std::size_t(16) << 10;

private:
    // watchForJump: the step is one of a run that may jump.
    StepCounts StepOnce(bool watchForJump);
    // Forgets the watch, the cycle and the jump when the boards are no longer
    // those the steps made.
    void Follow();
    // The whole periods a run within limits, made generations so far, may
    // jump now (0: none).
    int64_t PeriodsToJump(const RunLimits& limits, int64_t made) const;
    // Jumps up to `periods` periods, in pieces that let cancellation and the
    // deadline stop it; returns the generations jumped.
    int64_t Jump(int64_t periods, const RunLimits& limits, GenerationObserver* observer);
    std::unique_ptr<CellBoard> current_, scratch_;
    cellarium::Rule rule_;  // Conway's at first
    int64_t generation_ = 0;
    int32_t births_ = 0, deaths_ = 0;
    StepPool pool_;

    bool watching_ = false;
    // The watch, the known cycle and the jump follow the boards the steps
    // made; a change other than a step sets this false.
    bool watchFollows_ = false;
    int64_t origin_ = 0;     // repeats that stop a run count from here
    int64_t watchBase_ = 0;  // the counter's value for the detector's first board
    std::unique_ptr<CycleDetector> detector_;
    std::optional<Cycle> known_;
    std::optional<Cycle> found_;
    std::unique_ptr<CycleJump> jump_;
    // The counts of the last period's generations, by generation mod P.
    std::vector<GenerationRecord> byPhase_;

    // While a run looks only for a cycle to jump through, the watch hashes
    // in bursts, so that hashing costs a few per cent of the steps however
    // long nothing repeats. Bursts on a schedule: probeLength_ generations
    // from probeStart_, then a gap of fifteen times that, each burst twice as
    // long as the last. And a burst up to triggerEnd_ as soon as the last
    // generations' live counts, births and deaths (free from the step) repeat
    // those of p generations before, which they do from a cycle's start;
    // after one that finds nothing, the next waits until quietUntil_.
    void NoteCounts();
    int64_t probeStart_ = 0;
    int64_t probeLength_ = 0;
    int64_t triggerEnd_ = 0;
    int64_t quietUntil_ = 0;
    int64_t quietFor_ = 0;
    int64_t countsSeen_ = 0;
    std::array<uint64_t, 8> recentCounts_{};
    // Direct-mapped: the signature of eight generations' counts, and the
    // generation that ended them.
    std::vector<std::pair<uint64_t, int64_t>> countWindows_;

    bool hashSteps_ = false;
    std::optional<uint64_t> stepHash_;

    // The steps of a run that nobody looks at between generations go on the
    // planes alone, the bytes caught up when the run hands control back.
    std::unique_ptr<BirthLog> log_;
    bool planesOnly_ = false;
    std::size_t planesOnlyFromCells_ = kPlanesOnlyFromCells;
};

}  // namespace cellarium
