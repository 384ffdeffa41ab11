#include "engine/census.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <unordered_map>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace cellarium {

namespace {

// ---------------------------------------------------------------------------
// Small patterns as sorted cell keys: y in the high half, x in the low half,
// so the order is row by row. Used for the objects themselves, where a
// pattern is a few dozen cells and clarity matters more than speed.

constexpr int64_t kKeyBias = int64_t(1) << 30;

inline uint64_t Key(int64_t x, int64_t y) {
    return uint64_t(uint32_t(y + kKeyBias)) << 32 | uint32_t(x + kKeyBias);
}
inline int64_t KeyX(uint64_t k) {
    return int64_t(uint32_t(k)) - kKeyBias;
}
inline int64_t KeyY(uint64_t k) {
    return int64_t(uint32_t(k >> 32)) - kKeyBias;
}

using Cells = std::vector<uint64_t>;

struct Box {
    int64_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    int64_t Width() const { return x1 - x0 + 1; }
    int64_t Height() const { return y1 - y0 + 1; }
};

Box BoxOf(const Cells& cells) {
    Box b;
    if (cells.empty()) return b;
    b.y0 = KeyY(cells.front());
    b.y1 = KeyY(cells.back());
    b.x0 = KeyX(cells.front());
    b.x1 = b.x0;
    for (uint64_t k : cells) {
        b.x0 = std::min(b.x0, KeyX(k));
        b.x1 = std::max(b.x1, KeyX(k));
    }
    return b;
}

Cells Shifted(const Cells& cells, int64_t dx, int64_t dy) {
    Cells out;
    out.reserve(cells.size());
    for (uint64_t k : cells) out.push_back(Key(KeyX(k) + dx, KeyY(k) + dy));
    return out;
}

Cells Union(const Cells& a, const Cells& b) {
    Cells out;
    std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}
Cells Intersection(const Cells& a, const Cells& b) {
    Cells out;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}
Cells Difference(const Cells& a, const Cells& b) {
    Cells out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}
bool Contains(const Cells& cells, uint64_t k) {
    return std::binary_search(cells.begin(), cells.end(), k);
}

struct CellsHash {
    size_t operator()(const Cells& cells) const {
        uint64_t h = 0x9e3779b97f4a7c15ull ^ cells.size();
        for (uint64_t k : cells) {
            h ^= k + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
            h *= 0xff51afd7ed558ccdull;
        }
        return size_t(h ^ (h >> 29));
    }
};

// Offsets of a neighbourhood used to grow clusters.
using Offsets = std::vector<std::pair<int, int>>;

Offsets SquareOffsets(int r, bool corners) {
    Offsets o;
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            if (dx == 0 && dy == 0) continue;
            if (!corners && std::abs(dx) == r && std::abs(dy) == r && r > 1) continue;
            o.emplace_back(dx, dy);
        }
    return o;
}

// The cells of backdrop reachable from seed in steps of the offsets.
Cells GrowCluster(uint64_t seed, const Cells& backdrop, const Offsets& offsets,
                  std::vector<uint8_t>& taken) {
    Cells cluster;
    std::vector<uint64_t> queue{seed};
    taken[std::lower_bound(backdrop.begin(), backdrop.end(), seed) - backdrop.begin()] = 1;
    while (!queue.empty()) {
        uint64_t k = queue.back();
        queue.pop_back();
        cluster.push_back(k);
        int64_t x = KeyX(k), y = KeyY(k);
        for (auto [dx, dy] : offsets) {
            uint64_t n = Key(x + dx, y + dy);
            auto it = std::lower_bound(backdrop.begin(), backdrop.end(), n);
            if (it == backdrop.end() || *it != n) continue;
            size_t i = size_t(it - backdrop.begin());
            if (taken[i]) continue;
            taken[i] = 1;
            queue.push_back(n);
        }
    }
    std::sort(cluster.begin(), cluster.end());
    return cluster;
}

// The clusters of backdrop that hold cells of seeds.
std::vector<Cells> Clusters(const Cells& seeds, const Cells& backdrop, const Offsets& offsets) {
    std::vector<uint8_t> taken(backdrop.size(), 0);
    std::vector<Cells> out;
    for (uint64_t s : seeds) {
        auto it = std::lower_bound(backdrop.begin(), backdrop.end(), s);
        if (it == backdrop.end() || *it != s || taken[size_t(it - backdrop.begin())]) continue;
        out.push_back(GrowCluster(s, backdrop, offsets, taken));
    }
    return out;
}

// ---------------------------------------------------------------------------
// Apgcodes: the extended Wechsler format of every phase in every orientation
// the rule allows, the shortest (then the first in character order) chosen.

// The eight orientations as (x, y) -> (a x + b y, c x + d y).
constexpr int kOrientations[8][4] = {{1, 0, 0, 1}, {-1, 0, 0, 1}, {1, 0, 0, -1}, {-1, 0, 0, -1},
                                     {0, 1, 1, 0}, {0, -1, 1, 0}, {0, 1, -1, 0}, {0, -1, -1, 0}};

std::string Simpler(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    if (a.size() != b.size()) return a.size() < b.size() ? a : b;
    return a < b ? a : b;
}

std::string Wechsler(const std::vector<uint8_t>& grid, int64_t w, int64_t h) {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string s;
    for (int64_t v = 0; v <= (h - 1) / 5; ++v) {
        if (v != 0) s += 'z';
        int64_t zeroes = 0;
        for (int64_t u = 0; u < w; ++u) {
            int baudot = 0;
            for (int k = 0; k < 5; ++k) {
                int64_t y = 5 * v + k;
                if (y < h && grid[size_t(y * w + u)]) baudot |= 1 << k;
            }
            if (baudot == 0) {
                ++zeroes;
                continue;
            }
            while (zeroes >= 40) {
                s += "yz";
                zeroes -= 39;
            }
            if (zeroes == 1) {
                s += '0';
            } else if (zeroes == 2) {
                s += 'w';
            } else if (zeroes == 3) {
                s += 'x';
            } else if (zeroes >= 4) {
                s += 'y';
                s += kDigits[zeroes - 4];
            }
            zeroes = 0;
            s += kDigits[baudot];
        }
    }
    while (!s.empty() && s.back() == 'z') s.pop_back();
    return s.empty() ? "0" : s;
}

// One phase's code over the allowed orientations; "" when it is too large
// to be named.
std::string PhaseCode(const Cells& cells, const std::vector<int>& orientations) {
    Box b = BoxOf(cells);
    if ((b.Width() + 2) * (b.Height() + 2) > 10000) return "";
    std::string best;
    std::vector<uint8_t> grid;
    for (int o : orientations) {
        const int* m = kOrientations[o];
        int64_t w = m[0] != 0 ? b.Width() : b.Height();
        int64_t h = m[0] != 0 ? b.Height() : b.Width();
        grid.assign(size_t(w * h), 0);
        for (uint64_t k : cells) {
            int64_t x = KeyX(k) - b.x0, y = KeyY(k) - b.y0;
            int64_t tx = m[0] * x + m[1] * y, ty = m[2] * x + m[3] * y;
            if (m[0] + m[1] < 0) tx += w - 1;
            if (m[2] + m[3] < 0) ty += h - 1;
            grid[size_t(ty * w + tx)] = 1;
        }
        best = Simpler(best, Wechsler(grid, w, h));
    }
    return best.size() > 1280 ? "" : best;
}

// The rule as bit-sliced logic on neighbour counts; counts whose outcome
// depends on where the neighbours sit are looked up cell by cell.
struct CountLogic {
    // Counts whose outcome is the same wherever the neighbours sit, and those
    // whose outcome depends on it, for dead and for live cells.
    int born[9] = {}, survive[9] = {}, bornMixed[9] = {}, surviveMixed[9] = {};
    int nBorn = 0, nSurvive = 0, nBornMixed = 0, nSurviveMixed = 0;

    explicit CountLogic(const CensusRule& r) {
        int bornOn[9] = {}, bornTotal[9] = {}, survOn[9] = {}, survTotal[9] = {};
        for (int i = 0; i < 512; ++i) {
            int n = std::popcount(unsigned(i & ~16));
            if (i & 16) {
                survTotal[n]++;
                survOn[n] += r.next[i];
            } else {
                bornTotal[n]++;
                bornOn[n] += r.next[i];
            }
        }
        for (int n = 0; n <= 8; ++n) {
            if (bornOn[n] == bornTotal[n])
                born[nBorn++] = n;
            else if (bornOn[n] != 0)
                bornMixed[nBornMixed++] = n;
            if (survOn[n] == survTotal[n])
                survive[nSurvive++] = n;
            else if (survOn[n] != 0)
                surviveMixed[nSurviveMixed++] = n;
        }
    }
};

inline uint64_t CountIs(int n, uint64_t s0, uint64_t s1, uint64_t s2, uint64_t s3) {
    uint64_t m0 = (n & 1) ? ~0ull : 0, m1 = (n & 2) ? ~0ull : 0, m2 = (n & 4) ? ~0ull : 0,
             m3 = (n & 8) ? ~0ull : 0;
    return ~((s0 ^ m0) | (s1 ^ m1) | (s2 ^ m2) | (s3 ^ m3));
}

// Live cells in n words: with the processor's own instruction where there
// is one.
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("popcnt"))) uint64_t CountBitsFast(const uint64_t* words, size_t n) {
    uint64_t count = 0;
    for (size_t i = 0; i < n; ++i) count += uint64_t(__builtin_popcountll(words[i]));
    return count;
}
#endif

uint64_t CountBits(const uint64_t* words, size_t n) {
#if defined(__x86_64__) || defined(__i386__)
    static const bool fast = __builtin_cpu_supports("popcnt");
    if (fast) return CountBitsFast(words, n);
#endif
    uint64_t count = 0;
    for (size_t i = 0; i < n; ++i) count += uint64_t(std::popcount(words[i]));
    return count;
}

// The next state of 64 cells from their neighbours, row by row (u the
// row above, d the one below; l the neighbour on the left).
template <bool kLife>
uint64_t NextBits(const CountLogic& L, const CensusRule& rule, uint64_t ul, uint64_t uc,
                  uint64_t ur, uint64_t ml, uint64_t mc, uint64_t mr, uint64_t dl, uint64_t dc,
                  uint64_t dr) {
    uint64_t a0 = ul ^ uc ^ ur, a1 = (ul & uc) | (ur & (ul ^ uc));
    uint64_t b0 = ml ^ mr, b1 = ml & mr;
    uint64_t d0 = dl ^ dc ^ dr, d1 = (dl & dc) | (dr & (dl ^ dc));
    uint64_t s0 = a0 ^ b0 ^ d0, k = (a0 & b0) | (d0 & (a0 ^ b0));
    uint64_t t0 = a1 ^ b1 ^ d1, t1 = (a1 & b1) | (d1 & (a1 ^ b1));
    uint64_t s1 = t0 ^ k, v = t0 & k;
    uint64_t s2 = t1 ^ v, s3 = t1 & v;
    // Conway's rule: two or three neighbours, and the cell live or three.
    if constexpr (kLife) return s1 & ~(s2 | s3) & (s0 | mc);
    uint64_t born = 0, survive = 0, mixed = 0;
    for (int j = 0; j < L.nBorn; ++j) born |= CountIs(L.born[j], s0, s1, s2, s3);
    for (int j = 0; j < L.nSurvive; ++j) survive |= CountIs(L.survive[j], s0, s1, s2, s3);
    for (int j = 0; j < L.nBornMixed; ++j) mixed |= ~mc & CountIs(L.bornMixed[j], s0, s1, s2, s3);
    for (int j = 0; j < L.nSurviveMixed; ++j)
        mixed |= mc & CountIs(L.surviveMixed[j], s0, s1, s2, s3);
    uint64_t result = (mc & survive) | (~mc & born);
    while (mixed) {
        int i = std::countr_zero(mixed);
        mixed &= mixed - 1;
        int idx = int(ul >> i & 1) | int(uc >> i & 1) << 1 | int(ur >> i & 1) << 2 |
                  int(ml >> i & 1) << 3 | int(mc >> i & 1) << 4 | int(mr >> i & 1) << 5 |
                  int(dl >> i & 1) << 6 | int(dc >> i & 1) << 7 | int(dr >> i & 1) << 8;
        if (rule.next[idx]) result |= 1ull << i;
    }
    return result;
}

struct Periodicity {
    int64_t period = 0;  // 0: not periodic within the limit
    int64_t dx = 0, dy = 0;
};

}  // namespace

// ---------------------------------------------------------------------------

CensusRule CensusRule::FromTables(const uint8_t survive[9], const uint8_t born[9]) {
    CensusRule r;
    for (int i = 0; i < 512; ++i) {
        int n = std::popcount(unsigned(i & ~16));
        r.next[i] = (i & 16) ? (survive[n] ? 1 : 0) : (born[n] ? 1 : 0);
    }
    return r;
}

CensusRule CensusRule::FromRule(const Rule& rule) {
    CensusRule r;
    for (unsigned i = 0; i < 512; ++i) {
        unsigned block = 0;
        for (int k = 0; k < 9; ++k) block |= ((i >> k) & 1u) << (8 - k);
        r.next[i] = rule.Next(block) ? 1 : 0;
    }
    return r;
}

CensusCounts SortedCensus(const std::map<std::string, uint64_t>& tally) {
    CensusCounts out;
    for (const auto& [code, count] : tally)
        if (count != 0) out.emplace_back(code, count);
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
        if (a.second != b.second) return a.second > b.second;
        return a.first > b.first;
    });
    return out;
}

struct Census::Impl {
    CensusRule rule;
    std::vector<int> orientations;  // the symmetries of the rule
    Offsets zoi;                    // how far one cell's influence reaches
    Offsets moore = SquareOffsets(1, true);
    bool diagonalBirth = false;
    bool conway = false;  // B3/S23, where the census retries chaotic growth
    uint64_t gmax = 1048576;
    std::function<bool()> cancelled;
    bool Cancelled() const { return cancelled && cancelled(); }

    // Names of objects, and what each cluster (its live cells moved to the
    // origin) separates into.
    std::vector<std::string> names;
    std::unordered_map<std::string, int32_t> nameIds;
    struct Known {
        Periodicity periodicity;
        std::vector<int32_t> objects;
    };
    std::unordered_map<Cells, Known, CellsHash> known;
    std::unordered_map<std::string, std::vector<std::string>> decompositions;

    CountLogic logic;

    explicit Impl(const CensusRule& r) : rule(r), logic(r) {
        for (int o = 0; o < 8; ++o) {
            const int* m = kOrientations[o];
            bool same = true;
            for (int i = 0; i < 512 && same; ++i) {
                int j = 0;
                for (int bit = 0; bit < 9; ++bit) {
                    if (!(i >> bit & 1)) continue;
                    int x = bit % 3 - 1, y = bit / 3 - 1;
                    int tx = m[0] * x + m[1] * y, ty = m[2] * x + m[3] * y;
                    j |= 1 << ((ty + 1) * 3 + tx + 1);
                }
                same = rule.next[i] == rule.next[j];
            }
            if (same) orientations.push_back(o);
        }
        diagonalBirth = rule.next[257] || rule.next[68];
        const uint8_t survive[9] = {0, 0, 1, 1, 0, 0, 0, 0, 0},
                      born[9] = {0, 0, 0, 1, 0, 0, 0, 0, 0};
        conway = rule.next == CensusRule::FromTables(survive, born).next;
        zoi = SquareOffsets(2, diagonalBirth);
    }

    int32_t NameId(const std::string& name) {
        auto it = nameIds.find(name);
        if (it != nameIds.end()) return it->second;
        int32_t id = int32_t(names.size());
        names.push_back(name);
        nameIds.emplace(name, id);
        return id;
    }

    Cells Step(const Cells& cells) const {
        if (cells.empty()) return {};
        Box b = BoxOf(cells);
        if (b.Width() + 2 <= 64) {
            // Narrow patterns row by row, a bit a cell: bit i is the cell at
            // x0 - 1 + i, row r the one at y0 - 2 + r.
            std::vector<uint64_t> rows(size_t(b.Height() + 4), 0);
            for (uint64_t k : cells)
                rows[size_t(KeyY(k) - b.y0 + 2)] |= 1ull << (KeyX(k) - b.x0 + 1);
            Cells out;
            for (size_t r = 1; r + 1 < rows.size(); ++r) {
                const uint64_t u = rows[r - 1], m = rows[r], d = rows[r + 1];
                if ((u | m | d) == 0) continue;
                uint64_t v = conway ? NextBits<true>(logic, rule, u << 1, u, u >> 1, m << 1, m,
                                                     m >> 1, d << 1, d, d >> 1)
                                    : NextBits<false>(logic, rule, u << 1, u, u >> 1, m << 1, m,
                                                      m >> 1, d << 1, d, d >> 1);
                for (; v; v &= v - 1)
                    out.push_back(Key(b.x0 - 1 + std::countr_zero(v), b.y0 - 2 + int64_t(r)));
            }
            return out;
        }
        int64_t w = b.Width() + 4, h = b.Height() + 4;
        std::vector<uint8_t> g(size_t(w * h), 0);
        for (uint64_t k : cells) g[size_t((KeyY(k) - b.y0 + 2) * w + KeyX(k) - b.x0 + 2)] = 1;
        Cells out;
        for (int64_t y = 1; y < h - 1; ++y)
            for (int64_t x = 1; x < w - 1; ++x) {
                int idx = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if (g[size_t((y + dy) * w + x + dx)]) idx |= 1 << ((dy + 1) * 3 + dx + 1);
                if (rule.next[idx]) out.push_back(Key(x - 2 + b.x0, y - 2 + b.y0));
            }
        return out;
    }

    Cells Advance(Cells cells, int64_t n) const {
        for (int64_t i = 0; i < n && !cells.empty(); ++i) cells = Step(cells);
        return cells;
    }

    // The live cells after n generations and every cell live in any of them.
    std::pair<Cells, Cells> History(Cells cells, int64_t n) const {
        Cells envelope = cells;
        for (int64_t i = 0; i < n; ++i) {
            cells = Step(cells);
            envelope = Union(envelope, cells);
        }
        return {cells, envelope};
    }

    Periodicity FindPeriod(const Cells& cells, uint64_t limit) const {
        Periodicity p;
        if (cells.empty()) return p;
        Box b0 = BoxOf(cells);
        Cells start = Shifted(cells, -b0.x0, -b0.y0);
        Cells cur = cells;
        for (uint64_t t = 1; t <= limit; ++t) {
            cur = Step(cur);
            if (cur.empty()) return p;
            if (cur.size() != start.size()) continue;
            Box b = BoxOf(cur);
            if (b.Width() != b0.Width() || b.Height() != b0.Height()) continue;
            if (Shifted(cur, -b.x0, -b.y0) == start) {
                p.period = int64_t(t);
                p.dx = b.x0 - b0.x0;
                p.dy = b.y0 - b0.y0;
                return p;
            }
        }
        return p;
    }

    std::string Apgcode(const Cells& cells, const Periodicity& p) const {
        std::string rep;
        Cells cur = cells;
        for (int64_t t = 0; t < p.period; ++t) {
            if (t != 0) cur = Step(cur);
            rep = Simpler(rep, PhaseCode(cur, orientations));
        }
        std::string prefix = rep.empty() ? "ov_" : "x";
        if (p.period == 1 && p.dx == 0 && p.dy == 0)
            prefix += "s" + std::to_string(cells.size());
        else
            prefix += (p.dx == 0 && p.dy == 0 ? "p" : "q") + std::to_string(p.period);
        return rep.empty() ? prefix : prefix + "_" + rep;
    }

    // Splits an oscillator into islands that evolve on their own, trying
    // ever more parts; each part is split again in turn.
    std::vector<std::string> SplitIslands(const Cells& cells, size_t parts, size_t maxParts) {
        Periodicity p = FindPeriod(cells, gmax);
        if (p.period == 0) return {""};
        auto [live, envelope] = History(cells, p.period + 2);
        std::vector<Cells> islands;
        for (Cells& c : Clusters(live, envelope, moore)) islands.push_back(Intersection(c, live));
        size_t count = islands.size();
        if (count < parts) return {Apgcode(cells, p)};
        double tries = 1;
        for (size_t i = 0; i < count; ++i) tries *= double(parts);
        if (double(p.period + 2) * tries > 1e6) return {Apgcode(cells, p)};

        // The whole, phase by phase from the islands' generation.
        std::vector<Cells> whole{live};
        for (int64_t i = 0; i <= p.period; ++i) whole.push_back(Step(whole.back()));

        std::vector<uint8_t> colour(count, 0);
        std::vector<std::string> found;
        bool done = false;
        // Colourings in which every colour is used, the first island always
        // coloured 0 and each next one at most one above the highest so far.
        std::function<void(size_t, size_t)> colourFrom = [&](size_t at, size_t highest) {
            if (done) return;
            if (at == count) {
                if (highest + 1 != parts) return;
                std::vector<Cells> unions(parts);
                for (size_t i = 0; i < count; ++i)
                    unions[colour[i]] = Union(unions[colour[i]], islands[i]);
                for (int64_t i = 0; i <= p.period; ++i) {
                    Cells x = unions[0];
                    unions[0] = Step(unions[0]);
                    if (unions[0].empty()) return;
                    for (size_t j = 1; j < parts; ++j) {
                        if (unions[j].empty()) return;
                        if (!Intersection(x, unions[j]).empty()) return;
                        x = Union(x, unions[j]);
                        unions[j] = Step(unions[j]);
                    }
                    if (x != whole[size_t(i)]) return;
                }
                // Take them back to the islands' generation.
                std::vector<Cells> pieces(parts);
                for (size_t i = 0; i < count; ++i)
                    pieces[colour[i]] = Union(pieces[colour[i]], islands[i]);
                for (const Cells& piece : pieces)
                    for (std::string& code : SplitIslands(piece, 2, maxParts))
                        found.push_back(code);
                done = true;
                return;
            }
            size_t limit = std::min(highest + 1, parts - 1);
            for (size_t c = 0; c <= limit && !done; ++c) {
                colour[at] = uint8_t(c);
                colourFrom(at + 1, std::max(highest, c));
            }
        };
        colour[0] = 0;
        if (count > 0) colourFrom(1, 0);
        if (done) return found;
        if (maxParts == 0 || parts < maxParts) return SplitIslands(cells, parts + 1, maxParts);
        return {Apgcode(cells, p)};
    }

    // Separates a periodic cluster into the objects it is made of.
    std::vector<std::string> Separate(const Cells& cells, const Periodicity& p) {
        bool still = p.dx == 0 && p.dy == 0;
        auto [live, envelope] = History(cells, p.period + 2);
        if (!still) {
            // Spaceships flying together: parts of the envelope apart, or
            // standard ships side by side, each a spaceship of its own.
            std::vector<Cells> parts = Clusters(live, envelope, zoi);
            bool sideBySide = false;
            if (parts.size() == 1 && p.period == 4) {
                parts = Clusters(cells, cells, moore);
                sideBySide = true;
            }
            if (parts.size() <= 1) return {Apgcode(cells, p)};
            std::vector<std::string> out;
            for (Cells& part : parts) {
                Cells piece = sideBySide ? part : Intersection(part, live);
                Periodicity q = FindPeriod(piece, gmax);
                if (q.period == 0 || q.dx * p.period != p.dx * q.period ||
                    q.dy * p.period != p.dy * q.period)
                    return {Apgcode(cells, p)};
                out.push_back(Apgcode(piece, q));
            }
            return out;
        }

        // Oscillators and still lifes: islands of the envelope, merged where
        // one island's cells alone would bring a cell of another to life.
        std::vector<Cells> islands = Clusters(live, envelope, moore);
        std::unordered_map<uint64_t, size_t> label;
        for (size_t i = 0; i < islands.size(); ++i)
            for (uint64_t k : islands[i]) label[k] = i + 1;
        Cells cur = live;
        for (bool again = true; again;) {
            again = false;
            for (int64_t i = 0; i < p.period; ++i) {
                cur = Step(cur);
                Cells around;
                for (uint64_t k : cur)
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx)
                            around.push_back(Key(KeyX(k) + dx, KeyY(k) + dy));
                std::sort(around.begin(), around.end());
                around.erase(std::unique(around.begin(), around.end()), around.end());
                for (uint64_t d : Difference(around, envelope)) {
                    std::map<size_t, int> tally;
                    for (int uy = 0; uy <= 2; ++uy)
                        for (int ux = 0; ux <= 2; ++ux) {
                            uint64_t k = Key(KeyX(d) + ux - 1, KeyY(d) + uy - 1);
                            if (Contains(cur, k)) tally[label[k]] |= 1 << (uy * 3 + ux);
                        }
                    size_t dominant = 0;
                    for (auto [c, bits] : tally)
                        if (rule.next[bits]) dominant = c;
                    if (dominant == 0) continue;
                    for (auto& [k, c] : label) {
                        auto t = tally.find(c);
                        if (t == tally.end() || t->second == 0) continue;
                        if (c != dominant) {
                            c = dominant;
                            again = true;
                        }
                    }
                }
            }
        }
        std::map<size_t, Cells> groups;
        for (auto& [k, c] : label)
            if (Contains(cells, k)) groups[c].push_back(k);
        std::vector<std::string> out;
        size_t maxParts = diagonalBirth ? 7 : 4;
        for (auto& [c, group] : groups) {
            std::sort(group.begin(), group.end());
            for (std::string& code : SplitIslands(group, 2, maxParts)) {
                if (code.empty()) return {Apgcode(cells, p)};
                out.push_back(code);
            }
        }
        return out;
    }

    // What a cluster is, from its live cells moved to the origin; null when
    // it is not periodic within gmax generations.
    const Known* Identify(const Cells& cluster) {
        auto it = known.find(cluster);
        if (it != known.end()) return &it->second;
        Periodicity p = FindPeriod(cluster, gmax);
        if (p.period == 0) return nullptr;
        std::string code = Apgcode(cluster, p);
        auto d = decompositions.find(code);
        if (d == decompositions.end()) d = decompositions.emplace(code, Separate(cluster, p)).first;
        Known k;
        k.periodicity = p;
        for (const std::string& name : d->second) k.objects.push_back(NameId(name));
        return &known.emplace(cluster, std::move(k)).first->second;
    }
};

// ---------------------------------------------------------------------------
// The universe a census runs in: rows of 64-bit words, a bit a cell, three
// generations kept so rows whose neighbourhood repeats with period one or two
// are copied instead of computed. Live cells are kept at least kMargin cells
// from the edge: spaceships that get there flying outwards are taken out and
// counted, anything else makes the universe grow.

namespace {

constexpr int kMargin = 8;
constexpr int kMaxWords = 64;  // 4096 cells across at most

#if defined(__x86_64__) || defined(__i386__)
// What a dense step found: the first and last rows with live cells (first
// > last when none), whether anything differs from the generation before,
// and whether a live cell lies within the margin of a side.
struct DenseResult {
    int first, last;
    bool changed;   // anything differs from the generation before
    bool nearSide;  // a live cell within the margin of a side
};

// The cells of a register's words and those left and right of them, within
// rows: lanes hasLeft and hasRight have a word of the same row on that side.
__attribute__((target("avx512f"), always_inline)) inline void Sides(const uint64_t* p,
                                                                    __mmask8 hasLeft,
                                                                    __mmask8 hasRight, __m512i& x,
                                                                    __m512i& l, __m512i& r) {
    const __m512i zero = _mm512_setzero_si512();
    x = _mm512_loadu_si512(p);
    const __m512i before = _mm512_maskz_alignr_epi64(hasLeft, x, zero, 7);
    const __m512i after = _mm512_maskz_alignr_epi64(hasRight, zero, x, 1);
    l = _mm512_or_si512(_mm512_maskz_slli_epi64(0xFF, x, 1),
                        _mm512_maskz_srli_epi64(0xFF, before, 63));
    r = _mm512_or_si512(_mm512_maskz_srli_epi64(0xFF, x, 1),
                        _mm512_maskz_slli_epi64(0xFF, after, 63));
}

// Conway's rule on the rows lo..hi of the universe, eight words (a
// register) at a time: from cells into next, which held the generation
// before (what changed against it is reported). words is 2, 4 or 8: a
// register holds four, two or one row. Registers start at multiples of eight
// words from the first row, and the rows read around lo..hi (from the
// register of lo and the row above it) lie in the universe. history, when
// given, gathers every generation's cells; margin holds, per word of a row,
// the cells within the margin of the sides.
//
// steady[i] tells whether register i came out as it was two generations
// before, for the registers known..end of the last step (known > end: none):
// a register whose rows and the rows either side came out so is left as it
// is, its next generation being the one before, already in next.
__attribute__((target("avx512f"))) DenseResult DenseLifeAvx512(
    const uint64_t* cells, uint64_t* next, uint64_t* history, const uint64_t* margin, int words,
    int lo, int hi, int rows, uint8_t* steady, int64_t& known, int64_t& knownEnd) {
    const __m512i zero = _mm512_setzero_si512();
    __m512i changed = zero, near = zero;
    DenseResult r{rows, -1, false, false};
    const int64_t w = words, end = int64_t(hi + 1) * w, last = int64_t(rows) * w - w - 8;
    const int shift = words == 2 ? 1 : words == 4 ? 2 : 3;
    // Lanes with a word of the same row on their left, and on their right;
    // the cells within the margin of the sides.
    const __mmask8 hasLeft = words == 2   ? 0xAA
                             : words == 4 ? 0xEE
                                          : 0xFE,
                   hasRight = words == 2   ? 0x55
                              : words == 4 ? 0x77
                                           : 0x7F;
    uint64_t lanes[8];
    for (int i = 0; i < 8; ++i) lanes[i] = margin[i % words];
    const __m512i sideMargin = _mm512_loadu_si512(lanes);
    const int64_t first = (int64_t(lo) * w) & ~int64_t(7);
    auto isKnown = [&](int64_t i) { return i >= known && i < knownEnd; };
    bool steadyBefore = isKnown((first >> 3) - 1) && steady[(first >> 3) - 1];
    for (int64_t o = first; o < end; o += 8) {
        // The last registers end where the row below still lies in the
        // universe.
        const int64_t at = std::min(o, last), i = o >> 3;
        const bool steadyHere = isKnown(i) && steady[i];
        const bool steadyAfter = isKnown(i + 1) && steady[i + 1];
        if (at == o && steadyBefore && steadyHere && steadyAfter) {
            // What next holds is this register's next generation.
            steady[i] = 1;
            steadyBefore = true;
            const __m512i v = _mm512_loadu_si512(next + at);
            near = _mm512_or_si512(near, _mm512_and_si512(v, sideMargin));
            const __mmask8 live = _mm512_test_epi64_mask(v, v);
            if (live) {
                r.first = std::min(r.first, int((at + std::countr_zero(unsigned(live))) >> shift));
                r.last =
                    std::max(r.last, int((at + 31 - std::countl_zero(unsigned(live))) >> shift));
            }
            continue;
        }
        steadyBefore = steadyHere;
        const uint64_t* mid = cells + at;
        __m512i u, ul, ur, m, ml, mr, d, dl, dr;
        Sides(mid - w, hasLeft, hasRight, u, ul, ur);
        Sides(mid, hasLeft, hasRight, m, ml, mr);
        Sides(mid + w, hasLeft, hasRight, d, dl, dr);
        // Neighbour counts bit by bit: the rows above and below as two-bit
        // sums, then everything added up to bits s0, s1 and "four or more".
        const __m512i a0 = _mm512_ternarylogic_epi64(ul, u, ur, 0x96);
        const __m512i a1 = _mm512_ternarylogic_epi64(ul, u, ur, 0xe8);
        const __m512i b0 = _mm512_xor_si512(ml, mr);
        const __m512i b1 = _mm512_and_si512(ml, mr);
        const __m512i d0 = _mm512_ternarylogic_epi64(dl, d, dr, 0x96);
        const __m512i d1 = _mm512_ternarylogic_epi64(dl, d, dr, 0xe8);
        const __m512i s0 = _mm512_ternarylogic_epi64(a0, b0, d0, 0x96);
        const __m512i k = _mm512_ternarylogic_epi64(a0, b0, d0, 0xe8);
        const __m512i t0 = _mm512_ternarylogic_epi64(a1, b1, d1, 0x96);
        const __m512i t1 = _mm512_ternarylogic_epi64(a1, b1, d1, 0xe8);
        const __m512i s1 = _mm512_xor_si512(t0, k);
        // Four or more: a carry out of the twos, or two twos and a carry.
        const __m512i high = _mm512_or_si512(t1, _mm512_and_si512(t0, k));
        // Two or three neighbours, and the cell live or the count odd.
        const __m512i v = _mm512_ternarylogic_epi64(s1, high, _mm512_or_si512(s0, m), 0x20);
        uint64_t* out = next + at;
        const __m512i difference = _mm512_xor_si512(v, _mm512_loadu_si512(out));
        changed = _mm512_or_si512(changed, difference);
        steady[i] = at == o && _mm512_test_epi64_mask(difference, difference) == 0;
        _mm512_storeu_si512(out, v);
        if (history != nullptr)
            _mm512_storeu_si512(history + at, _mm512_or_si512(_mm512_loadu_si512(history + at), v));
        near = _mm512_or_si512(near, _mm512_and_si512(v, sideMargin));
        const __mmask8 live = _mm512_test_epi64_mask(v, v);
        if (live) {
            r.first = std::min(r.first, int((at + std::countr_zero(unsigned(live))) >> shift));
            r.last = std::max(r.last, int((at + 31 - std::countl_zero(unsigned(live))) >> shift));
        }
    }
    r.changed = _mm512_test_epi64_mask(changed, changed) != 0;
    r.nearSide = _mm512_test_epi64_mask(near, near) != 0;
    known = first >> 3;
    knownEnd = (end + 7) >> 3;
    return r;
}

bool HasAvx512() {
    static const bool has = __builtin_cpu_supports("avx512f");
    return has;
}
#endif

class Universe {
public:
    // Rows lo..hi.
    struct Band {
        int lo, hi;
    };

    Universe(const CensusRule& rule, const CountLogic& logic)
        : rule_(rule),
          logic_(logic),
          life_(logic.nBorn == 1 && logic.born[0] == 3 && logic.nSurvive == 2 &&
                logic.survive[0] == 2 && logic.survive[1] == 3 && logic.nBornMixed == 0 &&
                logic.nSurviveMixed == 0) {}

    void Reset(int words, int rows) {
        words_ = words;
        rows_ = rows;
        for (auto& b : buf_) b.assign(size_t(words_) * rows_, 0);
        env_.clear();
        envFromNext_ = false;
        AllChanged();
        cur_ = 0;
        originX_ = originY_ = 0;
        overflow_ = false;
        boundsDirty_ = true;
        band_[0] = band_[1] = Band{rows, -1};
        changedDense_ = true;
        steadyFrom_ = 1;
        steadyTo_ = 0;
        dense_ = false;
        ChooseKernel();
    }

    void Set(int64_t x, int64_t y) {  // universe coordinates
        buf_[cur_][size_t(y) * words_ + size_t(x >> 6)] |= 1ull << (x & 63);
        boundsDirty_ = true;
        band_[cur_].lo = std::min(band_[cur_].lo, int(y));
        band_[cur_].hi = std::max(band_[cur_].hi, int(y));
        changedDense_ = true;
        steadyFrom_ = 1;
        steadyTo_ = 0;
    }
    bool Get(const std::vector<uint64_t>& plane, int64_t x, int64_t y) const {
        if (x < 0 || y < 0 || x >= 64 * words_ || y >= rows_) return false;
        return plane[size_t(y) * words_ + size_t(x >> 6)] >> (x & 63) & 1;
    }
    // Takes out a cell of an object flying off, and that object's cells of
    // the generation before, which lie next to it: the other buffer is read
    // where a neighbourhood repeats.
    void Clear(int64_t x, int64_t y) {
        buf_[cur_][size_t(y) * words_ + size_t(x >> 6)] &= ~(1ull << (x & 63));
        for (int64_t r = std::max<int64_t>(0, y - 1); r <= std::min<int64_t>(rows_ - 1, y + 1); ++r)
            for (int64_t cx = std::max<int64_t>(0, x - 1);
                 cx <= std::min<int64_t>(64 * words_ - 1, x + 1); ++cx)
                buf_[cur_ ^ 1][size_t(r) * words_ + size_t(cx >> 6)] &= ~(1ull << (cx & 63));
        for (int64_t r = std::max<int64_t>(0, y - 2); r <= std::min<int64_t>(rows_ - 1, y + 2);
             ++r) {
            changed1_[size_t(r)] = changed2_[size_t(r)] = AllWords();
            active_[size_t(r) >> 6] |= 1ull << (r & 63);
        }
        boundsDirty_ = true;
        changedDense_ = true;
        steadyFrom_ = 1;
        steadyTo_ = 0;
    }
    void FinishEdits() {
        boundsDirty_ = true;
        Bounds();
    }

    int Width() const { return 64 * words_; }
    int Rows() const { return rows_; }
    int64_t OriginX() const { return originX_; }
    int64_t OriginY() const { return originY_; }
    bool Empty() {
        Bounds();
        return rowMax_ < 0;
    }
    bool Overflow() const { return overflow_; }
    void SetOverflow() { overflow_ = true; }
    const std::vector<uint64_t>& Live() const { return buf_[cur_]; }
    const std::vector<uint64_t>& Envelope() const { return env_; }
    void StartEnvelope() {
        env_ = buf_[cur_];
        envFromNext_ = true;
    }
    void StopEnvelope() { env_.clear(); }
    int RowMin() {
        Bounds();
        return rowMin_;
    }
    int RowMax() {
        Bounds();
        return rowMax_;
    }
    // True when a live cell came within the margin of the edge.
    bool NearEdge() const { return nearEdge_; }

    // True when the live cells repeat those of two generations ago.
    bool PeriodTwo() const {
        if (dense_) return !changedDense_;
        for (int y = 0; y < rows_; ++y)
            if (changed2_[size_t(y)]) return false;
        return true;
    }

    uint64_t Population() {
        if (dense_) {
            // The rows that may hold cells, without looking for them first.
            const Band& b = band_[cur_];
            if (b.hi < b.lo) return 0;
            return CountBits(buf_[cur_].data() + size_t(b.lo) * words_,
                             size_t(b.hi - b.lo + 1) * words_);
        }
        Bounds();
        if (rowMax_ < rowMin_) return 0;
        return CountBits(buf_[cur_].data() + size_t(rowMin_) * words_,
                         size_t(rowMax_ - rowMin_ + 1) * words_);
    }

    uint64_t Hash() {
        Bounds();
        uint64_t h = 0x243f6a8885a308d3ull;
        const auto& b = buf_[cur_];
        for (int y = rowMin_; y <= rowMax_; ++y)
            for (int w = 0; w < words_; ++w) {
                uint64_t v = b[size_t(y) * words_ + w];
                if (!v) continue;
                h ^= v + uint64_t(y + originY_) * 0x9e3779b97f4a7c15ull +
                     uint64_t(w) * 0x632be59bd9b4e019ull;
                h = (h ^ (h >> 31)) * 0xbf58476d1ce4e5b9ull;
            }
        return h;
    }

    // The public census program's hash of the cells near the soup: its
    // universe is cut into 28 x 28 tiles, each row of tiles set 14 cells
    // further left than the one above, and the tiles within 120 tiles of the
    // soup's are hashed, each row of a tile as a word with two spare bits
    // either side. (dx, dy) takes universe cells to that program's
    // coordinates, where the soup lies at 0..15.
    uint64_t TileHash(int64_t dx, int64_t dy) {
        Bounds();
        std::unordered_map<uint64_t, std::array<uint32_t, 28>> tiles;
        const auto& b = buf_[cur_];
        auto floorDiv = [](int64_t a, int64_t d) { return a >= 0 ? a / d : -((-a + d - 1) / d); };
        for (int y = rowMin_; y <= rowMax_; ++y)
            for (int w = 0; w < words_; ++w)
                for (uint64_t v = b[size_t(y) * words_ + w]; v; v &= v - 1) {
                    const int64_t X = 64 * w + std::countr_zero(v) + originX_ + dx;
                    const int64_t Y = y + originY_ + dy;
                    const int64_t band = floorDiv(Y, 28), tw = -band;
                    const int64_t shifted = X - 14 * band, tx = floorDiv(shifted, 28);
                    if (tx * tx + tw * tw - tx * tw >= 120 * 120) continue;
                    const uint64_t key =
                        (uint64_t(tw + 0x80000000ll) << 32) + uint64_t(tx + 0x80000000ll);
                    auto it = tiles.try_emplace(key).first;
                    it->second[size_t(Y - 28 * band)] |= 1u << (shifted - 28 * tx + 2);
                }
        uint64_t h = 0;
        for (const auto& [key, rowsOfTile] : tiles) {
            uint32_t partial = 0;
            for (uint32_t i = 2; i < 30; ++i)
                partial = partial * (partial + 77232917u) + i * rowsOfTile[i - 2];
            h += uint64_t(partial) * (key ^ 3141592653589793ull);
        }
        return h;
    }

    // Doubles the universe with its cells in the middle. The last doubling
    // leaves the new room on the side to which the cells reach further from
    // (startX, startY), where the pattern started: what grows that far
    // mostly moves one way. False when it may grow no more.
    bool Grow(int64_t startX = -1, int64_t startY = -1) {
        int words = words_ * 2, rows = rows_ * 2;
        if (words > kMaxWords) return false;
        int shiftWords = words_ / 2, shiftRows = rows_ / 2;
        if (words == kMaxWords && startX >= 0 && startY >= 0) {
            Bounds();
            shiftWords = startX - colMin_ > colMax_ - startX ? words_ : 0;
            shiftRows = startY - rowMin_ > rowMax_ - startY ? rows_ : 0;
        }
        auto move = [&](std::vector<uint64_t>& plane) {
            if (plane.empty()) return;
            std::vector<uint64_t> bigger(size_t(words) * rows, 0);
            for (int y = 0; y < rows_; ++y)
                std::memcpy(&bigger[size_t(y + shiftRows) * words + shiftWords],
                            &plane[size_t(y) * words_], sizeof(uint64_t) * words_);
            plane.swap(bigger);
        };
        for (auto& b : buf_) move(b);
        move(env_);
        words_ = words;
        rows_ = rows;
        for (Band& b : band_) {
            b.lo += shiftRows;
            b.hi += shiftRows;
        }
        changedDense_ = true;
        steadyFrom_ = 1;
        steadyTo_ = 0;
        ChooseKernel();
        originX_ -= 64 * shiftWords;
        originY_ -= shiftRows;
        AllChanged();
        FinishEdits();
        return true;
    }

    // One generation. The other buffer holds the generation before, so a
    // word whose neighbourhood repeats the last generation's, or the one
    // before it, is already right there and is not touched.
    void Step() {
        if (dense_)
            StepDense();
        else if (life_)
            StepRows<true>();
        else
            StepRows<false>();
        cur_ ^= 1;
        if (envFromNext_ && !env_.empty()) {
            const auto& b = buf_[cur_];
            for (size_t i = 0; i < env_.size(); ++i) env_[i] |= b[i];
            envFromNext_ = false;
        }
    }

private:
    void ChooseKernel() {
#if defined(__x86_64__) || defined(__i386__)
        denseCapable_ = life_ && (words_ == 2 || words_ == 4 || words_ == 8) && HasAvx512();
#else
        denseCapable_ = false;
#endif
        if (!denseCapable_) {
            dense_ = false;
            return;
        }
        if (!dense_) {
            // Both buffers' rows from scratch.
            for (int b = 0; b < 2; ++b) band_[b] = RowsOf(buf_[b]);
            dense_ = true;
            steadyFrom_ = 1;
            steadyTo_ = 0;
        }
    }

    // The first and last rows of plane with live cells.
    Band RowsOf(const std::vector<uint64_t>& plane) const {
        Band band{rows_, -1};
        for (int y = 0; y < rows_; ++y)
            for (int w = 0; w < words_; ++w)
                if (plane[size_t(y) * words_ + w]) {
                    band.lo = std::min(band.lo, y);
                    band.hi = y;
                    break;
                }
        return band;
    }

    void StepDense() {
#if defined(__x86_64__) || defined(__i386__)
        boundsDirty_ = true;
        Band& next = band_[cur_ ^ 1];
        // Live cells never come nearer the edge than the margin and a row,
        // so the registers read lie in the universe.
        const int lo = std::max(4, std::min(band_[cur_].lo, next.lo) - 1);
        const int hi = std::min(rows_ - 2, std::max(band_[cur_].hi, next.hi) + 1);
        if (lo > hi) {
            nearEdge_ = false;
            changedDense_ = false;
            next = Band{rows_, -1};
            return;
        }
        steady_.resize(size_t(rows_) * words_ / 8);
        const DenseResult r = DenseLifeAvx512(
            buf_[cur_].data(), buf_[cur_ ^ 1].data(), env_.empty() ? nullptr : env_.data(),
            marginColumns_.data(), words_, lo, hi, rows_, steady_.data(), steadyFrom_, steadyTo_);
        next = Band{r.first, r.last};
        changedDense_ = r.changed;
        nearEdge_ =
            r.nearSide || (r.first <= r.last && (r.first < kMargin || r.last >= rows_ - kMargin));
#endif
    }

    template <bool kLife>
    void StepRows() {
        const uint64_t* c = buf_[cur_].data();
        uint64_t* n = buf_[cur_ ^ 1].data();
        boundsDirty_ = true;
        const uint64_t all = AllWords();
        const bool history = !env_.empty();
        uint64_t edge = 0;
        // The rows to look at: those changed or next to a changed one, in
        // blocks of 64.
        const size_t blocks = active_.size();
        uint64_t previousBlock = 0;
        // The flags of the row above as they were before this step.
        int lastY = -2;
        uint64_t last1 = 0, last2 = 0;
        for (size_t i = 0; i < blocks; ++i) {
            const uint64_t a = active_[i];
            const uint64_t dn = i + 1 < blocks ? active_[i + 1] << 63 : 0;
            uint64_t bits = a | a << 1 | a >> 1 | previousBlock >> 63 | dn;
            previousBlock = a;
            while (bits) {
                const int y = int(i * 64) + std::countr_zero(bits);
                bits &= bits - 1;
                if (y >= rows_) break;
                const size_t yy = size_t(y);
                uint64_t above1 = 0, above2 = 0;
                if (y > 0) {
                    above1 = lastY == y - 1 ? last1 : changed1_[yy - 1];
                    above2 = lastY == y - 1 ? last2 : changed2_[yy - 1];
                }
                const uint64_t own1 = changed1_[yy], own2 = changed2_[yy];
                const uint64_t below1 = y + 1 < rows_ ? changed1_[yy + 1] : 0;
                const uint64_t below2 = y + 1 < rows_ ? changed2_[yy + 1] : 0;
                uint64_t n1 = above1 | own1 | below1, n2 = above2 | own2 | below2;
                n1 = (n1 | n1 << 1 | n1 >> 1) & all;
                n2 = (n2 | n2 << 1 | n2 >> 1) & all;
                const uint64_t todo = n1 & n2;
                uint64_t new1 = own1 & n1 & ~todo, new2 = 0;
                if (todo) {
                    const uint64_t* mid = c + yy * words_;
                    const uint64_t* up = y > 0 ? mid - words_ : kZeroRow;
                    const uint64_t* dn2 = y + 1 < rows_ ? mid + words_ : kZeroRow;
                    uint64_t* out = n + yy * words_;
                    const bool marginRow = y < kMargin || y >= rows_ - kMargin;
                    uint64_t* env = history ? env_.data() + yy * words_ : nullptr;
                    auto put = [&](int w, uint64_t v) {
                        new1 |= uint64_t(v != mid[w]) << w;
                        new2 |= uint64_t(v != out[w]) << w;
                        out[w] = v;
                        if (env != nullptr) env[w] |= v;
                        edge |= v & (marginRow ? ~0ull : marginColumns_[size_t(w)]);
                    };
                    for (uint64_t t = todo; t; t &= t - 1) {
                        const int w = std::countr_zero(t);
                        put(w, Word<kLife>(up, mid, dn2, w));
                    }
                }
                lastY = y;
                last1 = own1;
                last2 = own2;
                changed1_[yy] = new1;
                changed2_[yy] = new2;
                if (new1 | new2)
                    active_[yy >> 6] |= 1ull << (y & 63);
                else
                    active_[yy >> 6] &= ~(1ull << (y & 63));
            }
        }
        nearEdge_ = edge != 0;
    }

    uint64_t AllWords() const {
        return words_ >= 64 ? ~0ull : (1ull << words_) - 1;
    }

    void AllChanged() {
        marginColumns_.assign(size_t(words_), 0);
        marginColumns_.front() |= (1ull << kMargin) - 1;
        marginColumns_.back() |= ~0ull << (64 - kMargin);
        changed1_.assign(size_t(rows_), AllWords());
        changed2_.assign(size_t(rows_), AllWords());
        active_.assign(size_t(rows_ + 63) / 64, ~0ull);
        if (rows_ % 64) active_.back() = (1ull << (rows_ % 64)) - 1;
    }

    template <bool kLife>
    uint64_t Word(const uint64_t* up, const uint64_t* mid, const uint64_t* dn, int w) const {
        const bool first = w == 0, last = w + 1 == words_;
        auto sides = [&](const uint64_t* r, uint64_t& l, uint64_t& m, uint64_t& rr) {
            m = r[w];
            l = (m << 1) | (first ? 0 : r[w - 1] >> 63);
            rr = (m >> 1) | (last ? 0 : r[w + 1] << 63);
        };
        uint64_t ul, uc, ur, ml, mc, mr, dl, dc, dr;
        sides(up, ul, uc, ur);
        sides(mid, ml, mc, mr);
        sides(dn, dl, dc, dr);
        return Cells3<kLife>(ul, uc, ur, ml, mc, mr, dl, dc, dr);
    }

    template <bool kLife>
    uint64_t Cells3(uint64_t ul, uint64_t uc, uint64_t ur, uint64_t ml, uint64_t mc, uint64_t mr,
                    uint64_t dl, uint64_t dc, uint64_t dr) const {
        return NextBits<kLife>(logic_, rule_, ul, uc, ur, ml, mc, mr, dl, dc, dr);
    }

    void Bounds() {
        if (!boundsDirty_) return;
        boundsDirty_ = false;
        const auto& b = buf_[cur_];
        rowMin_ = rows_;
        rowMax_ = -1;
        uint64_t columns[kMaxWords] = {};
        // The dense kernel knows which rows may hold cells.
        const int first = dense_ ? std::max(0, band_[cur_].lo) : 0;
        const int last = dense_ ? std::min(rows_ - 1, band_[cur_].hi) : rows_ - 1;
        for (int y = first; y <= last; ++y) {
            uint64_t any = 0;
            for (int w = 0; w < words_; ++w) {
                uint64_t v = b[size_t(y) * words_ + w];
                columns[w] |= v;
                any |= v;
            }
            if (any) {
                rowMin_ = std::min(rowMin_, y);
                rowMax_ = y;
            }
        }
        int colMin = 64 * words_, colMax = -1;
        for (int w = 0; w < words_; ++w)
            if (columns[w]) {
                colMin = std::min(colMin, 64 * w + std::countr_zero(columns[w]));
                colMax = 64 * w + 63 - std::countl_zero(columns[w]);
            }
        colMin_ = colMin;
        colMax_ = colMax;
        nearEdge_ = rowMax_ >= 0 && (rowMin_ < kMargin || rowMax_ >= rows_ - kMargin ||
                                     colMin < kMargin || colMax >= 64 * words_ - kMargin);
    }

    static constexpr uint64_t kZeroRow[kMaxWords] = {};

    const CensusRule& rule_;
    const CountLogic& logic_;
    const bool life_;
    int words_ = 0, rows_ = 0;
    std::vector<uint64_t> buf_[2];
    std::vector<uint64_t> env_;
    bool envFromNext_ = false;
    // Per row, a bit a word: changed since the last generation, since the
    // one before; rows with either set.
    std::vector<uint64_t> changed1_, changed2_;
    std::vector<uint64_t> active_;
    std::vector<uint64_t> marginColumns_;  // per word, the cells within the margin of a side
    int cur_ = 0;
    int64_t originX_ = 0, originY_ = 0;
    int rowMin_ = 0, rowMax_ = -1, colMin_ = 0, colMax_ = -1;
    bool boundsDirty_ = true, nearEdge_ = false, overflow_ = false;
    // Narrow universes under Conway's rule step every row that may hold live
    // cells, eight words at a time; band_ holds, per buffer, the rows that
    // may, and changedDense_ whether the last step changed anything against
    // the generation before it.
    bool denseCapable_ = false, dense_ = false, changedDense_ = true;
    // Per register of eight words, whether it came out as two generations
    // before, known for registers steadyFrom_..steadyTo_ (none after edits).
    std::vector<uint8_t> steady_;
    int64_t steadyFrom_ = 1, steadyTo_ = 0;
    Band band_[2] = {{0, -1}, {0, -1}};
};

// Places cells in the middle of a universe just large enough for them and
// their margins; false when they do not fit the largest one.
bool PlaceCentred(Universe& u, const std::vector<std::pair<int64_t, int64_t>>& cells, int64_t& left,
                  int64_t& top, int64_t& x0, int64_t& y0) {
    x0 = INT64_MAX;
    y0 = INT64_MAX;
    int64_t x1 = INT64_MIN, y1 = INT64_MIN;
    for (auto [x, y] : cells) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
    }
    int words = 2, rows = 128;
    while ((x1 - x0 + 1) + 4 * kMargin > 64 * words && words < kMaxWords) words *= 2;
    while ((y1 - y0 + 1) + 4 * kMargin > rows && rows < 64 * kMaxWords) rows *= 2;
    if ((x1 - x0 + 1) + 4 * kMargin > 64 * words || (y1 - y0 + 1) + 4 * kMargin > rows)
        return false;
    u.Reset(words, rows);
    left = (64 * words - (x1 - x0 + 1)) / 2;
    top = (rows - (y1 - y0 + 1)) / 2;
    for (auto [x, y] : cells) u.Set(x - x0 + left, y - y0 + top);
    u.FinishEdits();
    return true;
}

// A pattern run by itself with nothing taken out, its population after every
// generation; the universe grows as it needs until it may grow no more.
class LoneRun {
public:
    LoneRun(const Census::Impl& impl, const Cells& cells) : u_(impl.rule, impl.logic) {
        std::vector<std::pair<int64_t, int64_t>> wide;
        for (uint64_t k : cells) wide.emplace_back(KeyX(k), KeyY(k));
        int64_t left, top, x0, y0;
        room_ = PlaceCentred(u_, wide, left, top, x0, y0);
    }

    // True when the population after generation n (from 1) is known.
    bool Reach(size_t n) {
        while (room_ && pops_.size() < n) {
            u_.Step();
            if (u_.NearEdge() && !u_.Grow()) room_ = false;
            pops_.push_back(int64_t(u_.Population()));
            if (u_.PeriodTwo()) settled_ = true;
        }
        return pops_.size() >= n;
    }
    // The population after generation i + 1.
    int64_t operator[](size_t i) const { return pops_[i]; }
    size_t Known() const { return pops_.size(); }
    // True once the live cells repeated with period one or two: the pattern
    // does not grow.
    bool Settled() const { return settled_; }

private:
    Universe u_;
    std::vector<int64_t> pops_;
    bool room_ = true, settled_ = false;
};

// Linear growth as the online census names it: the population's
// differences over some period p repeat (checked over maxPeriod
// generations), their own shortest period q, and from one period of them
// yl<p>_<q>_<growth>_<md5 of the second and third moments>.
std::string LinearGrowth(LoneRun& pops, int64_t maxPeriod) {
    auto diff = [&](size_t i, size_t p) { return pops[i + p] - pops[i]; };
    int64_t period = -1;
    for (int64_t p = 1; p < maxPeriod && period < 0; ++p) {
        bool repeats = true;
        for (int64_t i = 0; i < maxPeriod && repeats; ++i) {
            if (!pops.Reach(size_t(i + 2 * p + 1)) || pops.Settled()) return "PATHOLOGICAL";
            repeats = diff(size_t(i), size_t(p)) == diff(size_t(i + p), size_t(p));
        }
        if (repeats) period = p;
    }
    if (period < 0) return "PATHOLOGICAL";
    int64_t qeriod = -1;
    for (int64_t q = 1; q < maxPeriod && qeriod < 0; ++q) {
        bool repeats = true;
        for (int64_t i = 0; i < maxPeriod && repeats; ++i) {
            if (!pops.Reach(size_t(i + q + period + 1))) return "PATHOLOGICAL";
            repeats = diff(size_t(i), size_t(period)) == diff(size_t(i + q), size_t(period));
        }
        if (repeats) qeriod = q;
    }
    if (qeriod < 0) return "PATHOLOGICAL";
    int64_t moment0 = 0, moment1 = 0, moment2 = 0;
    for (int64_t i = 0; i < period; ++i) {
        const int64_t d = diff(size_t(i), size_t(qeriod));
        moment0 += d;
        moment1 += d * d;
        moment2 += d * d * d;
    }
    if (moment0 == 0) return "PATHOLOGICAL";
    return "yl" + std::to_string(period) + "_" + std::to_string(qeriod) + "_" +
           std::to_string(moment0) + "_" +
           Md5Hex(std::to_string(moment1) + "#" + std::to_string(moment2));
}

// The slope of the least-squares line through the points.
double Slope(const std::vector<std::pair<double, double>>& points) {
    double mx = 0, my = 0;
    for (auto [x, y] : points) {
        mx += x;
        my += y;
    }
    mx /= double(points.size());
    my /= double(points.size());
    double var = 0, cov = 0;
    for (auto [x, y] : points) {
        var += (x - mx) * (x - mx);
        cov += (x - mx) * (y - my);
    }
    return var == 0 ? 0 : cov / var;
}

// What grows faster: the power by which the cumulative population grows,
// sampled every 32 generations over 256,000 (or until the universe is full),
// names it zz_REPLICATOR, zz_LINEAR, zz_EXPLOSIVE or zz_QUADRATIC; what
// hardly grows is still PATHOLOGICAL.
std::string FasterGrowth(LoneRun& pops) {
    constexpr int kStep = 32, kSteps = 8000, kStart = 5380;
    std::vector<std::pair<double, double>> byGeneration, bySample;
    double cumulative = 1;
    for (int i = 0; i < kSteps; ++i) {
        if (!pops.Reach(size_t(kStep) * size_t(i + 1))) break;
        cumulative += double(pops[size_t(kStep) * size_t(i + 1) - 1]);
        byGeneration.emplace_back(std::log(double(i * kStep + kStart)), std::log(cumulative));
        bySample.emplace_back(std::log(double(i + 1)), std::log(cumulative));
    }
    if (bySample.size() < 2) return "PATHOLOGICAL";
    const double power = Slope(byGeneration), power2 = Slope(bySample);
    if (power2 < 1.1) return "PATHOLOGICAL";
    if (power < 1.65) return "zz_REPLICATOR";
    if (power < 2.1) return "zz_LINEAR";
    if (power < 2.9) return "zz_EXPLOSIVE";
    return "zz_QUADRATIC";
}

// The label of a cluster that is not periodic: linear growth by its yl code,
// faster growth by its zz_ reason, unless linearOnly (the caller tries
// again later whatever else it is).
std::string Aperiodic(const Census::Impl& impl, const Cells& cells, bool linearOnly) {
    LoneRun pops(impl, cells);
    std::string label = LinearGrowth(pops, 4100);
    if (label[0] == 'y' || linearOnly) return label;
    LoneRun again(impl, cells);
    return FasterGrowth(again);
}

// One pattern's run to its census.
class SoupRun {
public:
    // A box in universe coordinates of the origin the run started with.
    struct Where {
        int64_t left, top, right, bottom;
    };

    // (apgDx, apgDy) takes universe cells to the coordinates of the pattern.
    SoupRun(Census::Impl& census, Universe& u, std::vector<int32_t>& found, int64_t apgDx,
            int64_t apgDy, std::vector<Where>* where = nullptr)
        : c_(census), u_(u), found_(found), where_(where), apgDx_(apgDx), apgDy_(apgDy) {}

    // Steps n generations, keeping the live cells off the edge. False when the
    // universe overflowed; a cancelled census ends here as an overflow does.
    bool Advance(int64_t n) {
        for (int64_t i = 0; i < n; ++i) {
            if (u_.Overflow()) return false;
            if (c_.Cancelled()) {
                u_.SetOverflow();
                return false;
            }
            u_.Step();
            if (u_.NearEdge() && !TakeOutAtEdge()) {
                u_.SetOverflow();
                return false;
            }
        }
        return true;
    }

    int64_t Stabilise() {
        uint64_t previous = 0;
        int depth = 0, period = 12, security = 15;
        for (int i = 0; i < 1300; ++i) {
            if (i == 40) security = 20;
            if (i == 60) security = 25;
            if (i == 80) security = 30;
            if (i == 500) period = 30;
            if (i == 800) period = 24;
            if (!Advance(period)) return period;
            if (u_.PeriodTwo()) return 2;
            uint64_t pop = u_.Population();
            depth = pop == previous ? depth + 1 : 0;
            previous = pop;
            if (depth == security) return period;
        }
        // Then the hash of the cells near the soup every 30 generations, kept
        // as a rising run: a hash smaller than the last ones replaces them,
        // one equal to a kept one gives the period.
        std::vector<std::pair<uint64_t, int64_t>> rising;
        int64_t generation = 0;
        for (int j = 0; j < 4000; ++j) {
            if (!Advance(30)) return 1280;
            generation += 30;
            const uint64_t h = u_.TileHash(apgDx_, apgDy_);
            size_t pos = 0;
            while (pos < rising.size() && h > rising[pos].first) ++pos;
            if (pos == rising.size() || h < rising[pos].first) {
                rising.resize(pos);
                rising.emplace_back(h, generation);
                continue;
            }
            int64_t p = generation - rising[pos].second;
            uint64_t before = u_.Population();
            for (int i = 0; i < 20; ++i) {
                if (!Advance(p)) break;
                uint64_t now = u_.Population();
                if (now != before) {
                    p = std::max<int64_t>(p, 1280);
                    break;
                }
                before = now;
            }
            return p;
        }
        Advance(1280);
        return 1280;
    }

    void Run() {
        int64_t duration = Stabilise();
        int64_t step = 120;
        for (int attempt = 0;; ++attempt) {
            if (u_.Empty()) return;
            if (!SeparateAll(duration, attempt)) return;
            Advance(step);
            step *= 4;
            duration = std::min<int64_t>(step * 2, 7680);
        }
    }

private:
    // Moves universe cells to keys in the census's own coordinates.
    uint64_t WorldKey(int64_t x, int64_t y) const {
        return Key(x + u_.OriginX(), y + u_.OriginY());
    }

    std::vector<std::pair<int64_t, int64_t>> LiveCells(int y0, int y1) const {
        std::vector<std::pair<int64_t, int64_t>> cells;
        const auto& live = u_.Live();
        int words = u_.Width() / 64;
        for (int y = y0; y <= y1; ++y)
            for (int w = 0; w < words; ++w) {
                uint64_t v = live[size_t(y) * words + w];
                while (v) {
                    int i = std::countr_zero(v);
                    v &= v - 1;
                    cells.emplace_back(64 * w + i, y);
                }
            }
        return cells;
    }

    // The cluster of universe cells around (x, y): cells of backdrop reached
    // in steps of the offsets. Marks them in seen.
    std::vector<std::pair<int64_t, int64_t>> Flood(int64_t x, int64_t y,
                                                   const std::vector<uint64_t>& backdrop,
                                                   const Offsets& offsets,
                                                   std::vector<uint64_t>& seen) {
        int words = u_.Width() / 64;
        auto mark = [&](int64_t cx, int64_t cy) {
            uint64_t& w = seen[size_t(cy) * words + size_t(cx >> 6)];
            uint64_t bit = 1ull << (cx & 63);
            if (w & bit) return false;
            w |= bit;
            return true;
        };
        std::vector<std::pair<int64_t, int64_t>> out, queue{{x, y}};
        mark(x, y);
        while (!queue.empty()) {
            auto [cx, cy] = queue.back();
            queue.pop_back();
            out.emplace_back(cx, cy);
            for (auto [dx, dy] : offsets) {
                int64_t nx = cx + dx, ny = cy + dy;
                if (!u_.Get(backdrop, nx, ny)) continue;
                if (mark(nx, ny)) queue.emplace_back(nx, ny);
            }
        }
        return out;
    }

    Cells Normalised(const std::vector<std::pair<int64_t, int64_t>>& cells, int64_t& x0,
                     int64_t& y0) const {
        x0 = INT64_MAX;
        y0 = INT64_MAX;
        for (auto [x, y] : cells) {
            x0 = std::min(x0, x);
            y0 = std::min(y0, y);
        }
        Cells keys;
        keys.reserve(cells.size());
        for (auto [x, y] : cells) keys.push_back(Key(x - x0, y - y0));
        std::sort(keys.begin(), keys.end());
        return keys;
    }

    // Spaceships at the edge flying outwards are counted and taken out;
    // anything else there makes the universe grow.
    bool TakeOutAtEdge() {
        int width = u_.Width(), rows = u_.Rows();
        auto band = [&](int64_t x, int64_t y) {
            return x < kMargin || y < kMargin || x >= width - kMargin || y >= rows - kMargin;
        };
        std::vector<uint64_t> seen(u_.Live().size(), 0);
        Offsets near = SquareOffsets(2, true);
        bool grow = false;
        std::vector<std::vector<std::pair<int64_t, int64_t>>> gone;
        for (auto [x, y] : LiveCells(u_.RowMin(), u_.RowMax())) {
            if (!band(x, y) || u_.Get(seen, x, y)) continue;
            auto part = Flood(x, y, u_.Live(), near, seen);
            int64_t x0, y0;
            Cells keys = Normalised(part, x0, y0);
            // Ships that leave soups have short periods; anything else at the
            // edge is still busy, and the universe grows instead.
            uint64_t gmax = c_.gmax;
            c_.gmax = 64;
            const Census::Impl::Known* k = keys.size() <= 64 ? c_.Identify(keys) : nullptr;
            c_.gmax = gmax;
            bool outwards = false;
            if (k && (k->periodicity.dx != 0 || k->periodicity.dy != 0)) {
                for (auto [px, py] : part) {
                    if ((px < kMargin && k->periodicity.dx < 0) ||
                        (px >= width - kMargin && k->periodicity.dx > 0) ||
                        (py < kMargin && k->periodicity.dy < 0) ||
                        (py >= rows - kMargin && k->periodicity.dy > 0))
                        outwards = true;
                }
            }
            if (!outwards) {
                grow = true;
                continue;
            }
            Found(k->objects, part);
            gone.push_back(std::move(part));
        }
        for (auto& part : gone)
            for (auto [x, y] : part) u_.Clear(x, y);
        u_.FinishEdits();
        return grow ? u_.Grow(-u_.OriginX() - apgDx_, -u_.OriginY() - apgDy_) : true;
    }

    // A cancelled census stops separating, leaving the census's own state
    // as a finished run does.
    bool Abandon() {
        u_.StopEnvelope();
        c_.gmax = 1048576;
        return false;
    }

    // Runs duration generations keeping the envelope, then separates the
    // clusters. A cluster that is not periodic is labelled by how it grows;
    // true when the run should be tried again later, as the online census
    // does while a label is PATHOLOGICAL (or, in Conway's rule, zz_ in the
    // first three tries), unless this is the last try.
    bool SeparateAll(int64_t duration, int attempt) {
        c_.gmax = uint64_t(1024) << (2 * attempt);
        size_t before = found_.size();
        u_.StartEnvelope();
        bool fine = Advance(duration);
        if (c_.Cancelled()) return Abandon();
        bool lastTry = attempt >= 5 || !fine;
        const bool retryChaos = c_.conway && attempt <= 2;
        std::vector<uint64_t> seen(u_.Live().size(), 0);
        std::vector<std::pair<std::string, std::vector<std::pair<int64_t, int64_t>>>> unsettled;
        std::vector<uint64_t> envelope = u_.Envelope();
        const auto& live = u_.Live();
        for (size_t i = 0; i < envelope.size(); ++i) envelope[i] |= live[i];
        for (auto [x, y] : LiveCells(u_.Empty() ? 0 : u_.RowMin(), u_.Empty() ? -1 : u_.RowMax())) {
            if (c_.Cancelled()) return Abandon();
            if (u_.Get(seen, x, y)) continue;
            auto cluster = Flood(x, y, envelope, c_.zoi, seen);
            std::vector<std::pair<int64_t, int64_t>> cells;
            for (auto [cx, cy] : cluster)
                if (u_.Get(live, cx, cy)) cells.emplace_back(cx, cy);
            int64_t x0, y0;
            Cells keys = Normalised(cells, x0, y0);
            const Census::Impl::Known* k = c_.Identify(keys);
            if (k) {
                Found(k->objects, cells);
                continue;
            }
            unsettled.emplace_back(Aperiodic(c_, keys, retryChaos && !lastTry), std::move(cells));
        }
        u_.StopEnvelope();
        c_.gmax = 1048576;
        bool again = false, linear = false;
        for (const auto& [label, cells] : unsettled) {
            if (label == "PATHOLOGICAL" || (label[0] == 'z' && retryChaos)) again = true;
            if (label[0] == 'y') linear = true;
        }
        if (again && !lastTry) {
            found_.resize(before);
            if (where_ != nullptr) where_->resize(before);
            return true;
        }
        // Beside linear growth, what could not be named is not counted.
        for (const auto& [label, cells] : unsettled)
            if (!(linear && label == "PATHOLOGICAL")) Found({c_.NameId(label)}, cells);
        return false;
    }

    // Records objects found in the universe cells of part.
    void Found(const std::vector<int32_t>& objects,
               const std::vector<std::pair<int64_t, int64_t>>& part) {
        for (int32_t id : objects) found_.push_back(id);
        if (where_ == nullptr) return;
        Where w{INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN};
        for (auto [x, y] : part) {
            w.left = std::min(w.left, x + u_.OriginX());
            w.top = std::min(w.top, y + u_.OriginY());
            w.right = std::max(w.right, x + u_.OriginX());
            w.bottom = std::max(w.bottom, y + u_.OriginY());
        }
        where_->resize(found_.size(), w);
    }

    Census::Impl& c_;
    Universe& u_;
    std::vector<int32_t>& found_;
    std::vector<Where>* where_;
    int64_t apgDx_, apgDy_;
};

}  // namespace

Census::Census(const CensusRule& rule) : impl_(std::make_unique<Impl>(rule)) {}
Census::~Census() = default;

void Census::SetCancel(std::function<bool()> cancelled) {
    impl_->cancelled = std::move(cancelled);
}

namespace {

// Runs the cells to their census; objects, when given, receive each object
// found with its box in the cells' coordinates.
void RunCells(Census::Impl& impl, const std::vector<std::pair<int64_t, int64_t>>& cells,
              std::map<std::string, uint64_t>& tally,
              std::vector<CensusObject>* objects = nullptr) {
    if (cells.empty() || impl.rule.BirthOnZero()) return;
    Universe u(impl.rule, impl.logic);
    int64_t left, top, x0, y0;
    if (!PlaceCentred(u, cells, left, top, x0, y0)) {
        tally["zz_TOO_LARGE"] += 1;
        if (objects != nullptr) {
            CensusObject o{"zz_TOO_LARGE", INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN};
            for (auto [x, y] : cells) {
                o.left = std::min(o.left, x);
                o.top = std::min(o.top, y);
                o.right = std::max(o.right, x);
                o.bottom = std::max(o.bottom, y);
            }
            objects->push_back(o);
        }
        return;
    }
    std::vector<int32_t> found;
    std::vector<SoupRun::Where> where;
    SoupRun run(impl, u, found, x0 - left, y0 - top, objects != nullptr ? &where : nullptr);
    run.Run();
    for (int32_t id : found) tally[impl.names[size_t(id)]] += 1;
    if (objects == nullptr) return;
    // Universe cell (left, top) was the pattern's (x0, y0).
    for (size_t i = 0; i < found.size(); ++i) {
        const SoupRun::Where& w = where[i];
        objects->push_back(CensusObject{impl.names[size_t(found[i])], w.left - left + x0,
                                        w.top - top + y0, w.right - left + x0,
                                        w.bottom - top + y0});
    }
}

}  // namespace

void Census::AddSoup(const HashSoupRows& soup, std::map<std::string, uint64_t>& tally) {
    std::vector<std::pair<int64_t, int64_t>> cells;
    for (int y = 0; y < kHashSoupSize; ++y)
        for (int x = 0; x < kHashSoupSize; ++x)
            if (soup[size_t(y)] >> (15 - x) & 1) cells.emplace_back(x, y);
    RunCells(*impl_, cells, tally);
}

void Census::AddCells(const std::vector<std::pair<int32_t, int32_t>>& cells,
                      std::map<std::string, uint64_t>& tally) {
    std::vector<std::pair<int64_t, int64_t>> wide(cells.begin(), cells.end());
    RunCells(*impl_, wide, tally);
}

std::vector<CensusObject> Census::Objects(const std::vector<std::pair<int32_t, int32_t>>& cells) {
    std::vector<std::pair<int64_t, int64_t>> wide(cells.begin(), cells.end());
    std::map<std::string, uint64_t> tally;
    std::vector<CensusObject> objects;
    RunCells(*impl_, wide, tally, &objects);
    return objects;
}

std::string Census::Apgcode(const std::vector<std::pair<int32_t, int32_t>>& cells, int64_t limit) {
    Cells keys;
    for (auto [x, y] : cells) keys.push_back(Key(x, y));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    if (keys.empty()) return "xs0_0";
    Periodicity p = impl_->FindPeriod(keys, uint64_t(limit));
    if (p.period == 0) return "";
    return impl_->Apgcode(keys, p);
}

}  // namespace cellarium
