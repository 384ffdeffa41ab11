// The census against the public census program's hauls of tests/data/census:
// every object's count side by side (the full hauls, 100,000 and 50,000
// soups), then soups a second on one core for each rule.
//
//   build/release/bench/census_benchmark [--soups N] [benchmark options]
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "engine/census.h"
#include "engine/hash_soup.h"

using namespace cellarium;

namespace {

CensusRule Life() {
    const uint8_t survive[9] = {0, 0, 1, 1, 0, 0, 0, 0, 0};
    const uint8_t born[9] = {0, 0, 0, 1, 0, 0, 0, 0, 0};
    return CensusRule::FromTables(survive, born);
}

// B2n3/S23-q: Life, but two neighbours across a corner also bring a cell to
// life, and three in the q shape do not keep one alive.
CensusRule B2n3S23q() {
    CensusRule rule = Life();
    const int turns[8][4] = {{1, 0, 0, 1}, {-1, 0, 0, 1}, {1, 0, 0, -1}, {-1, 0, 0, -1},
                             {0, 1, 1, 0}, {0, -1, 1, 0}, {0, 1, -1, 0}, {0, -1, -1, 0}};
    for (int i = 0; i < 512; ++i) {
        auto at = [&](int dx, int dy) { return (i >> ((dy + 1) * 3 + dx + 1)) & 1; };
        int n = __builtin_popcount(unsigned(i & ~16));
        if (!(i & 16) && n == 2)
            rule.next[i] = (at(-1, -1) && at(1, 1)) || (at(1, -1) && at(-1, 1));
        if ((i & 16) && n == 3) {
            // q: the cells north, north-east and south-west, turned and mirrored.
            const int cells[3][2] = {{0, -1}, {1, -1}, {-1, 1}};
            bool q = false;
            for (const auto& m : turns) {
                bool all = true;
                for (const auto& c : cells)
                    all = all && at(m[0] * c[0] + m[1] * c[1], m[2] * c[0] + m[3] * c[1]);
                q = q || all;
            }
            rule.next[i] = !q;
        }
    }
    return rule;
}

struct Haul {
    std::string root;
    uint64_t soups = 0;
    std::map<std::string, uint64_t> counts;
};

Haul ReadHaul(const char* name) {
    std::ifstream in(std::string(CELLARIUM_CENSUS_DATA) + "/" + name);
    Haul h;
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.rfind("@ROOT ", 0) == 0) h.root = line.substr(6);
        if (line.rfind("@NUM_SOUPS ", 0) == 0) h.soups = std::stoull(line.substr(11));
        if (line.empty() || line[0] == '@') {
            if (!line.empty()) section = line;
            continue;
        }
        if (section != "@CENSUS TABLE") continue;
        std::istringstream fields(line);
        std::string code;
        uint64_t n = 0;
        fields >> code >> n;
        h.counts[code] = n;
    }
    return h;
}

// Prints the two tables side by side; true when they agree as the census
// should: every object counted 50 times or more within 1 %, the total too.
bool Compare(const char* name, const CensusRule& rule, uint64_t limit) {
    Haul haul = ReadHaul(name);
    uint64_t soups = std::min(limit, haul.soups);
    Census census(rule);
    std::map<std::string, uint64_t> ours;
    std::clock_t start = std::clock();
    for (uint64_t i = 0; i < soups; ++i) census.AddSoup(HashSoup(haul.root, i), ours);
    double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
    double scale = double(soups) / double(haul.soups);
    std::printf("%s: %llu soups, %.0f soups a second of processor time\n", name,
                static_cast<unsigned long long>(soups), double(soups) / seconds);
    std::map<std::string, uint64_t> every = haul.counts;
    for (const auto& [code, n] : ours) every.emplace(code, 0);
    bool agree = true;
    uint64_t theirTotal = 0, ourTotal = 0;
    std::printf("  %-44s %10s %10s\n", "apgcode", "public", "ours");
    for (const auto& [code, expectedAll] : SortedCensus(every)) {
        (void)expectedAll;
        double theirs = double(haul.counts[code]) * scale;
        uint64_t mine = ours.count(code) ? ours[code] : 0;
        theirTotal += haul.counts[code];
        ourTotal += mine;
        bool off = theirs >= 50 && std::fabs(double(mine) - theirs) > 0.01 * theirs;
        if (off) agree = false;
        if (mine != uint64_t(std::llround(theirs)) || off)
            std::printf("  %-44s %10.0f %10llu%s\n", code.c_str(), theirs,
                        static_cast<unsigned long long>(mine),
                        off ? "  <- off by more than 1 %" : "");
    }
    double total = double(theirTotal) * scale;
    if (std::fabs(double(ourTotal) - total) > 0.01 * total) agree = false;
    std::printf(
        "  total %.0f public, %llu ours (objects that agree exactly are not listed): %s\n\n", total,
        static_cast<unsigned long long>(ourTotal), agree ? "agree" : "DISAGREE");
    return agree;
}

void Soups(benchmark::State& state, CensusRule rule, const char* root) {
    Census census(rule);
    std::map<std::string, uint64_t> tally;
    uint64_t i = 0;
    for (auto _ : state) census.AddSoup(HashSoup(root, i++), tally);
    state.counters["soups/s"] = benchmark::Counter(double(i), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK_CAPTURE(Soups, B3S23, Life(), "l_GD3QBkvVkTvp")->MinTime(3.0);
BENCHMARK_CAPTURE(Soups, B2n3S23q, B2n3S23q(), "l_9L3refYjJj6m")->MinTime(3.0);

int main(int argc, char** argv) {
    uint64_t soups = 100000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--soups") == 0) {
            soups = std::stoull(argv[i + 1]);
            for (int j = i; j + 2 <= argc; ++j) argv[j] = argv[j + 2];
            argc -= 2;
            break;
        }
    bool agree = Compare("b3s23-C1-l_GD3QBkvVkTvp.txt", Life(), soups);
    agree = Compare("b2n3s23-q-C1-l_9L3refYjJj6m.txt", B2n3S23q(), soups) && agree;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return agree ? 0 : 1;
}
