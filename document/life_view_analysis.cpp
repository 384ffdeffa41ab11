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

bool CLifeView::OnAnalysisCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CLifeView> map =
        CommandMap<CLifeView>()
            .On(ID_IDENTIFY, &CLifeView::OnIdentify)
            .OnUpdate(ID_IDENTIFY, &CLifeView::OnUpdateIdentify)
            .On(ID_POPULATION_GRAPH, &CLifeView::OnPopulationGraph)
            .OnUpdate(ID_POPULATION_GRAPH, &CLifeView::OnUpdatePopulationGraph)
            .On(ID_GRAPH_BIRTHS_DEATHS, &CLifeView::OnGraphBirthsDeaths)
            .On(ID_GRAPH_SAVE_CSV, &CLifeView::OnGraphSaveCsv)
            .On(ID_GRAPH_SAVE_PNG, &CLifeView::OnGraphSavePng);
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

}  // namespace cellarium
