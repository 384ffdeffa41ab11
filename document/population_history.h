// The counts of every generation of a run since the last Open or Reload, for
// the population graph: 12 bytes a generation (a million generations take
// 12 MB), and the graph's decimated view of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "document/stats_format.h"

namespace cellarium {

struct GenerationCounts {
    int32_t live = 0;
    int32_t births = 0;
    int32_t deaths = 0;
};
static_assert(sizeof(GenerationCounts) == 12);

// One pixel column of the graph: the least and greatest value of the
// generations it covers.
struct ColumnSpan {
    int32_t low = 0;
    int32_t high = 0;
    friend bool operator==(const ColumnSpan&, const ColumnSpan&) = default;
};

class PopulationHistory {
public:
    // Starts again from a board at generation with live cells (no births or
    // deaths before it).
    void Restart(int64_t generation, int32_t live);
    // The counts of the next generation. A generation that does not follow
    // the last one kept (the counter was set anew) starts the history again
    // from it, as does running out of memory for the counts.
    void Add(int64_t generation, int32_t live, int32_t births, int32_t deaths);

    int64_t FirstGeneration() const { return first_; }
    int64_t LastGeneration() const { return first_ + int64_t(counts_.size()) - 1; }
    bool Empty() const { return counts_.empty(); }
    const std::vector<GenerationCounts>& Counts() const { return counts_; }

    // The history over columns pixel columns as DecimateColumns gives it, at
    // a cost that hardly grows with the run's length: the spans of whole
    // blocks of 16, 256, 4096 ... generations are kept as the run goes.
    std::vector<ColumnSpan> Columns(int columns, int32_t GenerationCounts::*field) const;

    // The whole history as a statistics file has it: the header of the
    // chosen columns, then one line a generation.
    std::string StatsText(const StatsColumns& columns) const;

private:
    static constexpr std::size_t kFan = 16;
    struct Block {
        GenerationCounts low, high;  // each field's least and greatest value
    };
    // The least and greatest value of field over counts [begin, end).
    ColumnSpan Span(std::size_t begin, std::size_t end, int32_t GenerationCounts::*field) const;
    void AddToBlocks();

    int64_t first_ = 0;
    std::vector<GenerationCounts> counts_;
    // blocks_[k][i]: counts [i 16^(k+1), (i+1) 16^(k+1)), whole blocks only.
    std::vector<std::vector<Block>> blocks_;
};

// Splits n values into `columns` pixel columns, column c covering values
// [c n / columns, (c + 1) n / columns) (at least one value each; fewer
// columns than asked when there are fewer values), and gives each column's
// least and greatest value of the field.
std::vector<ColumnSpan> DecimateColumns(const std::vector<GenerationCounts>& counts, int columns,
                                        int32_t GenerationCounts::*field);

}  // namespace cellarium
