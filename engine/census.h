// The census of what a pattern leaves: run it until it settles, separate what
// remains into objects the way the Life community's online soup census does,
// and name each by its apgcode (xs4_33 a block, xp2_7 a blinker, xq4_153 a
// glider). The census runs in a universe of its own, grown as the pattern
// needs; spaceships that fly off are taken out and counted before they reach
// its edge, so no border ever touches what is counted.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/hash_soup.h"
#include "engine/rule.h"

namespace cellarium {

// A two-state rule on the eight neighbours as its 512 transitions: entry i is
// the next state of a cell whose 3 x 3 neighbourhood is i, bit (dy+1)*3+(dx+1)
// set for a live cell at (dx, dy) from the centre (bit 4 the cell itself).
struct CensusRule {
    std::array<uint8_t, 512> next{};

    static CensusRule FromTables(const uint8_t survive[9], const uint8_t born[9]);
    // Any rule (engine/rule.h numbers its blocks the other way round: the
    // upper left cell the highest bit).
    static CensusRule FromRule(const Rule& rule);
    // True when a dead cell with no live neighbours comes alive: such rules
    // have no settled ash in an empty universe and are not censused.
    bool BirthOnZero() const { return next[0] != 0; }
};

// Objects and how often each was found, most common first (ties by name).
using CensusCounts = std::vector<std::pair<std::string, uint64_t>>;

// One object the census found, with the box of the cells it was found in (a
// pseudo-object's parts share the box of the whole), in the coordinates of
// the pattern given, once it settled: a spaceship that flew off was taken out
// far from where it started.
struct CensusObject {
    std::string code;
    int64_t left = 0, top = 0, right = 0, bottom = 0;
};

// Sorts a tally the way the census lists it.
CensusCounts SortedCensus(const std::map<std::string, uint64_t>& tally);

class Census {
public:
    explicit Census(const CensusRule& rule);
    ~Census();
    Census(const Census&) = delete;
    Census& operator=(const Census&) = delete;

    // Asked between generations of a run and between the objects it
    // separates: true ends the census under way early, and what it found
    // then is to be thrown away. Called on the census's own thread.
    void SetCancel(std::function<bool()> cancelled);

    // Adds to tally the objects a soup leaves once it settles.
    void AddSoup(const HashSoupRows& soup, std::map<std::string, uint64_t>& tally);
    // The same for any pattern, given as its live cells.
    void AddCells(const std::vector<std::pair<int32_t, int32_t>>& cells,
                  std::map<std::string, uint64_t>& tally);

    // Every object a pattern leaves, where the census found it.
    std::vector<CensusObject> Objects(const std::vector<std::pair<int32_t, int32_t>>& cells);

    // The apgcode of a pattern that is a still life, oscillator or spaceship
    // by itself, or "" when it is none within limit generations.
    std::string Apgcode(const std::vector<std::pair<int32_t, int32_t>>& cells,
                        int64_t limit = 4096);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace cellarium
