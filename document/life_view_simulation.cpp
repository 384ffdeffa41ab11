// The view's simulation control: a one-shot timer re-armed after every
// generation, single steps, pause, the stagnation stop, reload, the status
// line and the idle countdown.
#include <cstdio>

#include "document/life_app_base.h"
#include "document/life_doc.h"
#include "document/life_view.h"
#include "framework/frame_wnd.h"
#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

const char* const kStagnationMessage = "Stagnation has been reached: no births or deaths.";

namespace {

void SetIdleCountdown(int32_t value) {
    if (CLifeAppBase* app = LifeApp()) app->m_nIdleCountdown = value;
}

}  // namespace

void CLifeView::OnRun() {
    // A run watches for repeats from where it starts.
    if (CLifeDoc* doc = GetDocument()) doc->RestartRepeatWatch();
    m_nRunInterval = kRunInterval;
    m_hTimer = SetTimer(SIMULATION_TIMER_ID, unsigned(kRunInterval));
    SetIdleCountdown(kIdleAllowance);
    if (m_hTimer == 0) TimerRefused();
}

void CLifeView::TimerRefused() {
    // Without a timer no tick would ever come: rather than showing a run that
    // never advances, the view stays paused (Run can be chosen again).
    m_nRunInterval = 0;
    SetIdleCountdown(-1);
    if (CLifeDoc* doc = GetDocument()) doc->EndRun();
}

void CLifeView::OnTimer(unsigned id) {
    CScrollView::OnTimer(id);
    KillTimer(m_hTimer);
    OnStep();
    // Armed again only after the generation was computed and counted, so
    // ticks never pile up behind a slow step.
    if (m_nRunInterval > 0) {
        m_hTimer = SetTimer(SIMULATION_TIMER_ID, unsigned(m_nRunInterval));
        if (m_hTimer == 0) TimerRefused();
    }
}

void CLifeView::OnStep() {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards()) return;
    // The first generation of a run (or a single step) keeps the board for
    // Undo.
    doc->BeginRun(RunCounters{m_nGeneration, m_nBirths, m_nDeaths});
    // Newborn cells carry the low byte of the generation counter plus one.
    doc->WatchRepeats(m_bStopWhenRepeats);
    doc->NextGeneration(int(uint32_t(m_nGeneration) & 0xFFu) + 1, m_nBirths, m_nDeaths,
                        m_nGeneration);
    Invalidate(false);
    if (m_nBirths == 0 && m_nDeaths == 0) {
        m_nRunInterval = 0;
        MessageBox(kStagnationMessage, std::string(), MB_OK);
        SetIdleCountdown(-1);
    } else if (int64_t period = 0, start = 0;
               m_nRunInterval != 0 && doc->LastRepeat(period, start)) {
        // Period 1 is stagnation, caught above with its own message.
        m_nRunInterval = 0;
        MessageBox(RepeatsMessage(period, start), std::string(), MB_OK);
        SetIdleCountdown(-1);
    }
    m_nGeneration = int32_t(uint32_t(m_nGeneration) + 1u);
    doc->Counts().Add(m_nGeneration, doc->CurrentBoard()->liveCount, m_nBirths, m_nDeaths);
    UpdateStatusLine();
    if (m_bRecording) WriteStatsLine();
    // A single step, or a run that stopped by itself, is one undo step.
    if (m_nRunInterval == 0) doc->EndRun();
}

void CLifeView::OnPause() {
    if (CLifeDoc* doc = GetDocument()) doc->EndRun();
    KillTimer(m_hTimer);
    m_nRunInterval = 0;
    SetIdleCountdown(-1);
}

void CLifeView::OnReload() {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || doc->GetPathName().empty()) return;
    if (m_nRunInterval != 0) OnPause();
    // Unsaved changes would be lost to the file's content: ask first.
    if (!doc->SaveModified()) return;
    m_nGeneration = 0;
    doc->Reload();
    m_bLayoutPending = true;
    // With the background: a reload may bring a board of another size (the
    // size settings are read again), and the margin around a smaller one
    // must not keep pixels of the old image. The erase paints only that
    // margin.
    Invalidate(true);
    UpdateStatusLine();
    KickIdle();
}

void CLifeView::OnUpdateReload(CCmdUI* pCmdUI) {
    CLifeDoc* doc = GetDocument();
    pCmdUI->Enable(doc != nullptr && !doc->GetPathName().empty());
}

void CLifeView::StartCountingAfresh() {
    if (m_nRunInterval != 0) OnPause();
    m_nGeneration = 0;
    m_nBirths = 0;
    m_nDeaths = 0;
}

std::string CLifeView::StatusLine() const {
    CLifeDoc* doc = GetDocument();
    const int32_t live = doc != nullptr && doc->HasBoards() ? doc->CurrentBoard()->liveCount : 0;
    char text[96];
    std::snprintf(text, sizeof text, "G:%05d C:%05d B:%05d D:%05d Z:x%u", m_nGeneration, live,
                  m_nBirths, m_nDeaths, m_nZoom);
    // While statistics are being recorded the line says so.
    return m_bRecording ? std::string(text) + " " + kRecordingMarker : std::string(text);
}

void CLifeView::UpdateStatusLine() {
    CFrameWnd* frame = MainWindow();
    CDialogBar* strip = frame ? frame->GetControlBar(kDialogBarId) : nullptr;
    if (strip != nullptr) strip->SetDlgItemText(IDC_STATUS_TEXT, StatusLine());
    // The graph follows the status line: at most about 30 times a second
    // while running, at once otherwise.
    UpdateGraph(m_nRunInterval == 0);
}

void CLifeView::KickIdle() {
    CLifeAppBase* app = LifeApp();
    if (app != nullptr && app->m_nIdleCountdown == 0) app->m_nIdleCountdown = kIdleAllowance;
}

void CLifeView::OnUpdateRun(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_nRunInterval == 0);
}

void CLifeView::OnUpdateStep(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_nRunInterval == 0);
}

void CLifeView::OnUpdatePause(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_nRunInterval != 0);
}

void CLifeView::OnUpdateZoomIn(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_nZoom < kMaxZoom);
}

void CLifeView::OnUpdateZoomOut(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_nZoom > kMinZoom);
}

}  // namespace cellarium
