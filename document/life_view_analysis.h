// The view's analysis commands: Identify, which tells what the board's
// pattern is without changing it, Census, which lists the objects it leaves
// once it settles, and Stop when the pattern repeats.
//
// Identify and the census run on a thread of their own over a copy of the
// board (or its live cells) and the rule, so that the window keeps answering
// however long they take. While one runs the status strip shows how far it
// has come with a Cancel button; Esc or Cancel stop it. The view keeps the
// board as it is meanwhile (commands that would change it are disabled) and
// stops the analysis first when the pattern goes away (Open, New, Reload,
// closing).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/background_job.h"
#include "document/view_control.h"
#include "engine/cell_board.h"
#include "engine/census.h"
#include "engine/identify.h"
#include "framework/types.h"

namespace cellarium {

class CCmdUI;

class AnalysisControl final : public ViewControl {
public:
    // The timer on which the view looks at an analysis under way.
    static constexpr unsigned ANALYSIS_TIMER_ID = 25;
    static constexpr unsigned kPollMs = 50;

    using ViewControl::ViewControl;
    // Stops an analysis under way and waits for it.
    ~AnalysisControl() override;
    bool OnCmdMsg(const CmdMsg& msg) override;

    bool StopWhenRepeats() const { return m_bStopWhenRepeats; }
    // Stop when the pattern repeats, as the settings say.
    void ApplySettings();

    // An analysis is running off the window's thread.
    bool Busy() const { return m_job.Busy(); }
    // Stops it: nothing of it is shown. Nothing happens when none runs.
    void CancelAnalysis();
    // The view's timer: shows the progress, or the finding once there is one.
    void Poll();
    // "Identifying: generation N of LIMIT", or the census's text.
    std::string ProgressText() const;

    void OnIdentify();
    void OnUpdateIdentify(CCmdUI* pCmdUI);
    void OnUpdateCancelAnalysis(CCmdUI* pCmdUI);
    // Runs the board's pattern to its census (in a universe of the census's
    // own; the board is left as it is) and then shows the Census dialog.
    void OnCensus();
    void OnStopWhenRepeats();
    void OnUpdateStopWhenRepeats(CCmdUI* pCmdUI);

private:
    // Shows or hides the progress and the Cancel button in the speed's place.
    void ShowProgress(bool show);
    // Runs work as the job, with the progress shown; when it ran here
    // instead, shows its finding at once.
    void StartJob(BackgroundJob::Work work);
    // The job is over (finished or stopped): the timer and the progress go.
    void EndJob();
    // What the collected job found: Identify's message or the Census dialog.
    void ShowFinding();

    enum class Kind { None, Identify, Census };

    bool m_bStopWhenRepeats = false;
    BackgroundJob m_job;
    Kind m_kind = Kind::None;
    // Written by the job, read by the window's thread once it is collected.
    std::shared_ptr<Identity> m_identity;
    std::shared_ptr<std::vector<CensusObject>> m_objects;
    // The board's interior, where the census's objects may be picked.
    Rect m_censusBox{};
    int64_t m_nLimit = 0;
    TimerHandle m_hPoll = 0;
    std::string m_shownProgress;
};

}  // namespace cellarium
