// The Rules dialog: a rule field that takes every notation, eighteen check
// boxes for the survive and born counts of a totalistic rule and a sorted
// list of the named rule sets with "Unnamed" last. The field, the boxes and
// the list follow each other. A rule the boxes cannot show (isotropic
// letters, a MAP rule that is not totalistic) greys them: a count with some
// but not all of its ways shows the box's third state.
#pragma once

#include <string>

#include "engine/rule.h"
#include "framework/dialog.h"

namespace cellarium {

class CRulesDlg : public CDialog {
public:
    explicit CRulesDlg(CWnd* parent);

    bool OnInitDialog() override;
    // Into the controls: the boxes and the field show m_rule. From them:
    // the field's text becomes m_rule; text that is no rule Cellarium runs
    // fails with a message that says why, and the dialog stays open.
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnCmdMsg(const CmdMsg& msg) override;

    // Any of the eighteen boxes was clicked: the rule is the boxes' counts,
    // the field shows its text and the list the matching name.
    void OnRuleBoxClicked(unsigned id);
    // The list's selection changed: the field and the boxes show the chosen
    // row's rule ("Unnamed" clears every box).
    void OnRuleSetChanged();
    // The field was typed into: once its text is a rule, the boxes and the
    // list show that rule; until then they stay as they were.
    void OnRuleTextChanged();

    // The rule the dialog opens with and, after OK, the one chosen.
    void SetRule(const Rule& rule);
    Rule m_rule;
    // The rule field's text.
    std::string m_strRule;

    // Mark strings of m_rule's counts: "X" or "." for entries 0 to 8 and a
    // terminating zero. Born n is box 1019 + n, survive n is box 1010 + n.
    char m_born[10] = ".........";
    char m_survive[10] = ".........";
    CComboBox m_comboRuleSets;

private:
    // m_rule and its marks become `rule`.
    void TakeRule(const Rule& rule);
    // The boxes show m_rule: ticked, clear or (greyed) in the third state.
    void ShowBoxes();
    // Selects the name of the row equal to m_rule, or "Unnamed".
    void SelectMatchingName();
};

// The name the list shows for marks that match no row.
extern const char* const kUnnamedRuleSet;

}  // namespace cellarium
