#include "document/population_history.h"

#include <algorithm>
#include <new>

namespace cellarium {

void PopulationHistory::Restart(int64_t generation, int32_t live) {
    first_ = generation;
    counts_.clear();
    blocks_.clear();
    counts_.push_back(GenerationCounts{live, 0, 0});
}

void PopulationHistory::Add(int64_t generation, int32_t live, int32_t births, int32_t deaths) {
    if (counts_.empty() || generation != LastGeneration() + 1) {
        first_ = generation;
        counts_.clear();
        blocks_.clear();
    }
    try {
        counts_.push_back(GenerationCounts{live, births, deaths});
        AddToBlocks();
    } catch (const std::bad_alloc&) {
        // Out of memory for the counts: rather than end the program, the
        // history starts again from this generation.
        first_ = generation;
        counts_.clear();
        counts_.shrink_to_fit();
        blocks_.clear();
        counts_.push_back(GenerationCounts{live, births, deaths});
    }
}

namespace {

void Widen(GenerationCounts& low, GenerationCounts& high, const GenerationCounts& lo,
           const GenerationCounts& hi) {
    low.live = std::min(low.live, lo.live);
    low.births = std::min(low.births, lo.births);
    low.deaths = std::min(low.deaths, lo.deaths);
    high.live = std::max(high.live, hi.live);
    high.births = std::max(high.births, hi.births);
    high.deaths = std::max(high.deaths, hi.deaths);
}

}  // namespace

void PopulationHistory::AddToBlocks() {
    // Each level that has just completed a block of kFan adds it to the next.
    std::size_t size = counts_.size();
    for (std::size_t level = 0; size % kFan == 0; ++level) {
        Block block;
        for (std::size_t i = size - kFan; i < size; ++i) {
            const GenerationCounts lo = level == 0 ? counts_[i] : blocks_[level - 1][i].low;
            const GenerationCounts hi = level == 0 ? counts_[i] : blocks_[level - 1][i].high;
            if (i == size - kFan) {
                block.low = lo;
                block.high = hi;
            } else {
                Widen(block.low, block.high, lo, hi);
            }
        }
        if (blocks_.size() <= level) blocks_.emplace_back();
        blocks_[level].push_back(block);
        size = blocks_[level].size();
    }
}

ColumnSpan PopulationHistory::Span(std::size_t begin, std::size_t end,
                                   int32_t GenerationCounts::*field) const {
    ColumnSpan span{counts_[begin].*field, counts_[begin].*field};
    auto take = [&](std::size_t level, std::size_t i) {
        const int32_t lo = level == 0 ? counts_[i].*field : blocks_[level - 1][i].low.*field;
        const int32_t hi = level == 0 ? counts_[i].*field : blocks_[level - 1][i].high.*field;
        span.low = std::min(span.low, lo);
        span.high = std::max(span.high, hi);
    };
    // Climb: the ragged ends at each level, whole blocks from the next.
    std::size_t a = begin, b = end;
    for (std::size_t level = 0; a < b; ++level) {
        while (a < b && a % kFan != 0) take(level, a++);
        while (a < b && b % kFan != 0) take(level, --b);
        if (a == b) break;
        if (level >= blocks_.size()) {
            while (a < b) take(level, a++);
            break;
        }
        a /= kFan;
        b /= kFan;
    }
    return span;
}

std::vector<ColumnSpan> PopulationHistory::Columns(int columns,
                                                   int32_t GenerationCounts::*field) const {
    const std::size_t n = counts_.size();
    const std::size_t wanted = columns > 0 ? std::min(std::size_t(columns), n) : 0;
    std::vector<ColumnSpan> spans(wanted);
    for (std::size_t c = 0; c < wanted; ++c)
        spans[c] = Span(c * n / wanted, (c + 1) * n / wanted, field);
    return spans;
}

std::string PopulationHistory::StatsText(const StatsColumns& columns) const {
    std::string text = StatsHeader(columns);
    text.reserve(text.size() + counts_.size() * 24);
    char line[kStatsLineBuffer];
    for (std::size_t i = 0; i < counts_.size(); ++i) {
        const GenerationCounts& c = counts_[i];
        const std::size_t n =
            FormatStatsLine(line, columns, first_ + int64_t(i), c.live, c.births, c.deaths);
        text.append(line, n);
    }
    return text;
}

std::vector<ColumnSpan> DecimateColumns(const std::vector<GenerationCounts>& counts, int columns,
                                        int32_t GenerationCounts::*field) {
    const std::size_t n = counts.size();
    const std::size_t wanted = columns > 0 ? std::min(std::size_t(columns), n) : 0;
    std::vector<ColumnSpan> spans(wanted);
    for (std::size_t c = 0; c < wanted; ++c) {
        const std::size_t begin = c * n / wanted, end = (c + 1) * n / wanted;
        int32_t low = counts[begin].*field, high = low;
        for (std::size_t i = begin + 1; i < end; ++i) {
            const int32_t v = counts[i].*field;
            low = std::min(low, v);
            high = std::max(high, v);
        }
        spans[c] = ColumnSpan{low, high};
    }
    return spans;
}

}  // namespace cellarium
