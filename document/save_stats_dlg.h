// The Save Statistics dialog: the file to record to, the free space on its
// volume and the columns to record.
#pragma once

#include <string>

#include "document/stats_format.h"
#include "framework/dialog.h"

namespace cellarium {

class CSaveStatsDlg : public CDialog {
public:
    CSaveStatsDlg();

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnCmdMsg(const CmdMsg& msg) override;

    // The "..." button: a save-file dialog for the name.
    void OnBrowse();
    // Asks the platform for the free space of the file name's folder.
    void UpdateSpaceText();

    StatsColumns Columns() const {
        return StatsColumns{m_bGeneration, m_bTotal, m_bBirths, m_bDeaths};
    }

    bool m_bBirths = false;
    bool m_bDeaths = false;
    bool m_bGeneration = false;
    bool m_bTotal = false;
    std::string m_strSpace;
    std::string m_strFileName;
};

}  // namespace cellarium
