#include "document/go_to_generation_dlg.h"

#include "document/run_loop.h"
#include "ids/command_ids.h"

namespace cellarium {

CGoToGenerationDlg::CGoToGenerationDlg(CWnd* parent) : CDialog(IDD_GO_TO_GENERATION, parent) {}

void CGoToGenerationDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_GOTO_GENERATION, m_nGeneration);
    DDV_MinMaxInt(pDX, m_nGeneration, 1, kMaxGeneration);
}

}  // namespace cellarium
