// Writers for the two text formats other Life programs exchange most: run
// length encoded patterns (".rle") and plaintext pictures (".cells"). They sit
// beside the Life 1.05 writer, which stays the format of Save and Save As;
// these serve export, the clipboard and the runner. Every line ends in CR LF.
// The pattern reader loads what they write with the same live cells.
#pragma once

#include <string>

#include "engine/cell_board.h"
#include "engine/rule.h"
#include "formats/byte_stream.h"

namespace cellarium {

// How the rule line of an RLE header ends.
enum class RleGrid {
    // ":P<w-2>,<h-2>": a bounded plane the size of the board's interior,
    // which runs as the board does (its border cells never live).
    Bounded,
    // No suffix: the plain rule, for pasting into any program.
    Plain,
};

// Writes, in order: the board's name as "#N" (control characters left out)
// when it has one; the description as "#C" lines of at most 70 characters
// (see CommentLines: the reader gives the same description back); when
// a cell lives, "#CXRLE Pos=x,y" with the top-left cell of the live box
// relative to the board's centre (column - width/2, row - height/2, as a
// Life 1.05 "#P" line); the header "x = W, y = H, rule = R" of the
// live box, R as RuleString writes `rule`, (0 and 0 when none lives) with the grid suffix `grid`
// asks for; then the cells row by row: runs of "b" (dead) and "o" (live, whatever the cell's
// value), "$" ending a row ("n$" for n row ends in a row), dead cells at the end of a row left out,
// and "!" at the end. Data lines hold at most 70 characters; a run's count is never split from its
// letter.
void WriteRlePattern(const CellBoard& board, const Rule& rule, ByteSink& sink,
                     RleGrid grid = RleGrid::Bounded);

// Writes "!Name:" with the board's name (or title when it has none; control
// characters left out), the description as "!" lines of at most 70
// characters (see CommentLines), then
// the rows of the live box, "O" for a live cell and "." for a dead one. An
// empty board writes the comment lines only. The format has no rule line.
void WritePlaintextPattern(const CellBoard& board, const std::string& title, ByteSink& sink);

}  // namespace cellarium
