#include "document/undo_history.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "engine/cell_pack.h"
#include "engine/region_edit.h"

namespace cellarium {

const char* UndoKindName(UndoKind kind) {
    switch (kind) {
        case UndoKind::Draw:
            return "Draw";
        case UndoKind::Erase:
            return "Erase";
        case UndoKind::Paste:
            return "Paste";
        case UndoKind::Cut:
            return "Cut";
        case UndoKind::Clear:
            return "Clear";
        case UndoKind::ClearOutside:
            return "Clear Outside";
        case UndoKind::FillRandom:
            return "Fill Random";
        case UndoKind::FlipHorizontal:
            return "Flip Horizontal";
        case UndoKind::FlipVertical:
            return "Flip Vertical";
        case UndoKind::RotateClockwise:
            return "Rotate Clockwise";
        case UndoKind::RotateAnticlockwise:
            return "Rotate Anticlockwise";
        case UndoKind::RotateLeft:
            return "Rotate Left";
        case UndoKind::Center:
            return "Center";
        case UndoKind::Rules:
            return "Rules";
        case UndoKind::Description:
            return "Description";
        case UndoKind::Run:
            return "Run";
    }
    return "";
}

namespace {

// Cells packed in one call at idle time: about ten milliseconds of a soup.
constexpr std::size_t kIdleSlice = std::size_t(1) << 20;

std::size_t BoardBytes(const CellBoard& board) {
    return board.CellCount() +
           std::size_t(board.PlaneStride()) * sizeof(uint64_t) * std::size_t(board.height);
}

// Kills the live cells of board (all inside its bounds) that the next step
// from source will not write: those outside the source's bounds grown by
// two cells, on the interior. The cells inside are the step's to write.
void ClearOutsideWindow(CellBoard& board, const CellBoard& source) {
    const Rect s = board.bounds;
    if (s.left > s.right || s.top > s.bottom) return;
    const Rect inner = source.WholeBox();
    const Rect b = source.bounds;
    const Rect w{std::max(b.left - 2, inner.left), std::max(b.top - 2, inner.top),
                 std::min(b.right + 2, inner.right), std::min(b.bottom + 2, inner.bottom)};
    if (b.left > b.right || b.top > b.bottom || w.left > w.right || w.top > w.bottom) {
        board.FillRect(s, 0);
        return;
    }
    auto clear = [&board](int left, int top, int right, int bottom) {
        board.FillRect(Rect{left, top, right, bottom}, 0);  // nothing when empty
    };
    clear(s.left, s.top, s.right, std::min(s.bottom, w.top - 1));
    clear(s.left, std::max(s.top, w.bottom + 1), s.right, s.bottom);
    const int top = std::max(s.top, w.top), bottom = std::min(s.bottom, w.bottom);
    clear(s.left, top, std::min(s.right, w.left - 1), bottom);
    clear(std::max(s.left, w.right + 1), top, s.right, bottom);
}

}  // namespace

std::size_t UndoHistory::Step::Cost() const {
    return sizeof(Step) + cells.capacity() * sizeof(CellChange) + packed.capacity() + packingBytes +
           (held ? BoardBytes(*held) : 0) + (description ? description->capacity() : 0);
}

// A block of whole rows is copied at once and packed on a thread of its own,
// so that a run or a turn of the largest board does not hold the window up:
// a 10000 x 10000 soup of density 0.3 takes 0.8 s to pack and a few
// milliseconds to copy. Other areas, and any where the copy or the thread
// cannot be had, are packed here.
void UndoHistory::PackArea(Step& step, const CellBoard& board, Rect area) {
    if (area.left == 0 && area.right == board.width - 1) {
        const std::size_t count =
            std::size_t(area.bottom - area.top + 1) * std::size_t(board.width);
        try {
            using Cells = std::unique_ptr<uint8_t, decltype(&std::free)>;
            Cells copy(AllocateCells(count, false), &std::free);
            if (!copy) throw std::bad_alloc();
            std::memcpy(copy.get(),
                        &board.Cells()[std::size_t(area.top) * std::size_t(board.width)], count);
            step.packing =
                std::async(std::launch::async, [copy = std::move(copy), count]() mutable {
                    // Freed as soon as it is packed.
                    const Cells cells = std::move(copy);
                    return PackCells(cells.get(), count);
                });
            step.packingBytes = count;
            return;
        } catch (const std::exception&) {
            // No memory for the copy or no thread: packed here instead.
        }
    }
    step.packed = PackRect(board, area);
}

void UndoHistory::Settle(Step& step) {
    PackHeld(step, std::numeric_limits<std::size_t>::max());
    SettleFuture(step);
}

void UndoHistory::SettleFuture(Step& step) {
    if (!step.packing.valid()) return;
    const std::size_t before = step.Cost();
    step.packed = step.packing.get();
    step.packingBytes = 0;
    bytes_ = bytes_ - before + step.Cost();
}

void UndoHistory::SettleFinished() {
    for (Step& step : steps_)
        if (step.packing.valid() &&
            step.packing.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
            SettleFuture(step);
}

void UndoHistory::Release(std::unique_ptr<CellBoard> board) {
    if (board && !spare_) spare_ = std::move(board);
}

void UndoHistory::ReleaseSpare() {
    if (making_.valid()) making_.get();
    spare_.reset();
}

void UndoHistory::TakeMade() {
    if (!making_.valid()) return;
    std::unique_ptr<CellBoard> made = making_.get();
    if (!spare_) spare_ = std::move(made);
}

void UndoHistory::MakeSpareAhead(const CellBoard& like) {
    if (!enabled_ || spare_ || making_.valid() || like.CellCount() < kSpareAheadFromCells) return;
    try {
        making_ = std::async(std::launch::async,
                             [w = like.width, h = like.height, colours = like.colours] {
                                 return CellBoard::CreateDetached(w, h, colours);
                             });
        ++boardsMade_;
    } catch (const std::exception&) {
        // No thread: the next run makes its board when it needs it.
    }
}

void UndoHistory::ReadySpareWhileIdle(const CellBoard& like) {
    if (spare_ && (spare_->width != like.width || spare_->height != like.height)) spare_.reset();
    if (making_.valid() && making_.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        TakeMade();
    if (!HoldsBoards()) MakeSpareAhead(like);
}

std::unique_ptr<CellBoard> UndoHistory::TakeBoard(const CellBoard& like) {
    if (!spare_) TakeMade();
    std::unique_ptr<CellBoard> board;
    if (spare_ && spare_->width == like.width && spare_->height == like.height) {
        board = std::move(spare_);
    } else {
        spare_.reset();
        board = CellBoard::CreateDetached(like.width, like.height, like.colours);
        if (!board) return nullptr;
        ++boardsMade_;
        ++boardsMadeWaiting_;
    }
    board->colours = like.colours;
    board->description = like.description;
    board->name = like.name;
    return board;
}

void UndoHistory::PackHeld(Step& step, std::size_t cells) {
    if (!step.held) return;
    const std::size_t before = step.Cost();
    const CellBoard& board = *step.held;
    const std::size_t count = board.CellCount();
    const std::size_t n = std::min(cells, count - step.heldPacked);
    PackCellsAppend(step.packed, board.Cells() + step.heldPacked, n);
    step.heldPacked += n;
    if (step.heldPacked == count) {
        if (step.packed.capacity() - step.packed.size() > step.packed.size() / 8)
            step.packed.shrink_to_fit();
        step.bounds = board.bounds;
        step.liveCount = board.liveCount;
        step.heldPacked = 0;
        Release(std::move(step.held));
    }
    bytes_ = bytes_ - before + step.Cost();
}

bool UndoHistory::PackWhileIdle() {
    // The oldest first: the newest is the one an undo trades whole.
    for (Step& step : steps_)
        if (step.held) {
            PackHeld(step, kIdleSlice);
            break;
        }
    return HoldsBoards();
}

bool UndoHistory::HoldsBoards() const {
    return std::any_of(steps_.begin(), steps_.end(),
                       [](const Step& step) { return step.held != nullptr; });
}

void UndoHistory::PopBack() {
    bytes_ -= steps_.back().Cost();
    Release(std::move(steps_.back().held));
    steps_.pop_back();
}

void UndoHistory::PopFront() {
    bytes_ -= steps_.front().Cost();
    Release(std::move(steps_.front().held));
    steps_.pop_front();
}

std::size_t UndoHistory::Bytes() {
    SettleAwaiting();
    for (Step& step : steps_) Settle(step);
    return bytes_;
}

std::size_t UndoHistory::NewestStepBytes() {
    SettleAwaiting();
    if (steps_.empty()) return 0;
    Settle(steps_.back());
    return steps_.back().Cost();
}

void UndoHistory::Clear() {
    awaiting_ = nullptr;
    steps_.clear();
    ReleaseSpare();
    done_ = 0;
    bytes_ = 0;
    runOpen_ = false;
    strokeOpen_ = false;
    stroke_ = Step{};
    strokeSeen_.clear();
}

void UndoHistory::EndOpen() {
    SettleAwaiting();
    runOpen_ = false;
    EndStroke();
}

void UndoHistory::Push(Step step) {
    if (!enabled_) return;
    SettleAwaiting();
    SettleFinished();
    // A new step after an undo: the undone steps can no longer be redone.
    while (steps_.size() > done_) PopBack();
    bytes_ += step.Cost();
    steps_.push_back(std::move(step));
    done_ = steps_.size();
    Trim();
}

void UndoHistory::Trim() {
    // The newest step stays whatever it costs.
    while (steps_.size() > 1 && (steps_.size() > kMaxSteps || bytes_ > kMaxBytes)) {
        PopFront();
        if (done_ > 0) --done_;
    }
}

void UndoHistory::NoteStrokeCell(const CellBoard& board, int x, int y, uint8_t value, bool erase) {
    if (!enabled_ || x < 0 || y < 0 || x >= board.width || y >= board.height) return;
    const uint32_t index = uint32_t(y) * uint32_t(board.width) + uint32_t(x);
    const uint8_t old = board.Cells()[index];
    if (old == value) return;
    SettleAwaiting();
    if (!strokeOpen_) {
        runOpen_ = false;
        strokeOpen_ = true;
        stroke_ = Step{};
        stroke_.kind = erase ? UndoKind::Erase : UndoKind::Draw;
        stroke_.hasBoardState = true;
        stroke_.bounds = board.bounds;
        stroke_.liveCount = board.liveCount;
    }
    if (strokeSeen_.insert(index).second) stroke_.cells.push_back(CellChange{index, old});
}

void UndoHistory::EndStroke() {
    if (!strokeOpen_) return;
    strokeOpen_ = false;
    strokeSeen_ = std::unordered_set<uint32_t>();
    stroke_.cells.shrink_to_fit();
    Push(std::move(stroke_));
    stroke_ = Step{};
}

void UndoHistory::BeginRun(const CellBoard& board, const RunCounters& counters) {
    if (runOpen_ || !enabled_) return;
    EndStroke();
    Step step;
    step.kind = UndoKind::Run;
    step.hasArea = true;
    step.area = Rect{0, 0, board.width - 1, board.height - 1};
    step.hasBoardState = true;
    step.bounds = board.bounds;
    step.liveCount = board.liveCount;
    step.counters = counters;
    Push(std::move(step));
    // Pushed (which settles any earlier one) before it waits itself.
    if (!steps_.empty() && steps_.back().kind == UndoKind::Run) awaiting_ = &board;
    runOpen_ = true;
}

void UndoHistory::KeepRunStart(std::unique_ptr<CellBoard>& scratch, const CellBoard& current) {
    if (awaiting_ == nullptr) return;
    if (awaiting_ != scratch.get()) {
        SettleAwaiting();
        return;
    }
    awaiting_ = nullptr;
    {
        Step& step = steps_.back();
        const std::size_t before = step.Cost();
        step.held = std::move(scratch);
        // The step wrote both boards' live counts: the start's is the step's.
        step.held->bounds = step.bounds;
        step.held->liveCount = step.liveCount;
        bytes_ = bytes_ - before + step.Cost();
    }
    // Over the budget, the oldest steps go first; a board one held may serve
    // as the spare at once.
    Trim();
    Step& step = steps_.back();
    std::unique_ptr<CellBoard> next = TakeBoard(current);
    if (!next) {
        // No memory for another board: the start board goes back to the slot
        // and is packed the ordinary way.
        const std::size_t before = step.Cost();
        scratch = std::move(step.held);
        PackArea(step, *scratch, step.area);
        bytes_ = bytes_ - before + step.Cost();
        Trim();
        return;
    }
    // The step writes only its window and never the border.
    ClearOutsideWindow(*next, current);
    CopyBorder(current, *next);
    scratch = std::move(next);
    // A run that starts before idle time has packed this one's board (or an
    // undo that trades boards) takes this one.
    MakeSpareAhead(current);
}

void UndoHistory::SettleAwaiting() {
    if (awaiting_ == nullptr) return;
    const CellBoard& board = *awaiting_;
    awaiting_ = nullptr;
    Step& step = steps_.back();
    const std::size_t before = step.Cost();
    PackArea(step, board, step.area);
    bytes_ = bytes_ - before + step.Cost();
    Trim();
}

void UndoHistory::RecordArea(UndoKind kind, const CellBoard& board, Rect area) {
    EndOpen();
    if (!enabled_) return;
    Step step;
    step.kind = kind;
    step.hasArea = true;
    step.area = area;
    PackArea(step, board, area);
    step.hasBoardState = true;
    step.bounds = board.bounds;
    step.liveCount = board.liveCount;
    Push(std::move(step));
}

void UndoHistory::RecordRules(const Rule& before) {
    EndOpen();
    Step step;
    step.kind = UndoKind::Rules;
    step.rules = before;
    Push(std::move(step));
}

void UndoHistory::RecordDescription(const std::string& before) {
    EndOpen();
    Step step;
    step.kind = UndoKind::Description;
    step.description = before;
    Push(std::move(step));
}

bool UndoHistory::Undo(Target target) {
    EndOpen();
    if (!CanUndo()) return false;
    --done_;
    Exchange(steps_[done_], target);
    return true;
}

bool UndoHistory::Redo(Target target) {
    EndOpen();
    if (!CanRedo()) return false;
    Exchange(steps_[done_], target);
    ++done_;
    return true;
}

bool UndoHistory::ExchangeBoards(Step& step, Target t) {
    if (!step.held) SettleFuture(step);
    const std::size_t before = step.Cost();
    const CellBoard& shown = *t.current;
    std::unique_ptr<CellBoard> incoming;
    if (step.held) {
        incoming = std::move(step.held);
    } else {
        incoming = TakeBoard(shown);
        if (!incoming) return false;
        MakeSpareAhead(shown);
        // Every cell written, so whatever the board held does not matter.
        if (!UnpackCells(step.packed, incoming->EditCells(), incoming->CellCount())) return false;
        incoming->bounds = step.bounds;
        incoming->liveCount = step.liveCount;
    }
    step.packed = std::vector<uint8_t>();
    step.heldPacked = 0;
    incoming->colours = shown.colours;
    incoming->description = shown.description;
    incoming->name = shown.name;
    // The board shown until now is held, to be packed at idle time.
    step.held = std::move(t.current);
    t.current = std::move(incoming);
    step.bounds = step.held->bounds;
    step.liveCount = step.held->liveCount;
    bytes_ = bytes_ - before + step.Cost();
    return true;
}

void UndoHistory::Exchange(Step& step, Target t) {
    bool wholeBoard = false;
    bool traded = false;
    {
        CellBoard& board = *t.current;
        for (CellChange& c : step.cells) {
            const uint8_t was = board.Cells()[c.index];
            board.Set(int(c.index % std::size_t(board.width)),
                      int(c.index / std::size_t(board.width)), c.value);
            c.value = was;
        }
        wholeBoard = step.hasArea && step.area == Rect{0, 0, board.width - 1, board.height - 1};
    }
    if (step.hasArea && wholeBoard && step.kind == UndoKind::Run) traded = ExchangeBoards(step, t);
    if (step.hasArea && !traded) {
        CellBoard& board = *t.current;
        // The cells shown now are copied (and packed, perhaps later) before
        // those kept are put back.
        Settle(step);
        const std::size_t before = step.Cost();
        const std::vector<uint8_t> kept = std::move(step.packed);
        step.packed = std::vector<uint8_t>();
        PackArea(step, board, step.area);
        UnpackRect(kept, board, step.area);
        bytes_ = bytes_ - before + step.Cost();
    }
    CellBoard& board = *t.current;
    CellBoard& scratch = *t.scratch;
    if (step.hasBoardState && !traded) {
        std::swap(board.bounds, step.bounds);
        std::swap(board.liveCount, step.liveCount);
    }
    if (step.counters) std::swap(t.counters, *step.counters);
    if (step.rules) std::swap(t.rule, *step.rules);
    if (step.description) {
        std::string shown = board.description;
        board.description = *step.description;
        scratch.description = board.description;
        const std::size_t before = step.description->capacity();
        *step.description = std::move(shown);
        bytes_ = bytes_ - before + step.description->capacity();
    }
    if (!step.hasBoardState) return;
    // The scratch board must hold no live cell outside the window of the
    // bounds put back. After a step over the whole board it may hold any
    // generation, so it is emptied; after a smaller one it holds what it
    // held when the step was first made, which suited those bounds.
    if (wholeBoard) scratch.Clear();
    // Both boards keep the same border: a step never writes it.
    CopyBorder(board, scratch);
}

}  // namespace cellarium
