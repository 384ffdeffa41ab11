// The Fill Random dialog: the share of live cells, 0 to 100 percent, with
// which the selection is filled.
#pragma once

#include "framework/dialog.h"

namespace cellarium {

class CFillRandomDlg : public CDialog {
public:
    explicit CFillRandomDlg(CWnd* parent = nullptr);
    void DoDataExchange(CDataExchange* pDX) override;

    int m_nPercent = 50;
};

}  // namespace cellarium
