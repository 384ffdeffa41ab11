#include "engine/cycle_detector.h"

#include <algorithm>

#include "engine/live_hash.h"

namespace cellarium {
namespace {

constexpr std::size_t kFirstSlots = 1024;
constexpr std::size_t kMaxCheckpoints = 64;

}  // namespace

CycleDetector::CycleDetector(const Rule& rule, std::size_t historyBudget, int64_t recent)
    : history_(rule, historyBudget), recent_(std::max<int64_t>(recent, 1)) {
    // The ring holds a power of two of at least `recent` slots, made as the
    // run grows so that short runs stay small.
    std::size_t slots = 1;
    while (slots < kFirstSlots && int64_t(slots) < recent_) slots *= 2;
    ring_.assign(slots, Slot{});
    heads_.assign(slots, -1);
    stride_ = std::max<int64_t>(1, recent_ / 4);
}

std::size_t CycleDetector::HashBytes() const {
    return ring_.capacity() * sizeof(Slot) + heads_.capacity() * sizeof(int64_t) +
           checkpoints_.capacity() * sizeof(Checkpoint);
}

std::optional<Cycle> CycleDetector::Add(const CellBoard& board) {
    return Add(board, LiveCellHash(board));
}

bool CycleDetector::SameAsCurrent(int64_t s) {
    return history_.LiveCellsAt(s, earlier_) && earlier_ == current_;
}

bool CycleDetector::Same(int64_t a, int64_t b) {
    if (a == b) return true;
    if (a > b) std::swap(a, b);
    if (b == adding_) return SameAsCurrent(a);
    if (!history_.LiveCellsAt(b, later_)) return false;
    return history_.LiveCellsAt(a, earlier_) && earlier_ == later_;
}

Cycle CycleDetector::FirstRepeat(int64_t c, int64_t g) {
    // Every period of the cycle divides g - c, and the least one P is what is
    // left after dividing out every prime factor that still gives a repeat.
    int64_t period = g - c;
    int64_t rest = period;
    for (int64_t p = 2; p <= rest / p; ++p) {
        if (rest % p != 0) continue;
        while (rest % p == 0) rest /= p;
        while (period % p == 0 && Same(g, g - period / p)) period /= p;
    }
    if (rest > 1 && period % rest == 0 && Same(g, g - period / rest)) period /= rest;
    // Once a generation repeats after P, every later one does: the first is
    // found by halving [0, c].
    int64_t lo = 0, hi = c;
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (Same(mid, mid + period))
            hi = mid;
        else
            lo = mid + 1;
    }
    return Cycle{lo, period};
}

void CycleDetector::Grow() {
    std::vector<Slot> old = std::move(ring_);
    ring_.assign(old.size() * 2, Slot{});
    heads_.assign(ring_.size(), -1);
    std::sort(old.begin(), old.end(),
              [](const Slot& a, const Slot& b) { return a.generation < b.generation; });
    for (const Slot& s : old)
        if (s.generation >= 0) Insert(s.generation, s.hash);
}

void CycleDetector::Insert(int64_t g, uint64_t hash) {
    const std::size_t mask = ring_.size() - 1;
    int64_t& head = heads_[hash & mask];
    ring_[std::size_t(g) & mask] = Slot{hash, g, head};
    head = g;
}

std::optional<Cycle> CycleDetector::Add(const CellBoard& board, uint64_t liveHash) {
    const int64_t g = history_.Generations();
    adding_ = g;
    std::optional<Cycle> found;
    bool packed = false;
    auto pack = [&] {
        if (!packed) PackLiveCells(board, current_);
        packed = true;
    };
    // The recent generations with this hash, newest first: the earliest with
    // the same live cells is the repeat.
    const std::size_t mask = ring_.size() - 1;
    std::vector<int64_t>& candidates = candidates_;
    candidates.clear();
    for (int64_t e = heads_[liveHash & mask]; e >= 0;) {
        const Slot& slot = ring_[std::size_t(e) & mask];
        if (slot.generation != e) break;  // overwritten: older ones are gone
        if (slot.hash == liveHash && g - e <= recent_) candidates.push_back(e);
        e = slot.next;
    }
    // Oldest first, so that the history's replay goes forward.
    int64_t earliest = -1;
    for (auto it = candidates.rbegin(); it != candidates.rend() && earliest < 0; ++it) {
        pack();
        if (SameAsCurrent(*it)) earliest = *it;
    }
    if (earliest >= 0) {
        found = Cycle{earliest, g - earliest};
    } else {
        // A period longer than the recent window: a checkpoint repeats.
        for (const Checkpoint& c : checkpoints_) {
            if (c.hash != liveHash || g - c.generation <= recent_) continue;
            pack();
            if (SameAsCurrent(c.generation)) {
                found = FirstRepeat(c.generation, g);
                break;
            }
        }
    }

    if (g >= int64_t(ring_.size()) && int64_t(ring_.size()) < recent_) Grow();
    Insert(g, liveHash);
    if (g % stride_ == 0) {
        if (checkpoints_.size() == kMaxCheckpoints) {
            // Full: keep every other one and take them half as often.
            std::erase_if(checkpoints_, [this](const Checkpoint& c) {
                return c.generation % (2 * stride_) != 0;
            });
            stride_ *= 2;
        }
        if (g % stride_ == 0) checkpoints_.push_back(Checkpoint{g, liveHash});
    }
    history_.Add(board);
    return found;
}

}  // namespace cellarium
