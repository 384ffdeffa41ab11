// Rule notation: the parser for rule text in pattern files, the display form
// (s23/b3), the nine-character mark strings, the named rule sets and the rules
// summary line.
#pragma once

#include <cstdint>
#include <string>

namespace cellarium {

// Consumes rule text one byte at a time and sets entries of the two tables it
// was given. It only ever sets entries; clearing them before a rule text is
// the caller's step.
//
// Digits before the first "/" or "\" go to survive, after it to born, unless a
// letter S or B (either case) has been seen: from then on only the letters
// choose the table. A ":" ends the rule proper: what follows (a grid suffix
// such as ":P798,798" or ":T100,100") is ignored up to the line end.
class RuleTextParser {
public:
    RuleTextParser(uint8_t* survive, uint8_t* born) : survive_(survive), born_(born) {}

    // Back to the state at the start of a rule text.
    void Reset();

    // Returns true when the rule text has ended (ch is CR or LF); if no digit
    // was seen by then, Conway's rule is set.
    bool Feed(uint8_t ch);

    bool digitSeen() const { return digitSeen_; }

private:
    uint8_t* survive_;
    uint8_t* born_;
    bool digitSeen_ = false;
    bool firstSection_ = true;
    bool toSurvive_ = true;
    bool toBorn_ = false;
    bool inSuffix_ = false;
};

// The program-wide rule tables as pattern files give them: survive digits,
// "/", born digits ("23/3", Life 1.05's "#R" line), or "B3/S23" (run-length
// headers).
enum class RuleForm { SurviveSlashBorn, Lettered };
std::string FileRuleText(RuleForm form);

// "s" survive digits "/b" born digits, from the program-wide tables.
std::string FormatRuleText();
std::string FormatRuleText(const uint8_t* survive, const uint8_t* born);

// Nine "X"/"." marks, index 0 first, and a terminating zero.
void BornMarks(char buffer[10]);
void SurviveMarks(char buffer[10]);
void MarksOf(const uint8_t* table, char buffer[10]);

struct NamedRuleSet {
    const char* name;
    const char* bornMarks;
    const char* surviveMarks;
};

inline constexpr int kNamedRuleSetCount = 17;
// The 17 named rows followed by a closing row of nulls.
extern const NamedRuleSet kNamedRuleSets[kNamedRuleSetCount + 1];

// The first row whose marks equal both strings, or null.
const NamedRuleSet* FindNamedRuleSet(const char* bornMarks, const char* surviveMarks);

// "Rules: s23/b3 (Conway's Life)", or "(Unnamed)" for a rule with no name.
std::string FormatRulesLine(const std::string& displayForm, const char* bornMarks,
                            const char* surviveMarks);

}  // namespace cellarium
