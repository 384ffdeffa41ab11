#include "document/file_info_dlg.h"

#include <cstdio>

#include "document/life_app_base.h"
#include "engine/cell_board.h"
#include "ids/command_ids.h"

namespace cellarium {

CFileInfoDlg::CFileInfoDlg(bool editable) : CDialog(IDD_FILE_INFO), m_bEditable(editable) {}

bool CFileInfoDlg::OnInitDialog() {
    char buffer[64];
    // The size new boards get: the settings, brought into the accepted range.
    ProfileSettings settings;
    const BoardSize size = ReadBoardSize(settings);
    std::snprintf(buffer, sizeof buffer, "Board size: %d x %d", size.width, size.height);
    m_strBoardSize = buffer;
    CDialog::OnInitDialog();
    m_editDescription.SetReadOnly(!m_bEditable);
    return true;
}

void CFileInfoDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_FI_DESCRIPTION, m_editDescription);
    DDX_Text(pDX, IDC_FI_DESCRIPTION, m_strDescription);
    DDX_Text(pDX, IDC_FI_FILENAME, m_strFileName);
    DDX_Text(pDX, IDC_FI_RULES, m_strRules);
    DDX_Text(pDX, IDC_FI_BOARDSIZE, m_strBoardSize);
    DDX_Text(pDX, IDC_FI_NOTE, m_strNote);
}

}  // namespace cellarium
