// The Census dialog: the objects the board's pattern leaves once it settles,
// most common first, each with its count, its apgcode, a small picture and,
// for the best-known ones, its everyday name. Picking an object shows where
// the census found the first of its kind that lies on the board.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/cell_board.h"
#include "engine/census.h"
#include "framework/dialog.h"

namespace cellarium {

// One line of the list: an object, how often it was found, and the boxes
// (board cells) of every one found.
struct CensusLine {
    std::string code;
    std::string name;  // empty for objects without an everyday name
    std::vector<Rect> where;
};

// Groups the objects by apgcode, most common first (ties by code, as the
// census lists them).
std::vector<CensusLine> CensusLines(const std::vector<CensusObject>& objects);

// The list's text of a line: "block (xs4_33): 12", "xs8_35ac: 1".
std::string CensusLineText(const CensusLine& line);

// The picture of an apgcode for the list, rows of 'o' and '.'; empty when
// the code has none or it would be larger than side cells either way.
std::vector<std::string> CensusPicture(const std::string& code, int side = 24);

class CCensusDlg : public CDialog {
public:
    CCensusDlg(std::vector<CensusLine> lines, Rect board, CWnd* parent = nullptr);

    bool OnInitDialog() override;
    bool OnCmdMsg(const CmdMsg& msg) override;
    void DoDataExchange(CDataExchange* pDX) override;

    // Called with the box to select when an object is picked.
    std::function<void(const Rect&)> onPick;

    const std::vector<CensusLine>& Lines() const { return m_lines; }

private:
    void OnPicked();

    std::vector<CensusLine> m_lines;
    Rect m_board;  // the board's interior: objects outside it cannot be shown
    CComboBox m_list;
};

}  // namespace cellarium
