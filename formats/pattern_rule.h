// What the rule text of a pattern file ("rule = ..." in a run-length header,
// "#R" in Life 1.05, "#R" in a macrocell file) asks for, as far as the reader
// is concerned: a rule this program runs, LifeHistory (Conway's rule with
// marking states the reader drops), or a rule it cannot run, which the reader
// refuses with a message that names it. Anything after a ":" is the grid the
// file was written for.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/rule.h"

namespace cellarium {

enum class PatternRuleKind : uint8_t {
    Runs,     // a two-state eight-neighbour rule: `rule`
    History,  // LifeHistory or HistoricalLife: Conway's rule; states A, C, E live
    Refused,  // anything else: `name` says what
};

struct PatternRule {
    PatternRuleKind kind = PatternRuleKind::Runs;
    Rule rule;
    std::string name;  // the rule as the file writes it, without the grid
    std::string grid;  // what followed the ":" ("T100,100"), or empty
};

// Sorts out one rule text (white space around it is dropped). Text with no
// rule at all ("" or only white space) is Conway's rule, as it always was.
PatternRule ClassifyPatternRule(std::string_view text);

// The longest rule text kept; a longer one is refused, named by its start.
inline constexpr std::size_t kMaxRuleTextBytes = 512;

// "This pattern is for the rule 'Codd', which Cellarium cannot run: it runs
// two-state rules of the Life family."
std::string CannotRunRuleMessage(const std::string& rule);

// The message for cells of more than two states under a two-state rule.
std::string TooManyStatesMessage();

// The one line File Information shows for a grid other than a bounded
// plane ("T100,100": a torus), or "" for none or a plane.
std::string GridNoteLine(const std::string& grid);

}  // namespace cellarium
