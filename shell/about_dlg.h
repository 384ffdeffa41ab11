// The About dialog: the program's version, the board size new boards get, and
// a Help button that shows the help page and leaves the dialog open.
#pragma once

#include <string>

#include "framework/dialog.h"

namespace cellarium {

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* parent = nullptr);

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnCmdMsg(const CmdMsg& msg) override;
    void OnHelpButton();

    // "Board Size %d x %d" with the Width and Height settings.
    std::string m_strBoardSize;
};

}  // namespace cellarium
