#include "document/life_view.h"

#include <array>

#include "document/file_info_dlg.h"
#include "document/life_app_base.h"
#include "document/life_doc.h"
#include "formats/rule_notation.h"
#include "framework/frame_wnd.h"
#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

const char* const kExitQuestion = "Are you sure you want to quit completely?";

CLifeView::~CLifeView() = default;

CLifeDoc* CLifeView::GetDocument() const {
    return dynamic_cast<CLifeDoc*>(m_pDocument);
}

bool CLifeView::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CLifeView> map =
        CommandMap<CLifeView>()
            .On(ID_TOOLS_RUN, &CLifeView::OnRun)
            .On(ID_TOOLS_STEP, &CLifeView::OnStep)
            .On(ID_TOOLS_PAUSE, &CLifeView::OnPause)
            .On(ID_FILE_RELOAD, &CLifeView::OnReload)
            .OnUpdate(ID_TOOLS_RUN, &CLifeView::OnUpdateRun)
            .OnUpdate(ID_TOOLS_STEP, &CLifeView::OnUpdateStep)
            .OnUpdate(ID_TOOLS_PAUSE, &CLifeView::OnUpdatePause)
            .OnUpdate(ID_ZOOM_IN, &CLifeView::OnUpdateZoomIn)
            .OnUpdate(ID_ZOOM_OUT, &CLifeView::OnUpdateZoomOut)
            .On(ID_CELLS_CENTER, &CLifeView::OnCenter)
            .On(ID_CELLS_ROTATE_LEFT, &CLifeView::OnRotateLeft)
            .On(ID_FILE_EDIT_DESCRIPTION, &CLifeView::OnEditDescription)
            .On(ID_EXIT_COMPLETELY, &CLifeView::OnExitCompletely)
            .On(ID_STATS_START, &CLifeView::OnStatsStart)
            .On(ID_STATS_STOP, &CLifeView::OnStatsStop);
    return map.Dispatch(*this, msg) || OnColourCmdMsg(msg) || CScrollView::OnCmdMsg(msg);
}

void CLifeView::OnInitialUpdate() {
    CScrollView::OnInitialUpdate();
    CLifeDoc* doc = GetDocument();
    if (doc != nullptr && doc->HasBoards()) {
        const CellBoard& board = *doc->CurrentBoard();
        SetScrollSizes(MM_TEXT, CSize{board.width, board.height});
    }
    m_nBirths = 0;
    m_nDeaths = 0;
    UpdateStatusLine();
    if (CFrameWnd* frame = MainWindow()) Platform().ShellFullScreen(*frame, 8);
}

void CLifeView::OnDraw(CDC* pDC) {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards()) return;
    const CellBoard& board = *doc->CurrentBoard();
    const int z = int(m_nZoom);
    CRect client;
    GetClientRect(&client);
    const int w = client.Width(), h = client.Height();
    LayoutIfPending();

    std::array<RgbQuad, 256> colours;
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const ColourEntry& c = board.colours[i];
        colours[i] = RgbQuad{c.blue, c.green, c.red, 0};
    }
    const IndexedImage image{board.width, board.height, board.width, board.cells, colours.data()};
    const CPoint s = GetScrollPosition();
    if (z == 1)
        pDC->CopyImage(image, s, CPoint{0, 0}, w, h);
    else
        pDC->StretchImage(image, CRect{s.x / z, s.y / z, s.x / z + w / z, s.y / z + h / z},
                          CRect{0, 0, w, h});
}

void CLifeView::LayoutIfPending() {
    CLifeDoc* doc = GetDocument();
    if (!m_bLayoutPending || doc == nullptr || !doc->HasBoards()) return;
    const CellBoard& board = *doc->CurrentBoard();
    const int z = int(m_nZoom);
    const int extentX = z * board.width, extentY = z * board.height;
    CRect client;
    GetClientRect(&client);
    const int w = client.Width(), h = client.Height();
    m_bLayoutPending = false;
    SetScrollSizes(MM_TEXT, CSize{extentX, extentY});
    if (!m_bRecenter) {
        ScrollToPosition(CPoint{extentX / 2 - w / 2, extentY / 2 - h / 2});
    } else {
        ScrollToPosition(CPoint{z * m_ptCenter.x - w / 2, z * m_ptCenter.y - h / 2});
        m_bRecenter = false;
    }
}

CPoint CLifeView::ClientToCell(CPoint point) const {
    // Half a cell is taken off before dividing: a point in the left half of a
    // cell belongs to the cell on its left. Floor division, so that points
    // left of or above the board give negative cells rather than cell 0.
    const long long z = m_nZoom;
    const CPoint s = GetScrollPosition();
    auto floorDiv = [](long long a, long long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
    return CPoint{int(floorDiv(s.x + point.x - z / 2, z)), int(floorDiv(s.y + point.y - z / 2, z))};
}

void CLifeView::RememberCenter() {
    CRect client;
    GetClientRect(&client);
    m_bLayoutPending = true;
    m_ptCenter =
        ClientToCell(CPoint{(client.left + client.right) / 2, (client.top + client.bottom) / 2});
    m_bRecenter = true;
}

bool CLifeView::OnScrollBy(CSize sizeScroll, bool doScroll) {
    const bool scrolled = CScrollView::OnScrollBy(sizeScroll, doScroll);
    if (scrolled && doScroll) UpdateWindow();
    return scrolled;
}

void CLifeView::OnCenter() {
    if (CLifeDoc* doc = GetDocument()) doc->Center();
    m_bLayoutPending = true;
    Invalidate(false);
}

void CLifeView::OnRotateLeft() {
    if (CLifeDoc* doc = GetDocument()) doc->RotateLeft();
    m_bLayoutPending = true;
    Invalidate(false);
}

void CLifeView::OnEditDescription() {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr) return;
    CFileInfoDlg dlg(true);
    dlg.m_strDescription = doc->GetDescription();
    dlg.m_strFileName = doc->GetPathName();
    char born[10], survive[10];
    BornMarks(born);
    SurviveMarks(survive);
    dlg.m_strRules = FormatRulesLine(FormatRuleText(), born, survive);
    if (dlg.m_strFileName.empty()) dlg.m_strFileName = "New File";
    if (dlg.DoModal() == IDOK) doc->SetDescription(dlg.m_strDescription);
}

void CLifeView::OnExitCompletely() {
    if (MessageBox(kExitQuestion, std::string(), MB_OKCANCEL) != IDOK) return;
    if (CLifeAppBase* app = LifeApp()) app->EndProgramAtOnce();
}

}  // namespace cellarium
