// The File Information dialog: file name, description, rules line and board
// size. Read-only after a load; the description is editable from Edit
// Description.
#pragma once

#include <string>

#include "framework/dialog.h"

namespace cellarium {

// The file name shown for a pattern that has no file.
inline constexpr const char* kNewFileName = "New File";

class CFileInfoDlg : public CDialog {
public:
    explicit CFileInfoDlg(bool editable);

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    std::string m_strDescription;
    std::string m_strFileName;
    std::string m_strRules;
    std::string m_strBoardSize;
    // What the reader said of the pattern it opened (a move onto the board,
    // a grid of another shape), one line each; empty otherwise.
    std::string m_strNote;
    bool m_bEditable;
    CEdit m_editDescription;
};

}  // namespace cellarium
