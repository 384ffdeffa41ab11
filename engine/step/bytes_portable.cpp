// The step for any CPU: 16 cells at a time in the compiler's generic vectors
// (SSE2 on x86-64, NEON on ARM, plain words elsewhere). Without a byte shuffle
// to look rules up in, a cell's next state is an OR of equality tests of its
// index (s, plus 16 when it is live) against the few indices the rule sets.
// As in the AVX2 kernel, the last vector of a row overlaps the one before it
// and rows narrower than a vector go through the scalar cell loop.
#include <cstring>

#include "engine/step/kernels.h"

namespace cellarium {
namespace {

constexpr int kLanes = 16;
typedef uint8_t Bytes __attribute__((vector_size(kLanes)));
typedef int8_t Flags __attribute__((vector_size(kLanes)));  // what comparisons give

static_assert(kStepRowBuffer >= kStepRowCapacity + 2 * kLanes);

inline Bytes Load(const uint8_t* p) {
    Bytes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void Store(uint8_t* p, Bytes v) {
    std::memcpy(p, &v, sizeof v);
}

// 0xFF in the lanes where the comparison holds.
inline Bytes Mask(Flags m) {
    return reinterpret_cast<Bytes&>(m);
}

inline Bytes Splat(uint8_t b) {
    Bytes v;
    std::memset(&v, b, sizeof v);
    return v;
}

bool AnyLane(Bytes v) {
    uint64_t half[2];
    std::memcpy(half, &v, sizeof half);
    return (half[0] | half[1]) != 0;
}

int FirstLane(Bytes v) {
    for (int i = 0; i < kLanes; ++i)
        if (v[i] != 0) return i;
    return kLanes;
}

int LastLane(Bytes v) {
    for (int i = kLanes - 1; i >= 0; --i)
        if (v[i] != 0) return i;
    return -1;
}

// Per-lane counters, added up before any lane can wrap.
struct LaneCounts {
    Bytes births{}, kept{}, wasLive{};
    int pending = 0;

    void Flush(StepTally& tally) {
        for (int i = 0; i < kLanes; ++i) {
            tally.births += births[i];
            tally.deaths += wasLive[i] - kept[i];
            tally.live += kept[i] + births[i];
        }
        births = kept = wasLive = Bytes{};
        pending = 0;
    }
};

struct PortableRow {
    uint8_t liveIndices[18];  // s + 16 * live for which the next state is live
    int liveIndexCount;
    Bytes newborn;
    // Vertical sums of the window row, v[i] for column firstCol - 1 + i: the
    // step thread's first row buffer.
    uint8_t* sums;
    const uint8_t* old;
    uint8_t* out;
    LaneCounts counts;
    // The first and last vectors of the row holding a cell live in either
    // generation, resolved to columns once the row is done.
    int firstX, lastX;
    Bytes firstTouched{}, lastTouched{};
};

// One vector of cells x..x+15 (offsets from firstCol). Lanes where `fresh` is
// 0 were counted by the vector before; they are rewritten but not counted.
inline void Cells(PortableRow& r, int x, Bytes fresh) {
    const Bytes s = Load(r.sums + x) + Load(r.sums + x + 1) + Load(r.sums + x + 2);
    const Bytes old = Load(r.old + x);
    const Bytes live = Mask(old != 0);
    const Bytes index = s | (live & 16);
    Bytes next{};
    for (int k = 0; k < r.liveIndexCount; ++k) next |= Mask(index == r.liveIndices[k]);
    const Bytes born = next & ~live;
    const Bytes keep = next & live;
    Store(r.out + x, (old & keep) | (r.newborn & born));

    const Bytes one = fresh & 1;
    r.counts.births += born & one;
    r.counts.kept += keep & one;
    r.counts.wasLive += live & one;
    const Bytes touched = (live | born) & fresh;
    if (AnyLane(touched)) {
        if (r.firstX < 0) {
            r.firstX = x;
            r.firstTouched = touched;
        }
        r.lastX = x;
        r.lastTouched = touched;
    }
}

void VerticalSums(uint8_t* sums, const uint8_t* up, const uint8_t* mid, const uint8_t* down,
                  int count) {
    auto sum = [&](int i) {
        return (Mask(Load(up + i) != 0) & 1) + (Mask(Load(mid + i) != 0) & 1) +
               (Mask(Load(down + i) != 0) & 1);
    };
    int i = 0;
    for (; i + kLanes <= count; i += kLanes) Store(sums + i, sum(i));
    if (i < count) Store(sums + count - kLanes, sum(count - kLanes));
}

// Window rows y0..y1.
void PortableBand(const StepJob& job, int y0, int y1, StepScratch& scratch, StepTally& tally) {
    const CellBoard& s = *job.source;
    CellBoard& t = *job.target;
    const StepWindow& win = job.win;
    const StepLookup& lut = job.lut;
    const int n = win.Columns();
    if (n < kLanes) return StepRowsScalar(s, t, win, y0, y1, lut, job.newborn, tally);

    PortableRow r;
    r.liveIndexCount = 0;
    for (int i = 0; i < 10; ++i) {
        if (lut.born[i] != 0) r.liveIndices[r.liveIndexCount++] = uint8_t(i);
        if (lut.survives[i] != 0) r.liveIndices[r.liveIndexCount++] = uint8_t(16 + i);
    }
    r.newborn = Splat(job.newborn);
    r.sums = scratch.rows[0];
    Bytes lanes;
    for (int i = 0; i < kLanes; ++i) lanes[i] = uint8_t(i);

    const std::size_t w = std::size_t(s.width);
    for (int y = y0; y <= y1; ++y) {
        const uint8_t* mid = s.StepSourceCells() + std::size_t(y) * w + std::size_t(win.firstCol);
        VerticalSums(r.sums, mid - w - 1, mid - 1, mid + w - 1, n + 2);
        r.old = mid;
        r.out = t.StepCells() + std::size_t(y) * w + std::size_t(win.firstCol);
        r.firstX = r.lastX = -1;
        int x = 0;
        for (; x + kLanes <= n; x += kLanes) {
            Cells(r, x, Splat(0xFF));
            // A lane gains at most one per vector: flush before 255.
            if (++r.counts.pending == 255) r.counts.Flush(tally);
        }
        if (x < n) {
            const uint8_t counted = uint8_t(x - (n - kLanes));
            Cells(r, n - kLanes, Mask(lanes >= counted));
        }
        r.counts.Flush(tally);
        if (r.firstX >= 0) {
            tally.IncludeColumns(win.firstCol + r.firstX + FirstLane(r.firstTouched),
                                 win.firstCol + r.lastX + LastLane(r.lastTouched));
            tally.IncludeRow(y);
        }
    }
}

}  // namespace

StepCounts StepBytesPortable(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                             uint64_t* liveHash) {
    if (s.width > kStepRowCapacity) return StepReference(s, t, newborn, rule, liveHash);
    return StepInBands(s, t, newborn, rule, &PortableBand, liveHash);
}

}  // namespace cellarium
