// The Go to Generation dialog: the generation to run to, a whole number from
// 1 up to kMaxGeneration; OK closes only when the field holds one.
#pragma once

#include <cstdint>

#include "framework/dialog.h"

namespace cellarium {

class CGoToGenerationDlg : public CDialog {
public:
    explicit CGoToGenerationDlg(CWnd* parent = nullptr);

    void DoDataExchange(CDataExchange* pDX) override;

    int64_t m_nGeneration = 1;
};

}  // namespace cellarium
