#include "document/undo_history.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
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

std::size_t UndoHistory::Step::Cost() const {
    return sizeof(Step) + cells.capacity() * sizeof(CellChange) + packed.capacity() + packingBytes +
           (description ? description->capacity() : 0);
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
            Settle(step);
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
    while (steps_.size() > done_) {
        bytes_ -= steps_.back().Cost();
        steps_.pop_back();
    }
    bytes_ += step.Cost();
    steps_.push_back(std::move(step));
    done_ = steps_.size();
    Trim();
}

void UndoHistory::Trim() {
    // The newest step stays whatever it costs.
    while (steps_.size() > 1 && (steps_.size() > kMaxSteps || bytes_ > kMaxBytes)) {
        bytes_ -= steps_.front().Cost();
        steps_.pop_front();
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

void UndoHistory::KeepRunStart(CellBoard& board, const CellBoard& current) {
    if (awaiting_ == nullptr) return;
    if (awaiting_ != &board) {
        SettleAwaiting();
        return;
    }
    awaiting_ = nullptr;
    Step& step = steps_.back();
    const std::size_t count = board.CellCount();
    using Cells = std::unique_ptr<uint8_t, decltype(&std::free)>;
    Cells fresh(AllocateCells(count, true), &std::free);
    if (fresh) {
        // The board takes fresh cells and its own are packed on a thread.
        uint8_t* const kept = board.ExchangeCells(fresh.release());
        try {
            step.packing = std::async(std::launch::async, [kept, count] {
                // Freed as soon as it is packed.
                const Cells cells(kept, &std::free);
                return PackCells(cells.get(), count);
            });
        } catch (const std::exception&) {
            // No thread: the cells go back to the board and are packed here.
            std::free(board.ExchangeCells(kept));
        }
        if (step.packing.valid()) {
            CopyBorder(current, board);
            const std::size_t before = step.Cost();
            step.packingBytes = count;
            bytes_ = bytes_ - before + step.Cost();
            Trim();
            return;
        }
    }
    // No memory for fresh cells (or no thread): packed the ordinary way.
    const std::size_t before = step.Cost();
    PackArea(step, board, step.area);
    bytes_ = bytes_ - before + step.Cost();
    Trim();
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

void UndoHistory::Exchange(Step& step, Target t) {
    CellBoard& board = t.current;
    bool wholeBoard = false;
    for (CellChange& c : step.cells) {
        const uint8_t was = board.Cells()[c.index];
        board.Set(int(c.index % std::size_t(board.width)), int(c.index / std::size_t(board.width)),
                  c.value);
        c.value = was;
    }
    if (step.hasArea) {
        // The cells shown now are copied (and packed, perhaps later) before
        // those kept are put back.
        Settle(step);
        const std::size_t before = step.Cost();
        const std::vector<uint8_t> kept = std::move(step.packed);
        step.packed = std::vector<uint8_t>();
        PackArea(step, board, step.area);
        UnpackRect(kept, board, step.area);
        bytes_ = bytes_ - before + step.Cost();
        wholeBoard = step.area == Rect{0, 0, board.width - 1, board.height - 1};
    }
    if (step.hasBoardState) {
        std::swap(board.bounds, step.bounds);
        std::swap(board.liveCount, step.liveCount);
    }
    if (step.counters) std::swap(t.counters, *step.counters);
    if (step.rules) std::swap(t.rule, *step.rules);
    if (step.description) {
        std::string shown = board.description;
        board.description = *step.description;
        t.scratch.description = board.description;
        const std::size_t before = step.description->capacity();
        *step.description = std::move(shown);
        bytes_ = bytes_ - before + step.description->capacity();
    }
    if (!step.hasBoardState) return;
    // The scratch board must hold no live cell outside the window of the
    // bounds put back. After a step over the whole board it may hold any
    // generation, so it is emptied; after a smaller one it holds what it
    // held when the step was first made, which suited those bounds.
    if (wholeBoard) t.scratch.Clear();
    // Both boards keep the same border: a step never writes it.
    CopyBorder(board, t.scratch);
}

}  // namespace cellarium
