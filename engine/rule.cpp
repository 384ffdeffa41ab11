#include "engine/rule.h"

namespace cellarium {

namespace {

// Cells of a block by row and column (0..2 each), as their bit.
constexpr unsigned Bit(int row, int col) {
    return 1u << (8 - (row * 3 + col));
}

}  // namespace

unsigned TurnBlock(unsigned block) {
    unsigned out = 0;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            if (block & Bit(r, c)) out |= Bit(c, 2 - r);
    return out;
}

unsigned MirrorBlock(unsigned block) {
    unsigned out = 0;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            if (block & Bit(r, c)) out |= Bit(r, 2 - c);
    return out;
}

Rule::Rule(const Table& table) : table_(table) {
    bool bornAll[9], bornNone[9], surviveAll[9], surviveNone[9];
    for (int n = 0; n < 9; ++n) bornAll[n] = bornNone[n] = surviveAll[n] = surviveNone[n] = true;
    for (unsigned block = 0; block < unsigned(kBlocks); ++block) {
        const int n = NeighbourCount(block);
        const bool next = Next(block);
        if (block & kCellBit) {
            (next ? surviveNone[n] : surviveAll[n]) = false;
        } else {
            (next ? bornNone[n] : bornAll[n]) = false;
        }
    }
    totalistic_ = true;
    for (int n = 0; n < 9; ++n) {
        if (bornAll[n]) born_ |= uint16_t(1u << n);
        if (surviveAll[n]) survive_ |= uint16_t(1u << n);
        if (!(bornAll[n] || bornNone[n]) || !(surviveAll[n] || surviveNone[n])) totalistic_ = false;
    }
}

Rule Rule::FromTable(const Table& table) {
    return Rule(table);
}

Rule Rule::Totalistic(uint16_t born, uint16_t survive) {
    Table table{};
    for (unsigned block = 0; block < unsigned(kBlocks); ++block) {
        const uint16_t counts = (block & kCellBit) ? survive : born;
        if ((counts >> NeighbourCount(block)) & 1u)
            table[block >> 6] |= uint64_t(1) << (block & 63);
    }
    return Rule(table);
}

bool Rule::IsIsotropic() const {
    if (totalistic_) return true;
    for (unsigned block = 0; block < unsigned(kBlocks); ++block)
        if (Next(TurnBlock(block)) != Next(block) || Next(MirrorBlock(block)) != Next(block))
            return false;
    return true;
}

}  // namespace cellarium
