#include "document/life_app_base.h"

namespace cellarium {

const char* const kCellMemoryMessage =
    "Unable to allocate memory for the cells.  You could close some programs, or use the Tools "
    "menu at the file selection screen to choose a smaller board size.";

bool CLifeAppBase::OnIdle(long count) {
    if (m_nIdleCountdown > 0) {
        --m_nIdleCountdown;
        return CWinApp::OnIdle(count);
    }
    if (m_nIdleCountdown == -1) return CWinApp::OnIdle(count);
    return false;
}

void CLifeAppBase::EndProgramAtOnce() {
    ending_ = true;
    Services().Processes().EndProgram();
}

void CLifeAppBase::OnCellMemoryFailure() {
    ShowMessage(kCellMemoryMessage, MB_OK);
    EndProgramAtOnce();
}

CLifeAppBase* LifeApp() {
    return dynamic_cast<CLifeAppBase*>(TheApp());
}

}  // namespace cellarium
