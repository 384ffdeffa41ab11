// Pieces shared by the fast step kernels, and the kernels themselves. Every
// kernel follows the contract of StepReference (engine/step.h) exactly; the
// differential tests and the fuzz target hold them to it.
//
// The fast kernels all work the same way. For each window row they first build
// a row of vertical sums v[x] = live(x, y-1) + live(x, y) + live(x, y+1) over
// the window's columns plus one on each side, then take s = v[x-1] + v[x] +
// v[x+1], the live cells of the 3 x 3 block including the cell itself (0..9).
// Two 16-entry tables indexed by s say whether a dead cell is born (born[s]) and
// whether a live cell survives (survive[s - 1]); every one of the 2^18 rules is
// exact this way, since no two counts share an entry.
#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>

#include "engine/cell_board.h"
#include "engine/step.h"

namespace cellarium {

// Widest row a kernel's preallocated row buffer holds: the widest board
// CellBoard::Create makes. Wider rows cannot occur; a kernel would hand such a
// board to the reference rather than overrun its buffer.
inline constexpr int kStepRowCapacity = kMaxBoardSide * 4;

// The window the step visits: the source's bounds grown by two cells on every
// side, clipped to the interior.
struct StepWindow {
    int firstRow, lastRow, firstCol, lastCol;
    bool Empty() const { return firstRow > lastRow || firstCol > lastCol; }
    int Columns() const { return lastCol - firstCol + 1; }
    int Rows() const { return lastRow - firstRow + 1; }
};

inline StepWindow WindowOf(const CellBoard& s) {
    return StepWindow{std::max(s.bounds.top - 2, 1), std::min(s.bounds.bottom + 2, s.height - 2),
                      std::max(s.bounds.left - 2, 1), std::min(s.bounds.right + 2, s.width - 2)};
}

// The rule as lookups by s (the cell included): 0xFF where the rule applies.
// Entries past 9 are 0; s never reaches them.
struct StepLookup {
    alignas(16) uint8_t born[16];
    alignas(16) uint8_t survives[16];
};

// Only totalistic rules come to the kernels that use it.
inline StepLookup MakeStepLookup(const Rule& rule) {
    StepLookup lut{};
    for (int n = 0; n < 9; ++n) {
        lut.born[n] = rule.Born(n) ? 0xFF : 0;
        lut.survives[n + 1] = rule.Survives(n) ? 0xFF : 0;
    }
    return lut;
}

// What a kernel gathers while it visits the window.
struct StepTally {
    int64_t births = 0;
    int64_t deaths = 0;
    int64_t live = 0;
    int top = INT_MAX, bottom = INT_MIN, left = INT_MAX, right = INT_MIN;
    // With StepJob::hash, the band's part of LiveCellHash of the target.
    uint64_t hash = 0;

    void IncludeColumns(int first, int last) {
        left = std::min(left, first);
        right = std::max(right, last);
    }
    void IncludeRow(int y) {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
};

// Computes cells x0..x1 of row y one at a time, as the reference does, for
// rows too narrow for a kernel's vectors. Returns whether any cell was live in
// either generation.
inline bool StepCellsScalar(const CellBoard& s, CellBoard& t, int y, int x0, int x1,
                            const StepLookup& lut, uint8_t newborn, StepTally& tally) {
    const std::size_t w = std::size_t(s.width);
    const uint8_t* up = s.StepSourceCells() + (std::size_t(y) - 1) * w;
    const uint8_t* mid = up + w;
    const uint8_t* down = mid + w;
    uint8_t* out = t.StepCells() + std::size_t(y) * w;
    int first = INT_MAX, last = INT_MIN;
    for (int x = x0; x <= x1; ++x) {
        int n = 0;
        for (int dx = -1; dx <= 1; ++dx)
            n += (up[x + dx] != 0) + (mid[x + dx] != 0) + (down[x + dx] != 0);
        const uint8_t old = mid[x];
        uint8_t next = 0;
        if (old != 0) {
            if (lut.survives[n] != 0) {
                next = old;
                ++tally.live;
            } else {
                ++tally.deaths;
            }
        } else if (lut.born[n] != 0) {
            next = newborn;
            ++tally.births;
            ++tally.live;
        }
        out[x] = next;
        if ((old | next) != 0) {
            first = std::min(first, x);
            last = x;
        }
    }
    if (first > last) return false;
    tally.IncludeColumns(first, last);
    return true;
}

// Hands the tally to the boards: both live counts, the target's bounds (the
// empty box when nothing was live in either generation) and the counters.
// `planeExact` says whether the kernel kept the target's plane in step with
// the bytes it wrote (otherwise the plane is made again when read); `win` is
// the window it wrote and `newborn` the value its births took.
inline StepCounts FinishStep(CellBoard& s, CellBoard& t, const StepTally& tally, bool planeExact,
                             const StepWindow& win, uint8_t newborn) {
    t.StepWritten(planeExact, s, Rect{win.firstCol, win.firstRow, win.lastCol, win.lastRow},
                  newborn);
    s.liveCount = int32_t(tally.live);
    t.liveCount = int32_t(tally.live);
    if (tally.top <= tally.bottom)
        t.bounds = Rect{tally.left, tally.top, tally.right, tally.bottom};
    else
        t.ResetBounds();
    StepCounts counts;
    counts.births = int32_t(tally.births);
    counts.deaths = int32_t(tally.deaths);
    return counts;
}

// Rows y0..y1 of the window cell by cell: a window narrower than one vector.
inline void StepRowsScalar(const CellBoard& s, CellBoard& t, const StepWindow& win, int y0, int y1,
                           const StepLookup& lut, uint8_t value, StepTally& tally) {
    for (int y = y0; y <= y1; ++y)
        if (StepCellsScalar(s, t, y, win.firstCol, win.lastCol, lut, value, tally))
            tally.IncludeRow(y);
}

// Windows of at least this many cells are written with streaming stores: a
// target that large would only push the source out of the caches, and the
// next step reads it from memory either way. A variable so that tests can take
// the streaming path on small boards.
inline constexpr std::size_t kStreamingCells = std::size_t(8) << 20;
extern std::size_t g_stepStreamingCells;

// Windows of at least this many cells are split into chunks of rows for the
// step threads; smaller ones are stepped whole on the calling thread, where
// handing chunks out costs more than it saves (ThreadedSoup* in
// bench/step_benchmark: 1 against 2 threads from 200 x 200 up). A variable
// so that tests can split small boards.
inline constexpr std::size_t kThreadedCells = std::size_t(64) << 10;
extern std::size_t g_stepThreadedCells;

// The row buffers of one step thread, made once with the thread. A kernel
// uses as many of them as it needs; the slack past the widest row takes the
// full-width loads and stores of a row's last vector.
inline constexpr std::size_t kStepRowBuffer = kStepRowCapacity + 3 * 64;
struct StepScratch {
    alignas(64) uint8_t rows[6][kStepRowBuffer];
};

// What a step on the planes that writes no bytes keeps instead: the cells it
// gives birth to in `born`, in tiles of `tileRows` rows (row y at born +
// RowAt(y)), and ORed into `group` (rows PlaneStride() words apart, as the
// boards' planes). In each only the words of the window's rows from the
// vectors' span are written.
struct StepBirths {
    uint64_t* born = nullptr;
    std::size_t rowWords = 0;
    int tileRows = 1;
    std::size_t tileWords = 0;
    uint64_t* group = nullptr;

    std::size_t RowAt(int y) const {
        return std::size_t(y / tileRows) * tileWords + std::size_t(y % tileRows) * rowWords;
    }
};

// What every band of one step shares.
struct StepJob {
    const CellBoard* source;
    CellBoard* target;
    StepWindow win;  // never empty
    StepLookup lut;  // for totalistic rules
    const Rule* rule;
    uint8_t newborn;  // the value a birth writes
    bool stream;      // the whole window is large enough for streaming stores
    // The band adds its rows' part of the target's LiveCellHash to its tally:
    // the words of the window's rows that hold a window cell.
    bool hash;
    // For the bands that step the liveness planes (StepPlanes*): the target
    // holds what the step into the source made of it, and inside `previous`
    // (that step's window) only cells whose bytes change need writing; a
    // cell born in that step has the byte `previousNewborn`.
    bool delta = false;
    StepWindow previous{0, -1, 0, -1};
    uint8_t previousNewborn = 0;
    // Where not null, the bands that step the planes write no bytes: they
    // store the cells born instead.
    const StepBirths* births = nullptr;
};

// A kernel's band: steps window rows y0..y1 (columns win.firstCol..lastCol),
// reading the source board only (the rows next to the band too) and writing
// only those rows of the target, and adds their births, deaths, live cells
// and bounds to the tally. Bands of one step never wait on each other.
using StepBand = void (*)(const StepJob& job, int y0, int y1, StepScratch& scratch,
                          StepTally& tally);

// The step through a kernel's band: the window whole on the calling thread,
// or, when it is large enough and more than one step thread is set, split
// into bands of rows run on the step threads (the caller taking the first).
// Returns once every band is done, with the tallies combined into the boards
// as FinishStep does. A rule that is not totalistic is stepped with the
// table kernel's band instead of `band`. With liveHash, also stores LiveCellHash of the target
// there: where bandHashes, the bands give the window rows' part and the rest
// of the board is added, otherwise the whole board is hashed after the step.
// A band that steps the planes (`writesPlane`) reads both boards' planes and
// leaves the target's exact: both are made up to date before the bands run.
// With `births` (a plane band only) the target's bytes are not written: see
// StepBirths.
StepCounts StepInBands(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                       StepBand band, uint64_t* liveHash = nullptr, bool bandHashes = false,
                       bool writesPlane = false, const StepBirths* births = nullptr);

// Work done row by row, rows y0..y1 at a time, on the current step pool's
// threads (the caller among them) as a step's bands are: split only where
// there are `cells` cells to do and a step of that many would be split. fn
// must touch nothing another chunk's rows touch. Returns once all are done.
using RowsFn = void (*)(const void* context, int y0, int y1);
void RowsOnStepThreads(int first, int last, std::size_t cells, RowsFn fn, const void* context);

// The band of the fastest kernel on the planes this CPU runs.
StepBand SelectedPlanesBand();
// The band of a kernel that steps the planes and this CPU runs, else null.
StepBand PlanesBandOf(const StepKernelInfo& kernel);

// The kernels, one file each in engine/step/, all of the one StepKernel
// signature and named after what they step and the instructions they use:
// StepBytes* step the cells' bytes and hash by a pass over the target,
// StepBits* step bit planes of the cells' liveness made from the bytes
// (engine/step/bitsliced.h) and have the live hash at hand, StepPlanes*
// step the boards' own planes and write only the bytes that change.
// The band of the table kernel (StepTable) this CPU runs best: what
// StepInBands takes for a rule that is not totalistic.
StepBand SelectedTableBand();
// Whether the band is one of the table kernel's, which take any rule.
bool IsTableBand(StepBand band);
// The table kernel with its cell-by-cell band and, where the CPU has
// AVX-512 VBMI, with its byte-permute band.
StepCounts StepTableScalar(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                           uint64_t* liveHash);

StepCounts StepBytesPortable(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                             uint64_t* liveHash = nullptr);
StepCounts StepBits64(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                      uint64_t* liveHash = nullptr);
// StepPlanes* step the boards' own liveness planes (CellBoard::Plane) into
// the target's, then write the bytes of the cells that changed.
StepCounts StepPlanes64(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                        uint64_t* liveHash = nullptr);
// The bands of the kernels on the planes.
StepBand PlanesBand64();

#if defined(__x86_64__) || defined(__i386__)
#define CELLARIUM_STEP_X86 1
StepCounts StepBytesAvx2(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                         uint64_t* liveHash = nullptr);
StepCounts StepBytesAvx512(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                           uint64_t* liveHash = nullptr);
StepCounts StepBitsAvx2(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                        uint64_t* liveHash = nullptr);
StepCounts StepBitsAvx512(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                          uint64_t* liveHash = nullptr);
StepCounts StepBitsAvx512Vp(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                            uint64_t* liveHash = nullptr);
StepCounts StepPlanesAvx2(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                          uint64_t* liveHash = nullptr);
StepCounts StepPlanesAvx512(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                            uint64_t* liveHash = nullptr);
StepCounts StepPlanesAvx512Vp(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                              uint64_t* liveHash = nullptr);
StepBand PlanesBandAvx2();
StepBand PlanesBandAvx512();
StepBand PlanesBandAvx512Vp();
StepCounts StepTableVbmi(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                         uint64_t* liveHash);
bool TableVbmiSupported();
// The byte kernel bytes_bits_avx512 steps windows that fit the caches with,
// measured on this CPU the first time it is asked: "bytes_avx512" or
// "bytes_avx2". For the benchmarks' report; needs AVX-512.
const char* CacheWindowBytesName();
#endif

}  // namespace cellarium
