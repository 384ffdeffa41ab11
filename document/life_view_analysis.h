// The view's analysis commands: Identify, which tells what the board's
// pattern is without changing it, Census, which lists the objects it leaves
// once it settles, and Stop when the pattern repeats.
#pragma once

#include "document/view_control.h"

namespace cellarium {

class CCmdUI;

class AnalysisControl final : public ViewControl {
public:
    using ViewControl::ViewControl;
    bool OnCmdMsg(const CmdMsg& msg) override;

    bool StopWhenRepeats() const { return m_bStopWhenRepeats; }
    // Stop when the pattern repeats, as the settings say.
    void ApplySettings();

    void OnIdentify();
    void OnUpdateIdentify(CCmdUI* pCmdUI);
    // Runs the board's pattern to its census (in a universe of the census's
    // own; the board is left as it is) and shows the Census dialog.
    void OnCensus();
    void OnStopWhenRepeats();
    void OnUpdateStopWhenRepeats(CCmdUI* pCmdUI);

private:
    bool m_bStopWhenRepeats = false;
};

}  // namespace cellarium
