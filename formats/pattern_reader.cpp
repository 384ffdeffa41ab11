#include "formats/pattern_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/rule.h"
#include "formats/gzip_source.h"
#include "formats/macrocell.h"
#include "formats/pattern_rule.h"
#include "formats/rule_notation.h"

namespace cellarium {
namespace {

constexpr uint8_t kCR = 13;
constexpr uint8_t kLF = 10;

// Every number in pattern text (counts, sizes, coordinates) saturates here. The
// cap lies far beyond any board (at most 40000 x 40000 cells), so a saturated
// number still means "off the board", and it is small enough that positions
// computed from it (row x width + column, sums of counts) stay exact in 64
// bits. A huge number therefore fails the read or lands off the board; it never
// wraps around onto it.
constexpr int64_t kNumberCap = int64_t(1) << 40;

bool IsDigit(uint8_t ch) {
    return ch >= '0' && ch <= '9';
}

// What a byte of run-length data is.
enum class RleCell : uint8_t { NotACell, Dead, Live, OtherState };

// Two-state data marks dead cells with b and live ones with o; the
// multi-state notation's "." and "A" (states 0 and 1) mean the same, and x, y
// and z (either case) have always been taken as live. The other letters of
// that notation, B to W and the prefixes p to w, are states past the first
// two. Under LifeHistory the states A, C and E are live cells and B, D and F
// dead ones (history, marks and boundaries, which this program does not
// keep); any other state letter or prefix is a state it has none of.
RleCell RleCellOf(uint8_t ch, bool history) {
    if (ch == 'b' || ch == '.' || ch == 'o' || ch == 'A')
        return ch == 'b' || ch == '.' ? RleCell::Dead : RleCell::Live;
    if (history) {
        if (ch == 'B' || ch == 'D' || ch == 'F') return RleCell::Dead;
        if (ch == 'C' || ch == 'E') return RleCell::Live;
        if ((ch >= 'G' && ch <= 'X') || (ch >= 'p' && ch <= 'y')) return RleCell::OtherState;
        return RleCell::NotACell;
    }
    if (ch == 'B') return RleCell::Dead;
    switch (ch) {
        case 'O':
        case 'x':
        case 'X':
        case 'y':
        case 'Y':
        case 'z':
        case 'Z':
            return RleCell::Live;
        default:
            break;
    }
    if ((ch >= 'C' && ch <= 'W') || (ch >= 'p' && ch <= 'w')) return RleCell::OtherState;
    return RleCell::NotACell;
}

// x mod m for m > 0, in 0 .. m - 1.
int64_t Mod(int64_t x, int64_t m) {
    const int64_t r = x % m;
    return r < 0 ? r + m : r;
}

// Division truncating toward zero, as the placement formulas want it.
int64_t Half(int64_t v) {
    return v / 2;
}

// Positions stay within twice the number cap, so that sums of capped numbers
// never overflow and a position far off the board stays far off.
int64_t Clamp(int64_t v) {
    return std::clamp(v, -2 * kNumberCap, 2 * kNumberCap);
}

int64_t AppendDigit(int64_t n, uint8_t ch) {
    return std::min(n * 10 + (ch - '0'), kNumberCap);
}

// The text of one coordinate, kept as the value it converts to rather than as
// characters: leading white space, an optional sign, then digits up to the
// first other byte; no digits give 0. Appending bytes one at a time and asking
// for Value() gives the same number as converting the whole text at the end,
// without a buffer that grows with a long line.
class CoordText {
public:
    void Clear() { *this = CoordText(); }

    void Append(uint8_t ch) {
        switch (phase_) {
            case Phase::Leading:
                if (ch == ' ' || (ch >= '\t' && ch <= '\r')) return;
                phase_ = Phase::Digits;
                if (ch == '+' || ch == '-') {
                    negative_ = ch == '-';
                    return;
                }
                [[fallthrough]];
            case Phase::Digits:
                if (IsDigit(ch))
                    value_ = AppendDigit(value_, ch);
                else
                    phase_ = Phase::Done;
                return;
            case Phase::Done:
                return;
        }
    }

    int64_t Value() const { return negative_ ? -value_ : value_; }

private:
    enum class Phase : uint8_t { Leading, Digits, Done };
    Phase phase_ = Phase::Leading;
    bool negative_ = false;
    int64_t value_ = 0;
};

using S = ReaderState;

// Reader::Handle picks a family's handler by ranges of states.
static_assert(S::LineStart < S::Picture && S::PosY < S::ListX && S::ListY < S::RleWidth &&
                  S::TrailText < S::BangFirst && S::BangPicture == S(kReaderStateCount - 1),
              "each family's states stay together, in the order the header lists them");

class Reader {
public:
    Reader(CellBoard& board, Rule& rule)
        : board_(board),
          rule_(rule),
          width_(board.width),
          height_(board.height),
          size_(int64_t(board.width) * board.height),
          halfWidth_(Half(board.width)),
          halfHeight_(Half(board.height)),
          innerWidth_(std::max<int64_t>(board.width - 2, 1)),
          innerHeight_(std::max<int64_t>(board.height - 2, 1)) {}

    bool Run(ByteSource& source, PatternReporter& reporter, int64_t maxBytes);

private:
    // One byte in the current state. The states fall into families, one
    // handler each; the first bytes of a line (LineStart) choose the family.
    void Handle(uint8_t ch);
    void HandleLineStart(uint8_t ch);
    void HandleLife105(uint8_t ch);  // pictures and the "#" lines
    void HandleLife106(uint8_t ch);  // coordinate pairs
    void HandleRle(uint8_t ch);      // run-length header, data and trailing text
    void HandleBang(uint8_t ch);     // "!" comments and their pictures
    void Centre();
    // A macrocell file, after its first line.
    bool ReadMacrocell(ByteSource& source, int64_t maxBytes, int64_t& pulled);
    // Brings a pattern placed partly off the board onto it (see Place).
    void MoveOntoBoard();

    // Shared actions. Positions move by the column and the row; only a live
    // cell is checked (see Place).
    void RowFeed() { SetPosition(y_ + 1, left_); }
    void PutCell() {
        Place(1);
        x_ = Clamp(x_ + 1);
    }
    void SkipCell() { x_ = Clamp(x_ + 1); }
    int64_t Count() const { return n_ == 0 ? 1 : n_; }
    void DeadRun() {
        x_ = Clamp(x_ + Count());
        n_ = 0;
    }
    void LiveRun() {
        const int64_t k = Count();
        Place(k);
        x_ = Clamp(x_ + k);
        n_ = 0;
    }
    void Digit(uint8_t ch) { n_ = AppendDigit(n_, ch); }
    // A comment line ("#C", "#D", "!") starts: its text goes to the
    // description.
    void StartComment() {
        inComment_ = true;
        positionComment_ = false;
        lineStart_ = description_.size();
        lineText_.clear();
    }
    void Describe(uint8_t ch, S onLineEnd, S otherwise);
    void AppendDescription(const char* text, std::size_t length);
    void EndCommentLine();
    void SetPosition(int64_t row, int64_t column) {
        y_ = Clamp(row);
        left_ = Clamp(column);
        x_ = left_;
    }
    void Life106Cell();
    void PlaceRowsAtPosition();
    void ResetRules() {
        rule_ = Rule();
        history_ = false;
        grid_.clear();
    }
    // A rule text starts: "#R" right after the "#", or a run-length
    // header's rule. Its bytes are kept until the line ends.
    void StartRuleText() {
        ruleText_.clear();
        ruleTextCut_ = false;
    }
    void AddRuleText(uint8_t ch) {
        if (ruleText_.size() < kMaxRuleTextBytes)
            ruleText_ += char(ch);
        else
            ruleTextCut_ = true;
    }
    // The rule text has ended: the rule it names, or a refusal.
    void TakeRule();
    // A rule line that the Hash state came to through the "r" of another
    // word ("#O Robert"): read leniently, as such lines always were.
    void StartLenientRuleText() { lenient_ = LenientRuleReader(); }
    void TakePositionComment();
    void EnterHash() {
        state_ = S::Hash;
        hashFirst_ = true;
    }
    int64_t RleLeft(int64_t patternWidth) const {
        return hasRlePos_ ? rlePosX_ + halfWidth_ : Half(width_ - patternWidth);
    }
    int64_t RleTop(int64_t patternHeight) const {
        return hasRlePos_ ? rlePosY_ + halfHeight_ : Half(height_ - patternHeight);
    }
    void Refuse(std::string message) {
        if (refusal_.empty()) refusal_ = std::move(message);
    }

    // Sets the k cells from the current column on, in the current row,
    // counting only those that were dead. Cells are placed by their column
    // and row in the pattern's own frame; as long as every live cell read so
    // far lies in a box the size of the interior, the pattern fits, and a
    // cell outside the interior is kept at its place taken around the
    // interior as on a torus (each box of that size still maps one to one
    // onto the interior), so MoveOntoBoard can bring the whole pattern in at
    // the end by the least move. A cell that makes the box larger than the
    // interior makes the pattern too big: nothing more is set, and the rest
    // of the source is read only to learn the pattern's size.
    void Place(int64_t k);
    void Store(int64_t column, int64_t row, int64_t k);

    CellBoard& board_;
    Rule& rule_;  // where the pattern's rule goes
    const int64_t width_;
    const int64_t height_;
    const int64_t size_;
    const int64_t halfWidth_;
    const int64_t halfHeight_;
    const int64_t innerWidth_;   // the interior: width - 2 columns
    const int64_t innerHeight_;  // and height - 2 rows
    LenientRuleReader lenient_;

    S state_ = S::LineStart;
    int64_t x_ = 1;     // current column
    int64_t y_ = 1;     // current row
    int64_t left_ = 1;  // column where a row starts after a line end
    int64_t n_ = 0;     // number being accumulated
    CoordText xText_;
    CoordText yText_;
    std::string description_;
    bool descriptionCut_ = false;  // text past kMaxDescriptionBytes was left out
    std::string name_;
    int pendingBreaks_ = 0;  // line ends still to become CR LF in the description
    // In a comment line: where its text starts in the description, and its
    // first bytes (kept even when the description is full, for "XRLE Pos="
    // and "Name:").
    bool inComment_ = false;
    bool positionComment_ = false;  // a "#C" line, which may be "#CXRLE"
    std::size_t lineStart_ = 0;
    std::string lineText_;
    // Where the space that joined the last comment line to the next stands
    // in the description, or npos.
    std::size_t joinAt_ = std::string::npos;
    // The rule text being read, and what the last rule said.
    std::string ruleText_;
    bool ruleTextCut_ = false;
    bool hashFirst_ = false;    // the Hash state has not seen a byte of its line yet
    bool lenientRule_ = false;  // the rule line came through another word's "r"
    bool history_ = false;      // LifeHistory: its state letters in run-length data
    std::string grid_;          // the grid the rule was written for ("T100,100")
    std::string refusal_;       // why the pattern cannot be run here, once known
    // Every live cell read so far lies in this box of the pattern's frame
    // (empty while left > right).
    int64_t boxLeft_ = 0, boxTop_ = 0, boxRight_ = -1, boxBottom_ = -1;
    bool offBoard_ = false;     // some live cell lies outside the interior, so far
    bool tooBig_ = false;       // the box outgrew the interior
    bool farOff_ = false;       // or a cell lies past where numbers saturate
    bool exactPlaces_ = false;  // places come from a macrocell tree, not from text
    bool explicit_ = false;     // the pattern gave its position itself
    int64_t movedRight_ = 0;    // how MoveOntoBoard moved the pattern
    int64_t movedDown_ = 0;
    // A "#CXRLE Pos=x,y" line: where the next RLE pattern's top-left cell
    // goes, relative to the board's centre as "#P" gives it.
    bool hasRlePos_ = false;
    int64_t rlePosX_ = 0;
    int64_t rlePosY_ = 0;
};

constexpr std::size_t kCommentHead = 64;

void Reader::Place(int64_t k) {
    if (k <= 0) return;
    const int64_t last = x_ + k - 1;
    // A number that saturated leaves the cell's true place unknown (a
    // header's size is halved for a place, and the board's half side added).
    // A macrocell tree's places are exact, however far off.
    if (!exactPlaces_ && std::max({x_, -x_, last, y_, -y_}) >= kNumberCap / 4) {
        tooBig_ = farOff_ = true;
        return;
    }
    const bool empty = boxLeft_ > boxRight_;
    const int64_t left = empty ? x_ : std::min(boxLeft_, x_);
    const int64_t right = empty ? last : std::max(boxRight_, last);
    const int64_t top = empty ? y_ : std::min(boxTop_, y_);
    const int64_t bottom = empty ? y_ : std::max(boxBottom_, y_);
    boxLeft_ = left;
    boxRight_ = right;
    boxTop_ = top;
    boxBottom_ = bottom;
    if (right - left + 1 > innerWidth_ || bottom - top + 1 > innerHeight_) tooBig_ = true;
    if (tooBig_) return;
    if (x_ < 1 || y_ < 1 || y_ > height_ - 2 || last > width_ - 2) offBoard_ = true;
    // Around the interior as on a torus: a run that crosses its right edge
    // goes on at its left edge.
    const int64_t column = 1 + Mod(x_ - 1, innerWidth_);
    const int64_t row = 1 + Mod(y_ - 1, innerHeight_);
    const int64_t first = std::min(k, innerWidth_ + 1 - column);
    Store(column, row, first);
    if (first < k) Store(1, row, k - first);
}

void Reader::Store(int64_t column, int64_t row, int64_t k) {
    uint8_t* cell = board_.EditCells() + row * width_ + column;
    int64_t newlyLive = 0;
    for (int64_t i = 0; i < k; ++i) newlyLive += cell[i] == 0;
    std::memset(cell, 1, std::size_t(k));
    board_.liveCount += int32_t(newlyLive);
    board_.IncludeCell(Point{int32_t(column), int32_t(row)});
    board_.IncludeCell(Point{int32_t(column + k - 1), int32_t(row)});
}

// The least move that brings the box of live cells into the interior, in
// each direction: none when it lies inside already. The cells were kept at
// their places taken around the interior, so the move is a turn of the
// interior's rows and of each row's columns.
void Reader::MoveOntoBoard() {
    if (!offBoard_ || boxLeft_ > boxRight_) return;
    const int64_t dx = std::clamp<int64_t>(0, 1 - boxLeft_, width_ - 2 - boxRight_);
    const int64_t dy = std::clamp<int64_t>(0, 1 - boxTop_, height_ - 2 - boxBottom_);
    movedRight_ = dx;
    movedDown_ = dy;
    const int64_t turnRows = Mod(dy, innerHeight_);
    const int64_t turnColumns = Mod(dx, innerWidth_);
    uint8_t* cells = board_.EditCells();
    if (turnRows != 0) {
        // Whole rows, border cells too: those are dead in every row.
        uint8_t* first = cells + width_;
        uint8_t* end = cells + (height_ - 1) * width_;
        std::rotate(first, end - turnRows * width_, end);
    }
    if (turnColumns != 0) {
        for (int64_t row = 1; row <= height_ - 2; ++row) {
            uint8_t* first = cells + row * width_ + 1;
            std::rotate(first, first + innerWidth_ - turnColumns, first + innerWidth_);
        }
    }
    board_.bounds = Rect{int32_t(boxLeft_ + dx), int32_t(boxTop_ + dy), int32_t(boxRight_ + dx),
                         int32_t(boxBottom_ + dy)};
}

void Reader::TakeRule() {
    PatternRule rule = ClassifyPatternRule(ruleText_);
    if (ruleTextCut_) {
        rule.kind = PatternRuleKind::Refused;
        const std::size_t from = std::min(ruleText_.find_first_not_of(" \t"), ruleText_.size());
        rule.name = ruleText_.substr(from, 60) + "...";
    }
    if (rule.kind == PatternRuleKind::Refused) {
        Refuse(CannotRunRuleMessage(rule.name));
        return;
    }
    rule_ = rule.rule;
    history_ = rule.kind == PatternRuleKind::History;
    grid_ = rule.grid;
}

void Reader::AppendDescription(const char* text, std::size_t length) {
    if (description_.size() + length > kMaxDescriptionBytes) {
        descriptionCut_ = true;
        return;
    }
    description_.append(text, length);
}

void Reader::Describe(uint8_t ch, S onLineEnd, S otherwise) {
    if (ch == kCR || ch == kLF) {
        if (inComment_) {
            EndCommentLine();
        } else if (pendingBreaks_ > 0) {
            AppendDescription("\r\n", 2);
            --pendingBreaks_;
        } else {
            AppendDescription(" ", 1);
        }
        n_ = 0;
        state_ = onLineEnd;
    } else {
        const char byte = char(ch);
        if (inComment_ && lineText_.size() < kCommentHead) lineText_ += byte;
        AppendDescription(&byte, 1);
        state_ = otherwise;
    }
}

// The end of a comment line. Consecutive lines are joined with one space; an
// empty line stands for a line break (so a description the writers lay out
// as lines comes back as it was). A "!Name:" line gives the pattern's name,
// and a "#CXRLE" line may give the place of the RLE pattern that follows;
// neither is description.
void Reader::EndCommentLine() {
    inComment_ = false;
    const bool bang = state_ >= S::BangFirst;
    const bool xrle = positionComment_ && !bang && lineText_.compare(0, 4, "XRLE") == 0;
    if (xrle || (bang && lineText_.compare(0, 5, "Name:") == 0)) {
        if (xrle) {
            TakePositionComment();
        } else {
            const std::size_t from = lineText_.find_first_not_of(' ', 5);
            name_ = from == std::string::npos ? std::string() : lineText_.substr(from);
        }
        if (lineStart_ < description_.size()) description_.erase(lineStart_);
        return;
    }
    if (description_.size() == lineStart_) {
        // An empty line: a line break, in place of the space that joined the
        // line before (none at the start of the description).
        if (joinAt_ != std::string::npos && joinAt_ + 1 == description_.size())
            description_.erase(joinAt_);
        if (!description_.empty()) AppendDescription("\r\n", 2);
        joinAt_ = std::string::npos;
        return;
    }
    if (pendingBreaks_ > 0) {
        AppendDescription("\r\n", 2);
        --pendingBreaks_;
        joinAt_ = std::string::npos;
        return;
    }
    AppendDescription(" ", 1);
    joinAt_ = description_.size() - 1;
}

// A "#C" line whose text starts with "XRLE" may carry "Pos=x,y", the place
// of the RLE pattern that follows.
void Reader::TakePositionComment() {
    const std::size_t pos = lineText_.find("Pos=", 4);
    if (pos == std::string::npos) return;
    CoordText x, y;
    std::size_t i = pos + 4;
    for (; i < lineText_.size() && lineText_[i] != ','; ++i) x.Append(uint8_t(lineText_[i]));
    for (++i; i < lineText_.size() && lineText_[i] != ' '; ++i) y.Append(uint8_t(lineText_[i]));
    hasRlePos_ = true;
    rlePosX_ = x.Value();
    rlePosY_ = y.Value();
}

void Reader::Life106Cell() {
    explicit_ = true;
    SetPosition(yText_.Value() + halfHeight_, xText_.Value() + halfWidth_);
    Place(1);
    xText_.Clear();
    yText_.Clear();
}

void Reader::PlaceRowsAtPosition() {
    explicit_ = true;
    SetPosition(yText_.Value() + halfHeight_, xText_.Value() + halfWidth_);
    state_ = S::Picture;
}

void Reader::Handle(uint8_t ch) {
    // The enumeration lists each family's states together, in this order.
    if (state_ == S::LineStart)
        HandleLineStart(ch);
    else if (state_ <= S::PosY)
        HandleLife105(ch);
    else if (state_ <= S::ListY)
        HandleLife106(ch);
    else if (state_ <= S::TrailText)
        HandleRle(ch);
    else
        HandleBang(ch);
}

void Reader::HandleLineStart(uint8_t ch) {
    if (ch == kCR) {
        RowFeed();
        state_ = S::Picture;
    } else if (ch == '!') {
        StartComment();
        state_ = S::BangFirst;
    } else if (ch == '#') {
        EnterHash();
    } else if (ch == '*') {
        PutCell();
        state_ = S::Picture;
    } else if (ch == '.') {
        SkipCell();
        state_ = S::Picture;
    } else if (ch == 'x' || ch == 'X') {
        n_ = 0;
        state_ = S::RleWidth;
    } else if (IsDigit(ch) || ch == '-') {
        xText_.Clear();
        xText_.Append(ch);
        yText_.Clear();
        state_ = S::ListX;
    }
}

void Reader::HandleLife105(uint8_t ch) {
    switch (state_) {
        case S::Picture:
            if (ch == kCR)
                RowFeed();
            else if (ch == '#')
                EnterHash();
            else if (ch == '*')
                PutCell();
            else if (ch == '.')
                SkipCell();
            break;
        case S::Hash: {
            const bool hashFirst = hashFirst_;
            hashFirst_ = false;
            switch (ch) {
                // A "#" line that is none of these (a bare "#", "# text")
                // ends at its CR; what follows starts a line afresh, so an
                // RLE header after such comments is still a header.
                case kCR:
                    state_ = S::LineStart;
                    break;
                case 'C':
                case 'D':
                    StartComment();
                    positionComment_ = ch == 'C';
                    state_ = S::DescSpaces;
                    break;
                case 'L':
                    state_ = S::SkipLine;
                    break;
                case 'N':
                    name_.clear();
                    state_ = S::NormalRules;
                    break;
                case 'P':
                    state_ = S::PosStart;
                    break;
                case 'R':
                case 'r':
                    // Right after the "#" this is a rule line; further on
                    // it is the r of another word, as in "#O Robert".
                    lenientRule_ = !hashFirst;
                    if (lenientRule_)
                        StartLenientRuleText();
                    else
                        StartRuleText();
                    state_ = S::RuleLine;
                    break;
                default:
                    break;
            }
            break;
        }
        case S::SkipLine:
            if (ch == kCR) state_ = S::LineStart;
            break;
        case S::DescSpaces:
            if (ch != ' ') Describe(ch, S::LineStart, S::Desc);
            break;
        case S::Desc:
            Describe(ch, S::LineStart, S::Desc);
            break;
        // "#N" alone is Conway's rules (Life 1.05); text after it is the
        // pattern's name (RLE), and the rules follow in the header.
        case S::NormalRules:
            if (ch == kCR) {
                ResetRules();
                const auto last = name_.find_last_not_of(' ');
                name_.erase(last == std::string::npos ? 0 : last + 1);
                state_ = S::LineStart;
            } else if ((ch != ' ' || !name_.empty()) && name_.size() < kMaxNameBytes) {
                name_ += char(ch);
            }
            break;
        case S::RuleLine:
            if (lenientRule_) {
                if (ch == kCR || ch == kLF) {
                    rule_ = lenient_.Result();
                    state_ = S::LineStart;
                } else {
                    lenient_.Feed(char(ch));
                }
            } else if (ch == kCR || ch == kLF) {
                TakeRule();
                state_ = S::LineStart;
            } else {
                AddRuleText(ch);
            }
            break;
        // "#P x y": the byte after the P is dropped (it is the space before
        // x). Numbers left out are 0: "#P" alone, as many shared files have
        // it, is "#P 0 0", and "#P x" is "#P x 0".
        case S::PosStart:
            xText_.Clear();
            yText_.Clear();
            if (ch == kCR)
                PlaceRowsAtPosition();
            else
                state_ = S::PosX;
            break;
        case S::PosX:
            if (ch == ' ')
                state_ = S::PosY;
            else if (ch == kCR)
                PlaceRowsAtPosition();
            else
                xText_.Append(ch);
            break;
        case S::PosY:
            if (ch == kCR)
                PlaceRowsAtPosition();
            else
                yText_.Append(ch);
            break;
        default:
            break;
    }
}

void Reader::HandleLife106(uint8_t ch) {
    if (state_ == S::ListX) {
        if (ch == ' ')
            state_ = S::ListY;
        else if (ch == '#')
            EnterHash();
        else if (IsDigit(ch) || ch == '-')
            xText_.Append(ch);
    } else if (ch == kCR) {  // ListY
        Life106Cell();
        state_ = S::ListX;
    } else {
        yText_.Append(ch);
    }
}

void Reader::HandleRle(uint8_t ch) {
    switch (state_) {
        case S::RleWidth:
            if (ch == ',') {
                explicit_ = true;
                left_ = RleLeft(n_);
                n_ = 0;
                state_ = S::RleHeight;
            } else if (IsDigit(ch)) {
                Digit(ch);
            }
            break;
        case S::RleHeight:
            if (ch == kCR || ch == ',') {
                explicit_ = true;
                SetPosition(RleTop(n_), left_);
                n_ = 0;
                if (ch == kCR) {
                    ResetRules();
                    state_ = S::RleData;
                } else {
                    StartRuleText();
                    state_ = S::RleRule;
                }
            } else if (IsDigit(ch)) {
                Digit(ch);
            }
            break;
        case S::RleRule:
            if (ch == kCR || ch == kLF) {
                // "rule = B3/S23": the rule is what follows the "=".
                const std::size_t equals = ruleText_.find('=');
                if (equals != std::string::npos) ruleText_.erase(0, equals + 1);
                TakeRule();
                n_ = 0;
                state_ = S::RleData;
            } else {
                AddRuleText(ch);
            }
            break;
        case S::RleData:
            if (IsDigit(ch)) {
                Digit(ch);
            } else if (const RleCell cell = RleCellOf(ch, history_); cell == RleCell::Dead) {
                DeadRun();
            } else if (cell == RleCell::Live) {
                LiveRun();
            } else if (cell == RleCell::OtherState) {
                Refuse(TooManyStatesMessage());
            } else if (ch == '$') {
                SetPosition(y_ + Count(), left_);
                n_ = 0;
            } else if (ch == '!') {
                pendingBreaks_ = 1;
                state_ = S::RleEnd;
            }
            break;
        case S::RleEnd:
            if (ch == kCR) state_ = S::TrailStart;
            break;
        case S::TrailStart:
            if (ch == '#')
                state_ = S::TrailHash;
            else if (ch != kCR && ch != kLF)
                Describe(ch, S::TrailStart, S::TrailText);
            break;
        case S::TrailHash:
            state_ = S::TrailText;
            break;
        case S::TrailText:
            Describe(ch, S::TrailStart, S::TrailText);
            break;
        default:
            break;
    }
}

void Reader::HandleBang(uint8_t ch) {
    // States that pass their byte on to the description: the listed action
    // comes first, then Describe, whose line end always leads to BangStart.
    S next = state_;
    switch (state_) {
        case S::BangFirst:
            if (ch == kCR)
                n_ = 0;
            else if (ch == '"')
                next = S::BangQuote;
            else if (ch != ' ')
                next = S::BangText;
            break;
        case S::BangNext:
            if (ch == kCR)
                n_ = 0;
            else if (ch != ' ')
                next = S::BangText;
            break;
        case S::BangText:
            break;
        case S::BangQuote:
            if (IsDigit(ch)) next = S::BangNum1;
            break;
        case S::BangNum1:
            if (!IsDigit(ch)) next = S::BangWait2;
            break;
        case S::BangWait2:
            if (IsDigit(ch)) {
                n_ = ch - '0';
                next = S::BangRows;
            }
            break;
        case S::BangRows:
            if (IsDigit(ch)) {
                Digit(ch);
            } else {
                // The row only; the position follows with the column count.
                y_ = Half(height_ - n_);
                next = S::BangWait3;
            }
            break;
        case S::BangWait3:
            if (IsDigit(ch)) {
                n_ = ch - '0';
                next = S::BangCols;
            }
            break;
        case S::BangCols:
            if (IsDigit(ch)) {
                Digit(ch);
            } else {
                explicit_ = true;
                SetPosition(y_, Half(width_ - n_));
                next = S::BangText;
            }
            break;

        // States whose bytes stay out of the description.
        case S::BangStart:
            if (ch == ' ') {
                n_ = 0;
                state_ = S::BangPicture;
            } else if (ch == '!') {
                StartComment();
                state_ = S::BangNext;
            } else if (ch == '.' || ch == 'O' || ch == 'o' || ch == '*') {
                // A row that starts with a cell is picture data at once, so the
                // first row after "!Name: ..." comments is not lost.
                n_ = 0;
                state_ = S::BangPicture;
                HandleBang(ch);
            } else if (ch != kCR && ch != kLF) {
                state_ = S::BangSkip;
            }
            return;
        case S::BangSkip:
            if (ch == kCR) {
                n_ = 0;
                state_ = S::BangPicture;
            }
            return;
        case S::BangPicture:
            if (IsDigit(ch)) {
                Digit(ch);
            } else if (ch == '.') {
                DeadRun();
            } else if (ch == '*' || ch == 'O' || ch == 'o') {
                LiveRun();
            } else if (ch == kCR) {
                SetPosition(y_ + 1, left_);  // a count before the line end is not used
                n_ = 0;
            } else if (ch == '!') {
                state_ = S::BangText;
            }
            return;
        default:
            return;
    }
    Describe(ch, S::BangStart, next);
}

void Reader::Centre() {
    const Rect b = board_.bounds;
    if (b.left > b.right || b.top > b.bottom) return;
    // The bounds hold storage rows and columns of placed cells, so the range
    // below holds every live cell and both places start inside the storage.
    const int64_t src = int64_t(b.top) * width_ + b.left;
    const int64_t dst =
        Half(height_ - (b.bottom - b.top)) * width_ + Half(width_ - (int64_t(b.right) - b.left));
    if (src == dst) return;
    const int64_t length = (int64_t(b.bottom) - b.top + 1) * width_;
    // Cells of the range past the end of the storage do not exist, and those
    // whose new place would lie past it are dropped: the move stays inside.
    const int64_t srcLength = std::min(length, size_ - src);
    const int64_t moved = std::min(srcLength, size_ - dst);
    uint8_t* cells = board_.EditCells();
    std::memmove(cells + dst, cells + src, std::size_t(moved));
    // Cells of the old range that the new range does not cover end dead.
    if (dst > src) {
        const int64_t end = std::min(src + srcLength, dst);
        std::memset(cells + src, 0, std::size_t(end - src));
    }
    const int64_t from = std::max(src, dst + moved);
    if (from < src + srcLength) std::memset(cells + from, 0, std::size_t(src + srcLength - from));
    if (moved < srcLength) {
        int64_t live = 0;
        for (int64_t i = 0; i < size_; ++i) live += cells[i] != 0;
        board_.liveCount = int32_t(live);
    }
}

// The lines of a macrocell file after its first: "#" lines (the rule,
// comments), then one node a line.
bool Reader::ReadMacrocell(ByteSource& source, int64_t maxBytes, int64_t& pulled) {
    MacrocellTree tree;
    std::string line;
    bool lineCut = false;
    bool ended = false;
    while (!ended) {
        uint8_t raw = 0;
        ended = source.Read(raw) != 1;
        if (!ended && ++pulled > maxBytes) {
            Refuse(PatternTooLongMessage(maxBytes));
            return false;
        }
        if (!ended && raw != kCR && raw != kLF) {
            if (line.size() < 4096)
                line += char(raw);
            else
                lineCut = true;
            continue;
        }
        if (line.empty()) continue;
        if (line[0] == '#') {
            const char kind = line.size() > 1 ? line[1] : ' ';
            if (kind == 'R' || kind == 'r') {
                StartRuleText();
                for (std::size_t i = 2; i < line.size(); ++i) AddRuleText(uint8_t(line[i]));
                TakeRule();
                if (!refusal_.empty()) return false;
            } else if (kind == 'C' || kind == 'D' || kind == 'N') {
                const std::size_t from = line.find_first_not_of(' ', 2);
                if (from != std::string::npos) {
                    if (!description_.empty()) AppendDescription("\r\n", 2);
                    AppendDescription(line.data() + from, line.size() - from);
                }
            }
        } else {
            std::string problem = lineCut ? "This macrocell file is damaged: a line is too long."
                                          : tree.AddLine(line, MacrocellStates{history_});
            if (!problem.empty()) {
                Refuse(std::move(problem));
                return false;
            }
        }
        line.clear();
        lineCut = false;
    }
    // Placed around the board's centre, as Life 1.06 places its cells; the
    // box says whether it fits before a cell is drawn.
    explicit_ = true;
    const MacrocellTree::Box box = tree.LiveBox();
    if (box.Empty()) return true;
    boxLeft_ = box.left + halfWidth_;
    boxRight_ = box.right + halfWidth_;
    boxTop_ = box.top + halfHeight_;
    boxBottom_ = box.bottom + halfHeight_;
    if (boxRight_ - boxLeft_ + 1 > innerWidth_ || boxBottom_ - boxTop_ + 1 > innerHeight_) {
        tooBig_ = true;
        return false;
    }
    exactPlaces_ = true;
    tree.ForEachRun([&](int64_t x, int64_t y, int64_t count) {
        x_ = x + halfWidth_;
        y_ = y + halfHeight_;
        Place(count);
    });
    return true;
}

bool Reader::Run(ByteSource& givenSource, PatternReporter& reporter, int64_t maxBytes) {
    ResetRules();
    board_.Clear();
    board_.ResetBounds();
    board_.liveCount = 0;
    lenient_ = LenientRuleReader();

    auto fail = [&](const std::string& message) {
        reporter.ShowMessage(message);
        return false;
    };
    auto tooBig = [&] {
        if (farOff_) {
            reporter.ShowTooBig(0, 0);
            return fail(PatternTooBigMessage(board_.width, board_.height));
        }
        reporter.ShowTooBig(boxRight_ - boxLeft_ + 1, boxBottom_ - boxTop_ + 1);
        return fail(PatternTooBigMessage(board_.width, board_.height, boxRight_ - boxLeft_ + 1,
                                         boxBottom_ - boxTop_ + 1));
    };

    // What the file is, from its first bytes: gzip-compressed data is read
    // as what it holds; a .zip archive is not a pattern; "[M2]" starts a
    // macrocell file.
    uint8_t head[4];
    std::size_t headSize = 0;
    auto sniff = [&](ByteSource& from) {
        headSize = 0;
        uint8_t b = 0;
        while (headSize < sizeof head && from.Read(b) == 1) head[headSize++] = b;
    };
    sniff(givenSource);
    PrefixedByteSource given(head, headSize, givenSource);
    std::unique_ptr<GzipByteSource> gzip;
    std::unique_ptr<PrefixedByteSource> unpacked;
    ByteSource* source = &given;
    if (LooksGzipped(head, headSize)) {
        gzip = std::make_unique<GzipByteSource>(given);
        sniff(*gzip);
        unpacked = std::make_unique<PrefixedByteSource>(head, headSize, *gzip);
        source = unpacked.get();
    }
    if (LooksZipped(head, headSize)) return fail(ZipArchiveMessage());
    auto damaged = [&] { return gzip && gzip->Damaged(); };

    int64_t pulled = 0;
    if (headSize == 4 && std::memcmp(head, "[M2]", 4) == 0) {
        // The rest of the first line ("(golly 2.0)") says which program wrote it.
        uint8_t b = 0;
        for (int i = 0; i < 4; ++i) source->Read(b);
        pulled = 4;
        while (source->Read(b) == 1 && b != kCR && b != kLF) ++pulled;
        const bool read = ReadMacrocell(*source, maxBytes, pulled);
        if (damaged()) return fail(DamagedCompressionMessage());
        if (!refusal_.empty()) return fail(refusal_);
        if (!read || tooBig_) return tooBig();
    } else {
        // Line ends. CR LF, a lone LF, LF CR and a lone CR are one line end
        // each, and a run of CRs counts as one CR. The states see a line end
        // that has an LF as CR LF, and one without as CR alone, so a file
        // reads the same whichever of these its lines end in.
        enum class After : uint8_t { Other, Cr, Lf, LfCr };
        After after = After::Other;
        uint8_t raw = 0;
        while (refusal_.empty() && source->Read(raw) == 1) {
            if (++pulled > maxBytes) return fail(PatternTooLongMessage(maxBytes));
            if (raw == kCR) {
                if (after == After::Lf) {
                    after = After::LfCr;  // the CR of an LF CR
                    continue;
                }
                if (after == After::Cr || after == After::LfCr) continue;  // a run of CRs
                after = After::Cr;
                Handle(kCR);
            } else if (raw == kLF) {
                // A lone LF, or the LF of an LF CR, is read as CR LF.
                if (after != After::Cr) Handle(kCR);
                after = after == After::Cr ? After::Other : After::Lf;
                Handle(kLF);
            } else {
                after = After::Other;
                Handle(raw);
            }
        }
        // A rule line that the data ends in ends there.
        if (refusal_.empty() && state_ == S::RuleLine && !lenientRule_) TakeRule();
        if (damaged()) return fail(DamagedCompressionMessage());
        if (!refusal_.empty()) return fail(refusal_);
        if (tooBig_) return tooBig();
    }
    MoveOntoBoard();

    // A comment line that the data ends in ends there.
    if (inComment_) EndCommentLine();
    const auto last = description_.find_last_not_of(" \t\r\n");
    description_.erase(last == std::string::npos ? 0 : last + 1);
    if (descriptionCut_) {
        const std::string note = DescriptionCutNote();
        description_.resize(std::min(description_.size(), kMaxDescriptionBytes - note.size()));
        description_ += note;
    }
    board_.description = std::move(description_);
    board_.name = std::move(name_);
    if (!explicit_) {
        Centre();
        board_.SetWholeBounds();
    }
    if (movedRight_ != 0 || movedDown_ != 0)
        reporter.ShowNote(MovedNoteLine(movedRight_, movedDown_));
    if (std::string grid = GridNoteLine(grid_); !grid.empty()) reporter.ShowNote(grid);
    return true;
}

}  // namespace

std::string PatternTooLongMessage(int64_t maxBytes) {
    char size[64];
    if (maxBytes % 1'000'000 == 0)
        std::snprintf(size, sizeof size, "%lld MB", static_cast<long long>(maxBytes / 1'000'000));
    else
        std::snprintf(size, sizeof size, "%lld bytes", static_cast<long long>(maxBytes));
    char text[512];
    std::snprintf(text, sizeof text,
                  "That file is too long to be a pattern.  Reading stopped after %s, more than "
                  "a pattern for the largest board size (%dx%d) can take.",
                  size, kMaxBoardSide, kMaxBoardSide);
    return text;
}

std::string DescriptionCutNote() {
    char text[128];
    std::snprintf(text, sizeof text,
                  "\r\n[The description was longer than %zu KB: the rest is left out.]",
                  kMaxDescriptionBytes / 1024);
    return text;
}

std::string PatternTooBigMessage(int width, int height, int64_t patternWidth,
                                 int64_t patternHeight) {
    char sizes[256];
    std::snprintf(sizes, sizeof sizes,
                  " (The pattern is %lldx%lld cells; the board has room for %dx%d inside its "
                  "border.)",
                  static_cast<long long>(patternWidth), static_cast<long long>(patternHeight),
                  width - 2, height - 2);
    return PatternTooBigMessage(width, height) + sizes;
}

std::string MovedNoteLine(int64_t right, int64_t down) {
    auto part = [](int64_t n, const char* plus, const char* minus, const char* unit) {
        const long long v = n < 0 ? -n : n;
        char text[96];
        std::snprintf(text, sizeof text, "%lld %s%s %s", v, unit, v == 1 ? "" : "s",
                      n < 0 ? minus : plus);
        return std::string(text);
    };
    std::string moves;
    if (right != 0) moves = part(right, "right", "left", "column");
    if (down != 0) moves += (moves.empty() ? "" : " and ") + part(down, "down", "up", "row");
    return "Moved " + moves + " to fit the board.";
}

std::string ZipArchiveMessage() {
    return "This file is a .zip archive, not a pattern: unpack it first, then open the pattern "
           "inside.";
}

std::string DamagedCompressionMessage() {
    return "This gzip-compressed file is damaged or cut short: its pattern cannot be read.";
}

std::string PatternTooBigMessage(int width, int height) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "That pattern is too big for this board.  The maximum size is %dx%d. You can "
                  "change the board size on the Tools menu at the file selection screen to choose "
                  "a bigger board size.",
                  width, height);
    return text;
}

bool ReadPattern(CellBoard& board, ByteSource& source, PatternReporter& reporter, Rule& rule,
                 int64_t maxBytes) {
    Reader reader(board, rule);
    return reader.Run(source, reporter, maxBytes);
}

}  // namespace cellarium
