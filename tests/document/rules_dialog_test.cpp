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
        // The totalistic sets and the isotropic rules Life users know by name.
        const std::vector<std::string> expected = {
            "2x2 Life",      "34 Life",      "Amoeba",        "Broken Life", "Coagulations",
            "Conway's Life", "Coral",        "Day + Night",   "Diamoeba",    "Highlife",
            "Ink Blot",      "Just Friends", "Lacy Patterns", "Longlife",    "Mazes",
            "Replicator",    "Salad",        "Seeds",         "Snowflakes",  "Stable",
            "tlife",         "Unnamed"};
        EXPECT_EQ(d.Items(IDC_RULES_LIST), expected);
        EXPECT_EQ(d.SelectedItem(IDC_RULES_LIST), "Conway's Life");
        EXPECT_EQ(Boxes(d), "23/3");
        EXPECT_EQ(d.Text(IDC_RULES_TEXT), "B3/S23");
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

namespace {

// The eighteen boxes as the user sees them: "survive/born" with each count's
// mark, "x" ticked, "." clear, "~" the third state; "(grey)" when they take
// no clicks.
std::string BoxStates(DialogDriver& d) {
    std::string out;
    bool enabled = true;
    for (int first : {IDC_SURVIVE_0, IDC_BORN_0}) {
        if (!out.empty()) out += "/";
        for (int n = 0; n < 9; ++n) {
            out += ".x~"[d.CheckState(first + n)];
            enabled = enabled && d.Enabled(first + n);
        }
    }
    return enabled ? out : out + " (grey)";
}

std::string RulePane(HeadlessPlatform& platform) {
    return platform.Bar(IDD_STATUS_STRIP)->GetDlgItemText(IDC_STATUS_RULE);
}

}  // namespace

TEST_F(RulesDialog, TheFieldTakesEveryNotationAndTheBoxesAndListFollowIt) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    Rule oneBlockOff = Rule();
    {
        Rule::Table table = oneBlockOff.table();
        table[0] ^= 1u << 7;  // the bottom row live, the cell dead: no longer born
        oneBlockOff = Rule::FromTable(table);
    }
    platform.ExpectDialog(IDD_RULES, [&](DialogDriver& d) {
        // Totalistic rules in every form tick the boxes and name the set.
        for (const char* text : {"s23/b36", "23/36", "B36/S23", "b36s23", "S23_B36"}) {
            d.Type(IDC_RULES_TEXT, text);
            EXPECT_EQ(Boxes(d), "23/36") << text;
            EXPECT_EQ(d.SelectedItem(IDC_RULES_LIST), "Highlife") << text;
        }
        // So does a MAP rule that is totalistic: Conway's Life.
        d.Type(IDC_RULES_TEXT,
               "MAPARYXfhZofugWaH7oaIDogBZofuhogOiAaIDogIAAgAAWaH7oaIDogGiA6ICAAIAAaIDogIAAgACAA"
               "IAAAAAAAA");
        EXPECT_EQ(BoxStates(d), "..xx...../...x.....");
        EXPECT_EQ(d.SelectedItem(IDC_RULES_LIST), "Conway's Life");
        // Letters grey the boxes; a count with some of its ways is the third
        // state. A named rule is named, any other is Unnamed.
        d.Type(IDC_RULES_TEXT, "b3_s2-i34q");
        EXPECT_EQ(BoxStates(d), "..~x~..../...x..... (grey)");
        EXPECT_EQ(d.SelectedItem(IDC_RULES_LIST), "tlife");
        d.Click(IDC_BORN_0 + 8);  // greyed: no click lands
        EXPECT_EQ(d.SelectedItem(IDC_RULES_LIST), "tlife");
        d.Type(IDC_RULES_TEXT, "B37/S2-i34q");
        EXPECT_EQ(d.SelectedItem(IDC_RULES_LIST), "Unnamed");
        d.Type(IDC_RULES_TEXT, RuleString(oneBlockOff));
        EXPECT_EQ(BoxStates(d), "..xx...../...~..... (grey)");
        EXPECT_EQ(d.SelectedItem(IDC_RULES_LIST), "Unnamed");
        // Half-typed text leaves the boxes as they were.
        d.Type(IDC_RULES_TEXT, "B36/S2");
        EXPECT_EQ(Boxes(d), "2/36");
        d.Type(IDC_RULES_TEXT, "B36/S2-");
        EXPECT_EQ(Boxes(d), "2/36");
        // A named rule with letters puts its text in the field; a totalistic
        // one gives the boxes back.
        ASSERT_TRUE(d.Select(IDC_RULES_LIST, "Snowflakes"));
        EXPECT_EQ(d.Text(IDC_RULES_TEXT), "B2ci3ai4c8/S02ae3eijkq4iz5ar6i7e");
        EXPECT_EQ(BoxStates(d), "x.~~~~~~./..~~~...x (grey)");
        ASSERT_TRUE(d.Select(IDC_RULES_LIST, "Highlife"));
        EXPECT_EQ(d.Text(IDC_RULES_TEXT), "B36/S23");
        EXPECT_EQ(BoxStates(d), "..xx...../...x..x..");
        // A box writes the rule's canonical text into the field.
        d.Click(IDC_BORN_0 + 8);
        EXPECT_EQ(d.Text(IDC_RULES_TEXT), "B368/S23");
        ASSERT_TRUE(d.Select(IDC_RULES_LIST, "Unnamed"));
        EXPECT_EQ(d.Text(IDC_RULES_TEXT), "B/S");
        d.Type(IDC_RULES_TEXT, "B3/S2-i34q");
        d.Click(IDOK);
        EXPECT_FALSE(d.IsOpen());
    });
    platform.Command(ID_FILE_EDIT_RULES);
    EXPECT_TRUE(platform.ScriptErrors().empty());
    EXPECT_TRUE(Doc()->GetRule() == ParseRule("B3/S2-i34q").rule);
    EXPECT_EQ(RulePane(platform), "B3/S2-i34q");
    platform.ExpectDialog(IDD_FILE_INFO, [](DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_FI_RULES), "Rules: B3/S2-i34q (tlife)");
        d.Click(IDCANCEL);
    });
    platform.Command(ID_FILE_EDIT_DESCRIPTION);
    // The dialog opens on the rule in force, letters and all.
    platform.ExpectDialog(IDD_RULES, [](DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_RULES_TEXT), "B3/S2-i34q");
        EXPECT_EQ(d.SelectedItem(IDC_RULES_LIST), "tlife");
        EXPECT_EQ(BoxStates(d), "..~x~..../...x..... (grey)");
        d.Click(IDCANCEL);
    });
    platform.Command(ID_FILE_EDIT_RULES);
    // Undo gives the rule back, and the pane follows.
    platform.Command(ID_EDIT_UNDO);
    EXPECT_TRUE(Doc()->GetRule() == Rule());
    EXPECT_EQ(RulePane(platform), "B3/S23");
}

TEST_F(RulesDialog, AWrongRuleIsRefusedWithWhatIsWrongAndTheDialogStaysOpen) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    const struct {
        const char* text;
        const char* message;
    } kCases[] = {
        {"B9/S23", "'B9/S23' is not a rule: "},
        {"", "'' is not a rule: it is empty."},
        {"345/3/6",
         "'345/3/6' is a rule Cellarium cannot run: it runs two-state rules of the "
         "Life family."},
        {"B3/S23:T20,20",
         "'B3/S23:T20,20' is not a rule: the board's edges are its own, so "
         "leave out \":T20,20\"."},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        platform.ClearLog();
        bool open = false;
        platform.ExpectDialog(IDD_RULES, [&](DialogDriver& d) {
            ASSERT_TRUE(d.Select(IDC_RULES_LIST, "Seeds"));
            d.Type(IDC_RULES_TEXT, c.text);
            d.Click(IDOK);
            open = d.IsOpen();
            EXPECT_EQ(platform.LastFocus().second, IDC_RULES_TEXT);
            d.Click(IDCANCEL);
        });
        platform.Command(ID_FILE_EDIT_RULES);
        EXPECT_TRUE(open);
        ASSERT_EQ(platform.MessageTexts().size(), 1u);
        EXPECT_EQ(platform.MessageTexts()[0].rfind(c.message, 0), 0u) << platform.MessageTexts()[0];
        EXPECT_TRUE(Doc()->GetRule() == Rule());
    }
}

TEST_F(RulesDialog, TheStatusStripShowsTheRuleOfEachPatternOpened) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    EXPECT_EQ(RulePane(platform), "B3/S23");
    ASSERT_NE(OpenText("r.rle", "x = 1, y = 1, rule = B2-a/S12\no!\n"), nullptr);
    EXPECT_EQ(RulePane(platform), "B2-a/S12");
    ASSERT_NE(OpenText("r.lif", "#Life 1.05\r\n#R 23/38\r\n#P 0 0\r\n*\r\n"), nullptr);
    EXPECT_EQ(RulePane(platform), "B38/S23");
    // The status line keeps its own text.
    EXPECT_EQ(Status(), "G:00000 C:00001 B:00000 D:00000 Z:x1");
}
