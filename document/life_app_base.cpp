#include "document/life_app_base.h"

#include "document/help_page.h"
#include "document/pattern_picture.h"

namespace cellarium {

const char* const kCellMemoryMessage =
    "Unable to allocate memory for the cells.  You could close some programs, or use the Tools "
    "menu at the file selection screen to choose a smaller board size.";

std::function<FilePicture(const std::string&)> CLifeAppBase::FilePictureMaker(std::string& key) {
    return CurrentPatternPictureMaker(key);
}

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

void CLifeAppBase::ShowHelp(const std::string& anchor) {
    Services().Processes().OpenHelp(FindHelpPage(m_strProgramFolder), anchor);
}

CLifeAppBase* LifeApp() {
    return dynamic_cast<CLifeAppBase*>(TheApp());
}

}  // namespace cellarium
