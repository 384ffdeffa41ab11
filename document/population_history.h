// The counts of every generation of a run since the last Open or Reload, for
// the population graph, within a memory budget (64 MB unless the settings
// say otherwise) however long the run.
//
// The counts are kept at several steps at once: every generation (12 bytes
// each), and blocks of 16, 256, 4096 ... generations as the least and
// greatest value of each count over the block. While the whole run fits in
// the budget every generation is kept; past it the oldest generations are
// dropped from the finer steps, oldest first, so that the latest generations
// stay exact and older ones are kept only as the least and greatest counts of
// blocks, the older the coarser. Every generation of the run stays covered by
// some block, so the graph always shows the whole run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
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

// The budget the settings give when they give none, and the least one taken.
inline constexpr std::size_t kDefaultHistoryBudget = std::size_t(64) << 20;
inline constexpr std::size_t kLeastHistoryBudget = std::size_t(64) << 10;

class PopulationHistory {
public:
    PopulationHistory() { SetBudget(kDefaultHistoryBudget); }

    // The bytes the counts may take (at least kLeastHistoryBudget); takes
    // effect as generations are added.
    void SetBudget(std::size_t bytes);
    std::size_t Budget() const { return budget_; }

    // Starts again from a board at generation with live cells (no births or
    // deaths before it), giving back the memory the last run's counts took.
    void Restart(int64_t generation, int32_t live);
    // The counts of the next generation. A generation that does not follow
    // the last one kept (the counter was set anew) starts the history again
    // from it, as does running out of memory for the counts.
    void Add(int64_t generation, int32_t live, int32_t births, int32_t deaths);
    // The counts of count generations from `first` on that repeat with
    // period P, byPhase's size: generation h has those of byPhase[h mod P]
    // (a jump through a cycle). The history becomes what adding each in turn
    // would make it, exact in every block it keeps, at a cost that grows with
    // what it keeps and with P, not with count.
    void AddRepeated(int64_t first, const std::vector<GenerationCounts>& byPhase, int64_t count);
    // The board at `generation` was changed between runs (an edit, an undo):
    // the generations after it are forgotten and its live count becomes
    // `live` (its births and deaths stay those of the step that made it). A
    // generation outside the history starts it again from there.
    void SetAt(int64_t generation, int32_t live);

    bool Empty() const { return exact_.Size() == 0; }
    int64_t FirstGeneration() const { return first_; }
    int64_t LastGeneration() const { return first_ + int64_t(exact_.Size()) - 1; }
    // The counts of the last generation (not Empty).
    const GenerationCounts& Last() const { return exact_.items.back(); }
    // Whether older generations are kept only as blocks now, and the first
    // generation still kept exactly.
    bool Thinned() const { return exact_.base > 0; }
    int64_t ExactFrom() const { return first_ + int64_t(exact_.base); }
    // What the counts take now, in bytes.
    std::size_t Bytes() const;

    // The history over columns pixel columns as DecimateColumns would give it
    // for every generation, at a cost that hardly grows with the run's
    // length. Where older generations are kept only as blocks, a column
    // takes the whole blocks it touches.
    std::vector<ColumnSpan> Columns(int columns, int32_t GenerationCounts::*field) const;

    // The history as a text file, one line at a time to write (which returns
    // false to stop; so does WriteText then). While nothing was thinned it is
    // a statistics file of the chosen columns. Once older generations are
    // kept only as blocks, every line is a range: "First Generation,Last
    // Generation" and the least and greatest of each chosen count, the
    // blocks first, then one line a generation from ExactFrom on (its first
    // and last generation the same, its least and greatest the same).
    bool WriteText(const StatsColumns& columns,
                   const std::function<bool(const char* line, std::size_t length)>& write) const;

private:
    static constexpr std::size_t kFan = 16;
    struct Block {
        GenerationCounts low, high;  // each field's least and greatest value
    };
    // Entries in a ring: pushed at the back, dropped at the front, grown
    // only when full.
    template <typename T>
    class Ring {
    public:
        std::size_t size() const { return size_; }
        std::size_t capacity() const { return capacity_; }
        const T& operator[](std::size_t i) const {
            const std::size_t at = head_ + i;
            return items_[at >= capacity_ ? at - capacity_ : at];
        }
        const T& back() const { return (*this)[size_ - 1]; }
        void push_back(const T& item) {
            if (size_ == capacity_) Grow();
            const std::size_t at = head_ + size_;
            items_[at >= capacity_ ? at - capacity_ : at] = item;
            ++size_;
        }
        void pop_back() { --size_; }
        void clear() { head_ = size_ = 0; }
        void pop_front() {
            head_ = head_ + 1 == capacity_ ? 0 : head_ + 1;
            --size_;
        }
        // The most the ring is to hold; it grows no further than that while
        // it holds fewer.
        void SetLimit(std::size_t limit) { limit_ = limit; }

    private:
        void Grow() {
            // Doubling up to the limit, a little at a time past it.
            std::size_t capacity = std::max<std::size_t>(2 * capacity_, 64);
            if (limit_ > size_)
                capacity = std::min(capacity, limit_);
            else if (limit_ > 0)
                capacity = size_ + size_ / 8 + 64;
            std::unique_ptr<T[]> items(new T[capacity]);
            for (std::size_t i = 0; i < size_; ++i) items[i] = (*this)[i];
            items_ = std::move(items);
            capacity_ = capacity;
            head_ = 0;
        }
        std::unique_ptr<T[]> items_;
        std::size_t capacity_ = 0, head_ = 0, size_ = 0, limit_ = 0;
    };
    // The entries of one step that are kept: entry i covers generations
    // [i kFan^level, (i + 1) kFan^level) from first_; those before base were
    // dropped (base is a multiple of kFan).
    template <typename T>
    struct Level {
        Ring<T> items;
        uint64_t base = 0;
        uint64_t Size() const { return base + items.size(); }
        const T& operator[](uint64_t i) const { return items[std::size_t(i - base)]; }
    };
    Block BlockOf(std::size_t level, uint64_t i) const;
    uint64_t Base(std::size_t level) const {
        return level == 0 ? exact_.base : blocks_[level - 1].base;
    }
    uint64_t Size(std::size_t level) const {
        return level == 0 ? exact_.Size() : blocks_[level - 1].Size();
    }
    std::size_t Levels() const { return blocks_.size() + 1; }
    void Clear();
    void AddToBlocks();
    void Trim();
    // Levels there can be at most: the exact one and 15 of blocks (kFan^15
    // generations exceed what a 64-bit counter counts).
    static constexpr std::size_t kMaxLevels = 16;
    using PerLevel = std::array<uint64_t, kMaxLevels>;
    // The bases Trim leaves to levels of the given sizes, from the bases
    // they have (a base never goes back).
    void TrimmedBases(const PerLevel& sizes, std::size_t levels, PerLevel& bases) const;
    // AddRepeated's work once the history holds at least one generation
    // and `first` follows it.
    void AddRepeatedAfter(const std::vector<GenerationCounts>& byPhase, uint64_t count);
    // The newest entries a level keeps once a coarser one holds the rest.
    uint64_t Keep(std::size_t level) const;
    // The least and greatest value of field over the entries [begin, end) of
    // a level, from coarser levels where it no longer keeps them.
    void Gather(std::size_t level, uint64_t begin, uint64_t end, int32_t GenerationCounts::*field,
                ColumnSpan& span) const;

    std::size_t budget_ = 0;
    uint64_t keepExact_ = 0;   // generations kept exactly at least
    uint64_t keepBlocks_ = 0;  // blocks of each coarser step kept beyond the finer one
    int64_t first_ = 0;
    Level<GenerationCounts> exact_;
    // blocks_[k]: the blocks of kFan^(k+1) generations, whole blocks only.
    std::vector<Level<Block>> blocks_;
};

// Splits n values into `columns` pixel columns, column c covering values
// [c n / columns, (c + 1) n / columns) (at least one value each; fewer
// columns than asked when there are fewer values), and gives each column's
// least and greatest value of the field.
std::vector<ColumnSpan> DecimateColumns(const std::vector<GenerationCounts>& counts, int columns,
                                        int32_t GenerationCounts::*field);

}  // namespace cellarium
