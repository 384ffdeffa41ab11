#include "document/rules_dlg.h"

#include "formats/rule_notation.h"
#include "ids/command_ids.h"

namespace cellarium {
namespace {

// Whether every, some or none of the blocks with `count` live neighbours and
// the centre as given (live: survival, dead: birth) are live next: the check
// box states 1, 2 and 0.
int CountState(const Rule& rule, int count, bool centreLive) {
    int on = 0, all = 0;
    for (unsigned block = 0; block < unsigned(Rule::kBlocks); ++block) {
        if (((block & Rule::kCellBit) != 0) != centreLive || NeighbourCount(block) != count)
            continue;
        ++all;
        on += rule.Next(block) ? 1 : 0;
    }
    return on == 0 ? 0 : on == all ? 1 : 2;
}

}  // namespace

const char* const kUnnamedRuleSet = "Unnamed";

CRulesDlg::CRulesDlg(CWnd* parent) : CDialog(IDD_RULES, parent) {}

void CRulesDlg::TakeRule(const Rule& rule) {
    m_rule = rule;
    MarksOf(rule.BornCounts(), m_born);
    MarksOf(rule.SurviveCounts(), m_survive);
}

void CRulesDlg::SetRule(const Rule& rule) {
    TakeRule(rule);
    m_strRule = RuleString(rule);
}

void CRulesDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_RULES_LIST, m_comboRuleSets);
    DDX_Text(pDX, IDC_RULES_TEXT, m_strRule);
    if (!pDX->m_bSaveAndValidate) {
        ShowBoxes();
        return;
    }
    if (pDX->m_bFailed) return;
    if (const std::string problem = SetRuleProblem(m_strRule); !problem.empty()) {
        MessageBox(problem, std::string(), MB_OK | MB_ICONEXCLAMATION);
        pDX->Fail();
        return;
    }
    TakeRule(ParseRule(m_strRule).rule);
}

void CRulesDlg::ShowBoxes() {
    const bool boxes = m_rule.IsTotalistic();
    for (int n = 0; n < 9; ++n) {
        CheckDlgButton(IDC_SURVIVE_0 + n, CountState(m_rule, n, true));
        CheckDlgButton(IDC_BORN_0 + n, CountState(m_rule, n, false));
        EnableControl(IDC_SURVIVE_0 + n, boxes);
        EnableControl(IDC_BORN_0 + n, boxes);
    }
}

bool CRulesDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    for (const NamedRule& row : NamedRules()) {
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
            .OnNotify(unsigned(IDC_RULES_LIST), CBN_SELCHANGE, &CRulesDlg::OnRuleSetChanged)
            .OnNotify(unsigned(IDC_RULES_TEXT), EN_CHANGE, &CRulesDlg::OnRuleTextChanged);
    return map.Dispatch(*this, msg) || CDialog::OnCmdMsg(msg);
}

void CRulesDlg::OnRuleBoxClicked(unsigned) {
    // The boxes are live only while the rule is totalistic, so they say the
    // whole rule.
    for (int n = 0; n < 9; ++n) {
        m_survive[n] = IsDlgButtonChecked(IDC_SURVIVE_0 + n) != 0 ? 'X' : '.';
        m_born[n] = IsDlgButtonChecked(IDC_BORN_0 + n) != 0 ? 'X' : '.';
    }
    TakeRule(Rule::Totalistic(CountsOfMarks(m_born), CountsOfMarks(m_survive)));
    m_strRule = RuleString(m_rule);
    SetDlgItemText(IDC_RULES_TEXT, m_strRule);
    SelectMatchingName();
}

void CRulesDlg::OnRuleSetChanged() {
    const int index = m_comboRuleSets.GetCurSel();
    if (index < 0) return;
    const auto* row = reinterpret_cast<const NamedRule*>(m_comboRuleSets.GetItemData(index));
    SetRule(row != nullptr ? row->rule : Rule::Totalistic(0, 0));
    UpdateData(false);
}

void CRulesDlg::OnRuleTextChanged() {
    m_strRule = GetDlgItemText(IDC_RULES_TEXT);
    if (!SetRuleProblem(m_strRule).empty()) return;
    TakeRule(ParseRule(m_strRule).rule);
    ShowBoxes();
    SelectMatchingName();
}

void CRulesDlg::SelectMatchingName() {
    const NamedRule* row = FindNamedRule(m_rule);
    m_comboRuleSets.SelectString(-1, row != nullptr ? row->name : kUnnamedRuleSet);
}

}  // namespace cellarium
