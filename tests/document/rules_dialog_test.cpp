// The Rules dialog as the user works it: the boxes, the list of named rule
// sets, and what OK and Cancel leave as the rule.
#include <cstring>

#include "formats/rule_notation.h"
#include "life_session.h"

using namespace cellarium;

namespace {

class RulesDialog : public LifeSession {
protected:
    // Which of the 18 boxes are ticked, as "survive/born" digit strings.
    static std::string Boxes(DialogDriver& d) {
        std::string survive, born;
        for (int n = 0; n < 9; ++n) {
            if (d.Checked(IDC_SURVIVE_0 + n)) survive += char('0' + n);
            if (d.Checked(IDC_BORN_0 + n)) born += char('0' + n);
        }
        return survive + "/" + born;
    }
    bool Tables(const char* survive, const char* born) {
        char s[10], b[10];
        MarksOf(Doc()->GetRule().SurviveCounts(), s);
        MarksOf(Doc()->GetRule().BornCounts(), b);
        return std::strcmp(s, survive) == 0 && std::strcmp(b, born) == 0;
    }
};

}  // namespace

TEST_F(RulesDialog, ListsTheNamedSetsSortedWithUnnamedLastAndShowsTheRulesInForce) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    platform.ExpectDialog(IDD_RULES, [](DialogDriver& d) {
        EXPECT_EQ(d.Caption(), "Rules");
        const std::vector<std::string> expected = {
            "2x2 Life", "34 Life",     "Amoeba",     "Broken Life", "Coagulations", "Conway's Life",
            "Coral",    "Day + Night", "Diamoeba",   "Highlife",    "Ink Blot",     "Lacy Patterns",
            "Longlife", "Mazes",       "Replicator", "Seeds",       "Stable",       "Unnamed"};
        EXPECT_EQ(d.Items(IDC_RULES_LIST), expected);
        EXPECT_EQ(d.SelectedItem(IDC_RULES_LIST), "Conway's Life");
        EXPECT_EQ(Boxes(d), "23/3");
        d.Click(IDCANCEL);
    });
    EXPECT_TRUE(platform.Command(ID_FILE_EDIT_RULES));
    EXPECT_TRUE(platform.ScriptErrors().empty());
}

TEST_F(RulesDialog, BoxesAndListFollowEachOtherAndOkWritesTheTables) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    platform.ExpectDialog(IDD_RULES, [](DialogDriver& d) {
        ASSERT_TRUE(d.Select(IDC_RULES_LIST, "Highlife"));
        EXPECT_EQ(Boxes(d), "23/36");
        d.Click(IDC_BORN_0 + 8);
        EXPECT_EQ(Boxes(d), "23/368");
        EXPECT_EQ(d.SelectedItem(IDC_RULES_LIST), "Unnamed");
        d.Click(IDC_BORN_0 + 8);
        EXPECT_EQ(d.SelectedItem(IDC_RULES_LIST), "Highlife");
        // Every named row puts its own marks in the boxes.
        ASSERT_TRUE(d.Select(IDC_RULES_LIST, "Replicator"));
        EXPECT_EQ(Boxes(d), "1357/1357");
        ASSERT_TRUE(d.Select(IDC_RULES_LIST, "Seeds"));
        EXPECT_EQ(Boxes(d), "/2");
        ASSERT_TRUE(d.Select(IDC_RULES_LIST, "Highlife"));
        d.Click(IDOK);
    });
    platform.Command(ID_FILE_EDIT_RULES);
    EXPECT_TRUE(platform.ScriptErrors().empty());
    EXPECT_TRUE(Tables("..XX.....", "...X..X.."));
    EXPECT_TRUE(Doc()->IsModified());
    // The next File Information names the rule.
    platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_FI_RULES), "Rules: s23/b36 (Highlife)");
        d.Click(IDCANCEL);
    });
    platform.Command(ID_FILE_EDIT_DESCRIPTION);
}

TEST_F(RulesDialog, UnnamedClearsEveryBoxAndOkLeavesNothingToSurviveOrBeBorn) {
    ASSERT_NE(OpenText("block.lif", kBlockFile), nullptr);
    ASSERT_EQ(Board().liveCount, 4);
    platform.ExpectDialog(IDD_RULES, [](DialogDriver& d) {
        ASSERT_TRUE(d.Select(IDC_RULES_LIST, "Unnamed"));
        EXPECT_EQ(Boxes(d), "/");
        d.Click(IDOK);
    });
    platform.Command(ID_FILE_EDIT_RULES);
    EXPECT_TRUE(Tables(".........", "........."));
    // A block lives for ever under Conway's rules; now every cell dies and
    // none is born.
    platform.Command(ID_TOOLS_STEP);
    EXPECT_EQ(Board().liveCount, 0);
    EXPECT_EQ(Status(), "G:00001 C:00000 B:00000 D:00004 Z:x1");
}

TEST_F(RulesDialog, CancelLeavesTheTablesAsTheyWere) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    platform.ExpectDialog(IDD_RULES, [](DialogDriver& d) {
        d.Select(IDC_RULES_LIST, "Seeds");
        d.Click(IDC_SURVIVE_0 + 5);
        d.Click(IDCANCEL);
    });
    platform.Command(ID_FILE_EDIT_RULES);
    EXPECT_TRUE(Tables("..XX.....", "...X....."));
}

TEST_F(RulesDialog, OpensOnAnUnnamedRuleFromAFile) {
    ASSERT_NE(OpenText("r.lif", "#Life 1.05\r\n#R 23/38\r\n#P 0 0\r\n*\r\n"), nullptr);
    platform.ExpectDialog(IDD_RULES, [](DialogDriver& d) {
        EXPECT_EQ(d.SelectedItem(IDC_RULES_LIST), "Unnamed");
        EXPECT_EQ(Boxes(d), "23/38");
        // Unticking born 8 lands on Conway's Life.
        d.Click(IDC_BORN_0 + 8);
        EXPECT_EQ(d.SelectedItem(IDC_RULES_LIST), "Conway's Life");
        d.Click(IDOK);
    });
    platform.Command(ID_FILE_EDIT_RULES);
    EXPECT_TRUE(Tables("..XX.....", "...X....."));
}
