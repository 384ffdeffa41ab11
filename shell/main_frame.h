// The main frame: the status strip (dialog template 128) above the view and
// the command bar with menu 128, toolbar 128 and the buttons' tooltips; menu
// 108 on the file selection screen.
#pragma once

#include <string>
#include <vector>

#include "framework/frame_wnd.h"

namespace cellarium {

class CMainFrame : public CFrameWnd {
public:
    bool OnCreate() override;
    bool OnFrameCmdMsg(const CmdMsg& msg) override;

    // The framework's Exit: does nothing, so the program is left only by
    // Exit Completely (or by the platform closing the main window).
    void OnAppExit() {}

    // The file selection screen hides the status strip and gets menu 108 on
    // its command bar; when it closes the strip comes back.
    void OnFileListOpened() override;
    void OnFileListClosed() override;
    // Help on request: the help page from its beginning.
    void HelpRequested() override;

    CDialogBar m_wndStatusStrip;
    // Strings 65007, 65007, 65007, 65008 ... 65012, 65014.
    std::vector<std::string> m_tooltips;
};

}  // namespace cellarium
