// The view's simulation control (life_view_simulation.h).
#include "document/life_view_simulation.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>

#include "document/go_to_generation_dlg.h"
#include "document/life_app_base.h"
#include "document/life_doc.h"
#include "document/life_view.h"
#include "formats/rule_notation.h"
#include "framework/frame_wnd.h"
#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

const char* const kStagnationMessage = "Stagnation has been reached: no births or deaths.";

static_assert(ID_SPEED_LAST - ID_SPEED_FIRST + 1 == unsigned(kSpeedSteps));

std::string NotAheadMessage(int64_t current) {
    return "The pattern is at generation " + std::to_string(current) +
           " already: Go to Generation runs forward only.";
}

namespace {

constexpr const char* kSpeedSection = "Simulation";
constexpr const char* kSpeedKey = "Speed";

void SetIdleCountdown(int32_t value) {
    if (CLifeAppBase* app = LifeApp()) app->m_nIdleCountdown = value;
}

CDialogBar* StatusStrip() {
    CFrameWnd* frame = MainWindow();
    return frame ? frame->GetControlBar(kDialogBarId) : nullptr;
}

}  // namespace

SimulationControl::SimulationControl(CLifeView& view) : ViewControl(view) {
    if (CWinApp* app = TheApp())
        m_nSpeedStep = SpeedStepFromSetting(
            app->GetProfileInt(kSpeedSection, kSpeedKey, SpeedSettingValue(kDefaultSpeedStep)));
}

bool SimulationControl::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<SimulationControl> map =
        CommandMap<SimulationControl>()
            .On(ID_TOOLS_RUN, &SimulationControl::OnRun)
            .On(ID_TOOLS_STEP, &SimulationControl::OnStep)
            .On(ID_TOOLS_PAUSE, &SimulationControl::OnPause)
            .On(ID_FILE_RELOAD, &SimulationControl::OnReload)
            .On(ID_GO_TO_GENERATION, &SimulationControl::OnGoToGeneration)
            .OnRange(ID_SPEED_FIRST, ID_SPEED_LAST, CN_COMMAND, &SimulationControl::OnSpeed)
            .On(ID_SPEED_FASTER, &SimulationControl::OnFaster)
            .On(ID_SPEED_SLOWER, &SimulationControl::OnSlower)
            .OnUpdate(ID_TOOLS_RUN, &SimulationControl::OnUpdateRun)
            .OnUpdate(ID_TOOLS_STEP, &SimulationControl::OnUpdateStep)
            .OnUpdate(ID_TOOLS_PAUSE, &SimulationControl::OnUpdatePause)
            .OnUpdate(ID_FILE_RELOAD, &SimulationControl::OnUpdateReload)
            .OnUpdate(ID_GO_TO_GENERATION, &SimulationControl::OnUpdateStep)
            .OnUpdateRange(ID_SPEED_FIRST, ID_SPEED_LAST, &SimulationControl::OnUpdateSpeed)
            .OnUpdate(ID_SPEED_FASTER, &SimulationControl::OnUpdateFaster)
            .OnUpdate(ID_SPEED_SLOWER, &SimulationControl::OnUpdateSlower);
    return map.Dispatch(*this, msg);
}

void SimulationControl::SetCounters(const RunCounters& counters) {
    m_nGeneration = counters.generation;
    m_nBirths = counters.births;
    m_nDeaths = counters.deaths;
}

// --- Running -----------------------------------------------------------------------

RunSpeed SimulationControl::TickSpeed() const {
    return SpeedOf(m_nTargetGeneration != 0 ? kMaximumSpeedStep : m_nSpeedStep);
}

void SimulationControl::OnRun() {
    StartRun(0);
}

void SimulationControl::StartRun(int64_t target) {
    m_nTargetGeneration = target;
    const bool armed = ArmTick();
    SetIdleCountdown(kIdleAllowance);
    if (!armed) {
        TimerRefused();
        return;
    }
    if (CLifeDoc* doc = Document()) {
        doc->RunStarted();
        // A run watches for repeats from where it starts.
        doc->RestartRepeatWatch();
    }
    m_rate.Restart(Platform().Clock().Now());
    UpdateSpeedText();
}

void SimulationControl::EndRun() {
    m_nRunInterval = 0;
    m_nTargetGeneration = 0;
    if (CLifeDoc* doc = Document()) doc->RunEnded();
    UpdateSpeedText();
    // The graph drew the run at most 30 times a second: now its last
    // generation.
    view_.Graph().Update(true);
}

void SimulationControl::TimerRefused() {
    // Without a timer no tick would ever come: rather than showing a run that
    // never advances, the view stays paused (Run can be chosen again).
    EndRun();
    SetIdleCountdown(-1);
}

void SimulationControl::OnTimer() {
    view_.KillTimer(m_hTimer);
    const RunSpeed speed = TickSpeed();
    RunLimits limits;
    limits.generations = speed.perFrame != 0 ? speed.perFrame : std::numeric_limits<int64_t>::max();
    limits.target = m_nTargetGeneration;
    // Go to Generation gets there through whole periods of a cycle without
    // stepping them; a run without a target shows every generation it makes.
    limits.jump = m_nTargetGeneration != 0;
    if (limits.generations > 1) {
        // The frame's budget goes by the platform's clock, which a test's
        // back end keeps virtual.
        limits.clock = [] { return Platform().Clock().Now(); };
        limits.deadline = limits.Now() + kFrameBudget;
    }
    if (Advance(limits) == RunStop::Target) {
        // Go to Generation arrived: paused there, without a message.
        EndRun();
        SetIdleCountdown(-1);
    }
    // Armed again only after the generations were computed, counted and
    // shown, so ticks never pile up behind a slow step.
    if (m_nRunInterval > 0 && !ArmTick()) TimerRefused();
}

bool SimulationControl::ArmTick() {
    const unsigned wait = TickSpeed().intervalMs;
    m_nRunInterval = int32_t(std::max(wait, 1u));
    m_hTimer = view_.SetTimer(SIMULATION_TIMER_ID, wait);
    return m_hTimer != 0;
}

void SimulationControl::OnStep() {
    StepGenerations(1);
}

RunStop SimulationControl::StepGenerations(int64_t count) {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards()) return RunStop::NoBoards;
    if (count < 1) return RunStop::Count;
    doc->RunStarted();
    RunLimits limits;
    limits.generations = count;
    // Through whole periods of a cycle without stepping them.
    limits.jump = true;
    const RunStop stop = Advance(limits);
    doc->RunEnded();
    return stop;
}

RunStop SimulationControl::Advance(const RunLimits& limits) {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards()) return RunStop::NoBoards;
    // The first generation of a run (or a single step) keeps the board for
    // Undo; the run ends as one undo step when the document hears it ended.
    doc->BeginRun(RunCounters{m_nGeneration, m_nBirths, m_nDeaths});
    const int64_t before = m_nGeneration;
    doc->WatchRepeats(view_.Analysis().StopWhenRepeats());
    const RunStop stop = doc->Advance(m_nGeneration, m_nBirths, m_nDeaths, limits, this);
    if (m_nRunInterval != 0) m_rate.Add(m_nGeneration - before, Platform().Clock().Now());
    view_.Invalidate(false);
    UpdateStatusLine();
    view_.Statistics().ReportWriteFailure();
    if (stop == RunStop::Stagnation) {
        // The generation that found it is counted, shown and recorded; then
        // the run stops and no tick follows.
        if (m_nRunInterval != 0) EndRun();
        view_.MessageBox(kStagnationMessage, std::string(), MB_OK);
        SetIdleCountdown(-1);
    } else if (int64_t period = 0, start = 0;
               stop == RunStop::Repeat && m_nRunInterval != 0 && doc->LastRepeat(period, start)) {
        // Stop when the pattern repeats: a run stops there; a single step
        // just makes its generation.
        EndRun();
        view_.MessageBox(RepeatsMessage(period, start), std::string(), MB_OK);
        SetIdleCountdown(-1);
    }
    return stop;
}

void SimulationControl::GenerationDone(const GenerationRecord& record) {
    view_.Statistics().GenerationDone(record);
}

void SimulationControl::GenerationsRepeated(const std::vector<GenerationRecord>& byPhase,
                                            int64_t first, int64_t count) {
    // Written from the period, line by line as stepping would write them.
    if (view_.Statistics().Recording())
        GenerationObserver::GenerationsRepeated(byPhase, first, count);
}

bool SimulationControl::RepeatsInBulk() const {
    return !view_.Statistics().Recording();
}

void SimulationControl::OnPause() {
    view_.KillTimer(m_hTimer);
    EndRun();
    SetIdleCountdown(-1);
}

void SimulationControl::OnGoToGeneration() {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards()) return;
    CGoToGenerationDlg dlg(&view_);
    const int64_t current = m_nGeneration;
    // A thousand on, or the furthest generation when that is nearer.
    dlg.m_nGeneration = std::min(std::max<int64_t>(current, 0) + 1000, kMaxGeneration);
    if (dlg.DoModal() != IDOK) return;
    if (dlg.m_nGeneration <= current) {
        view_.MessageBox(NotAheadMessage(current), std::string(), MB_OK);
        return;
    }
    m_nGoFrom = current;
    StartRun(dlg.m_nGeneration);
}

void SimulationControl::OnReload() {
    CLifeDoc* doc = Document();
    if (doc == nullptr || doc->GetPathName().empty()) return;
    if (m_nRunInterval != 0) OnPause();
    // Unsaved changes would be lost to the file's content: ask first.
    if (!doc->SaveModified()) return;
    m_nGeneration = 0;
    doc->Reload();
    view_.Viewport().MarkLayoutPending();
    // With the background: a reload may bring a board of another size (the
    // size settings are read again), and the margin around a smaller one
    // must not keep pixels of the old image. The erase paints only that
    // margin.
    view_.Invalidate(true);
    UpdateStatusLine();
    KickIdle();
}

void SimulationControl::OnUpdateReload(CCmdUI* pCmdUI) {
    CLifeDoc* doc = Document();
    pCmdUI->Enable(doc != nullptr && !doc->GetPathName().empty());
}

void SimulationControl::StartCountingAfresh() {
    if (m_nRunInterval != 0) OnPause();
    m_nGeneration = 0;
    m_nBirths = 0;
    m_nDeaths = 0;
}

// --- Speed ---------------------------------------------------------------------------

void SimulationControl::SetSpeedStep(int step) {
    if (step < 0 || step >= kSpeedSteps) return;
    m_nSpeedStep = step;
    if (CWinApp* app = TheApp())
        app->WriteProfileInt(kSpeedSection, kSpeedKey, SpeedSettingValue(step));
    // A run goes on at the new speed at once, not after a long wait of the
    // old one (Go to Generation keeps going as fast as it can).
    if (m_nRunInterval != 0 && m_nTargetGeneration == 0) {
        view_.KillTimer(m_hTimer);
        if (!ArmTick()) TimerRefused();
        m_rate.Restart(Platform().Clock().Now());
    }
    UpdateSpeedText();
    // The toolbar shows the new step.
    KickIdle();
}

void SimulationControl::OnSpeed(unsigned id) {
    SetSpeedStep(int(id - ID_SPEED_FIRST));
}

void SimulationControl::OnFaster() {
    SetSpeedStep(m_nSpeedStep + 1);
}

void SimulationControl::OnSlower() {
    SetSpeedStep(m_nSpeedStep - 1);
}

std::string SimulationControl::SpeedText() const {
    std::string text;
    if (m_nTargetGeneration != 0) {
        const double done = double(m_nGeneration) - double(m_nGoFrom);
        const double all = double(m_nTargetGeneration) - double(m_nGoFrom);
        text = "Going to " + std::to_string(m_nTargetGeneration) + ": " +
               std::to_string(int(done * 100 / all)) + "%";
    } else {
        text = "Speed: " + SpeedWords(m_nSpeedStep);
    }
    if (m_nRunInterval != 0 && m_rate.Rate()) {
        char rate[48];
        std::snprintf(rate, sizeof rate, ", %.0f gen/s", *m_rate.Rate());
        text += rate;
    }
    return text;
}

void SimulationControl::UpdateSpeedText() {
    CDialogBar* strip = StatusStrip();
    if (strip == nullptr || !strip->HasControl(IDC_SPEED_TEXT)) return;
    const std::string text = SpeedText();
    if (strip->GetDlgItemText(IDC_SPEED_TEXT) != text) strip->SetDlgItemText(IDC_SPEED_TEXT, text);
}

void SimulationControl::OnUpdateSpeed(CCmdUI* pCmdUI) {
    pCmdUI->SetCheck(int(pCmdUI->m_nID - ID_SPEED_FIRST) == m_nSpeedStep ? 1 : 0);
}

void SimulationControl::OnUpdateFaster(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_nSpeedStep < kMaximumSpeedStep);
}

void SimulationControl::OnUpdateSlower(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_nSpeedStep > 0);
}

// --- Status line and idle ------------------------------------------------------------

std::string SimulationControl::StatusLine() const {
    CLifeDoc* doc = Document();
    const int32_t live = doc != nullptr && doc->HasBoards() ? doc->CurrentBoard()->liveCount : 0;
    char text[96];
    std::snprintf(text, sizeof text, "G:%05" PRId64 " C:%05d B:%05d D:%05d Z:%s", m_nGeneration,
                  live, m_nBirths, m_nDeaths, view_.Viewport().ZoomText().c_str());
    // While statistics are being recorded the line says so.
    return view_.Statistics().Recording() ? std::string(text) + " " + kRecordingMarker
                                          : std::string(text);
}

void SimulationControl::UpdateRuleText() {
    CDialogBar* strip = StatusStrip();
    CLifeDoc* doc = Document();
    if (strip == nullptr || doc == nullptr || !strip->HasControl(IDC_STATUS_RULE)) return;
    if (m_shownRule == doc->GetRule()) return;
    m_shownRule = doc->GetRule();
    strip->SetDlgItemText(IDC_STATUS_RULE, RuleString(*m_shownRule));
}

void SimulationControl::UpdateStatusLine() {
    if (CDialogBar* strip = StatusStrip()) strip->SetDlgItemText(IDC_STATUS_TEXT, StatusLine());
    UpdateSpeedText();
    UpdateRuleText();
    // Between runs whatever changed the board (an edit, an undo) changed
    // the graph's last generation too.
    if (CLifeDoc* doc = Document(); doc != nullptr && m_nRunInterval == 0)
        doc->CountsFollowBoard(m_nGeneration);
    // The graph follows the status line: at most about 30 times a second
    // while running, at once otherwise.
    view_.Graph().Update(m_nRunInterval == 0);
}

void SimulationControl::KickIdle() {
    CLifeAppBase* app = LifeApp();
    if (app != nullptr && app->m_nIdleCountdown == 0) app->m_nIdleCountdown = kIdleAllowance;
}

void SimulationControl::OnUpdateRun(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_nRunInterval == 0);
}

void SimulationControl::OnUpdateStep(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_nRunInterval == 0);
}

void SimulationControl::OnUpdatePause(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_nRunInterval != 0);
}

}  // namespace cellarium
