#include "document/population_history.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <new>
#include <numeric>

namespace cellarium {
namespace {

// Levels of blocks there can be at most: kFan^15 generations exceed what a
// 64-bit counter counts.
constexpr std::size_t kMostBlockLevels = 15;
static_assert(kMostBlockLevels + 1 == 16);
// Entries each level may hold beyond its share while it waits for whole
// blocks of kFan, summed over the levels, in bytes.
constexpr std::size_t kGrainBytes = 8192;

void Widen(GenerationCounts& low, GenerationCounts& high, const GenerationCounts& lo,
           const GenerationCounts& hi) {
    low.live = std::min(low.live, lo.live);
    low.births = std::min(low.births, lo.births);
    low.deaths = std::min(low.deaths, lo.deaths);
    high.live = std::max(high.live, hi.live);
    high.births = std::max(high.births, hi.births);
    high.deaths = std::max(high.deaths, hi.deaths);
}

uint64_t Power(uint64_t base, std::size_t exponent) {
    uint64_t p = 1;
    for (std::size_t i = 0; i < exponent; ++i) p *= base;
    return p;
}

}  // namespace

void PopulationHistory::SetBudget(std::size_t bytes) {
    budget_ = std::max(bytes, kLeastHistoryBudget);
    // A quarter of the budget for the blocks each coarser step keeps of its
    // own (older than what the finer steps keep); the rest for the exact
    // generations, with the blocks that cover them at every coarser step
    // (a fifteenth more at 24 bytes a block: 13.6 bytes a generation).
    keepBlocks_ = std::max<uint64_t>(kFan, budget_ / 4 / (sizeof(Block) * kMostBlockLevels));
    const std::size_t blocks = std::size_t(keepBlocks_) * sizeof(Block) * kMostBlockLevels;
    const std::size_t rest = budget_ > blocks + kGrainBytes ? budget_ - blocks - kGrainBytes : 0;
    keepExact_ = std::max<uint64_t>(4 * kFan, uint64_t(rest) * 5 / 68);
}

void PopulationHistory::Clear() {
    // Swapped out rather than cleared, so that the memory goes back.
    exact_ = Level<GenerationCounts>{};
    blocks_ = std::vector<Level<Block>>{};
}

void PopulationHistory::Restart(int64_t generation, int32_t live) {
    Clear();
    first_ = generation;
    exact_.items.SetLimit(std::size_t(keepExact_ + kFan));
    exact_.items.push_back(GenerationCounts{live, 0, 0});
}

void PopulationHistory::Add(int64_t generation, int32_t live, int32_t births, int32_t deaths) {
    if (Empty() || generation != LastGeneration() + 1) {
        Clear();
        first_ = generation;
        exact_.items.SetLimit(std::size_t(keepExact_ + kFan));
    }
    try {
        exact_.items.push_back(GenerationCounts{live, births, deaths});
        AddToBlocks();
        Trim();
    } catch (const std::bad_alloc&) {
        // Out of memory for the counts: rather than end the program, the
        // history starts again from this generation.
        Clear();
        first_ = generation;
        exact_.items.push_back(GenerationCounts{live, births, deaths});
    }
}

void PopulationHistory::SetAt(int64_t generation, int32_t live) {
    // Only where every generation is still kept exactly can the history be
    // cut back; elsewhere it starts again.
    if (Empty() || generation < ExactFrom() || generation > LastGeneration()) {
        Restart(generation, live);
        return;
    }
    const uint64_t index = uint64_t(generation - first_);
    GenerationCounts kept = exact_[index];
    kept.live = live;
    // Back to the generations before it, with whole blocks only at every
    // step; then it is added again.
    while (exact_.Size() > index) exact_.items.pop_back();
    uint64_t below = exact_.Size();
    for (Level<Block>& level : blocks_) {
        const uint64_t whole = below / kFan;
        if (whole < level.base) {
            Restart(generation, live);
            return;
        }
        while (level.Size() > whole) level.items.pop_back();
        below = level.Size();
    }
    while (!blocks_.empty() && blocks_.back().Size() == 0) blocks_.pop_back();
    exact_.items.push_back(kept);
    AddToBlocks();
    Trim();
}

std::size_t PopulationHistory::Bytes() const {
    std::size_t bytes = exact_.items.capacity() * sizeof(GenerationCounts);
    for (const Level<Block>& level : blocks_) bytes += level.items.capacity() * sizeof(Block);
    return bytes;
}

PopulationHistory::Block PopulationHistory::BlockOf(std::size_t level, uint64_t i) const {
    if (level == 0) return Block{exact_[i], exact_[i]};
    return blocks_[level - 1][i];
}

void PopulationHistory::AddToBlocks() {
    // Each level that has just completed a block of kFan adds it to the next.
    uint64_t size = exact_.Size();
    for (std::size_t level = 0; size % kFan == 0; ++level) {
        Block block = BlockOf(level, size - kFan);
        for (uint64_t i = size - kFan + 1; i < size; ++i) {
            const Block b = BlockOf(level, i);
            Widen(block.low, block.high, b.low, b.high);
        }
        if (blocks_.size() <= level) {
            blocks_.emplace_back();
            blocks_.back().items.SetLimit(std::size_t(Keep(level + 1) + kFan));
        }
        blocks_[level].items.push_back(block);
        size = blocks_[level].Size();
    }
}

uint64_t PopulationHistory::Keep(std::size_t level) const {
    if (level == 0) return keepExact_;
    const uint64_t step = Power(kFan, level);
    return (keepExact_ + step - 1) / step + keepBlocks_;
}

void PopulationHistory::TrimmedBases(const PerLevel& sizes, std::size_t levels,
                                     PerLevel& bases) const {
    // Every level but the coarsest keeps its newest entries: the exact
    // generations keepExact_, each coarser step the blocks over those and
    // keepBlocks_ more. It drops only what the next coarser level holds
    // (whole blocks of it), so every generation stays covered, and always
    // whole blocks of kFan, so that the next level's blocks line up.
    for (std::size_t level = 0; level + 1 < levels; ++level) {
        const uint64_t size = sizes[level];
        const uint64_t keep = Keep(level);
        uint64_t base = size > keep ? (size - keep) / kFan * kFan : 0;
        base = std::min(base, sizes[level + 1] * kFan);
        if (level > 0) base = std::min(base, bases[level - 1] / kFan / kFan * kFan);
        bases[level] = std::max(bases[level], base);
        if (bases[level] == 0) break;  // nothing dropped here, so nothing coarser either
    }
}

void PopulationHistory::Trim() {
    PerLevel sizes{}, bases{};
    for (std::size_t level = 0; level < Levels(); ++level) {
        sizes[level] = Size(level);
        bases[level] = Base(level);
    }
    TrimmedBases(sizes, Levels(), bases);
    while (exact_.base < bases[0]) {
        exact_.items.pop_front();
        ++exact_.base;
    }
    for (std::size_t level = 1; level < Levels(); ++level) {
        Level<Block>& blocks = blocks_[level - 1];
        while (blocks.base < bases[level]) {
            blocks.items.pop_front();
            ++blocks.base;
        }
    }
}

void PopulationHistory::AddRepeated(int64_t first, const std::vector<GenerationCounts>& byPhase,
                                    int64_t count) {
    const int64_t period = int64_t(byPhase.size());
    if (count <= 0 || period == 0) return;
    auto counts = [&](int64_t h) -> const GenerationCounts& {
        return byPhase[std::size_t((h % period + period) % period)];
    };
    // A few periods cost no more one at a time; the first generation of a
    // history that does not go on from the last starts it again.
    const bool follows = !Empty() && first == LastGeneration() + 1;
    const int64_t single =
        std::max<int64_t>(follows ? 0 : 1, count <= 2 * period + 4096 ? count : 0);
    for (int64_t h = first; h < first + single; ++h) {
        const GenerationCounts& c = counts(h);
        Add(h, c.live, c.births, c.deaths);
    }
    if (single == count) return;
    try {
        AddRepeatedAfter(byPhase, uint64_t(count - single));
    } catch (const std::bad_alloc&) {
        // As Add does: the history starts again from the last of them.
        const int64_t last = first + count - 1;
        Clear();
        first_ = last;
        const GenerationCounts& c = counts(last);
        exact_.items.push_back(c);
    }
}

void PopulationHistory::AddRepeatedAfter(const std::vector<GenerationCounts>& byPhase,
                                         uint64_t count) {
    // Entry e of a level covers generations [e s, (e + 1) s) from first_, s
    // being kFan^level. The history held n0 generations; it gets to n1.
    // Entries wholly among the new generations repeat: entry e of a level
    // has the value U[e mod p] of a table of p entries, p dividing P, the
    // period (kFan p of a level is a multiple of the finer one's p, so each
    // table follows from the finer one's). An entry of s >= P generations
    // holds every phase: the least and greatest over the whole period. Only
    // the one entry of each level that the old generations end inside
    // (`straddle`) takes some of both.
    const uint64_t period = byPhase.size();
    const uint64_t n0 = exact_.Size(), n1 = n0 + count;
    std::size_t levels = 1;
    PerLevel sizes{}, bases{}, steps{};
    steps[0] = 1;
    sizes[0] = n1;
    while (levels < kMaxLevels && steps[levels - 1] <= n1 / kFan) {
        steps[levels] = steps[levels - 1] * kFan;
        sizes[levels] = n1 / steps[levels];
        ++levels;
    }
    for (std::size_t level = 0; level < Levels(); ++level) bases[level] = Base(level);
    TrimmedBases(sizes, levels, bases);

    const int64_t p0 = int64_t(period);
    std::vector<Block> table(period);
    Block whole{byPhase[0], byPhase[0]};
    for (uint64_t r = 0; r < period; ++r) {
        const GenerationCounts& c = byPhase[std::size_t(((first_ + int64_t(r)) % p0 + p0) % p0)];
        table[r] = Block{c, c};
        Widen(whole.low, whole.high, c, c);
    }
    // straddle: the entry of this level that the old generations end inside,
    // once it is whole; straddleNext: the next level's.
    Block straddle{}, straddleNext{};
    for (std::size_t level = 0; level < levels; ++level) {
        const uint64_t oldSize = n0 / steps[level];
        const bool straddles = n0 % steps[level] != 0;
        if (level > 0) {
            // This level's table from the finer one's.
            if (steps[level] >= period) {
                table.assign(1, whole);
            } else {
                const std::vector<Block> finer = std::move(table);
                const uint64_t p = finer.size();
                table.assign(p / std::gcd(p, uint64_t(kFan)), Block{});
                for (uint64_t r = 0; r < table.size(); ++r) {
                    Block b = finer[(kFan * r) % p];
                    for (uint64_t t = 1; t < kFan; ++t) {
                        const Block& next = finer[(kFan * r + t) % p];
                        Widen(b.low, b.high, next.low, next.high);
                    }
                    table[r] = b;
                }
            }
            straddle = straddleNext;
        }
        const uint64_t p = table.size();
        // The next level's straddle, from this level's old entries (before
        // they are trimmed), its straddle and its table.
        if (level + 1 < levels) {
            const uint64_t next = n0 / steps[level + 1];
            if (n0 % steps[level + 1] != 0 && (next + 1) * steps[level + 1] <= n1) {
                for (uint64_t t = 0; t < kFan; ++t) {
                    const uint64_t e = kFan * next + t;
                    const Block x = e < oldSize                 ? BlockOf(level, e)
                                    : e == oldSize && straddles ? straddle
                                                                : table[e % p];
                    if (t == 0)
                        straddleNext = x;
                    else
                        Widen(straddleNext.low, straddleNext.high, x.low, x.high);
                }
            }
        }
        // Drops what the trimmed level no longer keeps, then adds the new
        // entries it keeps.
        const uint64_t from = std::max(oldSize, bases[level]);
        if (level == 0) {
            if (bases[0] >= oldSize) {
                exact_.items.clear();
                exact_.base = bases[0];
            }
            while (exact_.base < bases[0]) {
                exact_.items.pop_front();
                ++exact_.base;
            }
            for (uint64_t e = from, r = from % p; e < n1; ++e) {
                exact_.items.push_back(table[r].low);
                if (++r == p) r = 0;
            }
            continue;
        }
        if (blocks_.size() < level) {
            blocks_.emplace_back();
            blocks_.back().items.SetLimit(std::size_t(Keep(level) + kFan));
        }
        Level<Block>& blocks = blocks_[level - 1];
        if (bases[level] >= oldSize) {
            blocks.items.clear();
            blocks.base = bases[level];
        }
        while (blocks.base < bases[level]) {
            blocks.items.pop_front();
            ++blocks.base;
        }
        for (uint64_t e = from; e < sizes[level]; ++e)
            blocks.items.push_back(e == oldSize && straddles ? straddle : table[e % p]);
    }
}

void PopulationHistory::Gather(std::size_t level, uint64_t a, uint64_t b,
                               int32_t GenerationCounts::*field, ColumnSpan& span) const {
    auto take = [&](std::size_t at, uint64_t i) {
        if (at == 0) {
            const int32_t v = exact_[i].*field;
            span.low = std::min(span.low, v);
            span.high = std::max(span.high, v);
        } else {
            const Block& block = blocks_[at - 1][i];
            span.low = std::min(span.low, block.low.*field);
            span.high = std::max(span.high, block.high.*field);
        }
    };
    while (a < b) {
        const uint64_t base = Base(level);
        if (a < base) {
            // Dropped here: the coarser level's blocks over them (the last
            // level drops nothing, so there is one).
            const uint64_t end = std::min(b, base);
            Gather(level + 1, a / kFan, (end + kFan - 1) / kFan, field, span);
            a = end;
            continue;
        }
        // Climb: the ragged ends at each level, whole blocks from the next.
        while (a < b && a % kFan != 0) take(level, a++);
        while (a < b && b % kFan != 0) take(level, --b);
        if (a == b) break;
        if (level + 1 >= Levels()) {
            while (a < b) take(level, a++);
            break;
        }
        a /= kFan;
        b /= kFan;
        ++level;
    }
}

std::vector<ColumnSpan> PopulationHistory::Columns(int columns,
                                                   int32_t GenerationCounts::*field) const {
    const uint64_t n = exact_.Size();
    const uint64_t wanted = columns > 0 ? std::min(uint64_t(columns), n) : 0;
    std::vector<ColumnSpan> spans(wanted);
    // c n / wanted without overflow however long the run: n = q wanted + r.
    const uint64_t q = wanted > 0 ? n / wanted : 0, r = wanted > 0 ? n % wanted : 0;
    auto edge = [&](uint64_t c) { return c * q + c * r / wanted; };
    for (uint64_t c = 0; c < wanted; ++c) {
        ColumnSpan span{INT32_MAX, INT32_MIN};
        Gather(0, edge(c), edge(c + 1), field, span);
        spans[c] = span;
    }
    return spans;
}

namespace {

// Appends ",value" (no comma first on the line) to the line at end.
template <typename T>
char* Field(char* end, char* limit, bool& first, T value) {
    if (!first) *end++ = ',';
    first = false;
    return std::to_chars(end, limit, value).ptr;
}

}  // namespace

bool PopulationHistory::WriteText(
    const StatsColumns& columns,
    const std::function<bool(const char* line, std::size_t length)>& write) const {
    char line[kStatsLineBuffer];
    if (!Thinned()) {
        const std::string header = StatsHeader(columns);
        if (!write(header.data(), header.size())) return false;
        for (uint64_t i = 0; i < exact_.Size(); ++i) {
            const GenerationCounts& c = exact_[i];
            const std::size_t n =
                FormatStatsLine(line, columns, first_ + int64_t(i), c.live, c.births, c.deaths);
            if (!write(line, n)) return false;
        }
        return true;
    }
    std::string header = "First Generation,Last Generation";
    if (columns.total) header += ",Least Total Cells,Greatest Total Cells";
    if (columns.births) header += ",Least Births,Greatest Births";
    if (columns.deaths) header += ",Least Deaths,Greatest Deaths";
    header += "\r\n";
    if (!write(header.data(), header.size())) return false;
    auto range = [&](int64_t from, int64_t to, const Block& b) {
        char* const limit = line + sizeof line;
        bool first = true;
        char* end = Field(line, limit, first, from);
        end = Field(end, limit, first, to);
        if (columns.total)
            end = Field(Field(end, limit, first, b.low.live), limit, first, b.high.live);
        if (columns.births)
            end = Field(Field(end, limit, first, b.low.births), limit, first, b.high.births);
        if (columns.deaths)
            end = Field(Field(end, limit, first, b.low.deaths), limit, first, b.high.deaths);
        *end++ = '\r';
        *end++ = '\n';
        return write(line, std::size_t(end - line));
    };
    // The coarsest blocks first, each level up to where the next finer one
    // begins.
    for (std::size_t level = Levels() - 1; level >= 1; --level) {
        const uint64_t step = Power(kFan, level);
        const uint64_t end = Base(level - 1) / kFan;
        for (uint64_t i = Base(level); i < end; ++i)
            if (!range(first_ + int64_t(i * step), first_ + int64_t((i + 1) * step - 1),
                       blocks_[level - 1][i]))
                return false;
    }
    for (uint64_t i = exact_.base; i < exact_.Size(); ++i) {
        const int64_t g = first_ + int64_t(i);
        if (!range(g, g, Block{exact_[i], exact_[i]})) return false;
    }
    return true;
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
