#include "formats/comment_lines.h"

namespace cellarium {
namespace {

void Wrap(const std::string& line, std::size_t width, std::vector<std::string>& out) {
    std::size_t start = 0;
    while (line.size() - start > width) {
        // The last space within reach that a non-space follows.
        std::size_t cut = std::string::npos;
        for (std::size_t p = start + width; p > start; --p) {
            if (line[p] == ' ' && p + 1 < line.size() && line[p + 1] != ' ') {
                cut = p;
                break;
            }
        }
        if (cut == std::string::npos) {
            out.push_back(line.substr(start, width));
            start += width;
        } else {
            out.push_back(line.substr(start, cut - start));
            start = cut + 1;
        }
    }
    if (start < line.size()) out.push_back(line.substr(start));
}

}  // namespace

std::vector<std::string> CommentLines(const std::string& description, std::size_t width) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < description.size(); ++i) {
        const char ch = description[i];
        if (ch == '\r' || ch == '\n') {
            lines.push_back(line);
            line.clear();
            if (ch == '\r' && i + 1 < description.size() && description[i + 1] == '\n') ++i;
        } else {
            line += ch;
        }
    }
    lines.push_back(line);
    while (!lines.empty() && lines.back().empty()) lines.pop_back();

    std::vector<std::string> out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out.emplace_back();
        Wrap(lines[i], width == 0 ? 1 : width, out);
    }
    return out;
}

std::string PrintableName(const std::string& name) {
    std::string printable;
    for (char ch : name) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte >= 0x20 && byte != 0x7F) printable += ch;
    }
    return printable;
}

}  // namespace cellarium
