#include "formats/pattern_rule.h"

#include <cctype>

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

// Digits 0 to 8 into `table`; false on any other byte. Sets `digitSeen`.
bool TakeDigits(std::string_view digits, uint8_t* table, bool& digitSeen) {
    for (char c : digits) {
        if (c < '0' || c > '8') return false;
        table[c - '0'] = 1;
        digitSeen = true;
    }
    return true;
}

// The rule notations this program runs: B and S with their counts in
// either order, either case, joined by "/", "_" or nothing (B3/S23, s23/b3,
// b3s23), and survive counts "/" born counts (23/3). A text that gives no
// count at all is Conway's rule, as rule lines always were read.
bool ParseRunnableRule(std::string_view text, RuleTables& out) {
    RuleTables tables;
    bool digitSeen = false;
    const bool lettered = text.find_first_of("BbSs") != std::string_view::npos;
    if (lettered) {
        bool seen[2] = {false, false};  // B, S
        std::size_t i = 0;
        bool first = true;
        while (i < text.size()) {
            if (!first) {
                if (text[i] == '/' || text[i] == '_') ++i;
                if (i >= text.size()) return false;
            }
            const char letter = Lower(text[i]);
            if (letter != 'b' && letter != 's') return false;
            const int which = letter == 'b' ? 0 : 1;
            if (seen[which]) return false;
            seen[which] = true;
            std::size_t end = i + 1;
            while (end < text.size() && text[end] != '/' && text[end] != '_' &&
                   Lower(text[end]) != 'b' && Lower(text[end]) != 's')
                ++end;
            if (!TakeDigits(text.substr(i + 1, end - i - 1),
                            which == 0 ? tables.born : tables.survive, digitSeen))
                return false;
            i = end;
            first = false;
        }
    } else {
        const std::size_t slash = text.find('/');
        if (slash == std::string_view::npos) return false;
        if (!TakeDigits(text.substr(0, slash), tables.survive, digitSeen) ||
            !TakeDigits(text.substr(slash + 1), tables.born, digitSeen))
            return false;
    }
    out = digitSeen ? tables : ConwayTables();
    return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

}  // namespace

RuleTables ConwayTables() {
    RuleTables t;
    t.survive[2] = t.survive[3] = 1;
    t.born[3] = 1;
    return t;
}

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
    if (!ParseRunnableRule(text, rule.tables)) rule.kind = PatternRuleKind::Refused;
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
