#include "formats/rule_notation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/rules.h"

using namespace cellarium;

namespace {

// Clears the tables and feeds one rule text followed by a line end, as the
// reader does for a "#R" line.
std::string Parse(const std::string& text) {
    ClearRules();
    RuleTextParser parser(g_survive, g_born);
    for (char c : text) EXPECT_FALSE(parser.Feed(uint8_t(c)));
    EXPECT_TRUE(parser.Feed('\r'));
    return FormatRuleText();
}

}  // namespace

TEST(RuleText, AllNotationsOfConwayAgree) {
    for (const char* text : {"23/3", "S23/B3", "B3/S23", "s23b3", "b3s23", "rule = B3/S23"})
        EXPECT_EQ(Parse(text), "s23/b3") << text;
}

TEST(RuleText, UnletteredTextPutsSurviveFirstAndNineIsIgnored) {
    EXPECT_EQ(Parse("3/23"), "s3/b23");
    EXPECT_EQ(Parse("239/3"), "s23/b3");
    EXPECT_EQ(Parse("0/8"), "s0/b8");
    EXPECT_EQ(Parse("\\3"), "s/b3");
}

TEST(RuleText, SlashAfterLetteredSectionSendsDigitsNowhere) {
    EXPECT_EQ(Parse("B3/23"), "s/b3");
    EXPECT_EQ(Parse("B36/S23"), "s23/b36");
}

TEST(RuleText, NoDigitsGiveConway) {
    EXPECT_EQ(Parse(""), "s23/b3");
    EXPECT_EQ(Parse("rule = "), "s23/b3");
    EXPECT_EQ(Parse("9"), "s23/b3");
}

TEST(RuleText, GridSuffixAfterColonIsIgnored) {
    EXPECT_EQ(Parse("B3/S23:P798,798"), "s23/b3");
    EXPECT_EQ(Parse("B36/S23:T100,100"), "s23/b36");
    EXPECT_EQ(Parse("23/3:T100,100"), "s23/b3");
}

TEST(RuleText, ResetGivesFreshFlagsForASecondText) {
    ClearRules();
    RuleTextParser parser(g_survive, g_born);
    for (char c : std::string("B3/S23\n")) parser.Feed(uint8_t(c));
    ClearRules();
    parser.Reset();
    for (char c : std::string("23/36\n")) parser.Feed(uint8_t(c));
    EXPECT_EQ(FormatRuleText(), "s23/b36");
}

TEST(RuleText, DisplayFormOfEmptyAndFullTables) {
    uint8_t none[9] = {}, all[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(FormatRuleText(none, none), "s/b");
    EXPECT_EQ(FormatRuleText(all, all), "s012345678/b012345678");
}

TEST(NamedRuleSets, EveryRowRoundTripsThroughTheTablesAndIsUnique) {
    for (int i = 0; i < kNamedRuleSetCount; ++i) {
        const NamedRuleSet& row = kNamedRuleSets[i];
        for (int n = 0; n < 9; ++n) {
            g_born[n] = row.bornMarks[n] == 'X';
            g_survive[n] = row.surviveMarks[n] == 'X';
        }
        char b[10], s[10];
        BornMarks(b);
        SurviveMarks(s);
        EXPECT_STREQ(b, row.bornMarks);
        EXPECT_EQ(FindNamedRuleSet(b, s), &row) << row.name;
    }
    EXPECT_EQ(kNamedRuleSets[kNamedRuleSetCount].name, nullptr);
    ResetRules();
}

TEST(NamedRuleSets, LookupAndSummaryLine) {
    const NamedRuleSet* high = FindNamedRuleSet("...X..X..", "..XX.....");
    ASSERT_NE(high, nullptr);
    EXPECT_STREQ(high->name, "Highlife");
    EXPECT_EQ(FindNamedRuleSet("...X..X..", "..XX..X.."), nullptr);

    ResetRules();
    char b[10], s[10];
    BornMarks(b);
    SurviveMarks(s);
    EXPECT_EQ(FormatRulesLine(FormatRuleText(), b, s), "Rules: s23/b3 (Conway's Life)");
    g_born[8] = 1;
    BornMarks(b);
    EXPECT_EQ(FormatRulesLine(FormatRuleText(), b, s), "Rules: s23/b38 (Unnamed)");
    ResetRules();

    struct Expect {
        const char* name;
        const char* display;
    } rows[] = {{"Seeds", "s/b2"},
                {"Mazes", "s12345/b3"},
                {"Amoeba", "s1358/b357"},
                {"Day + Night", "s34678/b3678"},
                {"Coral", "s45678/b3"}};
    for (auto e : rows) {
        const NamedRuleSet* row = nullptr;
        for (int i = 0; i < kNamedRuleSetCount; ++i)
            if (std::strcmp(kNamedRuleSets[i].name, e.name) == 0) row = &kNamedRuleSets[i];
        ASSERT_NE(row, nullptr) << e.name;
        uint8_t sv[9], bn[9];
        for (int n = 0; n < 9; ++n)
            sv[n] = row->surviveMarks[n] == 'X', bn[n] = row->bornMarks[n] == 'X';
        EXPECT_EQ(FormatRuleText(sv, bn), e.display);
    }
}
