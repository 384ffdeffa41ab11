#include "document/save_stats_dlg.h"

#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

CSaveStatsDlg::CSaveStatsDlg() : CDialog(IDD_SAVE_STATS) {}

bool CSaveStatsDlg::OnInitDialog() {
    UpdateSpaceText();
    return CDialog::OnInitDialog();
}

void CSaveStatsDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Check(pDX, IDC_STATS_BIRTHS, m_bBirths);
    DDX_Check(pDX, IDC_STATS_DEATHS, m_bDeaths);
    DDX_Check(pDX, IDC_STATS_GENERATION, m_bGeneration);
    DDX_Check(pDX, IDC_STATS_TOTAL, m_bTotal);
    DDX_Text(pDX, IDC_STATS_SPACE, m_strSpace);
    DDX_Text(pDX, IDC_STATS_FILENAME, m_strFileName);
}

bool CSaveStatsDlg::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CSaveStatsDlg> map =
        CommandMap<CSaveStatsDlg>().On(unsigned(IDC_STATS_BROWSE), &CSaveStatsDlg::OnBrowse);
    return map.Dispatch(*this, msg) || CDialog::OnCmdMsg(msg);
}

void CSaveStatsDlg::OnBrowse() {
    UpdateData(true);
    CFileDialog dlg(false, "txt", m_strFileName, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                    std::string());
    if (dlg.DoModal() == IDOK) m_strFileName = dlg.GetPathName();
    UpdateSpaceText();
    UpdateData(false);
}

void CSaveStatsDlg::UpdateSpaceText() {
    uint64_t bytes = 0;
    std::optional<uint64_t> space;
    if (Platform().Files().GetFreeSpace(StatsFolderOf(m_strFileName), bytes)) space = bytes;
    m_strSpace = SpaceAvailableText(space);
}

}  // namespace cellarium
