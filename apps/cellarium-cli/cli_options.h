// Command-line contract of cellarium-cli. Parsing is kept apart from running
// so that it can be tested and fuzzed on its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/rule.h"

namespace cellarium {

// The generations of --until-cycle without -g: until the run repeats.
inline constexpr long long kUnlimitedGenerations = -1;

struct CliOptions {
    int width = 800;
    int height = 800;
    long long generations = 0;  // kUnlimitedGenerations: no limit
    bool untilStagnation = false;
    bool untilCycle = false;
    bool identify = false;
    bool census = false;  // print the objects the final board leaves
    // --hash-soup ROOT:INDEX: the census soup of that root and index.
    std::optional<std::string> hashSoupRoot;
    uint64_t hashSoupIndex = 0;
    std::optional<std::string> rule;
    bool soup = false;
    double soupDensity = 0.0;
    std::optional<uint64_t> soupSeed;
    std::optional<std::string> savePath;
    std::optional<std::string> gifPath;
    std::optional<std::string> palette;
    std::optional<std::string> statsPath;
    std::vector<std::string> columns;  // empty: the default columns
    bool printCells = false;
    bool progress = false;
    std::optional<int> threads;  // step threads, 1..256; unset: the machine's cores
    bool quiet = false;
    bool help = false;
    std::optional<std::string> pattern;  // a path, or "-" for standard input
};

enum class ParseStatus { Ok, Help, UsageError };

// Parses argv[1..argc-1] with the usual forms of a command line ("-g5",
// "-g 5", "--generations=5", "-qg5", "--" before a pattern that starts with
// "-"). On a usage error, error holds a one-line message. Never throws and
// never ends the program.
ParseStatus ParseCliOptions(const std::vector<std::string>& args, CliOptions& options,
                            std::string& error);

// What --save writes, by the file's extension (either case): ".rle" RLE,
// ".cells" plaintext, anything else Life 1.05 as Save does; "-" RLE to
// standard output.
enum class SaveFormat { Life105, Rle, Plaintext, RleToStandardOutput };
SaveFormat SaveFormatFor(const std::string& path);

// Rule text as the runner accepts it: any rule ParseRule takes
// (formats/rule_notation.h). Empty when it does, otherwise the message.
std::string RuleTextProblem(const std::string& text);

// The rule an accepted text gives.
Rule RuleFromText(const std::string& text);

// The help text, generated from the same option definitions the parser uses.
std::string CliUsage();

}  // namespace cellarium
