#include "formats/rle_writer.h"

#include <cstdio>
#include <vector>

#include "engine/rules.h"

namespace cellarium {
namespace {

constexpr std::size_t kRleLineLimit = 70;
const char* const kLineEnd = "\r\n";

void Put(ByteSink& sink, const std::string& text) {
    sink.Write(text.data(), text.size());
}

// The description's lines: CR LF, LF and a lone CR each end one. Trailing
// empty lines are dropped.
std::vector<std::string> DescriptionLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '\r' || ch == '\n') {
            lines.push_back(line);
            line.clear();
            if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += ch;
        }
    }
    lines.push_back(line);
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

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

Rect LiveBox(const CellBoard& board) {
    Rect box{board.width, board.height, -1, -1};
    for (int y = 0; y < board.height; ++y) {
        const uint8_t* row = board.cells + std::size_t(y) * std::size_t(board.width);
        for (int x = 0; x < board.width; ++x) {
            if (row[x] == 0) continue;
            if (x < box.left) box.left = x;
            if (x > box.right) box.right = x;
            if (y < box.top) box.top = y;
            if (y > box.bottom) box.bottom = y;
        }
    }
    return box;
}

std::string RleRuleText() {
    std::string text = "B";
    for (int n = 0; n < kRuleEntries; ++n)
        if (g_born[n]) text += char('0' + n);
    text += "/S";
    for (int n = 0; n < kRuleEntries; ++n)
        if (g_survive[n]) text += char('0' + n);
    return text;
}

void WriteRlePattern(const CellBoard& board, ByteSink& sink, RleGrid grid) {
    for (const std::string& line : DescriptionLines(board.description))
        Put(sink, (line.empty() ? "#C" : "#C " + line) + kLineEnd);

    const Rect box = LiveBox(board);
    const bool empty = box.left > box.right;
    char text[160];
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
                  RleRuleText().c_str(), suffix.c_str());
    Put(sink, text);

    RunLines out(sink);
    int64_t rowEnds = 0;  // row ends not yet written
    for (int y = empty ? 1 : box.top; !empty && y <= box.bottom; ++y) {
        const uint8_t* row = board.cells + std::size_t(y) * std::size_t(board.width);
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
    Put(sink, "!Name: " + title + kLineEnd);
    for (const std::string& line : DescriptionLines(board.description))
        Put(sink, "!" + line + kLineEnd);
    const Rect box = LiveBox(board);
    if (box.left > box.right) return;
    std::string line(std::size_t(box.right - box.left + 1), '.');
    line += kLineEnd;
    for (int y = box.top; y <= box.bottom; ++y) {
        const uint8_t* row = board.cells + std::size_t(y) * std::size_t(board.width);
        for (int x = box.left; x <= box.right; ++x)
            line[std::size_t(x - box.left)] = row[x] ? 'O' : '.';
        Put(sink, line);
    }
}

}  // namespace cellarium
