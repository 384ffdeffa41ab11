// The view's analysis commands (life_view_analysis.h).
#include "document/life_view_analysis.h"

#include <string>
#include <utility>

#include "document/census_dlg.h"
#include "document/identity_words.h"
#include "document/life_doc.h"
#include "document/life_view.h"
#include "engine/cell_board.h"
#include "engine/census_board.h"
#include "engine/identify.h"
#include "framework/frame_wnd.h"
#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

const char* const kIdentifySection = "Analysis";
const char* const kIdentifyLimitKey = "IdentifyLimit";
const char* const kStopWhenRepeatsKey = "StopWhenRepeats";

namespace {

CDialogBar* StatusStrip() {
    CFrameWnd* frame = MainWindow();
    return frame ? frame->GetControlBar(kDialogBarId) : nullptr;
}

}  // namespace

AnalysisControl::~AnalysisControl() {
    m_job.Stop();
}

bool AnalysisControl::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<AnalysisControl> map =
        CommandMap<AnalysisControl>()
            .On(ID_IDENTIFY, &AnalysisControl::OnIdentify)
            .OnUpdate(ID_IDENTIFY, &AnalysisControl::OnUpdateIdentify)
            .On(ID_ANALYSIS_CANCEL, &AnalysisControl::CancelAnalysis)
            .OnUpdate(ID_ANALYSIS_CANCEL, &AnalysisControl::OnUpdateCancelAnalysis)
            .On(ID_CENSUS, &AnalysisControl::OnCensus)
            .OnUpdate(ID_CENSUS, &AnalysisControl::OnUpdateIdentify)
            .On(ID_STOP_WHEN_REPEATS, &AnalysisControl::OnStopWhenRepeats)
            .OnUpdate(ID_STOP_WHEN_REPEATS, &AnalysisControl::OnUpdateStopWhenRepeats);
    return map.Dispatch(*this, msg);
}

void AnalysisControl::OnIdentify() {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards() || Busy()) return;
    int64_t limit = kIdentifyLimit;
    if (CWinApp* app = TheApp())
        limit = app->GetProfileInt(kIdentifySection, kIdentifyLimitKey, int(kIdentifyLimit));
    if (limit < 1) limit = 1;
    m_nLimit = limit;
    // Everything the job needs is copied here, on the window's thread: the
    // document's board is the window's, which may draw on it meanwhile.
    std::shared_ptr<CellBoard> board = BoardCopy(*doc->CurrentBoard());
    auto identity = std::make_shared<Identity>();
    identity->limit = limit;
    if (board) {
        m_identity = identity;
        const bool threaded =
            m_job.Start([board, rule = doc->GetRule(), limit, identity](BackgroundJob::Signals& s) {
                *identity = IdentifyInPlace(
                    *board, rule, limit, [&s] { return s.stop.load(std::memory_order_relaxed); },
                    [&s](int64_t done) { s.progress.store(done, std::memory_order_relaxed); });
            });
        if (threaded) {
            m_shownProgress.clear();
            ShowProgress(true);
            m_hPoll = view_.SetTimer(ANALYSIS_TIMER_ID, kPollMs);
            // Without a timer nothing would look at the job again: wait for it
            // here, as before there were jobs.
            if (m_hPoll == 0) m_job.Collect();
            if (Busy()) {
                view_.KickIdle();
                return;
            }
            EndJob();
        }
    }
    // No memory for a copy (Identify reports no repeat, as it does when its
    // own boards cannot be made), or the job ran here.
    m_identity.reset();
    view_.MessageBox(IdentityWords(*identity), "Identify", MB_OK);
}

void AnalysisControl::Poll() {
    if (!Busy()) {
        EndJob();
        return;
    }
    if (!m_job.Finished()) {
        ShowProgress(true);
        return;
    }
    m_job.Collect();
    const std::shared_ptr<Identity> identity = std::move(m_identity);
    EndJob();
    if (identity) view_.MessageBox(IdentityWords(*identity), "Identify", MB_OK);
}

void AnalysisControl::CancelAnalysis() {
    if (!Busy()) return;
    m_job.Stop();
    // Whatever it had found goes unseen.
    m_identity.reset();
    EndJob();
}

void AnalysisControl::EndJob() {
    if (m_hPoll != 0) view_.KillTimer(m_hPoll);
    m_hPoll = 0;
    ShowProgress(false);
    view_.KickIdle();
}

std::string AnalysisControl::ProgressText() const {
    return "Identifying: generation " + std::to_string(m_job.Progress()) + " of " +
           std::to_string(m_nLimit);
}

void AnalysisControl::ShowProgress(bool show) {
    CDialogBar* strip = StatusStrip();
    if (strip == nullptr || !strip->HasControl(IDC_ANALYSIS_PROGRESS)) return;
    if (show) {
        const std::string text = ProgressText();
        if (text != m_shownProgress) {
            strip->SetDlgItemText(IDC_ANALYSIS_PROGRESS, text);
            m_shownProgress = text;
        }
    } else {
        m_shownProgress.clear();
    }
    if (strip->IsControlVisible(IDC_ANALYSIS_PROGRESS) == show) return;
    strip->ShowControl(IDC_SPEED_TEXT, !show);
    strip->ShowControl(IDC_ANALYSIS_PROGRESS, show);
    if (strip->HasControl(int(ID_ANALYSIS_CANCEL)))
        strip->ShowControl(int(ID_ANALYSIS_CANCEL), show);
}

void AnalysisControl::OnUpdateIdentify(CCmdUI* pCmdUI) {
    CLifeDoc* doc = Document();
    pCmdUI->Enable(doc != nullptr && doc->HasBoards() && !view_.Simulation().IsRunning() &&
                   !Busy());
}

void AnalysisControl::OnUpdateCancelAnalysis(CCmdUI* pCmdUI) {
    pCmdUI->Enable(Busy());
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
