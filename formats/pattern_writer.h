// The pattern writer: saves a board as a Life 1.05 text file with CR LF line
// ends. The pattern reader loads the result back with every live cell in the
// same place and the same rule.
#pragma once

#include "engine/cell_board.h"
#include "engine/rule.h"
#include "formats/byte_stream.h"

namespace cellarium {

// Writes, in order: the "#Life 1.05" header; the description as "#D" lines
// of at most 80 characters (see CommentLines: the reader gives the same
// description back), or an empty line when there is none; "#R" with the
// rule (FileRuleText's SurviveSlashBorn form: the survive digits, "/" and the
// born digits for a totalistic rule); "#P" with the top-left
// corner of the smallest rectangle around all live cells, relative to the
// board centre (column width/2, row height/2); then that rectangle's rows,
// "*" for a live cell and "." for a dead one.
//
// A board with no live cell gets "#P 0 0" and no rows, a file that opens
// again as an empty pattern.
//
// Each description byte is written as it is. The writer neither opens, flushes
// nor closes anything; the sink's owner does.
void WritePattern(const CellBoard& board, const Rule& rule, ByteSink& sink);

}  // namespace cellarium
