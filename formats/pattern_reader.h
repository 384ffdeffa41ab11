// The pattern reader: loads Life 1.05 (with its "#" lines), Life 1.06,
// run-length encoded, "!" format and bare-picture text onto a board in one
// pass, through a single byte-driven state machine that never learns in
// advance which format it is reading. Several formats may be mixed in one
// stream. The reader sets the program-wide rule tables and the board's
// description from what the pattern says.
#pragma once

#include <cstdint>
#include <string>

#include "engine/cell_board.h"
#include "formats/byte_stream.h"

namespace cellarium {

// Receives the message the user must see when a load fails. The runner prints
// it on standard error; the desktop program shows it in a message box.
class PatternReporter {
public:
    virtual ~PatternReporter() = default;
    virtual void ShowMessage(const std::string& text) = 0;
};

// The "too big" message for a board of width x height cells.
std::string PatternTooBigMessage(int width, int height);

// The reader's states. The first bytes of each line steer the machine into
// one format's branch.
enum class ReaderState : uint8_t {
    // Life 1.05, Life 1.06 and the "#" lines.
    LineStart,
    Picture,
    Hash,
    SkipLine,
    DescSpaces,
    Desc,
    NormalRules,
    RuleLine,
    PosStart,
    PosX,
    PosY,
    ListX,
    ListY,
    // Run-length encoded patterns.
    RleWidth,
    RleHeight,
    RleRule,
    RleData,
    RleEnd,
    TrailStart,
    TrailHash,
    TrailText,
    // The '!' format.
    BangFirst,
    BangNext,
    BangText,
    BangQuote,
    BangNum1,
    BangWait2,
    BangRows,
    BangWait3,
    BangCols,
    BangStart,
    BangSkip,
    BangPicture,
};
inline constexpr int kReaderStateCount = 33;

// Reads the whole source onto `board` (whose cells exist), replacing its
// cells, live count, bounds and description, and sets the rule tables.
//
// Returns true when the whole source was read with every position on the
// board. Returns false after handing the "too big" message to `reporter`:
// then the board holds what was placed before the failure (its bounds still
// enclose every live cell and its live count is exact), its description is
// unchanged, and the caller abandons the load.
//
// Line ends: a run of CRs counts as one CR; CR LF, CR CR LF, a lone CR and a
// lone LF are each one line end.
bool ReadPattern(CellBoard& board, ByteSource& source, PatternReporter& reporter);

}  // namespace cellarium
