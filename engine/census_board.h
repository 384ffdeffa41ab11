// The census and the hashed soups on a board.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/census.h"
#include "engine/hash_soup.h"

namespace cellarium {

class CellBoard;

// The board's live interior cells, top row first.
std::vector<std::pair<int32_t, int32_t>> LiveInteriorCells(const CellBoard& board);

// The objects the board's live cells leave under the rule once they settle,
// counted in the census's own universe (the board's border plays no part).
CensusCounts BoardCensus(const CellBoard& board, const CensusRule& rule);

// The same, object by object, with where each was found in board cells.
std::vector<CensusObject> BoardCensusObjects(const CellBoard& board, const CensusRule& rule);

// Makes the board all dead but for the soup, centred, its cells of value 1;
// the bounds and the live count follow.
void PlaceHashSoup(CellBoard& board, const HashSoupRows& soup);

// Reads "ROOT:INDEX" (the index decimal, the root any text without control
// characters); the root is everything before the last colon.
bool ReadHashSoupSpec(const std::string& text, std::string& root, uint64_t& index);

}  // namespace cellarium
