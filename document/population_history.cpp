#include "document/population_history.h"

#include <algorithm>

namespace cellarium {

void PopulationHistory::Restart(int32_t generation, int32_t live) {
    first_ = generation;
    counts_.clear();
    counts_.push_back(GenerationCounts{live, 0, 0});
}

void PopulationHistory::Add(int32_t generation, int32_t live, int32_t births, int32_t deaths) {
    if (counts_.empty() || generation != LastGeneration() + 1) {
        first_ = generation;
        counts_.clear();
    }
    counts_.push_back(GenerationCounts{live, births, deaths});
}

std::string PopulationHistory::StatsText(const StatsColumns& columns) const {
    std::string text = StatsHeader(columns);
    text.reserve(text.size() + counts_.size() * 24);
    char line[kStatsLineBuffer];
    for (std::size_t i = 0; i < counts_.size(); ++i) {
        const GenerationCounts& c = counts_[i];
        const std::size_t n =
            FormatStatsLine(line, columns, first_ + int32_t(i), c.live, c.births, c.deaths);
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
