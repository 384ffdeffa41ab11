#include "shell/about_dlg.h"

#include <cstdio>

#include "document/help_page.h"
#include "document/life_app_base.h"
#include "shell/board_size_dlg.h"
#include "shell/resource.h"

namespace cellarium {

CAboutDlg::CAboutDlg(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}

bool CAboutDlg::OnInitDialog() {
    const BoardSizeSetting size = ReadBoardSizeSetting();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "Board Size %d x %d", size.width, size.height);
    m_strBoardSize = buffer;
    // Centring is the back end's: every modal dialog opens centred.
    return CDialog::OnInitDialog();
}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_ABOUT_BOARDSIZE, m_strBoardSize);
}

bool CAboutDlg::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CAboutDlg> map =
        CommandMap<CAboutDlg>().On(unsigned(IDC_ABOUT_HELP), &CAboutDlg::OnHelpButton);
    return map.Dispatch(*this, msg) || CDialog::OnCmdMsg(msg);
}

void CAboutDlg::OnHelpButton() {
    if (CLifeAppBase* app = LifeApp()) app->ShowHelp(kHelpContentsAnchor);
}

}  // namespace cellarium
