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
const char* const kCensusProgressText = "Census: running the pattern until it settles";

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
    auto identity = std::make_shared<Identity>();
    identity->limit = limit;
    m_identity = identity;
    m_kind = Kind::Identify;
    // Everything the job needs is copied here, on the window's thread: the
    // document's board is the window's, which may draw on it meanwhile.
    std::shared_ptr<CellBoard> board = BoardCopy(*doc->CurrentBoard());
    if (!board) {
        // No memory for a copy: Identify reports no repeat, as it does when
        // its own boards cannot be made.
        ShowFinding();
        return;
    }
    StartJob([board, rule = doc->GetRule(), limit, identity](BackgroundJob::Signals& s) {
        *identity = IdentifyInPlace(
            *board, rule, limit, [&s] { return s.stop.load(std::memory_order_relaxed); },
            [&s](int64_t done) { s.progress.store(done, std::memory_order_relaxed); });
    });
}

void AnalysisControl::OnCensus() {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards() || Busy()) return;
    const CensusRule rule = CensusRule::FromRule(doc->GetRule());
    if (rule.BirthOnZero()) {
        view_.MessageBox(
            "The census does not count rules where cells are born with no live neighbours "
            "(B0): nothing settles in an empty universe.",
            "Census", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const CellBoard& board = *doc->CurrentBoard();
    m_censusBox = Rect{1, 1, board.width - 2, board.height - 2};
    // The live cells are taken here, on the window's thread.
    auto cells =
        std::make_shared<const std::vector<std::pair<int32_t, int32_t>>>(LiveInteriorCells(board));
    auto objects = std::make_shared<std::vector<CensusObject>>();
    m_objects = objects;
    m_kind = Kind::Census;
    StartJob([cells, rule, objects](BackgroundJob::Signals& s) {
        Census census(rule);
        census.SetCancel([&s] { return s.stop.load(std::memory_order_relaxed); });
        *objects = census.Objects(*cells);
    });
}

void AnalysisControl::StartJob(BackgroundJob::Work work) {
    if (!m_job.Start(std::move(work))) {
        // It ran here, as before there were jobs.
        ShowFinding();
        return;
    }
    m_shownProgress.clear();
    ShowProgress(true);
    m_hPoll = view_.SetTimer(ANALYSIS_TIMER_ID, kPollMs);
    view_.KickIdle();
    if (m_hPoll != 0) return;
    // Without a timer nothing would look at the job again: wait for it here.
    m_job.Collect();
    EndJob();
    ShowFinding();
}

void AnalysisControl::ShowFinding() {
    const Kind kind = std::exchange(m_kind, Kind::None);
    const std::shared_ptr<Identity> identity = std::move(m_identity);
    const std::shared_ptr<std::vector<CensusObject>> objects = std::move(m_objects);
    if (kind == Kind::Identify && identity) {
        view_.MessageBox(IdentityWords(*identity), "Identify", MB_OK);
    } else if (kind == Kind::Census && objects) {
        CCensusDlg dlg(CensusLines(*objects), m_censusBox, &view_);
        dlg.onPick = [this](const Rect& box) { view_.Editing().SelectCells(box); };
        dlg.DoModal();
    }
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
    EndJob();
    ShowFinding();
}

void AnalysisControl::CancelAnalysis() {
    if (!Busy()) return;
    m_job.Stop();
    // Whatever it had found goes unseen.
    m_kind = Kind::None;
    m_identity.reset();
    m_objects.reset();
    EndJob();
}

void AnalysisControl::EndJob() {
    if (m_hPoll != 0) view_.KillTimer(m_hPoll);
    m_hPoll = 0;
    ShowProgress(false);
    view_.KickIdle();
}

std::string AnalysisControl::ProgressText() const {
    if (m_kind == Kind::Census) return kCensusProgressText;
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
