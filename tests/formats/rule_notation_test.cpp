#include "formats/rule_notation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <string>

using namespace cellarium;

namespace {

// The display form of what ParseRule makes of text, or "?" when it takes none.
std::string Parsed(const std::string& text) {
    const RuleParse p = ParseRule(text);
    return p.ok() ? FormatRuleText(p.rule) : "?";
}

RuleParse::Status StatusOf(const std::string& text) {
    return ParseRule(text).status;
}

}  // namespace

TEST(RuleText, AllNotationsOfConwayAgree) {
    for (const char* text :
         {"23/3", "S23/B3", "B3/S23", "s23b3", "b3s23", " B3 / S23 ", "b3_s23", "B3S23", "S23B3"})
        EXPECT_EQ(Parsed(text), "s23/b3") << text;
    EXPECT_EQ(Parsed("3/23"), "s3/b23");
    EXPECT_EQ(Parsed("0/8"), "s0/b8");
    EXPECT_EQ(Parsed("\\3"), "s/b3");
    EXPECT_EQ(Parsed("/"), "s/b");
    EXPECT_EQ(Parsed("B3/23"), "s23/b3");  // a B before the slash: born first
    EXPECT_EQ(Parsed("B36/S23"), "s23/b36");
    EXPECT_EQ(Parsed("B3"), "s/b3");
    EXPECT_EQ(Parsed("S23"), "s23/b");
}

TEST(RuleText, SuffixAfterColonIsKeptApart) {
    for (const char* text : {"B3/S23:P798,798", "23/3:T100,100"}) {
        const RuleParse p = ParseRule(text);
        ASSERT_TRUE(p.ok()) << text;
        EXPECT_EQ(FormatRuleText(p.rule), "s23/b3");
        EXPECT_EQ(p.suffix, std::string(text).substr(std::string(text).find(':')));
    }
    EXPECT_EQ(ParseRule("B3/S23").suffix, "");
}

TEST(RuleText, LettersAreCanonicalisedAsOtherLifeProgramsWriteThem) {
    struct {
        const char* in;
        const char* canonical;
    } cases[] = {
        {"B37/S2-i34q", "B37/S2-i34q"},
        {"b37s2-i34q", "B37/S2-i34q"},
        {"S2-i34q/B37", "B37/S2-i34q"},
        {"B37_S2-I34Q", "B37/S2-i34q"},
        {"S2-i34qB37", "B37/S2-i34q"},
        {"B2-a/S12", "B2-a/S12"},
        {"B2cekin/S12", "B2-a/S12"},     // five of six letters: the minus form
        {"B2cek/S1", "B2cek/S1"},        // three of six: as they are, in order
        {"B2kec/S1", "B2cek/S1"},        // letters in alphabetical order
        {"B2-ace/S", "B2ikn/S"},         // the minus form only where shorter
        {"B2aceikn/S", "B2/S"},          // every letter: the bare count
        {"B2-/S", ""},                   // a minus with no letter is no rule
        {"B4aceijkq/S", "B4aceijkq/S"},  // seven of thirteen: as long either way
        {"B4-aceijk/S", "B4nqrtwyz/S"},  // seven given as minus six
        {"B4-ace/S", "B4-ace/S"},
        {"B3aceijknqry/S23", "B3/S23"},  // nothing left but the totalistic rule
        {"B1c/S7e", "B1c/S7e"},
        {"B1ce/S", "B1/S"},
        {"B3/S23-a", "B3/S23-a"},  // the minus applies to its count only
    };
    for (const auto& c : cases) {
        const RuleParse p = ParseRule(c.in);
        if (c.canonical[0] == '\0') {
            EXPECT_EQ(p.status, RuleParse::Status::Malformed) << c.in;
            continue;
        }
        ASSERT_TRUE(p.ok()) << c.in << ": " << p.problem;
        EXPECT_EQ(RuleString(p.rule), c.canonical) << c.in;
        EXPECT_EQ(FileRuleText(p.rule, RuleForm::Lettered), c.canonical);
    }
    EXPECT_EQ(FileRuleText(ParseRule("B36/S23").rule, RuleForm::SurviveSlashBorn), "23/36");
    EXPECT_EQ(FileRuleText(ParseRule("B2-a/S12").rule, RuleForm::SurviveSlashBorn), "B2-a/S12");
    EXPECT_EQ(FormatRuleText(ParseRule("B2-a/S12").rule), "B2-a/S12");
}

TEST(RuleText, LettersAreTheFiftyOneClassesUnderTurnsAndMirrors) {
    // Every filling of the eight neighbours has a letter valid for its count;
    // the blocks of one letter are exactly one class of turns and mirror images.
    std::set<std::pair<int, char>> classes;
    for (unsigned block = 0; block < 512; ++block) {
        const int n = NeighbourCount(block);
        const char letter = HenselLetterOf(block);
        classes.insert({n, letter});
        if (n == 0 || n == 8) {
            EXPECT_EQ(letter, 0);
            continue;
        }
        ASSERT_NE(std::strchr(HenselLetters(n), letter), nullptr) << block;
        EXPECT_EQ(HenselLetterOf(TurnBlock(block)), letter);
        EXPECT_EQ(HenselLetterOf(MirrorBlock(block)), letter);
        EXPECT_EQ(HenselLetterOf(block ^ Rule::kCellBit), letter);
    }
    EXPECT_EQ(classes.size(), 51u);
    for (int n = 1; n < 8; ++n) EXPECT_STREQ(HenselLetters(n), HenselLetters(8 - n));
    // A few classes by their look: 2i the cells above and below, 3i a full
    // side, 4c the four corners, 4e the four edges, 2n opposite corners.
    EXPECT_EQ(HenselLetterOf(128 | 2), 'i');
    EXPECT_EQ(HenselLetterOf(256 | 128 | 64), 'i');
    EXPECT_EQ(HenselLetterOf(256 | 64 | 4 | 1), 'c');
    EXPECT_EQ(HenselLetterOf(128 | 32 | 8 | 2), 'e');
    EXPECT_EQ(HenselLetterOf(256 | 1), 'n');
}

TEST(RuleText, MapRulesReadAndWriteTheTableBitForBit) {
    std::mt19937_64 rng(29);
    for (int round = 0; round < 50; ++round) {
        Rule::Table table;
        for (uint64_t& word : table) word = rng();
        const Rule rule = Rule::FromTable(table);
        const std::string text = RuleString(rule);
        ASSERT_EQ(text.size(), 3u + 86u);
        const RuleParse back = ParseRule(text);
        ASSERT_TRUE(back.ok());
        EXPECT_TRUE(back.rule == rule);
        EXPECT_TRUE(ParseRule(text + "==").rule == rule);  // padding is allowed
        EXPECT_TRUE(ParseRule("map" + text.substr(3)).ok());
    }
    // The first character holds blocks 0 to 5, the highest bit first: "g" is
    // 32, block 0 (all dead) born; "B" is 1, block 5.
    const std::string tail(85, 'A');
    EXPECT_TRUE(ParseRule("MAPg" + tail).rule.Next(0));
    EXPECT_TRUE(ParseRule("MAPB" + tail).rule.Next(5));
    EXPECT_FALSE(ParseRule("MAPB" + tail).rule.Next(0));
    // An isotropic table is written with letters, a totalistic one with digits.
    Rule::Table life{};
    for (unsigned block = 0; block < 512; ++block)
        if (Rule().Next(block)) life[block >> 6] |= uint64_t(1) << (block & 63);
    EXPECT_EQ(RuleString(Rule::FromTable(life)), "B3/S23");
    EXPECT_EQ(StatusOf("MAP" + std::string(85, 'A')), RuleParse::Status::Malformed);
    EXPECT_EQ(StatusOf("MAP" + std::string(85, 'A') + "*"), RuleParse::Status::Malformed);
}

TEST(RuleText, OtherKindsOfRuleAreToldFromText) {
    using S = RuleParse::Status;
    struct {
        const char* text;
        S status;
        const char* kind;
    } cases[] = {
        {"345/3/6", S::OtherFamily, "Generations"},
        {"23/3/3", S::OtherFamily, "Generations"},
        {"B3/S23/C3", S::OtherFamily, "Generations"},
        {"R5,C0,M1,S34..58,B34..45,NM", S::OtherFamily, "Larger than Life"},
        {"B2/S34H", S::OtherFamily, "hexagonal"},
        {"B3/S23V", S::OtherFamily, "von Neumann"},
        {"W22", S::OtherFamily, "one-dimensional"},
        {"Codd", S::OtherFamily, "named"},
        {"LifeHistory", S::OtherFamily, "named"},
        {"Langtons-Loops", S::OtherFamily, "named"},
        {"JvN29", S::OtherFamily, "named"},
        {"MAPARYXfhZofugWaH7oaIDogB", S::OtherFamily, "hexagonal"},
        {"", S::Malformed, ""},
        {"B9/S23", S::Malformed, ""},
        {"B3/S2x", S::Malformed, ""},
        {"B3x", S::Malformed, ""},
        {"B3/S23 x", S::Malformed, ""},
        {"B0c/S", S::Malformed, ""},  // no letters at 0 or 8
        {"B1a/S", S::Malformed, ""},  // a is no letter of 1
        {"B2a-c/S", S::Malformed, ""},
        {"B2a2-c/S", S::Malformed, ""},  // letters with and without a minus
        {"B3/S//23", S::OtherFamily, "Generations"},
        {"B3/S2/a3", S::Malformed, ""},
        {"3", S::Malformed, ""},
        {"B3/B3", S::Malformed, ""},
    };
    for (const auto& c : cases) {
        const RuleParse p = ParseRule(c.text);
        EXPECT_EQ(p.status, c.status) << c.text;
        if (c.status == S::OtherFamily) {
            EXPECT_EQ(p.problem, c.kind) << c.text;
        } else {
            EXPECT_FALSE(p.problem.empty()) << c.text;
        }
    }
    EXPECT_EQ(RuleErrorMessage("Codd", ParseRule("Codd")),
              "'Codd' is a rule Cellarium cannot run: it runs two-state rules of the Life "
              "family.");
    EXPECT_EQ(RuleErrorMessage("B9/S23", ParseRule("B9/S23")),
              "'B9/S23' is not a rule: a cell has 8 neighbours, not 9.");
}

TEST(RuleText, LenientReadingKeepsWhatOlderFilesMeant) {
    auto shown = [](const char* text) { return FormatRuleText(LenientRule(text)); };
    EXPECT_EQ(shown("239/3"), "s23/b3");
    EXPECT_EQ(shown("9"), "s23/b3");  // no digit 0 to 8: Conway's
    EXPECT_EQ(shown(""), "s23/b3");
    EXPECT_EQ(shown("B36/S23:T100,100"), "s23/b36");
    EXPECT_EQ(shown("3/23"), "s3/b23");
}

TEST(NamedRules, EveryRowIsItsOwnCanonicalTextAndUnique) {
    std::set<std::string> names, notations;
    int lettered = 0;
    for (const NamedRule& row : NamedRules()) {
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
        EXPECT_TRUE(notations.insert(row.notation).second) << row.name;
        ASSERT_TRUE(ParseRule(row.notation).ok()) << row.name;
        EXPECT_EQ(RuleString(row.rule), row.notation) << row.name;
        EXPECT_EQ(FindNamedRule(row.rule), &row);
        lettered += !row.rule.IsTotalistic();
    }
    EXPECT_EQ(NamedRules().size(), 17u + lettered);
    EXPECT_GE(lettered, 4);
    EXPECT_LE(lettered, 6);
}

TEST(NamedRules, LookupAndSummaryLine) {
    EXPECT_STREQ(FindNamedRule(Rule::Totalistic(0b1001000, 0b1100))->name, "Highlife");
    EXPECT_EQ(FindNamedRule(Rule::Totalistic(0b1001000, 0b1001100)), nullptr);
    EXPECT_EQ(FormatRulesLine(Rule()), "Rules: s23/b3 (Conway's Life)");
    EXPECT_EQ(FormatRulesLine(Rule::Totalistic(0b100001000, 0b1100)), "Rules: s23/b38 (Unnamed)");
    EXPECT_EQ(FormatRulesLine(ParseRule("B3/S2-i34q").rule), "Rules: B3/S2-i34q (tlife)");
    EXPECT_EQ(FormatRulesLine(ParseRule("B3/S2-i34").rule), "Rules: B3/S2-i34 (Unnamed)");
    struct {
        const char* name;
        const char* display;
    } rows[] = {// Every totalistic set, as the older files' tables held them.
                {"Seeds", "s/b2"},
                {"Lacy Patterns", "s/b234"},
                {"Mazes", "s12345/b3"},
                {"2x2 Life", "s125/b36"},
                {"Replicator", "s1357/b1357"},
                {"Amoeba", "s1358/b357"},
                {"Ink Blot", "s235678/b3678"},
                {"Coagulations", "s235678/b378"},
                {"Broken Life", "s238/b357"},
                {"Stable", "s245/b368"},
                {"Conway's Life", "s23/b3"},
                {"Highlife", "s23/b36"},
                {"34 Life", "s34/b34"},
                {"Day + Night", "s34678/b3678"},
                {"Longlife", "s5/b345"},
                {"Diamoeba", "s5678/b35678"},
                {"Coral", "s45678/b3"}};
    for (auto e : rows) {
        const NamedRule* row = nullptr;
        for (const NamedRule& r : NamedRules())
            if (std::strcmp(r.name, e.name) == 0) row = &r;
        ASSERT_NE(row, nullptr) << e.name;
        EXPECT_EQ(FormatRuleText(row->rule), e.display);
    }
    char marks[10];
    MarksOf(0b1100, marks);
    EXPECT_STREQ(marks, "..XX.....");
    EXPECT_EQ(CountsOfMarks(marks), 0b1100);
}
