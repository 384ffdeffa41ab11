#include "framework/cmd_target.h"

#include "framework/win_app.h"

namespace cellarium {

void CCmdUI::DoUpdate(CCmdTarget& target, bool disableIfNoHandler) {
    m_bEnableChanged = false;
    target.OnCmdMsg(CmdMsg{m_nID, CN_UPDATE_COMMAND_UI, this, false});
    if (disableIfNoHandler && !m_bEnableChanged) {
        const bool handler = target.OnCmdMsg(CmdMsg{m_nID, CN_COMMAND, this, true});
        Enable(handler);
    }
}

bool CCmdTarget::OnCmdMsg(const CmdMsg&) {
    return false;
}

void CCmdTarget::BeginWaitCursor() {
    if (CWinApp* app = TheApp()) app->DoWaitCursor(1);
}

void CCmdTarget::EndWaitCursor() {
    if (CWinApp* app = TheApp()) app->DoWaitCursor(-1);
}

}  // namespace cellarium
