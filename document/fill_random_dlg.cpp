#include "document/fill_random_dlg.h"

#include "ids/command_ids.h"

namespace cellarium {

CFillRandomDlg::CFillRandomDlg(CWnd* parent) : CDialog(IDD_FILL_RANDOM, parent) {}

void CFillRandomDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_FILL_PERCENT, m_nPercent);
    DDV_MinMaxInt(pDX, m_nPercent, 0, 100);
}

}  // namespace cellarium
