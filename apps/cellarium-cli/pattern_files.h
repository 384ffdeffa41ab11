// Loading and saving pattern files for the runner: the glue between paths on
// disk and the formats layer's byte sources and sinks.
#pragma once

#include <string>

#include "engine/cell_board.h"

namespace cellarium {

// Reads the pattern at `path` ("-": standard input) onto `board`, setting the
// rule tables and the description. On failure returns false with the message
// for the user in `error`: the reader's own "too big" text when the pattern
// does not fit, or (prefixed with the runner's name) which file could not be
// opened or read and why.
bool LoadPatternFile(const std::string& path, CellBoard& board, std::string& error);

// Saves `board` as Life 1.05 at `path`. The file is written to a temporary
// file in the same folder, flushed to disk and only then renamed over `path`,
// so a failed save leaves whatever was at `path` untouched. On failure returns
// false with the reason in `error`.
bool SavePatternFile(const CellBoard& board, const std::string& path, std::string& error);

}  // namespace cellarium
