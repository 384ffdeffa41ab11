// The liveness plane beside the bytes: after any sequence of edits, through
// every edit operation and every step kernel, the plane read from the board
// is exactly which bytes are non-zero, and bits past a row's end stay 0.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/cell_board.h"
#include "engine/rule.h"
#include "engine/soup.h"
#include "engine/step.h"

namespace cellarium {
namespace {

std::string PlaneMismatch(const CellBoard& b) {
    const uint64_t* plane = b.Plane();
    for (int y = 0; y < b.height; ++y)
        for (int k = 0; k < b.PlaneStride(); ++k) {
            uint64_t want = 0;
            for (int i = 0; i < 64; ++i) {
                const int x = 64 * k + i;
                if (x < b.width && b.At(x, y) != 0) want |= uint64_t(1) << i;
            }
            if (plane[std::size_t(y) * std::size_t(b.PlaneStride()) + std::size_t(k)] != want)
                return "row " + std::to_string(y) + " word " + std::to_string(k);
        }
    return "";
}

TEST(BoardPlane, EveryEditOperationKeepsThePlaneEqualToTheBytes) {
    std::mt19937 rng(7);
    for (const int width : {3, 63, 64, 65, 200, 513}) {
        const int height = 37;
        auto board = CellBoard::Create(width, height);
        auto other = CellBoard::Create(width, height);
        ASSERT_TRUE(board && other);
        FillSoup(*other, 0.4, 3);
        auto any = [&](int n) { return int(rng() % unsigned(n)); };
        for (int round = 0; round < 300; ++round) {
            const int x = any(width), y = any(height);
            const uint8_t value = uint8_t(any(3) == 0 ? 0 : 1 + any(255));
            Rect r{x, y, std::min(width - 1, x + any(70)), std::min(height - 1, y + any(9))};
            std::string op;
            switch (any(9)) {
                case 0:
                    board->Set(x, y, value);
                    op = "Set";
                    break;
                case 1: {
                    std::vector<uint8_t> row(std::size_t(width - x));
                    for (uint8_t& c : row) c = uint8_t(any(2) * (1 + any(255)));
                    board->WriteRow(x, y, row.data(), int(row.size()));
                    op = "WriteRow";
                    break;
                }
                case 2:
                    board->FillRect(r, value);
                    op = "FillRect";
                    break;
                case 3:
                    board->CopyRectFrom(*other, r);
                    op = "CopyRectFrom";
                    break;
                case 4:
                    board->EditCells()[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                        value;
                    op = "EditCells";
                    break;
                case 5: {
                    uint8_t* fresh = AllocateCells(board->CellCount(), false);
                    ASSERT_NE(fresh, nullptr);
                    std::memcpy(fresh, other->Cells(), other->CellCount());
                    std::free(board->ExchangeCells(fresh));
                    op = "ExchangeCells";
                    break;
                }
                case 6:
                    if (any(20) == 0) {
                        board->CopyCellsFrom(*other);
                        op = "CopyCellsFrom";
                    } else {
                        board->Set(x, y, 0);
                        op = "Set 0";
                    }
                    break;
                case 7:
                    if (any(30) == 0) {
                        board->MakeEmpty();
                        op = "MakeEmpty";
                    } else {
                        board->Set(x, y, uint8_t(1 + any(255)));
                        op = "Set live";
                    }
                    break;
                default: {
                    board->ScanBounds();
                    int32_t births = 0, deaths = 0;
                    board->ComputeNext(*other, Rule(), 1 + any(255), births, deaths);
                    std::swap(board, other);
                    op = "step";
                }
            }
            // Reading the plane at random moments checks both the kept and
            // the remade plane.
            if (any(3) == 0) {
                ASSERT_EQ(PlaneMismatch(*board), "") << op << " width " << width;
            }
        }
        EXPECT_EQ(PlaneMismatch(*board), "") << width;
    }
}

TEST(BoardPlane, EveryKernelLeavesATargetWhosePlaneIsItsBytes) {
    for (const StepKernelInfo& k : StepKernels()) {
        if (!k.supported) continue;
        auto a = CellBoard::Create(300, 170), b = CellBoard::Create(300, 170);
        FillSoup(*a, 0.35, 11);
        for (int g = 0; g < 12; ++g) {
            k.kernel(*a, *b, 1 + g, Rule(), nullptr);
            std::swap(a, b);
            ASSERT_EQ(PlaneMismatch(*a), "") << k.name << " generation " << g;
        }
    }
}

// A step that writes only the bytes that change relies on the target being
// what the step before made of the source: an edit to either board in
// between, through any operation, must make it write them all again.
TEST(BoardPlane, EditsBetweenStepsAreNeverLostByAStepThatWritesOnlyChanges) {
    std::mt19937 rng(5);
    auto any = [&](int n) { return int(rng() % unsigned(n)); };
    for (const StepKernelInfo& k : StepKernels()) {
        if (!k.supported) continue;
        const int w = 140, h = 60;
        std::unique_ptr<CellBoard> fast[2] = {CellBoard::Create(w, h), CellBoard::Create(w, h)};
        std::unique_ptr<CellBoard> ref[2] = {CellBoard::Create(w, h), CellBoard::Create(w, h)};
        FillSoup(*fast[0], 0.4, 9);
        FillSoup(*ref[0], 0.4, 9);
        for (int g = 0; g < 60; ++g) {
            // Now and then the same edit to the same board of both pairs.
            const int which = any(2), x = 1 + any(w - 2), y = 1 + any(h - 2), op = any(8);
            const uint8_t value = uint8_t(any(2) * (1 + any(255)));
            for (auto* pair : {fast, ref}) {
                CellBoard& b = *pair[which];
                if (op == 0) b.Set(x, y, value);
                if (op == 1)
                    b.FillRect(Rect{x, y, std::min(w - 2, x + 5), std::min(h - 2, y + 2)}, value);
                if (op == 2) *b.EditAt(x, y) = value;
                if (op == 3) b.WriteRow(x, y, &value, 1);
                if (op < 4) pair[0]->ScanBounds();
            }
            const int newborn = 1 + any(300);
            const StepCounts got = k.kernel(*fast[0], *fast[1], newborn, Rule(), nullptr);
            const StepCounts want = StepReference(*ref[0], *ref[1], newborn, Rule());
            ASSERT_EQ(got.births, want.births) << k.name << " step " << g;
            for (int i = 0; i < 2; ++i)
                ASSERT_EQ(std::memcmp(fast[i]->Cells(), ref[i]->Cells(), fast[i]->CellCount()), 0)
                    << k.name << " step " << g << " board " << i << " after edit " << op;
            std::swap(fast[0], fast[1]);
            std::swap(ref[0], ref[1]);
        }
    }
}

}  // namespace
}  // namespace cellarium
