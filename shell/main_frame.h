// The main frame: the status strip (dialog template 128) above the view and
// the command bar with menu 128, toolbar 128 and the buttons' tooltips.
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
    // Exit Completely.
    void OnAppExit() {}

    CDialogBar m_wndStatusStrip;
    // Strings 65007, 65007, 65007, 65008 ... 65012, 65014.
    std::vector<std::string> m_tooltips;
};

}  // namespace cellarium
