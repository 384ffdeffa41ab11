// Identify: what a board's live cells are under a rule, found by running a
// copy forward until its live cells repeat, exactly or moved. The board itself
// is not changed. A pattern that reaches the border and changes because of it
// is reported as what it becomes on this finite board.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/step.h"

namespace cellarium {

class CellBoard;

inline constexpr int64_t kIdentifyLimit = 10000;

struct Identity {
    enum class Kind { Empty, StillLife, Oscillator, Spaceship, None };
    Kind kind = Kind::None;
    int64_t start = 0;   // the first generation of the repeating phases
    int64_t period = 0;  // generations per repeat (1 for a still life)
    int32_t dx = 0;      // cells moved per period, + right
    int32_t dy = 0;      // + down
    int32_t minPopulation = 0;
    int32_t maxPopulation = 0;
    // The box: of the union of the phases for still lifes and oscillators,
    // the widest and tallest single phase for spaceships.
    int32_t width = 0;
    int32_t height = 0;
    int64_t limit = 0;       // the generations tried
    bool cancelled = false;  // the caller stopped it first (kind None)
};

// Runs a copy of board forward at most limit generations under rule.
// Returns None when no repeat was found, or when memory for the copy ran out.
// `cancelled`, when given, is asked after every generation; true stops the
// search there (None, with `cancelled` set). `progress`, when given, hears
// after every generation how many have been tried. Both are called on the
// calling thread. Identify reads nothing program-wide (the palettes
// included), so it may run on a thread of its own over a board no other
// thread writes.
Identity Identify(const CellBoard& board, const Rule& rule, int64_t limit = kIdentifyLimit,
                  const std::function<bool()>& cancelled = {},
                  const std::function<void(int64_t generations)>& progress = {});

// The same on a board the caller gives up: it is stepped as one of the two
// boards of the search, so that only one more is made, and is left holding
// some later generation.
Identity IdentifyInPlace(CellBoard& board, const Rule& rule, int64_t limit = kIdentifyLimit,
                         const std::function<bool()>& cancelled = {},
                         const std::function<void(int64_t generations)>& progress = {});

// A board of the same size holding the same cells, bounds and live count,
// made with board's own colour table rather than the program's palette, so
// that any thread may make one (null when there is no memory). What Identify
// copies, and what a caller hands IdentifyInPlace on another thread.
std::unique_ptr<CellBoard> BoardCopy(const CellBoard& board);

// The runner's line: "identify: still life; population N; box WxH",
// "identify: oscillator period P; population MIN..MAX; box WxH",
// "identify: spaceship period P moving DX,DY; population MIN..MAX; box WxH",
// "identify: empty" or "identify: none within N generations".
std::string IdentityLine(const Identity& identity);

}  // namespace cellarium
