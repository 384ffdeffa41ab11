#include "document/life_view.h"

#include "document/file_info_dlg.h"
#include "document/help_page.h"
#include "document/life_app_base.h"
#include "document/life_doc.h"
#include "document/rules_dlg.h"
#include "formats/rule_notation.h"
#include "framework/frame_wnd.h"
#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

const char* const kExitQuestion = "Are you sure you want to quit completely?";

CLifeView::~CLifeView() = default;

CLifeDoc* CLifeView::GetDocument() const {
    return dynamic_cast<CLifeDoc*>(m_pDocument);
}

bool CLifeView::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CLifeView> map =
        CommandMap<CLifeView>()
            .On(ID_TOOLS_RUN, &CLifeView::OnRun)
            .On(ID_TOOLS_STEP, &CLifeView::OnStep)
            .On(ID_TOOLS_PAUSE, &CLifeView::OnPause)
            .On(ID_FILE_RELOAD, &CLifeView::OnReload)
            .On(ID_GO_TO_GENERATION, &CLifeView::OnGoToGeneration)
            .OnRange(ID_SPEED_FIRST, ID_SPEED_LAST, CN_COMMAND, &CLifeView::OnSpeed)
            .On(ID_SPEED_FASTER, &CLifeView::OnFaster)
            .On(ID_SPEED_SLOWER, &CLifeView::OnSlower)
            .OnUpdate(ID_TOOLS_RUN, &CLifeView::OnUpdateRun)
            .OnUpdate(ID_TOOLS_STEP, &CLifeView::OnUpdateStep)
            .OnUpdate(ID_TOOLS_PAUSE, &CLifeView::OnUpdatePause)
            .OnUpdate(ID_FILE_RELOAD, &CLifeView::OnUpdateReload)
            .OnUpdate(ID_GO_TO_GENERATION, &CLifeView::OnUpdateStep)
            .OnUpdateRange(ID_SPEED_FIRST, ID_SPEED_LAST, &CLifeView::OnUpdateSpeed)
            .OnUpdate(ID_SPEED_FASTER, &CLifeView::OnUpdateFaster)
            .OnUpdate(ID_SPEED_SLOWER, &CLifeView::OnUpdateSlower)
            .OnUpdate(ID_ZOOM_IN, &CLifeView::OnUpdateZoomIn)
            .OnUpdate(ID_ZOOM_OUT, &CLifeView::OnUpdateZoomOut)
            .On(ID_FILE_EDIT_DESCRIPTION, &CLifeView::OnEditDescription)
            .On(ID_FILE_EDIT_RULES, &CLifeView::OnEditRules)
            .On(ID_HELP, &CLifeView::OnHelpContents)
            .On(ID_EXIT_COMPLETELY, &CLifeView::OnExitCompletely)
            .On(ID_STATS_START, &CLifeView::OnStatsStart)
            .On(ID_STATS_STOP, &CLifeView::OnStatsStop)
            .OnUpdate(ID_STATS_START, &CLifeView::OnUpdateStatsStart)
            .OnUpdate(ID_STATS_STOP, &CLifeView::OnUpdateStatsStop)
            .On(ID_EXPORT_RLE, &CLifeView::OnExportRle)
            .On(ID_COPY_RLE, &CLifeView::OnCopyRle);
    return map.Dispatch(*this, msg) || OnViewportCmdMsg(msg) || OnColourCmdMsg(msg) ||
           OnSelectionCmdMsg(msg) || OnAnalysisCmdMsg(msg) || CScrollView::OnCmdMsg(msg);
}

void CLifeView::OnEditDescription() {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr) return;
    CFileInfoDlg dlg(true);
    dlg.m_strDescription = doc->GetDescription();
    dlg.m_strFileName = doc->GetPathName();
    char born[10], survive[10];
    BornMarks(born);
    SurviveMarks(survive);
    dlg.m_strRules = FormatRulesLine(FormatRuleText(), born, survive);
    if (dlg.m_strFileName.empty()) dlg.m_strFileName = kNewFileName;
    if (dlg.DoModal() == IDOK) doc->SetDescription(dlg.m_strDescription);
}

void CLifeView::OnEditRules() {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr) return;
    CRulesDlg dlg(this);
    BornMarks(dlg.m_born);
    SurviveMarks(dlg.m_survive);
    if (dlg.DoModal() != IDOK) return;
    uint8_t survive[kRuleEntries], born[kRuleEntries];
    for (int n = 0; n < kRuleEntries; ++n) {
        born[n] = dlg.m_born[n] == 'X' ? 1 : 0;
        survive[n] = dlg.m_survive[n] == 'X' ? 1 : 0;
    }
    doc->SetRules(survive, born);
}

void CLifeView::OnHelpContents() {
    if (CLifeAppBase* app = LifeApp()) app->ShowHelp(kHelpContentsAnchor);
}

void CLifeView::OnExitCompletely() {
    // Unsaved changes first: Cancel, or a save that failed, keeps running.
    if (CLifeDoc* doc = GetDocument(); doc != nullptr && !doc->SaveModified()) return;
    if (MessageBox(kExitQuestion, std::string(), MB_OKCANCEL) != IDOK) return;
    if (CLifeAppBase* app = LifeApp()) app->EndProgramAtOnce();
}

}  // namespace cellarium
