// A board whose cells sit between two guard areas, and the checks that every
// read of pattern text must pass on it. Shared by the reader's fuzz target and
// the regression tests that replay its findings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/cell_board.h"
#include "formats/byte_stream.h"
#include "formats/pattern_reader.h"
#include "formats/rule_notation.h"

namespace cellarium::testing {

class GuardedBoard {
public:
    static constexpr std::size_t kGuard = 4096;
    static constexpr uint8_t kCanary = 0xA5;
    static constexpr const char* kOldDescription = "description before the read";

    GuardedBoard(int width, int height) : board_(CellBoard::Create(width, height)) {
        storage_.assign(kGuard * 2 + board_->CellCount(), kCanary);
        own_ = board_->ExchangeCells(storage_.data() + kGuard);
    }
    // The storage is ours, not the board's: it takes its own cells back.
    ~GuardedBoard() { board_->ExchangeCells(own_); }
    GuardedBoard(const GuardedBoard&) = delete;
    GuardedBoard& operator=(const GuardedBoard&) = delete;

    CellBoard& board() { return *board_; }
    std::vector<uint8_t>& storage() { return storage_; }
    // The rule the last read gave.
    const Rule& rule() const { return rule_; }

    // Reads `bytes` and returns the first broken promise, or "" when all hold:
    // nothing written outside the cells; every cell 0 or 1; the bounds enclose
    // every live cell; the live count is the number of live cells; the rule
    // reads back from its canonical text; on success no message, no live border cell and a
    // trimmed description within the bound, on failure the "too big" message
    // and the old description.
    std::string ReadAndCheck(const uint8_t* bytes, std::size_t size, bool* result = nullptr) {
        CellBoard& b = *board_;
        b.description = kOldDescription;
        MemoryByteSource source(bytes, size);
        struct Keeper final : PatternReporter {
            void ShowMessage(const std::string& text) override { messages.push_back(text); }
            std::vector<std::string> messages;
        } reporter;
        const bool ok = ReadPattern(b, source, reporter, rule_);
        if (result) *result = ok;
        if (std::string problem = Check(); !problem.empty()) return problem;
        if (const RuleParse again = ParseRule(RuleString(rule_));
            !again.ok() || !(again.rule == rule_))
            return "canonical rule text does not read back: " + RuleString(rule_);
        if (ok) {
            if (!reporter.messages.empty()) return "message shown although the read succeeded";
            const std::string& d = b.description;
            if (!d.empty() && std::string(" \t\r\n").find(d.back()) != std::string::npos)
                return "description keeps trailing white space";
            if (d.size() > kMaxDescriptionBytes) return "description longer than the bound";
            for (int x = 0; x < b.width; ++x)
                if (b.At(x, 0) || b.At(x, b.height - 1)) return "live cell in the border";
            for (int y = 0; y < b.height; ++y)
                if (b.At(0, y) || b.At(b.width - 1, y)) return "live cell in the border";
        } else {
            // Too big (with the sizes after the board's own text), or a
            // refusal that says what the file is: a rule or states this
            // program does not run, an archive, damaged compressed data or a
            // damaged macrocell tree.
            const auto known = [&](const std::string& m) {
                return m.rfind(PatternTooBigMessage(b.width, b.height), 0) == 0 ||
                       m.find("Cellarium cannot run") != std::string::npos ||
                       m == ZipArchiveMessage() || m == DamagedCompressionMessage() ||
                       m.rfind("This macrocell file ", 0) == 0;
            };
            if (reporter.messages.size() != 1 || !known(reporter.messages[0]))
                return "failed read without exactly one of the reader's messages";
            if (result) messages = reporter.messages;
            if (b.description != kOldDescription) return "failed read changed the description";
        }
        return "";
    }

    // The board-level promises alone.
    std::string Check() const {
        const CellBoard& b = *board_;
        const std::size_t cells = b.CellCount();
        for (std::size_t i = 0; i < kGuard; ++i)
            if (storage_[i] != kCanary || storage_[kGuard + cells + i] != kCanary)
                return "write outside the board's cells";
        int64_t live = 0;
        for (int y = 0; y < b.height; ++y)
            for (int x = 0; x < b.width; ++x) {
                const uint8_t v = b.At(x, y);
                if (v > 1) return "cell value other than 0 or 1";
                if (v == 0) continue;
                ++live;
                if (x < b.bounds.left || x > b.bounds.right || y < b.bounds.top ||
                    y > b.bounds.bottom)
                    return "live cell " + std::to_string(x) + "," + std::to_string(y) +
                           " outside the bounds";
            }
        if (live != b.liveCount)
            return "live count " + std::to_string(b.liveCount) + " but " + std::to_string(live) +
                   " live cells";
        return "";
    }

    // The message of the last failed read (when asked for its result).
    std::vector<std::string> messages;

private:
    std::unique_ptr<CellBoard> board_;
    std::vector<uint8_t> storage_;
    uint8_t* own_ = nullptr;
    Rule rule_;
};

}  // namespace cellarium::testing
