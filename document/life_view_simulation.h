// The view's simulation control: a one-shot timer re-armed after every tick,
// the speed (how many generations a tick makes and how long the next one
// waits), single steps, Go to Generation, pause, the stagnation stop, reload,
// the status line and the idle countdown. The generations themselves come
// from the document's run loop.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "document/run_loop.h"
#include "document/undo_history.h"
#include "document/view_control.h"
#include "engine/rule.h"
#include "framework/types.h"

namespace cellarium {

class CCmdUI;

class SimulationControl final : public ViewControl, private GenerationObserver {
public:
    static constexpr unsigned SIMULATION_TIMER_ID = 23;
    static constexpr int32_t kRunInterval = 10;    // milliseconds
    static constexpr int32_t kIdleAllowance = 10;  // idle calls after Run or a kick

    // Starts at the speed kept in the settings.
    explicit SimulationControl(CLifeView& view);
    bool OnCmdMsg(const CmdMsg& msg) override;

    int64_t Generation() const { return m_nGeneration; }
    int32_t Births() const { return m_nBirths; }
    int32_t Deaths() const { return m_nDeaths; }
    RunCounters Counters() const { return RunCounters{m_nGeneration, m_nBirths, m_nDeaths}; }
    // Undo and Redo bring back the counters of the state they restore.
    void SetCounters(const RunCounters& counters);
    // The generation counter from here on (the counters of births and
    // deaths are kept).
    void SetGeneration(int64_t generation) { m_nGeneration = generation; }
    int SpeedStep() const { return m_nSpeedStep; }
    bool IsRunning() const { return m_nRunInterval != 0; }

    void OnRun();
    void OnStep();
    // Step pressed count times in one go: the same generations, counters and
    // statistics lines, with the view brought up to date once at the end.
    // Ends early at stagnation, after its message; returns why it ended.
    RunStop StepGenerations(int64_t count);
    void OnPause();
    void OnReload();
    // Reload needs a file: a new or pasted pattern has none.
    void OnUpdateReload(CCmdUI* pCmdUI);
    // A pattern that has just been opened or made new starts at generation
    // 0 with no births or deaths, whatever ran before it; a running
    // simulation is paused first.
    void StartCountingAfresh();
    // Each tick makes the generations the speed gives it (one, up to 65536,
    // or as many as fit in a frame), shows the last and arms the next tick.
    void OnTimer();
    // Go to Generation...: asks for a generation number and runs to it as
    // fast as the program goes, stopping earlier at stagnation; Pause
    // cancels it where it stands.
    void OnGoToGeneration();
    // The speed: a step of the toolbar's list (ID_SPEED_FIRST + step),
    // Faster and Slower. Kept in the settings; a run goes on at the new
    // speed from its next tick.
    void OnSpeed(unsigned id);
    void OnFaster();
    void OnSlower();
    void SetSpeedStep(int step);
    // The speed strip's text: the speed in words, while running with the
    // generations a second achieved; while going to a generation, how far.
    std::string SpeedText() const;
    // Writes the status line into the frame's status strip.
    void UpdateStatusLine();
    // "G:%05lld C:%05d B:%05d D:%05d Z:x%d" for the current state.
    std::string StatusLine() const;
    // Gives idle processing ten more calls when it had run out.
    void KickIdle();
    void OnUpdateRun(CCmdUI* pCmdUI);
    void OnUpdateStep(CCmdUI* pCmdUI);
    void OnUpdatePause(CCmdUI* pCmdUI);
    void OnUpdateSpeed(CCmdUI* pCmdUI);
    void OnUpdateFaster(CCmdUI* pCmdUI);
    void OnUpdateSlower(CCmdUI* pCmdUI);

private:
    // The run loop's report of each generation: its statistics line.
    void GenerationDone(const GenerationRecord& record) override;
    // A jump's generations: their statistics lines while recording.
    void GenerationsRepeated(const std::vector<GenerationRecord>& byPhase, int64_t first,
                             int64_t count) override;
    // Unless statistics are being recorded, a jump costs the same however
    // long.
    bool RepeatsInBulk() const override;
    // Starts the timer for a run; target is Go to Generation's (0: none).
    void StartRun(int64_t target);
    // Arms the next tick after the speed's wait; false when the platform
    // refused.
    bool ArmTick();
    // The run has paused or stopped: tells the document, shows the speed.
    void EndRun();
    // The speed the next tick runs at: the chosen one, or the fastest while
    // going to a generation.
    RunSpeed TickSpeed() const;
    // Has the document make generations within limits, then shows the last
    // one; stops the run with the message at stagnation.
    RunStop Advance(const RunLimits& limits);
    void UpdateSpeedText();
    // The rule pane: the document's rule in its canonical text.
    void UpdateRuleText();
    // The platform would not arm the simulation timer: back to paused.
    void TimerRefused();

    // While running the speed's wait before the next tick, at least 1 (the
    // timer itself may be armed with 0 at Maximum); 0 while paused.
    int32_t m_nRunInterval = 0;
    TimerHandle m_hTimer = 0;
    int64_t m_nGeneration = 0;
    int32_t m_nBirths = 0;
    int32_t m_nDeaths = 0;
    int m_nSpeedStep = kDefaultSpeedStep;
    // While Go to Generation runs: the generation it started from and the
    // one it stops at (0 otherwise).
    int64_t m_nGoFrom = 0;
    int64_t m_nTargetGeneration = 0;
    RateMeter m_rate;
    // The rule the rule pane shows, once it shows one.
    std::optional<Rule> m_shownRule;
};

}  // namespace cellarium
