// The view's analysis commands: Identify, which tells what the board's
// pattern is without changing it, and Stop when the pattern repeats.
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
    void OnStopWhenRepeats();
    void OnUpdateStopWhenRepeats(CCmdUI* pCmdUI);

private:
    bool m_bStopWhenRepeats = false;
};

}  // namespace cellarium
