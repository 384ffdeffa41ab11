#include "engine/identify.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "engine/cell_board.h"
#include "engine/run_history.h"

namespace cellarium {
namespace {

uint64_t Mix(uint64_t z) {
    z += 0x9e3779b97f4a7c15ull;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// One generation's live cells as a shape: its tight box, its population and a
// hash of the cells relative to the box, equal for the same shape anywhere.
struct Phase {
    int32_t left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    int32_t population = 0;
    uint64_t shape = 0;
    int32_t Width() const { return population == 0 ? 0 : right - left + 1; }
    int32_t Height() const { return population == 0 ? 0 : bottom - top + 1; }
};

template <typename F>
void ForEachLiveCell(const LiveCells& live, F&& f) {
    const std::size_t rowWords = live.RowWords();
    for (int y = 0; y < live.height; ++y)
        for (std::size_t k = 0; k < rowWords; ++k)
            for (uint64_t w = live.words[std::size_t(y) * rowWords + k]; w != 0; w &= w - 1)
                f(int(64 * k) + std::countr_zero(w), y);
}

Phase PhaseOf(const LiveCells& live) {
    Phase p;
    ForEachLiveCell(live, [&p](int x, int y) {
        p.left = std::min(p.left, x);
        p.right = std::max(p.right, x);
        p.top = std::min(p.top, y);
        p.bottom = std::max(p.bottom, y);
        ++p.population;
    });
    ForEachLiveCell(live, [&p](int x, int y) {
        p.shape += Mix((uint64_t(uint32_t(y - p.top)) << 32) | uint32_t(x - p.left));
    });
    return p;
}

// Whether the live cells of b are those of a moved from a's box to b's.
bool SameShape(const LiveCells& a, const Phase& pa, const LiveCells& b, const Phase& pb) {
    if (pa.population != pb.population || pa.Width() != pb.Width() || pa.Height() != pb.Height())
        return false;
    for (int r = 0; r < pa.Height(); ++r)
        for (int c = 0; c < pa.Width(); ++c)
            if (a.Live(pa.left + c, pa.top + r) != b.Live(pb.left + c, pb.top + r)) return false;
    return true;
}

Identity Describe(const std::vector<Phase>& phases, int64_t s, int64_t g) {
    Identity id;
    id.start = s;
    id.period = g - s;
    const Phase& first = phases[std::size_t(s)];
    const Phase& now = phases[std::size_t(g)];
    id.dx = now.left - first.left;
    id.dy = now.top - first.top;
    if (first.population == 0) {
        id.kind = Identity::Kind::Empty;
        id.dx = id.dy = 0;
        return id;
    }
    id.kind = (id.dx != 0 || id.dy != 0) ? Identity::Kind::Spaceship
              : id.period == 1           ? Identity::Kind::StillLife
                                         : Identity::Kind::Oscillator;
    id.minPopulation = INT32_MAX;
    Phase all;
    for (int64_t i = s; i < g; ++i) {
        const Phase& p = phases[std::size_t(i)];
        id.minPopulation = std::min(id.minPopulation, p.population);
        id.maxPopulation = std::max(id.maxPopulation, p.population);
        id.width = std::max(id.width, p.Width());
        id.height = std::max(id.height, p.Height());
        all.left = std::min(all.left, p.left);
        all.right = std::max(all.right, p.right);
        all.top = std::min(all.top, p.top);
        all.bottom = std::max(all.bottom, p.bottom);
    }
    if (id.kind != Identity::Kind::Spaceship) {
        id.width = all.right - all.left + 1;
        id.height = all.bottom - all.top + 1;
    }
    return id;
}

// The search itself, over two boards of the same size whose cells are those
// of generation 0.
Identity Search(CellBoard* source, CellBoard* target, const Rule& rule, int64_t limit,
                const std::function<bool()>& cancelled,
                const std::function<void(int64_t)>& progress) {
    Identity none;
    none.limit = limit;
    const StepKernel kernel = SelectedStepKernel();
    RunHistory history(rule);
    std::vector<Phase> phases;
    std::unordered_multimap<uint64_t, int64_t> shapes;
    LiveCells now, earlier;
    for (int64_t g = 0;; ++g) {
        PackLiveCells(*source, now);
        phases.push_back(PhaseOf(now));
        const Phase& p = phases.back();
        auto [first, last] = shapes.equal_range(p.shape);
        std::vector<int64_t> candidates;
        for (auto it = first; it != last; ++it) candidates.push_back(it->second);
        std::sort(candidates.begin(), candidates.end());
        for (int64_t s : candidates)
            if (history.LiveCellsAt(s, earlier) &&
                SameShape(earlier, phases[std::size_t(s)], now, p))
                return Describe(phases, s, g);
        if (g >= limit) return none;
        if (cancelled && cancelled()) {
            none.cancelled = true;
            return none;
        }
        history.Add(*source);
        shapes.emplace(p.shape, g);
        kernel(*source, *target, 1, rule, nullptr);
        std::swap(source, target);
        if (progress) progress(g + 1);
    }
}

// What Identify answers when it has no memory to step a copy in: nothing
// found within the limit.
Identity NothingFound(int64_t limit) {
    Identity none;
    none.limit = limit;
    return none;
}

}  // namespace

std::unique_ptr<CellBoard> BoardCopy(const CellBoard& board) {
    // Not the program's current palette: that belongs to the window's thread.
    std::unique_ptr<CellBoard> copy =
        CellBoard::CreateDetached(board.width, board.height, board.colours);
    if (!copy) return nullptr;
    std::memcpy(copy->EditCells(), board.Cells(), board.CellCount());
    copy->bounds = board.bounds;
    copy->liveCount = board.liveCount;
    return copy;
}

Identity Identify(const CellBoard& board, const Rule& rule, int64_t limit,
                  const std::function<bool()>& cancelled,
                  const std::function<void(int64_t)>& progress) {
    std::unique_ptr<CellBoard> first = BoardCopy(board);
    if (!first) return NothingFound(limit);
    return IdentifyInPlace(*first, rule, limit, cancelled, progress);
}

Identity IdentifyInPlace(CellBoard& board, const Rule& rule, int64_t limit,
                         const std::function<bool()>& cancelled,
                         const std::function<void(int64_t)>& progress) {
    std::unique_ptr<CellBoard> second = BoardCopy(board);
    if (!second) return NothingFound(limit);
    return Search(&board, second.get(), rule, limit, cancelled, progress);
}

std::string IdentityLine(const Identity& id) {
    const std::string population = "; population " + std::to_string(id.minPopulation) + ".." +
                                   std::to_string(id.maxPopulation);
    const std::string box = "; box " + std::to_string(id.width) + "x" + std::to_string(id.height);
    switch (id.kind) {
        case Identity::Kind::Empty:
            return "identify: empty";
        case Identity::Kind::StillLife:
            return "identify: still life; population " + std::to_string(id.minPopulation) + box;
        case Identity::Kind::Oscillator:
            return "identify: oscillator period " + std::to_string(id.period) + population + box;
        case Identity::Kind::Spaceship:
            return "identify: spaceship period " + std::to_string(id.period) + " moving " +
                   std::to_string(id.dx) + "," + std::to_string(id.dy) + population + box;
        case Identity::Kind::None:
            break;
    }
    return "identify: none within " + std::to_string(id.limit) + " generations";
}

}  // namespace cellarium
