#include "formats/macrocell.h"

#include <algorithm>

namespace cellarium {
namespace {

MacrocellTree::Box Join(MacrocellTree::Box a, const MacrocellTree::Box& b, int64_t dx, int64_t dy) {
    if (b.Empty()) return a;
    const MacrocellTree::Box moved{b.left + dx, b.top + dy, b.right + dx, b.bottom + dy};
    if (a.Empty()) return moved;
    return {std::min(a.left, moved.left), std::min(a.top, moved.top),
            std::max(a.right, moved.right), std::max(a.bottom, moved.bottom)};
}

// The numbers of a "level nw ne sw se" line; false unless it is exactly five
// numbers that fit.
bool Numbers(std::string_view line, int64_t (&out)[5]) {
    std::size_t i = 0;
    for (int64_t& value : out) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i >= line.size() || line[i] < '0' || line[i] > '9') return false;
        value = 0;
        for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
            value = value * 10 + (line[i] - '0');
            if (value > (int64_t(1) << 40)) return false;
        }
    }
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    return i == line.size();
}

}  // namespace

std::string MacrocellTree::AddLine(std::string_view line, const MacrocellStates& states) {
    if (nodes_.size() > kMaxNodes)
        return "This macrocell file has more nodes than Cellarium reads (" +
               std::to_string(kMaxNodes) + ").";
    const std::string damaged = "This macrocell file is damaged: line " +
                                std::to_string(nodes_.size()) + " of its nodes is not a node.";
    Node node;
    if (!line.empty() && (line[0] == '.' || line[0] == '*' || line[0] == '$')) {
        node.level = 3;
        node.isLeaf = true;
        int row = 0, column = 0;
        for (char c : line) {
            if (c == '$') {
                ++row;
                column = 0;
            } else if (c == '.' || c == '*') {
                if (row >= 8 || column >= 8) return damaged;
                if (c == '*') {
                    node.leaf |= uint64_t(1) << (row * 8 + column);
                    node.box = Join(node.box, Box{column, row, column, row}, 0, 0);
                }
                ++column;
            } else if (c != ' ' && c != '\t') {
                return damaged;
            }
        }
    } else {
        int64_t n[5];
        if (!Numbers(line, n) || n[0] < 1 || n[0] > kMaxLevel) return damaged;
        node.level = uint8_t(n[0]);
        if (node.level == 1) {
            // Cell states: nw, ne, sw, se.
            static constexpr int kAt[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
            for (int q = 0; q < 4; ++q) {
                const int64_t state = n[q + 1];
                bool live = state == 1;
                if (states.history) {
                    live = state == 1 || state == 3 || state == 5;
                    if (state > 6) tooManyStates_ = true;
                } else if (state > 1) {
                    tooManyStates_ = true;
                }
                if (tooManyStates_)
                    return "This pattern has cells of more than two states, which Cellarium "
                           "cannot run: it runs two-state rules of the Life family.";
                if (live) {
                    node.kids[q] = 1;
                    node.box =
                        Join(node.box, Box{kAt[q][0], kAt[q][1], kAt[q][0], kAt[q][1]}, 0, 0);
                }
            }
        } else {
            const int64_t half = int64_t(1) << (node.level - 1);
            for (int q = 0; q < 4; ++q) {
                const int64_t kid = n[q + 1];
                if (kid >= int64_t(nodes_.size())) return damaged;
                if (kid != 0 && nodes_[std::size_t(kid)].level != node.level - 1) return damaged;
                node.kids[q] = int32_t(kid);
                node.box = Join(node.box, nodes_[std::size_t(kid)].box, (q & 1) ? half : 0,
                                (q & 2) ? half : 0);
            }
        }
    }
    nodes_.push_back(node);
    return "";
}

MacrocellTree::Box MacrocellTree::LiveBox() const {
    if (!HasRoot()) return Box{};
    const Node& root = nodes_.back();
    const int64_t half = int64_t(1) << (root.level - 1);
    return Join(Box{}, root.box, -half, 1 - half);
}

void MacrocellTree::ForEachRun(
    const std::function<void(int64_t x, int64_t y, int64_t count)>& run) const {
    if (!HasRoot()) return;
    const int64_t half = int64_t(1) << (nodes_.back().level - 1);
    Visit(int32_t(nodes_.size() - 1), -half, 1 - half, run);
}

void MacrocellTree::Visit(int32_t id, int64_t x, int64_t y,
                          const std::function<void(int64_t, int64_t, int64_t)>& run) const {
    if (id == 0) return;
    const Node& node = nodes_[std::size_t(id)];
    if (node.box.Empty()) return;
    if (node.isLeaf) {
        for (int row = 0; row < 8; ++row) {
            const unsigned bits = unsigned(node.leaf >> (row * 8)) & 0xffu;
            for (int column = 0; column < 8;) {
                if (!(bits >> column & 1u)) {
                    ++column;
                    continue;
                }
                int end = column;
                while (end < 8 && (bits >> end & 1u)) ++end;
                run(x + column, y + row, end - column);
                column = end;
            }
        }
        return;
    }
    if (node.level == 1) {
        static constexpr int kAt[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
        for (int q = 0; q < 4; ++q)
            if (node.kids[q]) run(x + kAt[q][0], y + kAt[q][1], 1);
        return;
    }
    const int64_t half = int64_t(1) << (node.level - 1);
    for (int q = 0; q < 4; ++q)
        Visit(node.kids[q], x + ((q & 1) ? half : 0), y + ((q & 2) ? half : 0), run);
}

}  // namespace cellarium
