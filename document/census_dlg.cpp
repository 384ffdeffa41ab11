#include "document/census_dlg.h"

#include <algorithm>
#include <map>

#include "engine/apgcode.h"
#include "ids/command_ids.h"

namespace cellarium {

std::vector<CensusLine> CensusLines(const std::vector<CensusObject>& objects) {
    std::map<std::string, CensusLine> byCode;
    for (const CensusObject& o : objects) {
        CensusLine& line = byCode[o.code];
        line.code = o.code;
        auto clamp = [](int64_t v) {
            return int32_t(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
        };
        line.where.push_back(Rect{clamp(o.left), clamp(o.top), clamp(o.right), clamp(o.bottom)});
    }
    std::vector<CensusLine> lines;
    for (auto& [code, line] : byCode) {
        line.name = CommonName(code);
        lines.push_back(std::move(line));
    }
    std::stable_sort(lines.begin(), lines.end(), [](const CensusLine& a, const CensusLine& b) {
        if (a.where.size() != b.where.size()) return a.where.size() > b.where.size();
        return a.code > b.code;
    });
    return lines;
}

std::string CensusLineText(const CensusLine& line) {
    const std::string count = std::to_string(line.where.size());
    if (line.name.empty()) return line.code + ": " + count;
    return line.name + " (" + line.code + "): " + count;
}

std::vector<std::string> CensusPicture(const std::string& code, int side) {
    const auto cells = ApgcodeCells(code);
    if (cells.empty()) return {};
    int32_t width = 0, height = 0;
    for (auto [x, y] : cells) {
        width = std::max(width, x + 1);
        height = std::max(height, y + 1);
    }
    if (width > side || height > side) return {};
    std::vector<std::string> rows(size_t(height), std::string(size_t(width), '.'));
    for (auto [x, y] : cells) rows[size_t(y)][size_t(x)] = 'o';
    return rows;
}

CCensusDlg::CCensusDlg(std::vector<CensusLine> lines, Rect board, CWnd* parent)
    : CDialog(IDD_CENSUS, parent), m_lines(std::move(lines)), m_board(board) {}

void CCensusDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CENSUS_LIST, m_list);
}

bool CCensusDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    size_t objects = 0;
    for (const CensusLine& line : m_lines) {
        objects += line.where.size();
        const int index = m_list.AddString(CensusLineText(line));
        m_list.SetItemPicture(index, CensusPicture(line.code));
    }
    std::string summary;
    if (objects == 0)
        summary = "The board leaves nothing once it settles.";
    else
        summary = std::to_string(objects) + (objects == 1 ? " object" : " objects") + " of " +
                  std::to_string(m_lines.size()) + (m_lines.size() == 1 ? " kind" : " kinds") +
                  " once the pattern settles. Pick one to select it on the board.";
    SetDlgItemText(IDC_CENSUS_SUMMARY, summary);
    return true;
}

bool CCensusDlg::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CCensusDlg> map = CommandMap<CCensusDlg>().OnNotify(
        unsigned(IDC_CENSUS_LIST), CBN_SELCHANGE, &CCensusDlg::OnPicked);
    return map.Dispatch(*this, msg) || CDialog::OnCmdMsg(msg);
}

void CCensusDlg::OnPicked() {
    const int index = m_list.GetCurSel();
    if (index < 0 || index >= int(m_lines.size()) || !onPick) return;
    // The first one found that lies wholly on the board (a spaceship taken
    // out as it flew off does not).
    for (const Rect& r : m_lines[size_t(index)].where)
        if (r.left >= m_board.left && r.top >= m_board.top && r.right <= m_board.right &&
            r.bottom <= m_board.bottom) {
            onPick(r);
            return;
        }
    onPick(Rect{0, 0, -1, -1});
}

}  // namespace cellarium
