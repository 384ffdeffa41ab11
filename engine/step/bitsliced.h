// The bit-sliced step, written once over a set of word operations (Ops) that
// each kernel's file supplies: 64-bit words for any CPU, AVX2 and AVX-512
// vectors of them. Included by exactly one file per instruction set, which
// first defines CELLARIUM_BITS_FN (the attributes of every helper: its target
// and always_inline) and CELLARIUM_BITS_TOP (those of the band function);
// everything here is a template over that file's own Ops, so nothing compiled
// for one instruction set is shared with another.
//
// A row of the window becomes bit planes: bit p of a row's words stands for
// column firstCol + p (word -1's top bit for column firstCol - 1, bit n for
// lastCol + 1, where n is the window's width). Each step row converts the
// source row below it into such a plane, adds the three planes up and down
// into two planes of column sums (0..3), adds those left, centre and right
// with full adders into four planes of the 3 x 3 block's count s (0..9, the
// cell included) and looks the rule up as a tree of selections on those
// planes, the cell's own liveness last. Only then are the bytes touched: a
// live result keeps the old byte or, where the cell was dead, takes the
// newborn value, a dead result writes 0. The tallies are population counts
// of the planes.
#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>

#include "engine/live_hash.h"
#include "engine/step/kernels.h"

#if !defined(CELLARIUM_BITS_FN) || !defined(CELLARIUM_BITS_TOP)
#error "define CELLARIUM_BITS_FN and CELLARIUM_BITS_TOP before including engine/step/bitsliced.h"
#endif

namespace cellarium::bitsliced {

// Words kept before index 0 of every plane in the step thread's row buffers.
inline constexpr int kPadWords = 16;

// A row buffer holds a plane of the widest row, and the last one a second
// from its middle.
static_assert(kStepRowBuffer / 16 >= kPadWords + (kStepRowCapacity + 1) / 64 + 2 * 8 + 2);

// Bits p..p+63 of a plane.
template <class Ops>
CELLARIUM_BITS_FN uint64_t BitsAt(const uint64_t* plane, int p) {
    const int j = p >> 6, o = p & 63;
    return o == 0 ? plane[j] : (plane[j] >> o) | (plane[j + 1] << (64 - o));
}

// The rule as selections: for a cell's liveness a (0, 1), the 10 results by s
// in pairs (s = 2i, 2i + 1): even[a][i] the result for 2i, diff[a][i] the
// results' difference, each all ones or all zeros.
// Kept as words, broadcast where used, so they need no registers of their own.
struct RulePlanes {
    uint64_t even[2][5], diff[2][5];
    bool conway;  // born 3, survive 2 and 3: a shorter selection
};

static inline RulePlanes MakeRulePlanes(const StepLookup& lut) {
    RulePlanes r;
    for (int a = 0; a < 2; ++a)
        for (int i = 0; i < 5; ++i) {
            const uint8_t* table = a != 0 ? lut.survives : lut.born;
            const uint64_t e = table[2 * i] != 0 ? ~uint64_t(0) : 0;
            const uint64_t o = table[2 * i + 1] != 0 ? ~uint64_t(0) : 0;
            r.even[a][i] = e;
            r.diff[a][i] = e ^ o;
        }
    StepLookup conway{};
    conway.born[3] = conway.survives[3] = conway.survives[4] = 0xFF;
    r.conway = std::equal(lut.born, lut.born + 16, conway.born) &&
               std::equal(lut.survives, lut.survives + 16, conway.survives);
    return r;
}

// The result for a cell of liveness a from the count planes t0..t3.
template <class Ops>
CELLARIUM_BITS_FN typename Ops::V RuleOf(const RulePlanes& r, int a, typename Ops::V t0,
                                         typename Ops::V t1, typename Ops::V t2,
                                         typename Ops::V t3) {
    using V = typename Ops::V;
    V pair[5];
    for (int i = 0; i < 5; ++i)
        pair[i] = Ops::Xor(Ops::Splat(r.even[a][i]), Ops::And(Ops::Splat(r.diff[a][i]), t0));
    const V low = Ops::Mux(t1, pair[1], pair[0]);   // s 0..3
    const V high = Ops::Mux(t1, pair[3], pair[2]);  // s 4..7
    return Ops::Mux(t3, pair[4], Ops::Mux(t2, high, low));
}

// Converts source row bytes (at firstCol) into a plane of positions -1..n;
// words past the plane up to `words` are zeroed.
// With `fetch`, the same span of a row further down is fetched into the
// caches on the way, for a later call.
template <class Ops>
CELLARIUM_BITS_FN void ToPlane(const uint8_t* row, int n, int words, uint64_t* plane,
                               const uint8_t* fetch = nullptr) {
    if (fetch != nullptr)
        for (int i = -1; i <= n; i += 64) __builtin_prefetch(fetch + i);
    plane[-1] = uint64_t(row[-1] != 0) << 63;
    Ops::ToBits(row, n + 1, plane);
    for (int k = (n + 1 + 63) / 64; k < words; ++k) plane[k] = 0;
}

// Writes window cells 0..n-1 of a row from the planes of its next state and
// old liveness.
template <class Ops>
CELLARIUM_BITS_FN void WriteRow(uint8_t* out, const uint8_t* old, const uint64_t* next,
                                const uint64_t* alive, int n, uint8_t newborn, bool stream) {
    if (n < 64) return Ops::WriteNarrow(out, old, next[0], alive[0], n, newborn);
    int p = 0;
    if (stream) {
        // One plain chunk up to the first 64-byte boundary, then whole lines
        // streamed past the caches.
        const int head = int((0 - reinterpret_cast<uintptr_t>(out)) & 63);
        if (head != 0) {
            Ops::template WriteChunk<false>(out, old, next[0], alive[0], newborn);
            p = head;
        }
        for (; p + 64 <= n; p += 64)
            Ops::template WriteChunk<true>(out + p, old + p, BitsAt<Ops>(next, p),
                                           BitsAt<Ops>(alive, p), newborn);
    } else {
        for (; p + 64 <= n; p += 64)
            Ops::template WriteChunk<false>(out + p, old + p, next[p >> 6], alive[p >> 6], newborn);
    }
    // The last chunk ends at the window's edge, overlapping the one before.
    if (p < n)
        Ops::template WriteChunk<false>(out + n - 64, old + n - 64, BitsAt<Ops>(next, n - 64),
                                        BitsAt<Ops>(alive, n - 64), newborn);
}

// What the planes of a band add up to, per vector lane.
template <class Ops>
struct Counts {
    typename Ops::V births, deaths, live;
};

// The next state of a vector of cells from the column sums left, centre and
// right of them (l0/c0/r0 the low planes, l1/c1/r1 the high ones), their
// liveness and the window's columns `in`, with the counts added.
template <class Ops, bool kConway>
CELLARIUM_BITS_FN typename Ops::V NextState(const RulePlanes& rule, typename Ops::V l0,
                                            typename Ops::V c0, typename Ops::V r0,
                                            typename Ops::V l1, typename Ops::V c1,
                                            typename Ops::V r1, typename Ops::V alive,
                                            typename Ops::V in, Counts<Ops>& counts) {
    using V = typename Ops::V;
    // s = t0 + 2 t1 + 4 t2 + 8 t3
    const V t0 = Ops::Xor3(l0, c0, r0), carry0 = Ops::Maj(l0, c0, r0);
    const V twos = Ops::Xor3(l1, c1, r1), fours = Ops::Maj(l1, c1, r1);
    const V t1 = Ops::Xor(twos, carry0), carry1 = Ops::And(twos, carry0);
    const V t2 = Ops::Xor(fours, carry1);
    V nx;
    if (kConway) {
        // s == 3 (t3 is set only with t1 clear), or a live cell with s == 4.
        const V three = Ops::AndAndNot(t0, t1, t2);
        const V four = Ops::AndNotNotAnd(t0, t1, t2);
        nx = Ops::And(Ops::Or(three, Ops::And(alive, four)), in);
    } else {
        const V t3 = Ops::And(fours, carry1);
        nx = Ops::And(Ops::Mux(alive, RuleOf<Ops>(rule, 1, t0, t1, t2, t3),
                               RuleOf<Ops>(rule, 0, t0, t1, t2, t3)),
                      in);
    }
    counts.births = Ops::Add(counts.births, Ops::Count(Ops::AndNot(alive, nx)));
    counts.deaths = Ops::Add(counts.deaths, Ops::Count(Ops::AndNot(nx, alive)));
    counts.live = Ops::Add(counts.live, Ops::Count(nx));
    return nx;
}

// Next-state planes of one row: from the column sums and the row's liveness,
// words 0..vectors-1, each ANDed with `valid` (the window's columns), with
// the counts added.
template <class Ops, bool kConway>
CELLARIUM_BITS_FN void NextRow(const RulePlanes& rule, const uint64_t* sum0, const uint64_t* sum1,
                               const uint64_t* mid, const uint64_t* valid, uint64_t* next,
                               int vectors, Counts<Ops>& counts) {
    using V = typename Ops::V;
    for (int k = 0; k < vectors; k += Ops::kWords) {
        const V c0 = Ops::Load(sum0 + k), c1 = Ops::Load(sum1 + k);
        const V l0 = Ops::ShiftInLeft(c0, Ops::Load(sum0 + k - 1));
        const V r0 = Ops::ShiftInRight(c0, Ops::Load(sum0 + k + 1));
        const V l1 = Ops::ShiftInLeft(c1, Ops::Load(sum1 + k - 1));
        const V r1 = Ops::ShiftInRight(c1, Ops::Load(sum1 + k + 1));
        const V in = Ops::Load(valid + k);
        const V alive = Ops::And(Ops::Load(mid + k), in);
        const V nx = NextState<Ops, kConway>(rule, l0, c0, r0, l1, c1, r1, alive, in, counts);
        Ops::Store(next + k, nx);
    }
}

// Window rows y0..y1.
template <class Ops>
CELLARIUM_BITS_TOP void Band(const StepJob& job, int y0, int y1, StepScratch& scratch,
                             StepTally& tally) {
    using V = typename Ops::V;
    constexpr int kW = Ops::kWords;
    const CellBoard& s = *job.source;
    CellBoard& t = *job.target;
    const StepWindow& win = job.win;
    const int n = win.Columns();
    const int cellWords = (n + 63) / 64;                  // positions 0..n-1
    const int planeWords = (n + 1 + 63) / 64;             // positions 0..n
    const int vectors = (planeWords + kW - 1) / kW * kW;  // rounded up to whole vectors
    const int words = vectors + kW;  // what the planes hold, zeros past planeWords
    auto plane = [&scratch](int i, int at) {
        return reinterpret_cast<uint64_t*>(scratch.rows[i]) + kPadWords + at;
    };
    uint64_t* rows[3] = {plane(0, 0), plane(1, 0), plane(2, 0)};
    uint64_t* sum0 = plane(3, 0);
    uint64_t* sum1 = plane(4, 0);
    uint64_t* next = plane(5, 0);
    // The window's columns, as a plane; in the last buffer behind `next`.
    uint64_t* valid = plane(5, kStepRowBuffer / 16);
    for (int k = 0; k < words; ++k)
        valid[k] = k < cellWords - 1    ? ~uint64_t(0)
                   : k == cellWords - 1 ? ~uint64_t(0) >> (64 * cellWords - n)
                                        : 0;
    next[-1] = 0;
    for (int k = vectors; k < words; ++k) next[k] = 0;
    const RulePlanes rule = MakeRulePlanes(job.lut);
    Counts<Ops> counts{Ops::Splat(0), Ops::Splat(0), Ops::Splat(0)};

    const std::size_t w = std::size_t(s.width);
    const uint8_t* src = s.StepSourceCells() + std::size_t(win.firstCol);
    uint8_t* dst = t.StepCells() + std::size_t(win.firstCol);
    ToPlane<Ops>(src + std::size_t(y0 - 1) * w, n, words, rows[0]);
    ToPlane<Ops>(src + std::size_t(y0) * w, n, words, rows[1]);

    typename Ops::HashSum hash = Ops::HashStart();
    const int hashFrom = win.firstCol >> 6, hashTo = win.lastCol >> 6;
    const int shift = win.firstCol & 63;
    // On a board too large for the caches the rows to come are fetched
    // kFetchRows ahead, so that reading them overlaps the work on this one
    // instead of following it.
    constexpr int kFetchRows = 2;
    for (int y = y0; y <= y1; ++y) {
        uint64_t* up = rows[(y - y0) % 3];
        uint64_t* mid = rows[(y - y0 + 1) % 3];
        uint64_t* down = rows[(y - y0 + 2) % 3];
        const bool fetch = job.stream && y + 1 + kFetchRows < s.height;
        ToPlane<Ops>(src + std::size_t(y + 1) * w, n, words, down,
                     fetch ? src + std::size_t(y + 1 + kFetchRows) * w : nullptr);

        sum0[-1] = up[-1] ^ mid[-1] ^ down[-1];
        sum1[-1] = (up[-1] & mid[-1]) | (down[-1] & (up[-1] | mid[-1]));
        for (int k = 0; k < words; k += kW) {
            const V u = Ops::Load(up + k), m = Ops::Load(mid + k), d = Ops::Load(down + k);
            Ops::Store(sum0 + k, Ops::Xor3(u, m, d));
            Ops::Store(sum1 + k, Ops::Maj(u, m, d));
        }
        if (rule.conway)
            NextRow<Ops, true>(rule, sum0, sum1, mid, valid, next, vectors, counts);
        else
            NextRow<Ops, false>(rule, sum0, sum1, mid, valid, next, vectors, counts);

        // The row's bounds: its first and last word with a cell live in
        // either generation.
        int first = 0, last = cellWords - 1;
        while (first < cellWords && ((mid[first] & valid[first]) | next[first]) == 0) ++first;
        if (first < cellWords) {
            while (((mid[last] & valid[last]) | next[last]) == 0) --last;
            tally.IncludeRow(y);
            tally.IncludeColumns(win.firstCol + 64 * first +
                                     __builtin_ctzll((mid[first] & valid[first]) | next[first]),
                                 win.firstCol + 64 * last + 63 -
                                     __builtin_clzll((mid[last] & valid[last]) | next[last]));
        }

        uint8_t* out = dst + std::size_t(y) * w;
        const uint8_t* old = src + std::size_t(y) * w;
        if (job.hash) {
            // The row's words as LiveCellHash cuts them, in the buffer of the
            // column sums (done with for this row); the cells of the first
            // and last word outside the window keep the target's bytes.
            const uint8_t* targetRow = t.StepCells() + std::size_t(y) * w;
            uint64_t* cut = sum0;
            const int count = hashTo - hashFrom + 1;
            for (int j = 0; j < count; ++j)
                cut[j] = shift == 0 ? next[j] : (next[j] << shift) | (next[j - 1] >> (64 - shift));
            cut[0] |= LiveBits(targetRow + 64 * hashFrom, shift);
            const int from = win.lastCol + 1 - 64 * hashTo;
            const int after = std::min(64, t.width - 64 * hashTo) - from;
            if (after > 0) cut[count - 1] |= LiveBits(targetRow + win.lastCol + 1, after) << from;
            Ops::HashWords(cut, count, y, hashFrom, hash);
        }
        WriteRow<Ops>(out, old, next, mid, n, job.newborn, job.stream);
    }
    if (job.stream) Ops::Fence();
    tally.births += Ops::Sum(counts.births);
    tally.deaths += Ops::Sum(counts.deaths);
    tally.live += Ops::Sum(counts.live);
    tally.hash += Ops::HashTotal(hash);
}

}  // namespace cellarium::bitsliced

namespace cellarium::bitsliced {

// Writes the bytes of the cells of a word marked in `write`: a cell dead
// next becomes 0, one born takes the newborn value, one that lives on keeps
// its old byte, read only where it is marked in `read`; elsewhere the old
// byte is known to be `kept`. A word that needs reads and has no cell outside
// the window (`whole`) is written as one chunk from the old bytes; `fits`
// says whether all 64 bytes of the word lie in the row.
template <class Ops>
CELLARIUM_BITS_FN void WriteMarked(uint8_t* out, const uint8_t* old, uint64_t next, uint64_t alive,
                                   uint64_t write, uint64_t read, bool whole, bool fits,
                                   uint8_t newborn, uint8_t kept) {
    if (read != 0 && whole) {
        Ops::template WriteChunk<false>(out, old, next, alive, newborn);
        return;
    }
    // Without a read of the source's bytes, which on a board larger than the
    // caches would be a wait each; cell by cell where the word's bytes end
    // past the row (its last word), which another band's row may follow.
    if (fits) {
        Ops::WriteSelected(out, write, next, alive, newborn, kept);
    } else {
        for (uint64_t m = write & ~read; m != 0; m &= m - 1) {
            const int b = __builtin_ctzll(m);
            out[b] = (next >> b) & 1 ? ((alive >> b) & 1 ? kept : newborn) : 0;
        }
    }
    for (uint64_t m = read; m != 0; m &= m - 1) {
        const int b = __builtin_ctzll(m);
        out[b] = old[b];
    }
}

// The column sums (0..3) of three rows as two planes.
template <class Ops>
CELLARIUM_BITS_FN void ColumnSums(typename Ops::V u, typename Ops::V m, typename Ops::V d,
                                  typename Ops::V& s0, typename Ops::V& s1) {
    s0 = Ops::Xor3(u, m, d);
    s1 = Ops::Maj(u, m, d);
}

// One row of the step on planes, `vectors` words from the span's start:
// the column sums of the three source rows (u, m, d; the words just before
// and after the span given apart) kept in registers, the neighbouring
// columns brought in from the vectors on either side rather than loaded
// again from memory; then the next generation into `next` and the target's
// plane, the bytes to write into `writes` and the ones of those whose old
// byte must be read into `reads` (see PlaneBand), and a bit per word that
// has bytes to write in `marked`, each of its (vectors + 63) / 64 words
// written whole.
//
// The cells live in either generation are ORed into `seen`, and whether
// there are any is returned.
//
// With kBirths the bytes are left alone: `writes` is the row of the births
// plane instead, given the cells born (0 outside the window), which are also
// ORed into `group`, and `next`, `reads` and `marked` are not written.
template <class Ops, bool kConway, bool kBirths = false>
CELLARIUM_BITS_FN bool PlaneRow(const RulePlanes& rule, const uint64_t* up, const uint64_t* mid,
                                const uint64_t* down, uint64_t upBefore, uint64_t midBefore,
                                uint64_t downBefore, uint64_t upAfter, uint64_t midAfter,
                                uint64_t downAfter, const uint64_t* valid, const uint64_t* known,
                                uint64_t* target, uint64_t* writes, uint64_t* reads,
                                uint64_t* marked, uint64_t* next, uint64_t* group, uint64_t* seen,
                                int wholeFrom, int wholeTo, int vectors, Counts<Ops>& counts) {
    using V = typename Ops::V;
    constexpr int kW = Ops::kWords;
    V p0, p1, c0, c1, n0, n1;
    V any = Ops::Splat(0);
    uint64_t mark = 0;  // the marks of the current 64 words, stored whole
    ColumnSums<Ops>(Ops::Splat(upBefore), Ops::Splat(midBefore), Ops::Splat(downBefore), p0, p1);
    ColumnSums<Ops>(Ops::Load(up), Ops::Load(mid), Ops::Load(down), c0, c1);
    for (int k = 0; k < vectors; k += kW) {
        if (k + kW < vectors)
            ColumnSums<Ops>(Ops::Load(up + k + kW), Ops::Load(mid + k + kW),
                            Ops::Load(down + k + kW), n0, n1);
        else
            ColumnSums<Ops>(Ops::Splat(upAfter), Ops::Splat(midAfter), Ops::Splat(downAfter), n0,
                            n1);
        const V l0 = Ops::ShiftInLeft(c0, Ops::WordsLeft(c0, p0));
        const V r0 = Ops::ShiftInRight(c0, Ops::WordsRight(c0, n0));
        const V l1 = Ops::ShiftInLeft(c1, Ops::WordsLeft(c1, p1));
        const V r1 = Ops::ShiftInRight(c1, Ops::WordsRight(c1, n1));
        const V in = Ops::Load(valid + k);
        const V cur = Ops::And(Ops::Load(mid + k), in);
        const V nx = NextState<Ops, kConway>(rule, l0, c0, r0, l1, c1, r1, cur, in, counts);
        if constexpr (!kBirths) Ops::Store(next + k, nx);

        const V lives = Ops::Or(cur, nx);
        any = Ops::Or(any, lives);
        Ops::Store(seen + k, Ops::Or(Ops::Load(seen + k), lives));
        if constexpr (kBirths) {
            // The target's bits outside the window kept: read only where
            // the vector has some.
            if (k >= wholeFrom && k + kW <= wholeTo)
                Ops::Store(target + k, nx);
            else
                Ops::Store(target + k, Ops::Or(Ops::AndNot(in, Ops::Load(target + k)), nx));
            // nx lies inside the window already.
            const V born = Ops::AndNot(cur, nx);
            Ops::Store(writes + k, born);
            Ops::Store(group + k, Ops::Or(Ops::Load(group + k), born));
            p0 = c0;
            p1 = c1;
            c0 = n0;
            c1 = n1;
            continue;
        }
        const V was = Ops::Load(target + k);
        Ops::Store(target + k, Ops::Or(Ops::AndNot(in, was), nx));
        // A known cell needs writing when its liveness differs from the
        // target's or it is born again; a live one keeps the source's byte,
        // to be read only where it is not known.
        const V kn = Ops::Load(known + k);
        const V changed = Ops::Or(Ops::Xor(nx, was), Ops::AndNot(cur, nx));
        const V write = Ops::AndNot(Ops::AndNot(changed, kn), in);
        Ops::Store(writes + k, write);
        mark |= uint64_t(Ops::NonZeroWords(write)) << (k & 63);
        if (((k + kW) & 63) == 0 || k + kW >= vectors) {
            marked[k >> 6] = mark;
            mark = 0;
        }
        Ops::Store(reads + k, Ops::AndNot(kn, Ops::And(write, Ops::And(nx, cur))));
        p0 = c0;
        p1 = c1;
        c0 = n0;
        c1 = n1;
    }
    return Ops::NonZeroWords(any) != 0;
}

// Words of a bit per word of the widest row.
inline constexpr int kMarkWords = (kStepRowCapacity / 64 + 64) / 64 + 1;
static_assert(kStepRowBuffer / 8 >= kPadWords + 3072 + kStepRowCapacity / 64 + 2 * 8 + 2);

// The bytes a row stepped on the planes leaves to write: its next state,
// the words to write and to read as PlaneRow leaves them, and a bit per word
// with something to write; `y` < 0 once written.
struct MarkedRow {
    int y = -1;
    uint64_t* next;
    uint64_t* writes;
    uint64_t* reads;
    uint64_t marked[kMarkWords];
};

// Writes the marked words of a row of the span from word `base`, `valid`
// the window's columns.
template <class Ops>
CELLARIUM_BITS_FN void WriteMarkedRow(MarkedRow& r, const StepJob& job, int base, int markWords,
                                      const uint64_t* valid) {
    if (r.y < 0) return;
    const CellBoard& s = *job.source;
    const std::size_t at = std::size_t(r.y) * std::size_t(s.width) + std::size_t(64 * base);
    const uint8_t* src = s.StepSourceCells() + at;
    uint8_t* dst = job.target->StepCells() + at;
    const uint64_t* alive = s.Plane() + std::size_t(r.y) * std::size_t(s.PlaneStride()) + base;
    for (int j = 0; j < markWords; ++j)
        for (uint64_t m = r.marked[j]; m != 0; m &= m - 1) {
            const int i = 64 * j + __builtin_ctzll(m);
            WriteMarked<Ops>(dst + 64 * i, src + 64 * i, r.next[i], alive[i] & valid[i],
                             r.writes[i], r.reads[i], valid[i] == ~uint64_t(0),
                             64 * (base + i + 1) <= s.width, job.newborn, job.previousNewborn);
        }
    r.y = -1;
}

// Window rows y0..y1 stepped on the boards' liveness planes: the plane rows
// of the source are read in place at their own word columns, the target's
// plane words of the window are replaced by the next generation's (its bits
// outside the window kept), and then only the bytes that change are
// written. With job.delta the target holds the generation before the
// source's, so inside job.previous a cell's byte is already right unless it
// changes liveness between that generation and the next or is born again
// after dying; elsewhere every window cell is written.
//
// A row's scattered bytes are written one row late: the lines they fall in
// are fetched while the next row's planes are worked out, so that the
// writes do not wait for memory one line at a time.
template <class Ops>
CELLARIUM_BITS_TOP void PlaneBand(const StepJob& job, int y0, int y1, StepScratch& scratch,
                                  StepTally& tally) {
    constexpr int kW = Ops::kWords;
    const CellBoard& s = *job.source;
    CellBoard& t = *job.target;
    const StepWindow& win = job.win;
    const int stride = s.PlaneStride();
    // Word columns: the window's first and last, and the vectors' span from
    // `base` (a whole vector of the row's words, 64-byte aligned rows).
    const int kFirst = win.firstCol >> 6, kLast = win.lastCol >> 6;
    const int base = kFirst / kW * kW;
    const int vectors = (kLast + 1 - base + kW - 1) / kW * kW;
    const int words = vectors + kW;
    const int markWords = (vectors + 63) / 64;
    auto buffer = [&scratch](int i, int at) {
        return reinterpret_cast<uint64_t*>(scratch.rows[i]) + kPadWords + at;
    };
    uint64_t* shiftedNext = buffer(0, 0);
    uint64_t* shiftedAlive = buffer(1, 0);
    const int n = win.Columns();
    const int cellWords = (n + 63) / 64;
    uint64_t* valid = buffer(3, 0);     // the window's columns
    uint64_t* previous = buffer(4, 0);  // the columns whose bytes may already be right
    uint64_t* none = buffer(4, 2048);   // no such columns
    uint64_t* seen = buffer(5, 0);      // the columns with a cell live in either generation
    // What a row leaves to write; two, for this row and the one before.
    using Row = MarkedRow;
    Row rowsOf[2];
    rowsOf[0].next = buffer(2, 0);
    rowsOf[0].writes = buffer(5, 1024);
    rowsOf[0].reads = buffer(5, 2048);
    rowsOf[1].next = buffer(2, 1024);
    rowsOf[1].writes = buffer(0, 1024);
    rowsOf[1].reads = buffer(0, 2048);
    for (int i = 0; i < words; ++i) none[i] = seen[i] = 0;
    auto columns = [&](int from, int to, uint64_t* plane) {
        for (int i = -1; i < words; ++i) {
            const int lo = 64 * (base + i), hi = lo + 63;
            uint64_t bits = 0;
            if (from <= hi && to >= lo) {
                const int a = std::max(from, lo) - lo, b = std::min(to, hi) - lo;
                bits = (~uint64_t(0) >> (63 - (b - a))) << a;
            }
            plane[i] = bits;
        }
    };
    columns(win.firstCol, win.lastCol, valid);
    // The span's words wholly inside the window, from..to - 1.
    const int wholeFrom = kFirst + (win.firstCol % 64 != 0) - base;
    const int wholeTo = kLast + (win.lastCol % 64 == 63) - base;
    // Only the planes, the births kept for the bytes to be brought up to
    // date later (engine/birth_log.h).
    const bool births = job.births != nullptr;
    const bool delta = !births && job.delta && !job.previous.Empty();
    if (delta) columns(job.previous.firstCol, job.previous.lastCol, previous);
    for (Row& r : rowsOf) {
        for (int k = vectors; k < words; ++k) r.next[k] = 0;
        r.next[-1] = 0;
    }
    const RulePlanes rule = MakeRulePlanes(job.lut);
    Counts<Ops> counts{Ops::Splat(0), Ops::Splat(0), Ops::Splat(0)};

    const std::size_t w = std::size_t(s.width);
    const uint8_t* src = s.StepSourceCells();
    uint8_t* dst = t.StepCells();
    const uint64_t* sp = s.Plane();
    uint64_t* tp = t.StepPlane();
    // A word of a row beside the vectors' span: 0 past either end of the row.
    auto side = [&](const uint64_t* row, int k) { return k < 0 || k >= stride ? 0 : row[k]; };

    // On a window too large for the caches the planes' rows, short and many
    // worked at once (the source's, the target's and, without bytes, those
    // of the births), are more than the caches' own fetching follows: each
    // is fetched kAhead rows before it is needed. Where they fit, fetching
    // only costs (bench/step_benchmark: Run800, Run10000).
    constexpr int kAhead = 4;
    const int spanBytes = 8 * vectors;
    auto fetch = [spanBytes](const uint64_t* row, bool write) {
        const char* p = reinterpret_cast<const char*>(row);
        for (int i = 0; i < spanBytes; i += 64)
            write ? __builtin_prefetch(p + i, 1) : __builtin_prefetch(p + i, 0);
    };
    typename Ops::HashSum hash = Ops::HashStart();
    for (int y = y0; y <= y1; ++y) {
        if (job.stream && y + kAhead + 1 < s.height) {
            const std::size_t ahead = std::size_t(y + kAhead) * std::size_t(stride) + base;
            fetch(sp + ahead + stride, false);
            fetch(tp + ahead, true);
            if (births) {
                fetch(job.births->born + job.births->RowAt(y + kAhead) + base, true);
                fetch(job.births->group + ahead, true);
            }
        }
        Row& row = rowsOf[(y - y0) & 1];
        Row& before = rowsOf[(y - y0 + 1) & 1];
        const uint64_t* up = sp + std::size_t(y - 1) * std::size_t(stride);
        const uint64_t* mid = up + stride;
        const uint64_t* down = mid + stride;
        // Rows of the last step's window have bytes that may already be
        // right in its columns; other rows have none.
        const bool inPrevious = delta && y >= job.previous.firstRow && y <= job.previous.lastRow;
        const uint64_t* known = inPrevious ? previous : none;
        uint64_t* target = tp + std::size_t(y) * std::size_t(stride);
        bool any;
        if (births) {
            uint64_t* born = job.births->born + job.births->RowAt(y) + base;
            const std::size_t at = std::size_t(y) * std::size_t(stride) + std::size_t(base);
            if (rule.conway)
                any = PlaneRow<Ops, true, true>(
                    rule, up + base, mid + base, down + base, side(up, base - 1),
                    side(mid, base - 1), side(down, base - 1), side(up, base + vectors),
                    side(mid, base + vectors), side(down, base + vectors), valid, none,
                    target + base, born, nullptr, nullptr, row.next, job.births->group + at, seen,
                    wholeFrom, wholeTo, vectors, counts);
            else
                any = PlaneRow<Ops, false, true>(
                    rule, up + base, mid + base, down + base, side(up, base - 1),
                    side(mid, base - 1), side(down, base - 1), side(up, base + vectors),
                    side(mid, base + vectors), side(down, base + vectors), valid, none,
                    target + base, born, nullptr, nullptr, row.next, job.births->group + at, seen,
                    wholeFrom, wholeTo, vectors, counts);
        } else if (rule.conway)
            any = PlaneRow<Ops, true>(
                rule, up + base, mid + base, down + base, side(up, base - 1), side(mid, base - 1),
                side(down, base - 1), side(up, base + vectors), side(mid, base + vectors),
                side(down, base + vectors), valid, known, target + base, row.writes, row.reads,
                row.marked, row.next, nullptr, seen, 0, 0, vectors, counts);
        else
            any = PlaneRow<Ops, false>(
                rule, up + base, mid + base, down + base, side(up, base - 1), side(mid, base - 1),
                side(down, base - 1), side(up, base + vectors), side(mid, base + vectors),
                side(down, base + vectors), valid, known, target + base, row.writes, row.reads,
                row.marked, row.next, nullptr, seen, 0, 0, vectors, counts);
        if (any) tally.IncludeRow(y);
        if (births) {
            if (job.hash) Ops::HashWords(target + kFirst, kLast - kFirst + 1, y, kFirst, hash);
            continue;
        }
        // Where nearly all words have bytes to write, the whole row at once
        // as the bit-sliced step writes it (streamed past the caches on a
        // large window), from planes that start at the window's first
        // column; otherwise only the marked words, a row later.
        int count = 0;
        for (int j = 0; j < markWords; ++j) count += Ops::Popcount(row.marked[j]);
        if (4 * count >= 3 * (kLast - kFirst + 1)) {
            const int offset = win.firstCol - 64 * base;
            for (int j = 0; j < cellWords; ++j) {
                shiftedNext[j] = BitsAt<Ops>(row.next, offset + 64 * j);
                shiftedAlive[j] = BitsAt<Ops>(mid + base, offset + 64 * j);
            }
            WriteRow<Ops>(dst + std::size_t(y) * w + std::size_t(win.firstCol),
                          src + std::size_t(y) * w + std::size_t(win.firstCol), shiftedNext,
                          shiftedAlive, n, job.newborn, job.stream);
        } else if (count != 0) {
            const std::size_t at = std::size_t(y) * w + std::size_t(64 * base);
            for (int j = 0; j < markWords; ++j)
                for (uint64_t m = row.marked[j]; m != 0; m &= m - 1) {
                    const int i = 64 * j + __builtin_ctzll(m);
                    __builtin_prefetch(dst + at + std::size_t(64 * i), 1);
                    if (row.reads[i] != 0) __builtin_prefetch(src + at + std::size_t(64 * i), 0);
                }
            row.y = y;
        }
        WriteMarkedRow<Ops>(before, job, base, markWords, valid);
        if (job.hash) Ops::HashWords(target + kFirst, kLast - kFirst + 1, y, kFirst, hash);
    }
    for (Row& r : rowsOf) WriteMarkedRow<Ops>(r, job, base, markWords, valid);
    int first = kFirst - base, last = kLast - base;
    while (first <= last && seen[first] == 0) ++first;
    if (first <= last) {
        while (seen[last] == 0) --last;
        tally.IncludeColumns(64 * (base + first) + __builtin_ctzll(seen[first]),
                             64 * (base + last) + 63 - __builtin_clzll(seen[last]));
    }
    if (job.stream) Ops::Fence();
    tally.births += Ops::Sum(counts.births);
    tally.deaths += Ops::Sum(counts.deaths);
    tally.live += Ops::Sum(counts.live);
    tally.hash += Ops::HashTotal(hash);
}

}  // namespace cellarium::bitsliced
