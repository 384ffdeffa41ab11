#include "shell/main_frame.h"

#include "document/life_app_base.h"
#include "framework/win_app.h"
#include "shell/resource.h"

namespace cellarium {

bool CMainFrame::OnCreate() {
    if (!CFrameWnd::OnCreate()) return false;
    CWinApp* app = TheApp();
    if (app == nullptr || app->Resources() == nullptr) return false;
    m_tooltips.clear();
    for (unsigned id : {IDS_TIP_STEP, IDS_TIP_STEP, IDS_TIP_STEP, IDS_TIP_RUN, IDS_TIP_PAUSE,
                        IDS_TIP_ZOOM_IN, IDS_TIP_ZOOM_OUT, IDS_TIP_ROTATE, IDS_TIP_FIT})
        m_tooltips.push_back(app->LoadString(id));

    if (!m_wndStatusStrip.Create(this, IDD_STATUS_STRIP, CBRS_TOP, kDialogBarId)) return false;

    CommandBarDesc bar;
    bar.menu = app->Resources()->FindMenu(IDR_MAINFRAME);
    bar.desktopMenu = app->Resources()->FindMenu(IDR_DESKTOP_MENU);
    bar.toolbar = app->Resources()->FindToolbar(IDR_MAINFRAME);
    if (bar.menu == nullptr || bar.toolbar == nullptr) return false;
    // The command bar takes the strings from the second on: the first of
    // those goes with its menu, the other seven with the seven buttons.
    bar.tooltips.assign(m_tooltips.begin() + 2, m_tooltips.end());
    SetCommandBar(bar);
    return true;
}

bool CMainFrame::OnFrameCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CMainFrame> map =
        CommandMap<CMainFrame>().On(ID_APP_EXIT, &CMainFrame::OnAppExit);
    return map.Dispatch(*this, msg) || CFrameWnd::OnFrameCmdMsg(msg);
}

void CMainFrame::OnFileListOpened() {
    // The pattern waits behind the list as it was: Cancel returns to it at
    // the generation it had.
    if (QueryCommandState(ID_TOOLS_PAUSE).m_bEnabled) SendCommand(ID_TOOLS_PAUSE);
    m_wndStatusStrip.ShowBar(false);
    CWinApp* app = TheApp();
    if (app != nullptr && app->Resources() != nullptr) {
        CommandBarDesc bar;
        bar.menu = app->Resources()->FindMenu(IDR_FILELIST_MENU);
        if (!m_tooltips.empty()) bar.tooltips.push_back(m_tooltips.front());
        Platform().Frames().InstallFileListCommandBar(*this, bar);
    }
    CFrameWnd::OnFileListOpened();
}

void CMainFrame::OnFileListClosed() {
    m_wndStatusStrip.ShowBar(true);
    CFrameWnd::OnFileListClosed();
}

void CMainFrame::HelpRequested() {
    if (CLifeAppBase* app = LifeApp()) app->ShowHelp(std::string());
}

}  // namespace cellarium
