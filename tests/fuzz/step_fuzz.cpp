// libFuzzer target: any bytes as a board, its bounds, a stale scratch board, a
// rule, newborn values and a number of step threads; every fast step kernel this CPU runs is
// stepped and swapped side by side with the reference step, and after every step both boards, the
// counters, the live counts and the target's bounds must be identical. The
// planes stepped alone with their births logged must come to the same.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "engine/birth_log.h"
#include "engine/cell_board.h"
#include "engine/live_hash.h"
#include "engine/step.h"
#include "engine/step/kernels.h"

using namespace cellarium;

namespace {

// Hands out the input's bytes; zeros once they run out.
struct Bytes {
    const uint8_t* data;
    std::size_t size;
    uint8_t Next() {
        if (size == 0) return 0;
        --size;
        return *data++;
    }
    uint16_t Next16() { return uint16_t(Next() | (Next() << 8)); }
};

struct Pair {
    std::unique_ptr<CellBoard> cur, scratch;
};

[[noreturn]] void Fail(const char* kernel, int step, const char* what) {
    std::fprintf(stderr, "step kernel %s differs from the reference at step %d: %s\n", kernel, step,
                 what);
    std::abort();
}

void Copy(const CellBoard& from, CellBoard& to) {
    to.CopyCellsFrom(from);
    to.bounds = from.bounds;
    to.liveCount = from.liveCount;
}

// A new pair holding what `from` holds; false when there is no memory.
bool CopyPair(const Pair& from, Pair& to) {
    const int w = from.cur->width, h = from.cur->height;
    to = Pair{CellBoard::Create(w, h), CellBoard::Create(w, h)};
    if (!to.cur || !to.scratch) return false;
    Copy(*from.cur, *to.cur);
    Copy(*from.scratch, *to.scratch);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Bytes in{data, size};
    const uint8_t shape = in.Next();
    // Mostly small boards; now and then one wider than several vectors.
    const int w = (shape & 0x80) ? 150 + in.Next16() % 700 : 3 + in.Next() % 140;
    const int h = 3 + in.Next() % 24;
    // A totalistic rule, or any of the 512-entry tables (the kernels hand
    // those to the table kernel).
    Rule rule;
    if (in.Next() & 1) {
        uint16_t survive = 0, born = 0;
        for (int n = 0; n < 9; ++n) {
            const uint8_t b = in.Next();
            survive |= uint16_t((b & 1) << n);
            born |= uint16_t(((b >> 1) & 1) << n);
        }
        rule = Rule::Totalistic(born, survive);
    } else {
        Rule::Table table{};
        for (uint64_t& word : table)
            for (int i = 0; i < 8; ++i) word = word << 8 | in.Next();
        rule = Rule::FromTable(table);
    }
    const int steps = 1 + (shape & 3);
    g_stepStreamingCells = (shape & 0x40) ? 0 : kStreamingCells;
    // The window in bands on 1, 2, 3 or 7 step threads, or whole when the
    // threaded path is left to large windows as in the program.
    static const int kThreads[4] = {1, 2, 3, 7};
    SetStepThreads(kThreads[(shape >> 2) & 3]);
    g_stepThreadedCells = (shape & 0x10) ? kThreadedCells : 0;

    Pair ref{CellBoard::Create(w, h), CellBoard::Create(w, h)};
    if (!ref.cur || !ref.scratch) return 0;
    // Cells: a run of input bytes, a zero byte standing for a run of dead
    // cells, so that sparse boards and live borders are both easy to reach.
    for (CellBoard* b : {ref.cur.get(), ref.scratch.get()}) {
        std::size_t i = 0;
        while (i < b->CellCount() && in.size > 0) {
            const uint8_t v = in.Next();
            if (v == 0)
                i += 1 + in.Next();
            else
                b->EditCells()[i++] = v;
        }
    }
    // Bounds: as scanned, or any box within a few cells of the board.
    auto anyBox = [&]() {
        return Rect{int(in.Next() % (w + 6)) - 3, int(in.Next() % (h + 6)) - 3,
                    int(in.Next() % (w + 6)) - 3, int(in.Next() % (h + 6)) - 3};
    };
    if (shape & 0x20)
        ref.cur->ScanBounds();
    else
        ref.cur->bounds = anyBox();
    ref.scratch->bounds = anyBox();
    int newborn[4];
    for (int& v : newborn) v = int(int16_t(in.Next16()));

    for (const StepKernelInfo& k : StepKernels()) {
        if (!k.supported || k.kernel == &StepReference) continue;
        Pair fast, want;
        if (!CopyPair(ref, fast) || !CopyPair(ref, want)) return 0;
        for (int g = 0; g < steps; ++g) {
            const StepCounts a = StepReference(*want.cur, *want.scratch, newborn[g], rule);
            // Every other step with the live hash, which must be the target's.
            uint64_t hash = 0;
            const StepCounts b =
                g % 2 ? k.kernel(*fast.cur, *fast.scratch, newborn[g], rule, &hash)
                      : k.kernel(*fast.cur, *fast.scratch, newborn[g], rule, nullptr);
            if (g % 2 && hash != LiveCellHash(*fast.scratch)) Fail(k.name, g, "live hash");
            if (a.births != b.births) Fail(k.name, g, "births");
            if (a.deaths != b.deaths) Fail(k.name, g, "deaths");
            if (want.cur->liveCount != fast.cur->liveCount) Fail(k.name, g, "source live count");
            if (want.scratch->liveCount != fast.scratch->liveCount)
                Fail(k.name, g, "target live count");
            if (!(want.scratch->bounds == fast.scratch->bounds)) Fail(k.name, g, "target bounds");
            if (std::memcmp(want.cur->Cells(), fast.cur->Cells(), want.cur->CellCount()) != 0)
                Fail(k.name, g, "source cells");
            if (std::memcmp(want.scratch->Cells(), fast.scratch->Cells(), want.cur->CellCount()) !=
                0)
                Fail(k.name, g, "target cells");
            std::swap(want.cur, want.scratch);
            std::swap(fast.cur, fast.scratch);
        }
    }
    // The planes alone through the birth log, every band this CPU runs, the
    // bytes compared once caught up at the end (the log's budget of one
    // byte catches them up every second step).
    for (const StepKernelInfo& k : StepKernels()) {
        const StepBand band = PlanesBandOf(k);
        if (band == nullptr || !rule.IsTotalistic()) continue;
        BirthLog log((in.Next() & 1) ? BirthLog::kDefaultBudget : 1, band);
        Pair lazy, want;
        if (!CopyPair(ref, lazy) || !CopyPair(ref, want)) return 0;
        for (int g = 0; g < steps; ++g) {
            const StepCounts a = StepReference(*want.cur, *want.scratch, newborn[g], rule);
            uint64_t hash = 0;
            const StepCounts b = log.Step(*lazy.cur, *lazy.scratch, newborn[g], rule, &hash);
            if (hash != LiveCellHash(*want.scratch)) Fail(k.name, g, "live hash (births logged)");
            if (a.births != b.births) Fail(k.name, g, "births (births logged)");
            if (a.deaths != b.deaths) Fail(k.name, g, "deaths (births logged)");
            if (want.scratch->liveCount != lazy.scratch->liveCount)
                Fail(k.name, g, "target live count (births logged)");
            if (!(want.scratch->bounds == lazy.scratch->bounds))
                Fail(k.name, g, "target bounds (births logged)");
            std::swap(want.cur, want.scratch);
            std::swap(lazy.cur, lazy.scratch);
        }
        log.CatchUp();
        if (std::memcmp(want.cur->Cells(), lazy.cur->Cells(), want.cur->CellCount()) != 0 ||
            std::memcmp(want.scratch->Cells(), lazy.scratch->Cells(), want.cur->CellCount()) != 0)
            Fail(k.name, steps, "cells (births logged)");
    }
    return 0;
}
