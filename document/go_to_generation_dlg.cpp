#include "document/go_to_generation_dlg.h"

#include <limits>

#include "ids/command_ids.h"

namespace cellarium {

CGoToGenerationDlg::CGoToGenerationDlg(CWnd* parent) : CDialog(IDD_GO_TO_GENERATION, parent) {}

void CGoToGenerationDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_GOTO_GENERATION, m_nGeneration);
    DDV_MinMaxInt(pDX, m_nGeneration, 1, std::numeric_limits<int32_t>::max());
}

}  // namespace cellarium
