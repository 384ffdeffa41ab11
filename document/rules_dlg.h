// The Rules dialog: eighteen check boxes for the survive and born tables and
// a sorted list of the named rule sets with "Unnamed" last. The list follows
// the boxes and the boxes follow the list.
#pragma once

#include "engine/rule.h"
#include "framework/dialog.h"

namespace cellarium {

class CRulesDlg : public CDialog {
public:
    explicit CRulesDlg(CWnd* parent);

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnCmdMsg(const CmdMsg& msg) override;

    // Any of the eighteen boxes was clicked: the marks follow the boxes and
    // the list shows the matching name.
    void OnRuleBoxClicked(unsigned id);
    // The list's selection changed: the boxes show the chosen row's marks
    // ("Unnamed" clears them all).
    void OnRuleSetChanged();

    // The rule the dialog opens with and, after OK, the one chosen.
    void SetRule(const Rule& rule);
    Rule m_rule;

    // Mark strings: "X" or "." for entries 0 to 8 and a terminating zero.
    // Born n is box 1019 + n, survive n is box 1010 + n.
    char m_born[10] = ".........";
    char m_survive[10] = ".........";
    CComboBox m_comboRuleSets;

private:
    // Selects the name of the row matching the marks, or "Unnamed".
    void SelectMatchingName();
};

// The name the list shows for marks that match no row.
extern const char* const kUnnamedRuleSet;

}  // namespace cellarium
