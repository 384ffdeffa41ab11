// The document's undo history. A step keeps only what it changed, in the
// form that is not on the board at the moment: before an undo the old
// state, after it the new one. Undo and redo therefore are the same
// exchange, and a step costs one copy, never two.
//
// What a step holds:
//  - a stroke: each cell it changed (board index and value), the live count
//    and bounds;
//  - a selection edit, Center, Rotate Left and a run: a rectangle of cells
//    packed (engine/cell_pack.h): the selection's area, or the whole board;
//    a run also holds the generation counter, births and deaths, and holds
//    its board whole, not packed, from the run (or its undo) until idle time;
//  - a change of rules or description: the other rules or text.
//
// The history holds at most kMaxSteps steps and kMaxBytes bytes; the oldest
// steps go first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/cell_board.h"
#include "engine/rule.h"

namespace cellarium {

enum class UndoKind {
    Draw,
    Erase,
    Paste,
    Cut,
    Clear,
    ClearOutside,
    FillRandom,
    FlipHorizontal,
    FlipVertical,
    RotateClockwise,
    RotateAnticlockwise,
    RotateLeft,
    Center,
    Rules,
    Description,
    Run,
};
// The action as the Edit menu names it: "Draw", "Run", "Paste", ...
const char* UndoKindName(UndoKind kind);

// The view's counters a run changes.
struct RunCounters {
    int64_t generation = 0;
    int32_t births = 0;
    int32_t deaths = 0;
    friend bool operator==(const RunCounters&, const RunCounters&) = default;
};

class UndoHistory {
public:
    static constexpr std::size_t kMaxSteps = 1000;
    static constexpr std::size_t kMaxBytes = std::size_t(256) << 20;

    // What a step changes, handed to Exchange: the document's two boards
    // (their slots: a run's step trades whole boards with them), its rule
    // and the view's counters.
    struct Target {
        std::unique_ptr<CellBoard>& current;
        std::unique_ptr<CellBoard>& scratch;
        RunCounters& counters;
        Rule& rule;
    };

    // Forgets every step (a new pattern).
    void Clear();
    // A history switched off records nothing (the command-line runner, which
    // has no user to undo, keeps neither the time nor the memory it costs).
    void SetEnabled(bool on) {
        enabled_ = on;
        if (!on) Clear();
    }
    bool Enabled() const { return enabled_; }
    bool CanUndo() const { return done_ > 0; }
    bool CanRedo() const { return done_ < steps_.size(); }
    UndoKind UndoKindNext() const { return steps_[done_ - 1].kind; }
    UndoKind RedoKindNext() const { return steps_[done_].kind; }
    bool Undo(Target target);
    bool Redo(Target target);

    // A stroke: Note is called for each cell before the stylus gives it
    // value; the first change opens the stroke, EndStroke closes it (a stroke
    // that changed nothing leaves no step).
    void NoteStrokeCell(const CellBoard& board, int x, int y, uint8_t value, bool erase);
    void EndStroke();

    // A run: BeginRun before each generation keeps the board and counters as
    // they were at its first one; EndRun at the pause. Any other step ends an
    // open run.
    //
    // The board's cells are not copied then: once the run's first generation
    // is made, the board it began from is in the scratch slot, and
    // KeepRunStart takes that board itself into the step, putting in the slot
    // the history's spare board (or a new one when there is none) with no
    // live cell where the next step does not write and current's border. So
    // a run of the largest board neither waits for a copy nor shares the
    // processor with a packing. The step holds the whole board until idle
    // time packs it (PackWhileIdle), which frees the board to be the next
    // spare. Until the first generation the step holds only a pointer:
    // anything else the history is asked first copies the cells the ordinary
    // way.
    void BeginRun(const CellBoard& board, const RunCounters& counters);
    bool AwaitingRunStart() const { return awaiting_ != nullptr; }
    void KeepRunStart(std::unique_ptr<CellBoard>& scratch, const CellBoard& current);
    // Packs a slice (about a millisecond or ten) of a board a run's step holds
    // whole; true while some are left to pack. For idle time.
    bool PackWhileIdle();
    // Whether some step still holds a whole board.
    bool HoldsBoards() const;
    // Frees the spare board, and one being made (memory is short, or the
    // boards go).
    void ReleaseSpare();
    bool HasSpare() const { return spare_ != nullptr; }
    // On a board of kSpareAheadFromCells cells or more, making a board
    // (clearing fresh memory) would stop the window for a noticeable time
    // at a run's start, so the spare is made ahead, on a thread of its own:
    // once a run has taken the spare (a run or its undo that follows at once
    // finds none otherwise), and at idle time (ReadySpareWhileIdle) while
    // no step holds a board whole that packing would free. There is never
    // more than one spare, ready or coming; TakeBoard waits for one coming.
    static constexpr std::size_t kSpareAheadFromCells = std::size_t(4) << 20;
    void ReadySpareWhileIdle(const CellBoard& like);
    bool SpareComing() const { return making_.valid(); }
    // The boards the history has had to make for the scratch slot or an
    // exchange: once one exists, runs and their undo pass it round.
    std::size_t BoardsMade() const { return boardsMade_; }
    // Those of them made while a run's start or an exchange waited.
    std::size_t BoardsMadeWhileWaiting() const { return boardsMadeWaiting_; }
    void EndRun() {
        SettleAwaiting();
        runOpen_ = false;
    }
    bool RunOpen() const { return runOpen_; }

    // A step over the cells of area (inclusive, on the board), recorded
    // before the change is made.
    void RecordArea(UndoKind kind, const CellBoard& board, Rect area);
    void RecordRules(const Rule& before);
    void RecordDescription(const std::string& before);

    std::size_t StepCount() const { return steps_.size(); }
    // What the steps cost, in bytes, and what the newest one costs, once the
    // cells still being packed in the background or held whole are packed
    // (waiting for them, or packing them now).
    std::size_t Bytes();
    std::size_t NewestStepBytes();

private:
    struct CellChange {
        uint32_t index;
        uint8_t value;
    };
    struct Step {
        UndoKind kind = UndoKind::Draw;
        std::vector<CellChange> cells;
        bool hasArea = false;
        Rect area{};
        std::vector<uint8_t> packed;
        // Cells of the area being packed on a thread of their own, and what
        // the copy they are packed from costs until then.
        std::future<std::vector<uint8_t>> packing;
        std::size_t packingBytes = 0;
        // A run's step over the whole board may instead hold the board
        // itself (its bounds and live count with it), the first heldPacked
        // cells of which are packed so far into packed.
        std::unique_ptr<CellBoard> held;
        std::size_t heldPacked = 0;
        bool hasBoardState = false;
        Rect bounds{};
        int32_t liveCount = 0;
        std::optional<RunCounters> counters;
        std::optional<Rule> rules;
        std::optional<std::string> description;
        std::size_t Cost() const;
    };

    void Push(Step step);
    // Drops the newest or the oldest step; a board it held may be the spare.
    void PopBack();
    void PopFront();
    void Release(std::unique_ptr<CellBoard> board);
    // A board of like's size: the spare, or a new all-dead one; null when
    // there is no memory for one.
    std::unique_ptr<CellBoard> TakeBoard(const CellBoard& like);
    // Packs up to `cells` more cells of the board the step holds; once all
    // are, the board goes (Release).
    void PackHeld(Step& step, std::size_t cells);
    // Exchange for a run's step: whole boards trade places. False (nothing
    // changed) when a board is needed and there is no memory for one.
    bool ExchangeBoards(Step& step, Target target);
    void PackArea(Step& step, const CellBoard& board, Rect area);
    // Takes in the packed cells of a step packed in the background, waiting
    // for them, or packs the board it holds (SettleFuture: only the former);
    // SettleFinished takes in those already done, without waiting.
    void Settle(Step& step);
    void SettleFuture(Step& step);
    void SettleFinished();
    void Exchange(Step& step, Target target);
    void Trim();
    void EndOpen();
    // A run's first board not taken yet is copied from where it is.
    void SettleAwaiting();

    std::deque<Step> steps_;
    std::size_t done_ = 0;  // steps_[0 .. done_) are done, the rest undone
    std::size_t bytes_ = 0;
    bool enabled_ = true;
    bool runOpen_ = false;
    bool strokeOpen_ = false;
    // The board a run began from, while the newest step waits for its cells.
    const CellBoard* awaiting_ = nullptr;
    // At most one board of the document's size, free for the next run, or
    // one being made for it.
    std::unique_ptr<CellBoard> spare_;
    std::future<std::unique_ptr<CellBoard>> making_;
    // Starts making the spare when there is none, ready or coming.
    void MakeSpareAhead(const CellBoard& like);
    // The board being made, taken in as the spare (waiting for it) or
    // dropped when there is one already.
    void TakeMade();
    std::size_t boardsMade_ = 0;
    std::size_t boardsMadeWaiting_ = 0;
    Step stroke_;
    std::unordered_set<uint32_t> strokeSeen_;
};

}  // namespace cellarium
