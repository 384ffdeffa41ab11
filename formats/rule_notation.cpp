#include "formats/rule_notation.h"

#include <cstring>

#include "engine/rules.h"

namespace cellarium {

void RuleTextParser::Reset() {
    digitSeen_ = false;
    firstSection_ = true;
    toSurvive_ = true;
    toBorn_ = false;
    inSuffix_ = false;
}

bool RuleTextParser::Feed(uint8_t ch) {
    if (ch == '\r' || ch == '\n') {
        if (!digitSeen_) {
            survive_[2] = survive_[3] = 1;
            born_[3] = 1;
        }
        return true;
    }
    if (inSuffix_) return false;
    switch (ch) {
        case ':':
            inSuffix_ = true;
            break;
        case '/':
        case '\\':
            if (firstSection_) {
                toSurvive_ = false;
                toBorn_ = true;
            } else {
                toSurvive_ = toBorn_ = false;
            }
            break;
        case 'S':
        case 's':
            toSurvive_ = true;
            toBorn_ = false;
            firstSection_ = false;
            break;
        case 'B':
        case 'b':
            toBorn_ = true;
            toSurvive_ = false;
            firstSection_ = false;
            break;
        default:
            if (ch >= '0' && ch <= '8') {
                const int d = ch - '0';
                if (toSurvive_) survive_[d] = 1;
                if (toBorn_) born_[d] = 1;
                digitSeen_ = true;
            }
            break;
    }
    return false;
}

namespace {

std::string Digits(const uint8_t* table) {
    std::string digits;
    for (int n = 0; n < kRuleEntries; ++n)
        if (table[n]) digits += char('0' + n);
    return digits;
}

}  // namespace

std::string FormatRuleText(const uint8_t* survive, const uint8_t* born) {
    return "s" + Digits(survive) + "/b" + Digits(born);
}

std::string FileRuleText(RuleForm form) {
    if (form == RuleForm::Lettered) return "B" + Digits(g_born) + "/S" + Digits(g_survive);
    return Digits(g_survive) + "/" + Digits(g_born);
}

std::string FormatRuleText() {
    return FormatRuleText(g_survive, g_born);
}

void MarksOf(const uint8_t* table, char buffer[10]) {
    for (int n = 0; n < kRuleEntries; ++n) buffer[n] = table[n] ? 'X' : '.';
    buffer[9] = '\0';
}

void BornMarks(char buffer[10]) {
    MarksOf(g_born, buffer);
}

void SurviveMarks(char buffer[10]) {
    MarksOf(g_survive, buffer);
}

const NamedRuleSet kNamedRuleSets[kNamedRuleSetCount + 1] = {
    {"Seeds", "..X......", "........."},         {"Lacy Patterns", "..XXX....", "........."},
    {"Mazes", "...X.....", ".XXXXX..."},         {"2x2 Life", "...X..X..", ".XX..X..."},
    {"Replicator", ".X.X.X.X.", ".X.X.X.X."},    {"Amoeba", "...X.X.X.", ".X.X.X..X"},
    {"Ink Blot", "...X..XXX", "..XX.XXXX"},      {"Coagulations", "...X...XX", "..XX.XXXX"},
    {"Broken Life", "...X.X.X.", "..XX....X"},   {"Stable", "...X..X.X", "..X.XX..."},
    {"Conway's Life", "...X.....", "..XX....."}, {"Highlife", "...X..X..", "..XX....."},
    {"34 Life", "...XX....", "...XX...."},       {"Day + Night", "...X..XXX", "...XX.XXX"},
    {"Longlife", "...XXX...", ".....X..."},      {"Diamoeba", "...X.XXXX", ".....XXXX"},
    {"Coral", "...X.....", "....XXXXX"},         {nullptr, nullptr, nullptr},
};

const NamedRuleSet* FindNamedRuleSet(const char* bornMarks, const char* surviveMarks) {
    for (const NamedRuleSet* row = kNamedRuleSets; row->name != nullptr; ++row)
        if (std::strcmp(row->bornMarks, bornMarks) == 0 &&
            std::strcmp(row->surviveMarks, surviveMarks) == 0)
            return row;
    return nullptr;
}

std::string FormatRulesLine(const std::string& displayForm, const char* bornMarks,
                            const char* surviveMarks) {
    const NamedRuleSet* row = FindNamedRuleSet(bornMarks, surviveMarks);
    return "Rules: " + displayForm + " (" + (row ? row->name : "Unnamed") + ")";
}

}  // namespace cellarium
