// The view's analysis commands (life_view_analysis.h).
#include "document/life_view_analysis.h"

#include "document/census_dlg.h"
#include "document/identity_words.h"
#include "document/life_doc.h"
#include "document/life_view.h"
#include "engine/census_board.h"
#include "engine/identify.h"
#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

const char* const kIdentifySection = "Analysis";
const char* const kIdentifyLimitKey = "IdentifyLimit";
const char* const kStopWhenRepeatsKey = "StopWhenRepeats";

bool AnalysisControl::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<AnalysisControl> map =
        CommandMap<AnalysisControl>()
            .On(ID_IDENTIFY, &AnalysisControl::OnIdentify)
            .OnUpdate(ID_IDENTIFY, &AnalysisControl::OnUpdateIdentify)
            .On(ID_CENSUS, &AnalysisControl::OnCensus)
            .OnUpdate(ID_CENSUS, &AnalysisControl::OnUpdateIdentify)
            .On(ID_STOP_WHEN_REPEATS, &AnalysisControl::OnStopWhenRepeats)
            .OnUpdate(ID_STOP_WHEN_REPEATS, &AnalysisControl::OnUpdateStopWhenRepeats);
    return map.Dispatch(*this, msg);
}

void AnalysisControl::OnIdentify() {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards()) return;
    int64_t limit = kIdentifyLimit;
    if (CWinApp* app = TheApp())
        limit = app->GetProfileInt(kIdentifySection, kIdentifyLimitKey, int(kIdentifyLimit));
    if (limit < 1) limit = 1;
    CWaitCursor wait;
    const Identity identity = Identify(*doc->CurrentBoard(), doc->GetRule(), limit);
    view_.MessageBox(IdentityWords(identity), "Identify", MB_OK);
}

void AnalysisControl::OnUpdateIdentify(CCmdUI* pCmdUI) {
    CLifeDoc* doc = Document();
    pCmdUI->Enable(doc != nullptr && doc->HasBoards() && !view_.Simulation().IsRunning());
}

void AnalysisControl::OnCensus() {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards()) return;
    const CensusRule rule = CensusRule::FromRule(doc->GetRule());
    if (rule.BirthOnZero()) {
        view_.MessageBox(
            "The census does not count rules where cells are born with no live neighbours "
            "(B0): nothing settles in an empty universe.",
            "Census", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const CellBoard& board = *doc->CurrentBoard();
    std::vector<CensusLine> lines;
    {
        CWaitCursor wait;
        lines = CensusLines(BoardCensusObjects(board, rule));
    }
    CCensusDlg dlg(std::move(lines), Rect{1, 1, board.width - 2, board.height - 2}, &view_);
    dlg.onPick = [this](const Rect& box) { view_.Editing().SelectCells(box); };
    dlg.DoModal();
}

std::string RepeatsMessage(int64_t period, int64_t start) {
    return "Repeats with period " + std::to_string(period) + " from generation " +
           std::to_string(start) + ".";
}

void AnalysisControl::ApplySettings() {
    if (CWinApp* app = TheApp())
        m_bStopWhenRepeats = app->GetProfileInt(kIdentifySection, kStopWhenRepeatsKey, 0) != 0;
}

void AnalysisControl::OnStopWhenRepeats() {
    m_bStopWhenRepeats = !m_bStopWhenRepeats;
    if (CWinApp* app = TheApp())
        app->WriteProfileInt(kIdentifySection, kStopWhenRepeatsKey, m_bStopWhenRepeats ? 1 : 0);
}

void AnalysisControl::OnUpdateStopWhenRepeats(CCmdUI* pCmdUI) {
    pCmdUI->Enable(true);
    pCmdUI->SetCheck(m_bStopWhenRepeats ? 1 : 0);
}

}  // namespace cellarium
