// The Board Size dialog: width and height of the boards made from now on,
// each kMinBoardSide .. kMaxBoardSide. OK closes only when both fields pass;
// the caller then stores them in the "Size" settings.
#pragma once

#include "engine/cell_board.h"
#include "framework/dialog.h"

namespace cellarium {

// The Width and Height settings as stored (800 each when there are none).
struct BoardSizeSetting {
    int width;
    int height;
};
BoardSizeSetting ReadBoardSizeSetting();

class CBoardSizeDlg : public CDialog {
public:
    explicit CBoardSizeDlg(CWnd* parent = nullptr);

    bool OnInitDialog() override;
    // Height is checked before Width; the first that fails keeps the focus.
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnCmdMsg(const CmdMsg& msg) override;
    // Default: 800 x 800 in the fields; the dialog stays open.
    void OnDefault();

    int m_nWidth = kDefaultBoardSide;
    int m_nHeight = kDefaultBoardSide;
};

}  // namespace cellarium
