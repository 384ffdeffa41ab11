// Steps on the liveness planes alone, the bytes brought up to date later.
//
// A run of a board pair whose bytes nobody looks at between steps (the
// runner, the module's step and run) need not write them every
// generation. The log lets the pair step their planes only and keeps, for
// each such step, the plane of the cells it gave birth to and their newborn
// value, and for each group of kGroupSteps steps the plane of the cells born
// in any of them (so that bringing a row up to date passes over the groups
// in which none of its live cells was born). The board the first of those steps read
// (the base) keeps its bytes as they were then; after any number of steps a
// cell's byte follows from its board's plane and the log:
//   - dead: 0;
//   - born in a logged step: the newborn value of the last such step;
//   - otherwise alive since the base was read: the base's byte.
// Each board is brought up to date only inside the windows the steps into it
// wrote, so what lies outside (the border, anything a step never reached)
// stays as stepping would have left it.
//
// While the log holds the boards, every reader and writer of their bytes has
// the log catch both of them up first (CellBoard::HoldBytesBehind); the log
// also catches up when it is full, when the boards it holds are no longer
// the pair it is given, and when it goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/cell_board.h"
#include "engine/rule.h"
#include "engine/step.h"
#include "engine/step/kernels.h"

namespace cellarium {

class BirthLog final : public BytesBehind {
public:
    // budgetBytes: the most the log's planes may take; at least two steps'
    // planes are always allowed. band: the kernel band that steps the
    // planes, null for the fastest this CPU runs (SelectedPlanesBand); the
    // portable one also brings the bytes up to date without vector
    // instructions.
    explicit BirthLog(std::size_t budgetBytes = kDefaultBudget, StepBand band = nullptr);
    ~BirthLog();
    BirthLog(const BirthLog&) = delete;
    BirthLog& operator=(const BirthLog&) = delete;

    static constexpr std::size_t kDefaultBudget = std::size_t(256) << 20;
    // The most steps logged before the bytes are caught up: more make the
    // catch-up rarer and its scan of the steps' planes longer
    // (bench/step_benchmark's Run800/lazy).
    static constexpr std::size_t kMostSteps = 256;
    // Steps whose births share a group's plane.
    static constexpr std::size_t kGroupSteps = 16;

    // Whether the planes alone can step `source` into `target` under `rule`
    // on this CPU (a totalistic rule, a kernel on the planes, boards of one
    // size the kernels take).
    bool CanStep(const CellBoard& source, const CellBoard& target, const Rule& rule) const;

    // One step of source into target on the planes, logged: the step's
    // births, deaths and the boards' live counts, bounds and planes as any
    // kernel gives them, with liveHash as StepKernel's. The bytes of both
    // boards are the log's to bring up to date from here on. A step that
    // cannot be logged (no memory for its plane, a target whose live cells
    // could meet the steps in a way the base does not record) is an ordinary
    // step instead, after the boards are caught up. CanStep must hold.
    StepCounts Step(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                    uint64_t* liveHash);

    // Brings the bytes of the boards held up to date and lets go of them.
    void CatchUp() override;
    // Whether boards are held, and the steps logged since the base.
    bool Holding() const { return base_ != nullptr; }
    std::size_t Steps() const { return entries_.size(); }
    // Lets go of the memory kept for the planes (while nothing is held).
    void Trim();
    // The most steps logged on boards like `board` before a catch-up, and
    // whether the memory for them is already there (it is kept from one
    // stretch to the next until Trim).
    std::size_t StepsFor(const CellBoard& board) const;
    bool Ready(const CellBoard& board) const;

private:
    struct Entry {
        uint64_t* births;  // row 0 of its plane (see Reserve); only its window's
                           // words are written
        int firstRow, lastRow, firstWord, lastWord, firstCol, lastCol;  // empty when first > last
        uint8_t newborn;
        bool intoBase;  // the step wrote the base board
    };
    // Whether target's live cells outside the window of source's next step
    // could be read by a later step (see the .cpp).
    static bool TargetIsClear(const CellBoard& source, const CellBoard& target);
    bool Reserve(const CellBoard& board);
    // The groups' planes, and where the planes of step `entry` go.
    std::size_t Groups() const;
    StepBirths Layout(std::size_t entry) const;
    void CatchUpBoard(CellBoard& board, bool isBase, std::size_t lastEntry);

    std::size_t budget_;
    StepBand band_;
    bool portable_;  // brings bytes up to date without vector instructions
    CellBoard* base_ = nullptr;
    CellBoard* other_ = nullptr;
    std::vector<Entry> entries_;
    struct FreePlane {
        void operator()(uint64_t* p) const;
    };
    std::unique_ptr<uint64_t, FreePlane> block_;
    std::unique_ptr<uint64_t, FreePlane> groups_;
    std::size_t stride_ = 0, rows_ = 0, slots_ = 0, tileRows_ = 1;
};

}  // namespace cellarium
