#include "document/life_app_base.h"

#include <algorithm>

#include "document/help_page.h"
#include "document/life_doc.h"
#include "document/life_view.h"
#include "document/pattern_picture.h"
#include "framework/frame_wnd.h"

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
    if (m_nIdleCountdown == -1) {
        const bool more = CWinApp::OnIdle(count);
        // Paused: the undo history packs what it holds whole, a slice a call.
        CFrameWnd* frame = MainWindow();
        CLifeView* view = frame ? dynamic_cast<CLifeView*>(frame->GetActiveView()) : nullptr;
        CLifeDoc* doc = view ? view->GetDocument() : nullptr;
        return (doc != nullptr && doc->IdleWork()) || more;
    }
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

std::string HelpMissingMessage(const std::vector<std::string>& places) {
    std::string text = std::string("The help page ") + kHelpPageName +
                       " could not be found. It was looked for in:";
    for (const std::string& place : places) text += "\n" + place;
    return text;
}

void CLifeAppBase::ShowHelp(const std::string& anchor) {
    const std::vector<std::string> places = HelpPageCandidates(m_strProgramFolder);
    const std::string page = FindHelpPage(m_strProgramFolder);
    if (std::find(places.begin(), places.end(), page) == places.end()) {
        ShowMessage(HelpMissingMessage(places), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (!Services().Processes().OpenHelp(page, anchor))
        ShowMessage("The help page " + page + " could not be shown.", MB_OK | MB_ICONEXCLAMATION);
}

CLifeAppBase* LifeApp() {
    return dynamic_cast<CLifeAppBase*>(TheApp());
}

}  // namespace cellarium
