#include "engine/census_board.h"

#include "engine/cell_board.h"

namespace cellarium {

std::vector<std::pair<int32_t, int32_t>> LiveInteriorCells(const CellBoard& board) {
    std::vector<std::pair<int32_t, int32_t>> cells;
    for (int y = 1; y < board.height - 1; ++y)
        for (int x = 1; x < board.width - 1; ++x)
            if (board.At(x, y)) cells.emplace_back(x, y);
    return cells;
}

CensusCounts BoardCensus(const CellBoard& board, const CensusRule& rule) {
    Census census(rule);
    std::map<std::string, uint64_t> tally;
    census.AddCells(LiveInteriorCells(board), tally);
    return SortedCensus(tally);
}

std::vector<CensusObject> BoardCensusObjects(const CellBoard& board, const CensusRule& rule) {
    Census census(rule);
    return census.Objects(LiveInteriorCells(board));
}

void PlaceHashSoup(CellBoard& board, const HashSoupRows& soup) {
    board.MakeEmpty();
    int left = (board.width - kHashSoupSize) / 2, top = (board.height - kHashSoupSize) / 2;
    int32_t live = 0;
    for (int y = 0; y < kHashSoupSize; ++y)
        for (int x = 0; x < kHashSoupSize; ++x)
            if (soup[size_t(y)] >> (15 - x) & 1) {
                board.Set(left + x, top + y, 1);
                board.IncludeCell(Point{left + x, top + y});
                ++live;
            }
    board.liveCount = live;
}

bool ReadHashSoupSpec(const std::string& text, std::string& root, uint64_t& index) {
    size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 == text.size() || text.size() - colon - 1 > 19)
        return false;
    for (size_t i = colon + 1; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    for (size_t i = 0; i < colon; ++i)
        if (static_cast<unsigned char>(text[i]) < 0x20 || text[i] == 0x7f) return false;
    root = text.substr(0, colon);
    index = std::stoull(text.substr(colon + 1));
    return true;
}

}  // namespace cellarium
