// The view's analysis commands: Identify, which tells what the board's
// pattern is without changing it, Census, which lists the objects it leaves
// once it settles, and Stop when the pattern repeats.
//
// Identify runs on a thread of its own over a copy of the board and the
// rule, so that the window keeps answering however long it takes. While it
// runs the status strip shows how far it has come with a Cancel button; Esc
// or Cancel stop it. The view keeps the board as it is meanwhile (commands
// that would change it are disabled) and stops Identify first when the
// pattern goes away (Open, New, Reload, closing).
#pragma once

#include <cstdint>
#include <memory>

#include "document/background_job.h"
#include "document/view_control.h"
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
    // "Identifying: generation N of LIMIT"
    std::string ProgressText() const;

    void OnIdentify();
    void OnUpdateIdentify(CCmdUI* pCmdUI);
    void OnUpdateCancelAnalysis(CCmdUI* pCmdUI);
    // Runs the board's pattern to its census (in a universe of the census's
    // own; the board is left as it is) and shows the Census dialog.
    void OnCensus();
    void OnStopWhenRepeats();
    void OnUpdateStopWhenRepeats(CCmdUI* pCmdUI);

private:
    // Shows or hides the progress and the Cancel button in the speed's place.
    void ShowProgress(bool show);
    // The job is over (finished or stopped): the timer and the progress go.
    void EndJob();

    bool m_bStopWhenRepeats = false;
    BackgroundJob m_job;
    // Written by the job, read by the window's thread once it is collected.
    std::shared_ptr<Identity> m_identity;
    int64_t m_nLimit = 0;
    TimerHandle m_hPoll = 0;
    std::string m_shownProgress;
};

}  // namespace cellarium
