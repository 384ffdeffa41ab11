// The step for any rule: each cell's 3 x 3 block (engine/rule.h) looked up in
// the rule's 512-entry table. The totalistic kernels hand every other rule
// here (StepInBands).
#include "engine/step/kernels.h"

namespace cellarium {

namespace {

// Window rows y0..y1 cell by cell. Along a row, each of the three source rows
// keeps the live cells of the last three columns in three bits.
void TableBandScalar(const StepJob& job, int y0, int y1, StepScratch&, StepTally& tally) {
    const CellBoard& s = *job.source;
    CellBoard& t = *job.target;
    const Rule& rule = *job.rule;
    const std::size_t w = std::size_t(s.width);
    for (int y = y0; y <= y1; ++y) {
        const uint8_t* up = s.cells + (std::size_t(y) - 1) * w;
        const uint8_t* mid = up + w;
        const uint8_t* down = mid + w;
        uint8_t* out = t.cells + std::size_t(y) * w;
        const int x0 = job.win.firstCol, x1 = job.win.lastCol;
        unsigned a = unsigned(up[x0 - 1] != 0) << 1 | (up[x0] != 0);
        unsigned b = unsigned(mid[x0 - 1] != 0) << 1 | (mid[x0] != 0);
        unsigned c = unsigned(down[x0 - 1] != 0) << 1 | (down[x0] != 0);
        int first = INT_MAX, last = INT_MIN;
        for (int x = x0; x <= x1; ++x) {
            a = (a << 1 | (up[x + 1] != 0)) & 7u;
            b = (b << 1 | (mid[x + 1] != 0)) & 7u;
            c = (c << 1 | (down[x + 1] != 0)) & 7u;
            const bool next = rule.Next(a << 6 | b << 3 | c);
            const uint8_t old = mid[x];
            uint8_t value = 0;
            if (old != 0) {
                if (next) {
                    value = old;
                    ++tally.live;
                } else {
                    ++tally.deaths;
                }
            } else if (next) {
                value = job.newborn;
                ++tally.births;
                ++tally.live;
            }
            out[x] = value;
            if ((old | value) != 0) {
                first = std::min(first, x);
                last = x;
            }
        }
        if (first <= last) {
            tally.IncludeColumns(first, last);
            tally.IncludeRow(y);
        }
    }
}

}  // namespace

StepBand SelectedTableBand() {
    return &TableBandScalar;
}

StepCounts StepTable(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                     uint64_t* liveHash) {
    return StepInBands(s, t, newborn, rule, SelectedTableBand(), liveHash, false);
}

}  // namespace cellarium
