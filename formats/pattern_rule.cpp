#include "formats/pattern_rule.h"

#include <cctype>

#include "formats/rule_notation.h"

namespace cellarium {
namespace {

std::string_view Trim(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

char Lower(char c) {
    return char(std::tolower(static_cast<unsigned char>(c)));
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

}  // namespace

PatternRule ClassifyPatternRule(std::string_view text) {
    PatternRule rule;
    text = Trim(text);
    const std::size_t colon = text.find(':');
    if (colon != std::string_view::npos) {
        rule.grid = std::string(Trim(text.substr(colon + 1)));
        text = Trim(text.substr(0, colon));
    }
    rule.name = std::string(text);
    if (text.empty()) return rule;
    if (EqualsIgnoringCase(text, "LifeHistory") || EqualsIgnoringCase(text, "HistoricalLife")) {
        rule.kind = PatternRuleKind::History;
        return rule;
    }
    // The rule table other Life programs ship under the name Life is
    // Conway's.
    if (text == "Life") return rule;
    // Every notation of formats/rule_notation.h: B/S, letters, MAP.
    const RuleParse parse = ParseRule(text);
    if (parse.ok())
        rule.rule = parse.rule;
    else
        rule.kind = PatternRuleKind::Refused;
    return rule;
}

std::string CannotRunRuleMessage(const std::string& rule) {
    return "This pattern is for the rule '" + rule +
           "', which Cellarium cannot run: it runs two-state rules of the Life family.";
}

std::string TooManyStatesMessage() {
    return "This pattern has cells of more than two states, which Cellarium cannot run: it runs "
           "two-state rules of the Life family.";
}

std::string GridNoteLine(const std::string& grid) {
    if (grid.empty()) return "";
    const char* shape = nullptr;
    switch (std::toupper(static_cast<unsigned char>(grid[0]))) {
        case 'P':
            return "";  // a bounded plane, as this board is
        case 'T':
            shape = "a torus";
            break;
        case 'K':
            shape = "a Klein bottle";
            break;
        case 'C':
            shape = "a cross-surface";
            break;
        case 'S':
            shape = "a sphere";
            break;
        default:
            shape = "a grid of another shape";
            break;
    }
    return "Written for " + std::string(shape) + " (" + grid +
           "): this board has a dead border instead.";
}

}  // namespace cellarium
