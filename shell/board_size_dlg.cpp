#include "shell/board_size_dlg.h"

#include "engine/cell_board.h"
#include "framework/win_app.h"
#include "shell/resource.h"

namespace cellarium {

BoardSizeSetting ReadBoardSizeSetting() {
    CWinApp* app = TheApp();
    if (app == nullptr) return BoardSizeSetting{kDefaultBoardSide, kDefaultBoardSide};
    return BoardSizeSetting{app->GetProfileInt("Size", "Width", kDefaultBoardSide),
                            app->GetProfileInt("Size", "Height", kDefaultBoardSide)};
}

CBoardSizeDlg::CBoardSizeDlg(CWnd* parent) : CDialog(IDD_BOARD_SIZE, parent) {}

bool CBoardSizeDlg::OnInitDialog() {
    const BoardSizeSetting size = ReadBoardSizeSetting();
    m_nWidth = size.width;
    m_nHeight = size.height;
    return CDialog::OnInitDialog();
}

void CBoardSizeDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_BOARD_HEIGHT, m_nHeight);
    DDV_MinMaxInt(pDX, m_nHeight, kMinBoardSide, kMaxBoardSide);
    DDX_Text(pDX, IDC_BOARD_WIDTH, m_nWidth);
    DDV_MinMaxInt(pDX, m_nWidth, kMinBoardSide, kMaxBoardSide);
}

bool CBoardSizeDlg::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CBoardSizeDlg> map =
        CommandMap<CBoardSizeDlg>().On(unsigned(IDC_BOARD_DEFAULT), &CBoardSizeDlg::OnDefault);
    return map.Dispatch(*this, msg) || CDialog::OnCmdMsg(msg);
}

void CBoardSizeDlg::OnDefault() {
    m_nWidth = kDefaultBoardSide;
    m_nHeight = kDefaultBoardSide;
    UpdateData(false);
}

}  // namespace cellarium
