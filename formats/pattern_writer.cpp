#include "formats/pattern_writer.h"

#include <cstdio>
#include <string>

#include "engine/rules.h"

namespace cellarium {
namespace {

constexpr std::size_t kLineLimit = 80;
const std::string kDescPrefix = "#D ";

void Put(ByteSink& sink, const std::string& text) {
    sink.Write(text.data(), text.size());
}

bool IsBreakCharacter(char ch) {
    return ch == ' ' || ch == '!' || ch == ')' || ch == ',' || ch == '.' || ch == ';';
}

// The description as "#D" lines. The last line goes out without its line end:
// the rule line that follows begins with one.
void WriteDescription(const std::string& text, ByteSink& sink) {
    std::string line = kDescPrefix;
    std::string word;
    for (char ch : text) {
        if (ch == '\n') {
            line += word;
            line += "\r\n";
            Put(sink, line);
            line = kDescPrefix;
            word.clear();
        } else if (ch == '\r') {
            // Dropped: only LF ends a line of the description.
        } else if (IsBreakCharacter(ch)) {
            if (word.size() + line.size() > kLineLimit) {
                line += "\r\n";
                Put(sink, line);
                line = kDescPrefix + word + ch;
            } else {
                line += word;
                line += ch;
            }
            word.clear();
        } else {
            word += ch;
        }
    }
    line += word;
    if (line.size() > kDescPrefix.size()) Put(sink, line);
}

void WriteRules(ByteSink& sink) {
    std::string line = "\r\n#R ";
    for (int n = 0; n < kRuleEntries; ++n)
        if (g_survive[n]) line += char('0' + n);
    line += '/';
    for (int n = 0; n < kRuleEntries; ++n)
        if (g_born[n]) line += char('0' + n);
    Put(sink, line);
}

}  // namespace

void WritePattern(const CellBoard& board, ByteSink& sink) {
    Put(sink, "#Life 1.05\r\n");
    WriteDescription(board.description, sink);
    WriteRules(sink);

    const int w = board.width, h = board.height;
    int minCol = w, minRow = h, maxCol = 0, maxRow = 0;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = board.cells + std::size_t(y) * std::size_t(w);
        for (int x = 0; x < w; ++x) {
            if (row[x] == 0) continue;
            if (x < minCol) minCol = x;
            if (x > maxCol) maxCol = x;
            if (y < minRow) minRow = y;
            if (y > maxRow) maxRow = y;
        }
    }

    if (minRow > maxRow) {
        // No live cell: a position at the centre, which reads back as an empty
        // pattern (a position past the last row would fail to load).
        Put(sink, "\r\n#P 0 0\r\n");
        return;
    }
    char position[64];
    std::snprintf(position, sizeof position, "\r\n#P %d %d\r\n", minCol - w / 2, minRow - h / 2);
    Put(sink, position);

    std::string line(std::size_t(maxCol - minCol + 1), '.');
    line += "\r\n";
    for (int y = minRow; y <= maxRow; ++y) {
        const uint8_t* row = board.cells + std::size_t(y) * std::size_t(w);
        for (int x = minCol; x <= maxCol; ++x) line[std::size_t(x - minCol)] = row[x] ? '*' : '.';
        Put(sink, line);
    }
}

}  // namespace cellarium
