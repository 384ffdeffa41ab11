// The pattern reader: loads Life 1.05 (with its "#" lines), Life 1.06,
// run-length encoded, "!" format and bare-picture text onto a board in one
// pass, through a single byte-driven state machine that never learns in
// advance which format it is reading. Several formats may be mixed in one
// stream. Macrocell files ("[M2]") are read too, and gzip-compressed data is
// read as what it holds, whatever the file's name. The reader gives the
// pattern's rule and sets the board's description from what the pattern
// says, and refuses, with a message that names it, a pattern it
// cannot run exactly: another kind of rule, or cells of more states.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/cell_board.h"
#include "engine/rule.h"
#include "formats/byte_stream.h"
#include "formats/pattern_rule.h"

namespace cellarium {

// Receives the message the user must see when a load fails. The runner prints
// it on standard error; the desktop program shows it in a message box.
class PatternReporter {
public:
    virtual ~PatternReporter() = default;
    virtual void ShowMessage(const std::string& text) = 0;
    // After a read that succeeded: one line File Information shows about
    // what the reader did or could not keep (a move onto the board, a grid
    // of another shape). Ignored unless overridden.
    virtual void ShowNote(const std::string& /*line*/) {}
    // Just before the "too big" message: the size of the pattern's live
    // cells (0 x 0 when they lie too far off to measure). Ignored unless
    // overridden.
    virtual void ShowTooBig(int64_t /*patternWidth*/, int64_t /*patternHeight*/) {}
};

// The "too big" message for a board of width x height cells.
std::string PatternTooBigMessage(int width, int height);
// The same, with the pattern's size and the room the board's interior has.
std::string PatternTooBigMessage(int width, int height, int64_t patternWidth,
                                 int64_t patternHeight);
// "Moved 12 columns right and 3 rows up to fit the board."
std::string MovedNoteLine(int64_t right, int64_t down);
// For a .zip archive, and for gzip data that is broken or cut short.
std::string ZipArchiveMessage();
std::string DamagedCompressionMessage();

// The longest pattern text the reader takes, in bytes: the largest file that
// could still fit the largest board. The wordiest way any format gives a cell
// is a Life 1.06 line; on the largest board (kMaxBoardSide cells a side) its
// coordinates around the centre run from -5000 to 4999, so a line is at most
// "-5000 -5000" and CR LF, 13 bytes. Every cell of that board listed so takes
// 13 x 10000 x 10000 bytes; 20 MB more leave room for a header and a long
// description. A longer source is taken for no pattern at all (a device such
// as /dev/zero that never ends, say): the read stops there with a message
// instead of holding the program for ever. The limit is the same whatever the
// board in use; reading that much takes a few seconds.
inline constexpr int64_t kMaxPatternCellLine = [] {
    int64_t digits = 1;  // of half the largest side: 5000
    for (int64_t v = kMaxBoardSide / 2; v >= 10; v /= 10) ++digits;
    return 2 * (1 + digits) + 3;  // two signed coordinates, a space, CR LF
}();
inline constexpr int64_t kMaxPatternBytes =
    kMaxPatternCellLine * kMaxBoardSide * kMaxBoardSide + 20'000'000;

// The longest description the reader keeps, in bytes. The wordiest file of
// the pattern collections we know (the oscillator catalogue of golly's, with
// a 68,822-byte description) fits with room to spare; a longer description
// is cut, with DescriptionCutNote() at its end, so that a file with a huge
// comment neither fills the memory nor is written back whole.
inline constexpr std::size_t kMaxDescriptionBytes = 128 * 1024;
std::string DescriptionCutNote();
// The longest pattern name kept ("#N", "!Name:").
inline constexpr std::size_t kMaxNameBytes = 1024;

// The message for a source longer than `maxBytes`.
std::string PatternTooLongMessage(int64_t maxBytes = kMaxPatternBytes);

// The reader's states. The first bytes of each line steer the machine into
// one format's branch. Each family's states stay together, in this order: the
// reader picks a family's handler by ranges of states.
enum class ReaderState : uint8_t {
    // The start of a line, where the family is chosen.
    LineStart,
    // Life 1.05: pictures of "*" and "." and the "#" lines.
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
    // Life 1.06 coordinate pairs.
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
// cells, live count, bounds, description and name, and sets the rule tables.
//
// Every live cell is placed by its column and its row, and lands in the
// interior (columns 1 to width - 2, rows 1 to height - 2): a row never runs
// on into the next one, and no cell lands in the border. A pattern whose
// live cells fit the interior but that its file places partly off it is
// moved onto it by the least amount (the reporter is told in a note). A
// position that places no live cell is no failure.
//
// Returns true when the whole source was read and its live cells fit the
// interior. Returns false after handing one message to `reporter`: "too big"
// (with the pattern's size) when they do not, "too long" when the source held
// more than `maxBytes` bytes (the reader pulls one byte past the limit, then
// stops), or a refusal: a rule that is not a two-state eight-neighbour one,
// cells of more states, a .zip archive, damaged compressed data or a damaged
// macrocell file. Then the board holds what was placed before the failure
// (its bounds still enclose every live cell and its live count is exact),
// its description is unchanged, and the caller abandons the load.
//
// Line ends: a run of CRs counts as one CR; CR LF, LF, LF CR and a lone CR
// are each one line end (CR CR LF and LF CR CR too).
//
// The pattern's rule goes to `rule` (Conway's Life when it names none). A
// read touches nothing but its arguments, so it may run on another thread
// (with a board of its own) while the program steps.
bool ReadPattern(CellBoard& board, ByteSource& source, PatternReporter& reporter, Rule& rule,
                 int64_t maxBytes = kMaxPatternBytes);

}  // namespace cellarium
