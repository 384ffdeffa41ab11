#include "formats/rule_notation.h"

#include <array>
#include <cctype>
#include <cstring>

namespace cellarium {

namespace {

// The neighbours as block bits (engine/rule.h).
constexpr unsigned NW = 256, N = 128, NE = 64, W = 32, E = 8, SW = 4, S = 2, SE = 1;
constexpr unsigned kNeighbours = 0x1EF;

// One way each letter's neighbours can lie, for counts 1 to 4; every turn
// and mirror image of it is the same letter. Counts 5 to 7 take the letter of
// the dead neighbours' way: 5c is the complement of 3c.
struct LetterWay {
    int count;
    char letter;
    unsigned neighbours;
};
constexpr LetterWay kWays[] = {
    {1, 'c', SE},
    {1, 'e', S},
    {2, 'c', SW | SE},
    {2, 'e', E | S},
    {2, 'a', S | SE},
    {2, 'i', W | E},
    {2, 'k', W | SE},
    {2, 'n', NE | SW},
    {3, 'c', NE | SW | SE},
    {3, 'e', W | E | S},
    {3, 'a', E | S | SE},
    {3, 'i', SW | S | SE},
    {3, 'k', NE | W | S},
    {3, 'n', E | SW | SE},
    {3, 'j', E | SW | S},
    {3, 'q', NE | SW | S},
    {3, 'r', W | E | SE},
    {3, 'y', NE | W | SE},
    {4, 'c', NW | NE | SW | SE},
    {4, 'e', N | W | E | S},
    {4, 'a', E | SW | S | SE},
    {4, 'i', W | E | SW | SE},
    {4, 'k', NE | W | S | SE},
    {4, 'n', NE | SW | S | SE},
    {4, 'j', NE | W | E | S},
    {4, 'q', NE | W | SW | S},
    {4, 'r', W | E | S | SE},
    {4, 'y', NE | W | SW | SE},
    {4, 't', NE | W | E | SE},
    {4, 'w', NE | E | SW | S},
    {4, 'z', NE | W | E | SW},
};

const char* const kLetters[9] = {
    "", "ce", "aceikn", "aceijknqry", "aceijknqrtwyz", "aceijknqry", "aceikn", "ce", ""};

int LetterIndex(int count, char letter) {
    const char* at = std::strchr(kLetters[count], letter);
    return letter != 0 && at != nullptr ? int(at - kLetters[count]) : -1;
}

// For each filling of the eight neighbours (the cell's bit clear): the index
// of its letter in kLetters[count].
struct LetterTable {
    std::array<int8_t, 512> index{};
    LetterTable() {
        index.fill(-1);
        for (unsigned block = 0; block < 512; ++block) {
            const int n = NeighbourCount(block);
            if (n == 0 || n == 8) index[block] = 0;
        }
        for (const LetterWay& way : kWays) {
            for (const bool complement : {false, true}) {
                if (complement && way.count == 4) continue;
                const int count = complement ? 8 - way.count : way.count;
                unsigned block = complement ? kNeighbours & ~way.neighbours : way.neighbours;
                const int8_t letter = int8_t(LetterIndex(count, way.letter));
                for (int mirror = 0; mirror < 2; ++mirror) {
                    for (int turn = 0; turn < 4; ++turn) {
                        index[block] = index[block | Rule::kCellBit] = letter;
                        block = TurnBlock(block);
                    }
                    block = MirrorBlock(block);
                }
            }
        }
    }
};

const LetterTable& Letters() {
    static const LetterTable table;
    return table;
}

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kMapChars = 86;  // 512 bits, six a character

void SetBit(Rule::Table& table, unsigned block, bool on) {
    const uint64_t bit = uint64_t(1) << (block & 63);
    if (on)
        table[block >> 6] |= bit;
    else
        table[block >> 6] &= ~bit;
}

RuleParse Other(const char* kind) {
    RuleParse p;
    p.status = RuleParse::Status::OtherFamily;
    p.problem = kind;
    return p;
}

RuleParse Bad(std::string problem) {
    RuleParse p;
    p.status = RuleParse::Status::Malformed;
    p.problem = std::move(problem);
    return p;
}

RuleParse ParseMap(const std::string& body) {
    std::string code = body.substr(3);
    if (code.size() >= 2 && code.compare(code.size() - 2, 2, "==") == 0)
        code.resize(code.size() - 2);
    if (code.size() == 22) return Other("hexagonal");
    if (code.size() == 6) return Other("von Neumann");
    if (code.size() != std::size_t(kMapChars))
        return Bad("a MAP rule has 86 base64 characters after \"MAP\"");
    Rule::Table table{};
    unsigned block = 0;
    for (char ch : code) {
        const char* at = ch != 0 ? std::strchr(kBase64, ch) : nullptr;
        if (at == nullptr) return Bad(std::string("'") + ch + "' is not a base64 character");
        const unsigned value = unsigned(at - kBase64);
        for (int b = 5; b >= 0 && block < 512; --b, ++block)
            SetBit(table, block, (value >> b) & 1u);
    }
    RuleParse p;
    p.status = RuleParse::Status::Ok;
    p.rule = Rule::FromTable(table);
    return p;
}

// One part, born or survive ("3", "2-i34q"), into the table for dead cells
// (cell false) or live ones. Empty on success, otherwise what is wrong.
std::string ParsePart(std::string_view part, bool cell, Rule::Table& table) {
    const LetterTable& letters = Letters();
    std::size_t i = 0;
    bool positive[9] = {}, negative[9] = {};
    while (i < part.size()) {
        const char ch = part[i];
        if (ch < '0' || ch > '9') {
            if (ch == '-') return "a minus follows a count";
            return std::string("'") + ch + "' does not follow a count";
        }
        if (ch == '9') return "a cell has 8 neighbours, not 9";
        const int count = ch - '0';
        ++i;
        bool minus = false;
        if (i < part.size() && part[i] == '-') {
            minus = true;
            ++i;
        }
        unsigned chosen = 0;  // bit k: letter k of the count
        while (i < part.size() && std::isalpha(static_cast<unsigned char>(part[i]))) {
            const int k = LetterIndex(count, part[i]);
            if (k < 0)
                return std::string("'") + part[i] + "' is not a letter of " + char('0' + count);
            chosen |= 1u << k;
            ++i;
        }
        if (minus && chosen == 0) return "a minus is followed by no letter";
        bool& used = chosen != 0 && !minus ? positive[count] : negative[count];
        if (chosen != 0 || minus) used = true;
        if (positive[count] && negative[count])
            return std::string("letters of ") + char('0' + count) +
                   " are given both with and without a minus";
        const bool all = chosen == 0;
        for (unsigned block = 0; block < 512; ++block) {
            if (((block & Rule::kCellBit) != 0) != cell || NeighbourCount(block) != count) continue;
            const bool listed = all || ((chosen >> letters.index[block]) & 1u);
            if (listed != minus || all) SetBit(table, block, true);
        }
    }
    return {};
}

}  // namespace

const char* HenselLetters(int count) {
    return count >= 0 && count <= 8 ? kLetters[count] : "";
}

char HenselLetterOf(unsigned block) {
    const int n = NeighbourCount(block);
    if (n == 0 || n == 8) return 0;
    return kLetters[n][Letters().index[block & 0x1FF]];
}

void LenientRuleReader::Feed(char ch) {
    if (inSuffix_) return;
    switch (ch) {
        case ':':
            inSuffix_ = true;
            break;
        case '/':
        case '\\':
            toBorn_ = firstSection_;
            toSurvive_ = false;
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
                const uint16_t bit = uint16_t(1u << (ch - '0'));
                if (toSurvive_) survive_ |= bit;
                if (toBorn_) born_ |= bit;
                digitSeen_ = true;
            }
            break;
    }
}

Rule LenientRuleReader::Result() const {
    return digitSeen_ ? Rule::Totalistic(born_, survive_) : Rule();
}

Rule LenientRule(std::string_view text) {
    LenientRuleReader reader;
    for (char ch : text) reader.Feed(ch);
    return reader.Result();
}

RuleParse ParseRule(std::string_view text) {
    std::string raw, body;  // before any ":", without spaces; body in lower case
    std::string suffix;
    const std::size_t colon = text.find(':');
    if (colon != std::string_view::npos) suffix = std::string(text.substr(colon));
    for (char ch : text.substr(0, colon))
        if (ch != ' ' && ch != '\t') raw += ch;
    for (char ch : raw) body += char(std::tolower(static_cast<unsigned char>(ch)));
    RuleParse parse = [&]() -> RuleParse {
        if (body.empty()) return Bad("it is empty");
        if (body.compare(0, 3, "map") == 0) return ParseMap(raw);
        const std::size_t firstNotDigit = body.find_first_not_of("0123456789", 1);
        if (body[0] == 'w' && body.size() > 1 && firstNotDigit == std::string::npos)
            return Other("one-dimensional");
        if (body[0] == 'r' && body.size() > 1 &&
            std::isdigit(static_cast<unsigned char>(body[1])) &&
            body.find(',') != std::string::npos)
            return Other("Larger than Life");
        std::size_t separators = 0;
        for (char ch : body) separators += ch == '/' || ch == '_' || ch == '\\';
        if (separators >= 2) {
            if (body.find_first_not_of("0123456789bscg/_\\") == std::string::npos)
                return Other("Generations");
            return Bad("it has more than one \"/\"");
        }
        if (body.find_first_not_of("0123456789bs/_\\") == std::string::npos &&
            (body.find('c') != std::string::npos || body.find('g') != std::string::npos))
            return Other("Generations");
        // A rule by name ("Codd", "LifeHistory", "Langtons-Loops"): a word
        // that is no attempt at B/S notation.
        const bool named =
            std::isalpha(static_cast<unsigned char>(body[0])) &&
            !((body[0] == 'b' || body[0] == 's') && body.size() > 1 &&
              std::isdigit(static_cast<unsigned char>(body[1]))) &&
            body.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-+_") == std::string::npos;

        // Split into the born and the survive part.
        std::string_view b(body);
        char family = 0;  // 'h' or 'v' at the end: another neighbourhood
        if (b.size() > 1 && (b.back() == 'h' || b.back() == 'v')) {
            family = b.back();
            b.remove_suffix(1);
        }
        const std::size_t bAt = b.find('b'), sAt = b.find('s');
        if ((bAt != std::string_view::npos && b.find('b', bAt + 1) != std::string_view::npos) ||
            (sAt != std::string_view::npos && b.find('s', sAt + 1) != std::string_view::npos))
            return named ? Other("named") : Bad("it has more than one B or S");
        std::string_view born, survive;
        const std::size_t slash = b.find_first_of("/_\\");
        auto strip = [](std::string_view part, char letter, bool& bad) {
            if (!part.empty() && part[0] == letter) return part.substr(1);
            if (part.find(letter) != std::string_view::npos) bad = true;
            return part;
        };
        bool bad = false;
        if (slash != std::string_view::npos) {
            std::string_view left = b.substr(0, slash), right = b.substr(slash + 1);
            const bool bornFirst = (bAt != std::string_view::npos && bAt < slash) ||
                                   (sAt != std::string_view::npos && sAt > slash);
            if (bAt != std::string_view::npos && sAt != std::string_view::npos &&
                (bAt < slash) == (sAt < slash))
                bad = true;
            if (bornFirst) {
                born = strip(left, 'b', bad);
                survive = strip(right, 's', bad);
            } else {
                survive = strip(left, 's', bad);
                born = strip(right, 'b', bad);
            }
        } else if (bAt != std::string_view::npos || sAt != std::string_view::npos) {
            if (bAt != 0 && sAt != 0) bad = true;
            if (bAt == 0) {
                born =
                    b.substr(1, sAt == std::string_view::npos ? std::string_view::npos : sAt - 1);
                if (sAt != std::string_view::npos) survive = b.substr(sAt + 1);
            } else if (sAt == 0) {
                survive =
                    b.substr(1, bAt == std::string_view::npos ? std::string_view::npos : bAt - 1);
                if (bAt != std::string_view::npos) born = b.substr(bAt + 1);
            }
        } else {
            if (named) return Other("named");
            return Bad("it has neither a \"/\" nor a B or an S");
        }
        if (bad) return named ? Other("named") : Bad("B and S must start the two parts");
        Rule::Table table{};
        std::string problem = ParsePart(born, false, table);
        if (problem.empty()) problem = ParsePart(survive, true, table);
        if (!problem.empty()) return named ? Other("named") : Bad(problem);
        if (family == 'h') return Other("hexagonal");
        if (family == 'v') return Other("von Neumann");
        RuleParse p;
        p.status = RuleParse::Status::Ok;
        p.rule = Rule::FromTable(table);
        return p;
    }();
    parse.suffix = std::move(suffix);
    return parse;
}

std::string RuleErrorMessage(std::string_view text, const RuleParse& parse) {
    const std::string quoted = "'" + std::string(text) + "'";
    if (parse.status == RuleParse::Status::OtherFamily)
        return quoted +
               " is a rule Cellarium cannot run: it runs two-state rules of the Life family.";
    return quoted + " is not a rule: " + parse.problem + ".";
}

std::string SetRuleProblem(std::string_view text) {
    const RuleParse parse = ParseRule(text);
    if (!parse.ok()) return RuleErrorMessage(text, parse);
    if (parse.suffix.empty()) return std::string();
    // A board has the edges it has: a grid suffix would say otherwise.
    return "'" + std::string(text) +
           "' is not a rule: the board's edges are its own, so leave out \"" + parse.suffix + "\".";
}

namespace {

// One part of RuleString: for each count, the digit and its letters.
std::string PartString(const Rule& rule, bool cell) {
    const LetterTable& letters = Letters();
    std::string out;
    for (int n = 0; n <= 8; ++n) {
        const int ways = n == 0 || n == 8 ? 1 : int(std::strlen(kLetters[n]));
        unsigned on = 0;
        for (unsigned block = 0; block < 512; ++block)
            if (((block & Rule::kCellBit) != 0) == cell && NeighbourCount(block) == n &&
                rule.Next(block))
                on |= 1u << letters.index[block];
        const int set = __builtin_popcount(on);
        if (set == 0) continue;
        out += char('0' + n);
        if (set == ways) continue;
        // The minus form where it is strictly shorter: 1 + (ways - set) < set.
        const bool minus = 1 + (ways - set) < set;
        if (minus) out += '-';
        for (int k = 0; k < ways; ++k)
            if ((((on >> k) & 1u) != 0) != minus) out += kLetters[n][k];
    }
    return out;
}

}  // namespace

std::string RuleString(const Rule& rule) {
    if (!rule.IsIsotropic()) {
        std::string out = "MAP";
        unsigned block = 0;
        for (int c = 0; c < kMapChars; ++c) {
            unsigned value = 0;
            for (int b = 5; b >= 0; --b, ++block)
                if (block < 512 && rule.Next(block)) value |= 1u << b;
            out += kBase64[value];
        }
        return out;
    }
    return "B" + PartString(rule, false) + "/S" + PartString(rule, true);
}

namespace {

std::string Digits(uint16_t counts) {
    std::string digits;
    for (int n = 0; n <= 8; ++n)
        if ((counts >> n) & 1u) digits += char('0' + n);
    return digits;
}

}  // namespace

std::string FileRuleText(const Rule& rule, RuleForm form) {
    if (form == RuleForm::SurviveSlashBorn && rule.IsTotalistic())
        return Digits(rule.SurviveCounts()) + "/" + Digits(rule.BornCounts());
    return RuleString(rule);
}

std::string FormatRuleText(const Rule& rule) {
    if (!rule.IsTotalistic()) return RuleString(rule);
    return "s" + Digits(rule.SurviveCounts()) + "/b" + Digits(rule.BornCounts());
}

void MarksOf(uint16_t counts, char buffer[10]) {
    for (int n = 0; n < 9; ++n) buffer[n] = (counts >> n) & 1u ? 'X' : '.';
    buffer[9] = '\0';
}

uint16_t CountsOfMarks(const char* marks) {
    uint16_t counts = 0;
    for (int n = 0; n < 9 && marks[n] != '\0'; ++n)
        if (marks[n] == 'X') counts |= uint16_t(1u << n);
    return counts;
}

const std::vector<NamedRule>& NamedRules() {
    static const std::vector<NamedRule> rules = [] {
        static const std::pair<const char*, const char*> kRows[] = {
            {"Seeds", "B2/S"},
            {"Lacy Patterns", "B234/S"},
            {"Mazes", "B3/S12345"},
            {"2x2 Life", "B36/S125"},
            {"Replicator", "B1357/S1357"},
            {"Amoeba", "B357/S1358"},
            {"Ink Blot", "B3678/S235678"},
            {"Coagulations", "B378/S235678"},
            {"Broken Life", "B357/S238"},
            {"Stable", "B368/S245"},
            {"Conway's Life", "B3/S23"},
            {"Highlife", "B36/S23"},
            {"34 Life", "B34/S34"},
            {"Day + Night", "B3678/S34678"},
            {"Longlife", "B345/S5"},
            {"Diamoeba", "B35678/S5678"},
            {"Coral", "B3/S45678"},
            // Isotropic non-totalistic rules, by the names Life users know
            // them by.
            {"tlife", "B3/S2-i34q"},
            {"Just Friends", "B2-a/S12"},
            {"Salad", "B2i34c/S2-i3"},
            {"Snowflakes", "B2ci3ai4c8/S02ae3eijkq4iz5ar6i7e"},
        };
        std::vector<NamedRule> out;
        for (const auto& [name, notation] : kRows)
            out.push_back({name, notation, ParseRule(notation).rule});
        return out;
    }();
    return rules;
}

const NamedRule* FindNamedRule(const Rule& rule) {
    for (const NamedRule& row : NamedRules())
        if (row.rule == rule) return &row;
    return nullptr;
}

std::string FormatRulesLine(const Rule& rule) {
    const NamedRule* row = FindNamedRule(rule);
    return "Rules: " + FormatRuleText(rule) + " (" + (row ? row->name : "Unnamed") + ")";
}

}  // namespace cellarium
