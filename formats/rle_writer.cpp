#include "formats/rle_writer.h"

#include <cstdio>
#include <vector>

#include "formats/comment_lines.h"
#include "formats/rule_notation.h"

namespace cellarium {
namespace {

constexpr std::size_t kRleLineLimit = 70;
const char* const kLineEnd = "\r\n";

// "#C " and at most 67 characters, "!" and at most 69: 70 in all.
constexpr std::size_t kRleCommentWidth = 67;
constexpr std::size_t kPlaintextCommentWidth = 69;

// Collects run items into lines of at most kRleLineLimit characters.
class RunLines {
public:
    explicit RunLines(ByteSink& sink) : sink_(sink) {}

    void Item(int64_t count, char tag) {
        std::string item = count > 1 ? std::to_string(count) : std::string();
        item += tag;
        if (!line_.empty() && line_.size() + item.size() > kRleLineLimit) Flush();
        line_ += item;
    }
    void Flush() {
        if (line_.empty()) return;
        line_ += kLineEnd;
        Put(sink_, line_);
        line_.clear();
    }

private:
    ByteSink& sink_;
    std::string line_;
};

}  // namespace

void WriteRlePattern(const CellBoard& board, const Rule& rule, ByteSink& sink, RleGrid grid) {
    if (const std::string name = PrintableName(board.name); !name.empty())
        Put(sink, "#N " + name + kLineEnd);
    for (const std::string& line : CommentLines(board.description, kRleCommentWidth))
        Put(sink, (line.empty() ? "#C" : "#C " + line) + kLineEnd);

    const Rect box = LiveCellBox(board);
    const bool empty = box.left > box.right;
    char text[256];
    if (!empty) {
        std::snprintf(text, sizeof text, "#CXRLE Pos=%d,%d\r\n", box.left - board.width / 2,
                      box.top - board.height / 2);
        Put(sink, text);
    }
    std::string suffix;
    if (grid == RleGrid::Bounded) {
        std::snprintf(text, sizeof text, ":P%d,%d", board.width - 2, board.height - 2);
        suffix = text;
    }
    std::snprintf(text, sizeof text, "x = %d, y = %d, rule = %s%s\r\n",
                  empty ? 0 : box.right - box.left + 1, empty ? 0 : box.bottom - box.top + 1,
                  FileRuleText(rule, RuleForm::Lettered).c_str(), suffix.c_str());
    Put(sink, text);

    RunLines out(sink);
    int64_t rowEnds = 0;  // row ends not yet written
    for (int y = empty ? 1 : box.top; !empty && y <= box.bottom; ++y) {
        const uint8_t* row = board.Cells() + std::size_t(y) * std::size_t(board.width);
        int x = box.left;
        while (x <= box.right) {
            const bool live = row[x] != 0;
            int end = x;
            while (end <= box.right && (row[end] != 0) == live) ++end;
            if (live || end <= box.right) {  // dead cells that end the row stay out
                if (rowEnds > 0) {
                    out.Item(rowEnds, '$');
                    rowEnds = 0;
                }
                out.Item(end - x, live ? 'o' : 'b');
            }
            x = end;
        }
        ++rowEnds;
    }
    out.Item(1, '!');
    out.Flush();
}

void WritePlaintextPattern(const CellBoard& board, const std::string& title, ByteSink& sink) {
    Put(sink, "!Name: " + PrintableName(board.name.empty() ? title : board.name) + kLineEnd);
    for (const std::string& line : CommentLines(board.description, kPlaintextCommentWidth))
        Put(sink, "!" + line + kLineEnd);
    const Rect box = LiveCellBox(board);
    if (box.left > box.right) return;
    std::string line(std::size_t(box.right - box.left + 1), '.');
    line += kLineEnd;
    for (int y = box.top; y <= box.bottom; ++y) {
        const uint8_t* row = board.Cells() + std::size_t(y) * std::size_t(board.width);
        for (int x = box.left; x <= box.right; ++x)
            line[std::size_t(x - box.left)] = row[x] ? 'O' : '.';
        Put(sink, line);
    }
}

}  // namespace cellarium
