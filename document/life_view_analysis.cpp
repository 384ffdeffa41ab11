// The view's analysis commands: Identify, which tells what the board's
// pattern is without changing it.
#include "document/identity_words.h"
#include "document/life_doc.h"
#include "document/life_view.h"
#include "engine/identify.h"
#include "engine/rules.h"
#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

const char* const kIdentifySection = "Analysis";
const char* const kIdentifyLimitKey = "IdentifyLimit";
const char* const kStopWhenRepeatsKey = "StopWhenRepeats";

bool CLifeView::OnAnalysisCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CLifeView> map =
        CommandMap<CLifeView>()
            .On(ID_IDENTIFY, &CLifeView::OnIdentify)
            .OnUpdate(ID_IDENTIFY, &CLifeView::OnUpdateIdentify)
            .On(ID_POPULATION_GRAPH, &CLifeView::OnPopulationGraph)
            .OnUpdate(ID_POPULATION_GRAPH, &CLifeView::OnUpdatePopulationGraph)
            .On(ID_GRAPH_BIRTHS_DEATHS, &CLifeView::OnGraphBirthsDeaths)
            .On(ID_GRAPH_SAVE_CSV, &CLifeView::OnGraphSaveCsv)
            .On(ID_GRAPH_SAVE_PNG, &CLifeView::OnGraphSavePng)
            .On(ID_STOP_WHEN_REPEATS, &CLifeView::OnStopWhenRepeats)
            .OnUpdate(ID_STOP_WHEN_REPEATS, &CLifeView::OnUpdateStopWhenRepeats);
    return map.Dispatch(*this, msg);
}

void CLifeView::OnIdentify() {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards()) return;
    int64_t limit = kIdentifyLimit;
    if (CWinApp* app = TheApp())
        limit = app->GetProfileInt(kIdentifySection, kIdentifyLimitKey, int(kIdentifyLimit));
    if (limit < 1) limit = 1;
    CWaitCursor wait;
    const Identity identity = Identify(*doc->CurrentBoard(), StepRule{g_survive, g_born}, limit);
    MessageBox(IdentityWords(identity), "Identify", MB_OK);
}

void CLifeView::OnUpdateIdentify(CCmdUI* pCmdUI) {
    CLifeDoc* doc = GetDocument();
    pCmdUI->Enable(doc != nullptr && doc->HasBoards() && m_nRunInterval == 0);
}

std::string RepeatsMessage(int64_t period, int64_t start) {
    return "Repeats with period " + std::to_string(period) + " from generation " +
           std::to_string(start) + ".";
}

void CLifeView::ApplyAnalysisSettings() {
    CWinApp* app = TheApp();
    if (app == nullptr) return;
    m_bStopWhenRepeats = app->GetProfileInt(kIdentifySection, kStopWhenRepeatsKey, 0) != 0;
    if (app->GetProfileInt(kGraphSection, "Shown", 0) != 0 && !GraphShown()) OnPopulationGraph();
}

void CLifeView::OnStopWhenRepeats() {
    m_bStopWhenRepeats = !m_bStopWhenRepeats;
    if (CWinApp* app = TheApp())
        app->WriteProfileInt(kIdentifySection, kStopWhenRepeatsKey, m_bStopWhenRepeats ? 1 : 0);
}

void CLifeView::OnUpdateStopWhenRepeats(CCmdUI* pCmdUI) {
    pCmdUI->Enable(true);
    pCmdUI->SetCheck(m_bStopWhenRepeats ? 1 : 0);
}

}  // namespace cellarium
