// Rule notation: reading and writing the rules of the Life family as text.
//
// ParseRule reads every form Life users write a two-state rule on the eight
// neighbours in:
//   - totalistic B/S: "B3/S23", "b3s23", "S23/B3", "s23/b3", and "23/3"
//     (survive digits, "/", born digits);
//   - isotropic non-totalistic (Hensel) letters after a count: "B37/S2-i34q",
//     where the letters c e k a i n y q j r t w z name the ways a count's live
//     neighbours can lie, and a "-" after the count takes every way but the
//     letters that follow; "_" may stand for "/", and either case is read;
//   - "MAP" followed by the base64 of the 512-entry table (engine/rule.h).
// It tells a text that is no rule at all from one that names a rule of
// another kind (Generations, Larger than Life, hexagonal, von Neumann,
// one-dimensional, or a rule by name such as "Codd"), so that a caller can
// say which.
//
// RuleString writes a rule as other Life programs write it: "B3/S23", the
// letters of a count in alphabetical order and the minus form only where it
// is shorter, "MAP..." for a rule that is not isotropic.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/rule.h"

namespace cellarium {

struct RuleParse {
    enum class Status {
        Ok,           // `rule` holds the rule
        OtherFamily,  // a rule, but not a two-state rule on the eight neighbours
        Malformed,    // not a rule
    };
    Status status = Status::Malformed;
    Rule rule;
    // The text from the first ":" on (a bounded-grid suffix such as
    // ":P800,800"), as written; empty when there is none.
    std::string suffix;
    // With OtherFamily, the kind of rule ("Generations", "Larger than Life",
    // "hexagonal", "von Neumann", "one-dimensional", "named"); with Malformed,
    // what is wrong, as a sentence without a full stop.
    std::string problem;

    bool ok() const { return status == Status::Ok; }
};

// Reads rule text (spaces anywhere are ignored).
RuleParse ParseRule(std::string_view text);

// Rule text as older pattern files were read, for the text ParseRule does
// not take: digits before the first "/" or "\\" survive, after it are born,
// unless an S or a B (either case) came first, from which on only the letters
// choose; other bytes are skipped, and a text without a digit 0 to 8 is
// Conway's Life. A totalistic rule always.
Rule LenientRule(std::string_view text);

// The same reading a byte at a time, for rule text of any length.
class LenientRuleReader {
public:
    void Feed(char ch);
    Rule Result() const;

private:
    uint16_t survive_ = 0, born_ = 0;
    bool digitSeen_ = false, firstSection_ = true, toSurvive_ = true, toBorn_ = false;
    bool inSuffix_ = false;
};

// A message for a rule ParseRule did not take: "'B9/S23' is not a rule: ..."
// or "'Codd' is a rule Cellarium cannot run: it runs two-state rules of the
// Life family."
std::string RuleErrorMessage(std::string_view text, const RuleParse& parse);

// For rule text given where a board's rule is set (the runner's --rule, the
// module's rule=, the Rules dialog): empty when the text is a rule without
// a grid suffix, else what is wrong, as RuleErrorMessage says it.
std::string SetRuleProblem(std::string_view text);

// The canonical text: "B3/S23", "B2-a/S12", "MAP...".
std::string RuleString(const Rule& rule);

// The forms pattern files give a rule in: Lettered is RuleString,
// SurviveSlashBorn is "23/3" for a totalistic rule (Life 1.05's "#R" line)
// and RuleString for any other.
enum class RuleForm { SurviveSlashBorn, Lettered };
std::string FileRuleText(const Rule& rule, RuleForm form);

// The display form: "s23/b3" for a totalistic rule, RuleString otherwise.
std::string FormatRuleText(const Rule& rule);

// Nine "X"/"." marks of a count set (bit n for n neighbours), index 0 first,
// and a terminating zero.
void MarksOf(uint16_t counts, char buffer[10]);
// The counts the marks set.
uint16_t CountsOfMarks(const char* marks);

struct NamedRule {
    const char* name;
    const char* notation;  // as RuleString writes it
    Rule rule;
};

// The named rules, totalistic ones first, in a fixed order.
const std::vector<NamedRule>& NamedRules();
// The named rule equal to `rule`, or null.
const NamedRule* FindNamedRule(const Rule& rule);

// "Rules: s23/b3 (Conway's Life)", or "(Unnamed)" for a rule with no name.
std::string FormatRulesLine(const Rule& rule);

// The ways n live neighbours can lie, as Hensel letters in alphabetical
// order: "" for 0 and 8, "ce" for 1 and 7, ... "aceijknqrtwyz" for 4.
const char* HenselLetters(int count);
// The letter of the way the neighbours of `block` lie (0 for counts 0 and 8).
char HenselLetterOf(unsigned block);

}  // namespace cellarium
