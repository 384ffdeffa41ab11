#include "formats/pattern_writer.h"

#include <cstdio>
#include <string>
#include <vector>

#include "formats/comment_lines.h"
#include "formats/rule_notation.h"

namespace cellarium {
namespace {

// "#D " and at most 77 characters: 80 in all.
constexpr std::size_t kDescriptionWidth = 77;

}  // namespace

void WritePattern(const CellBoard& board, const Rule& rule, ByteSink& sink) {
    Put(sink, "#Life 1.05\r\n");
    const std::vector<std::string> lines = CommentLines(board.description, kDescriptionWidth);
    for (const std::string& line : lines) Put(sink, (line.empty() ? "#D" : "#D " + line) + "\r\n");
    // Without a description, an empty line (as files of the program have
    // always had it).
    if (lines.empty()) Put(sink, "\r\n");
    Put(sink, "#R " + FileRuleText(rule, RuleForm::SurviveSlashBorn));

    const Rect box = LiveCellBox(board);
    if (box.left > box.right) {
        // No live cell: a position at the centre, which reads back as an empty
        // pattern.
        Put(sink, "\r\n#P 0 0\r\n");
        return;
    }
    char position[64];
    std::snprintf(position, sizeof position, "\r\n#P %d %d\r\n", box.left - board.width / 2,
                  box.top - board.height / 2);
    Put(sink, position);

    std::string line(std::size_t(box.right - box.left + 1), '.');
    line += "\r\n";
    for (int y = box.top; y <= box.bottom; ++y) {
        const uint8_t* row = board.Cells() + std::size_t(y) * std::size_t(board.width);
        for (int x = box.left; x <= box.right; ++x)
            line[std::size_t(x - box.left)] = row[x] ? '*' : '.';
        Put(sink, line);
    }
}

}  // namespace cellarium
