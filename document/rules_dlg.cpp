#include "document/rules_dlg.h"

#include <cstring>

#include "formats/rule_notation.h"
#include "ids/command_ids.h"

namespace cellarium {
namespace {

// One mark string against nine check boxes starting at firstBox.
void ExchangeMarks(CDataExchange* pDX, int firstBox, char marks[10]) {
    for (int n = 0; n < 9; ++n) {
        int check = marks[n] == 'X' ? 1 : 0;
        DDX_Check(pDX, firstBox + n, check);
        if (pDX->m_bSaveAndValidate) marks[n] = check != 0 ? 'X' : '.';
    }
    marks[9] = '\0';
}

}  // namespace

const char* const kUnnamedRuleSet = "Unnamed";

CRulesDlg::CRulesDlg(CWnd* parent) : CDialog(IDD_RULES, parent) {}

void CRulesDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_RULES_LIST, m_comboRuleSets);
    ExchangeMarks(pDX, IDC_SURVIVE_0, m_survive);
    ExchangeMarks(pDX, IDC_BORN_0, m_born);
    if (pDX->m_bSaveAndValidate) {
        // Boxes that still show a rule with letters keep its letters.
        const uint16_t born = CountsOfMarks(m_born), survive = CountsOfMarks(m_survive);
        if (m_rule.IsTotalistic() || born != m_rule.BornCounts() ||
            survive != m_rule.SurviveCounts())
            m_rule = Rule::Totalistic(born, survive);
    }
}

void CRulesDlg::SetRule(const Rule& rule) {
    m_rule = rule;
    MarksOf(rule.BornCounts(), m_born);
    MarksOf(rule.SurviveCounts(), m_survive);
}

bool CRulesDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    for (const NamedRule& row : NamedRules()) {
        if (!row.rule.IsTotalistic()) continue;
        const int index = m_comboRuleSets.AddString(row.name);
        m_comboRuleSets.SetItemData(index, reinterpret_cast<uintptr_t>(&row));
    }
    const int unnamed = m_comboRuleSets.AddString(kUnnamedRuleSet);
    m_comboRuleSets.SetItemData(unnamed, 0);
    SelectMatchingName();
    return true;
}

bool CRulesDlg::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CRulesDlg> map =
        CommandMap<CRulesDlg>()
            .OnRange(unsigned(IDC_SURVIVE_0), unsigned(IDC_BORN_0 + 8), BN_CLICKED,
                     &CRulesDlg::OnRuleBoxClicked)
            .OnNotify(unsigned(IDC_RULES_LIST), CBN_SELCHANGE, &CRulesDlg::OnRuleSetChanged);
    return map.Dispatch(*this, msg) || CDialog::OnCmdMsg(msg);
}

void CRulesDlg::OnRuleBoxClicked(unsigned) {
    UpdateData(true);
    SelectMatchingName();
}

void CRulesDlg::OnRuleSetChanged() {
    const int index = m_comboRuleSets.GetCurSel();
    if (index < 0) return;
    const auto* row = reinterpret_cast<const NamedRule*>(m_comboRuleSets.GetItemData(index));
    if (row != nullptr) {
        MarksOf(row->rule.BornCounts(), m_born);
        MarksOf(row->rule.SurviveCounts(), m_survive);
    } else {
        std::memcpy(m_born, ".........", sizeof m_born);
        std::memcpy(m_survive, ".........", sizeof m_survive);
    }
    UpdateData(false);
}

void CRulesDlg::SelectMatchingName() {
    const NamedRule* row =
        FindNamedRule(Rule::Totalistic(CountsOfMarks(m_born), CountsOfMarks(m_survive)));
    m_comboRuleSets.SelectString(-1, row != nullptr ? row->name : kUnnamedRuleSet);
}

}  // namespace cellarium
