// The view's geometry and what the user does with it: the scroll extent and
// the one-time centring on a remembered cell, the drawing of the visible block
// of the board, Zoom In and Zoom Out, Fit to Screen, Find First and Find Next,
// Rotate Left and Center, edit mode with the stylus, and the arrow keys.
//
// Coordinates: the view scrolls over a virtual canvas of zoom x W by zoom x H
// pixels; the scroll position is the canvas pixel at the client area's
// top-left corner. Cells are (column, row) from the board's top-left cell.
#include <array>
#include <cstdint>
#include <string>

#include "document/life_doc.h"
#include "document/life_view.h"
#include "framework/frame_wnd.h"
#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

const char* const kNoMoreFoundMessage = "No more found";

namespace {

// The frame's status strip, holding the status text, the Erase box and the
// Edit Mode label; null while there is no frame.
CDialogBar* StatusStrip() {
    CFrameWnd* frame = MainWindow();
    return frame != nullptr ? frame->GetControlBar(kDialogBarId) : nullptr;
}

}  // namespace

bool CLifeView::OnViewportCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CLifeView> map =
        CommandMap<CLifeView>()
            .On(ID_ZOOM_IN, &CLifeView::OnZoomIn)
            .On(ID_ZOOM_OUT, &CLifeView::OnZoomOut)
            .On(ID_CELLS_FIT, &CLifeView::OnFitToScreen)
            .On(ID_CELLS_FIND_FIRST, &CLifeView::OnFindFirst)
            .On(ID_CELLS_FIND_NEXT, &CLifeView::OnFindNext)
            .On(ID_CELLS_CENTER, &CLifeView::OnCenter)
            .On(ID_CELLS_ROTATE_LEFT, &CLifeView::OnRotateLeft)
            .On(ID_TOOLS_EDIT, &CLifeView::OnEditMode)
            .OnUpdate(ID_TOOLS_EDIT, &CLifeView::OnUpdateEditMode);
    return map.Dispatch(*this, msg);
}

// --- Layout and drawing ---------------------------------------------------------

void CLifeView::OnInitialUpdate() {
    CScrollView::OnInitialUpdate();
    CLifeDoc* doc = GetDocument();
    if (doc != nullptr && doc->HasBoards()) {
        // The extent of the new board at the zoom in use, and a layout that
        // shows the middle of it: a pattern opened at zoom 4 scrolls over the
        // whole board and starts at its middle, as one opened at zoom 1 does.
        const CellBoard& board = *doc->CurrentBoard();
        const int z = int(m_nZoom);
        SetScrollSizes(MM_TEXT, CSize{z * board.width, z * board.height});
        m_bRecenter = false;
        m_bLayoutPending = true;
    }
    m_nBirths = 0;
    m_nDeaths = 0;
    UpdateStatusLine();
    if (CFrameWnd* frame = MainWindow()) Platform().Processes().ShellFullScreen(*frame, 8);
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
    // The position is brought into the scrollable range by the framework.
    if (!m_bRecenter) {
        ScrollToPosition(CPoint{extentX / 2 - w / 2, extentY / 2 - h / 2});
    } else {
        ScrollToPosition(CPoint{z * m_ptCenter.x - w / 2, z * m_ptCenter.y - h / 2});
        m_bRecenter = false;
    }
}

void CLifeView::OnDraw(CDC* pDC) {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards()) return;
    const CellBoard& board = *doc->CurrentBoard();
    LayoutIfPending();
    const int z = int(m_nZoom);
    CRect client;
    GetClientRect(&client);
    const int w = client.Width(), h = client.Height();

    std::array<RgbQuad, 256> colours;
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const ColourEntry& c = board.colours[i];
        colours[i] = RgbQuad{c.blue, c.green, c.red, 0};
    }
    const IndexedImage image{board.width, board.height, board.width, board.cells, colours.data()};
    // Only board pixels are copied; the margin beyond the board is the
    // background's (OnEraseBkgnd).
    const CPoint s = GetScrollPosition();
    if (z == 1) {
        pDC->CopyImage(image, s, CPoint{0, 0}, w, h);
    } else {
        // The block starts at a whole cell (the part of a cell scrolled past,
        // s mod z, is not shown), and a client size that is not a multiple of
        // the zoom makes the cells a little larger than z so that the block
        // fills the client area.
        pDC->StretchImage(image, CRect{s.x / z, s.y / z, s.x / z + w / z, s.y / z + h / z},
                          CRect{0, 0, w, h});
    }
}

bool CLifeView::OnScrollBy(CSize sizeScroll, bool doScroll) {
    const bool scrolled = CScrollView::OnScrollBy(sizeScroll, doScroll);
    // The strips the scroll exposed are drawn before further input.
    if (scrolled && doScroll) UpdateWindow();
    return scrolled;
}

CPoint CLifeView::ClientToCell(CPoint point) const {
    // Floor division in 64 bits: a point less than half a cell from the left
    // or top edge of a view scrolled to the origin gives a negative cell
    // (which is no cell of the board) rather than cell 0 or a wrapped one.
    const long long z = m_nZoom;
    const CPoint s = GetScrollPosition();
    auto floorDiv = [](long long a, long long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
    const long long column = floorDiv(int64_t(s.x) + point.x - z / 2, z);
    const long long row = floorDiv(int64_t(s.y) + point.y - z / 2, z);
    // Clamped to int: far-off points stay far off the board.
    auto narrow = [](long long v) {
        return int(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
    };
    return CPoint{narrow(column), narrow(row)};
}

bool CLifeView::IsOnBoard(CPoint cell) const {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards()) return false;
    const CellBoard& board = *doc->CurrentBoard();
    return cell.x >= 0 && cell.y >= 0 && cell.x < board.width && cell.y < board.height;
}

void CLifeView::RememberCenter() {
    CRect client;
    GetClientRect(&client);
    m_bLayoutPending = true;
    m_ptCenter =
        ClientToCell(CPoint{(client.left + client.right) / 2, (client.top + client.bottom) / 2});
    m_bRecenter = true;
}

// --- Zoom and Fit to Screen -------------------------------------------------------

void CLifeView::OnZoomIn() {
    if (m_nZoom < kMaxZoom) {
        RememberCenter();
        m_nZoom *= 2;
        // The background is erased too: where the board at one zoom leaves
        // part of the client area uncovered, the margin must not keep pixels
        // of the image at the other. The erase paints only that margin.
        Invalidate(true);
        UpdateStatusLine();
    }
    KickIdle();
}

void CLifeView::OnZoomOut() {
    if (m_nZoom > kMinZoom) {
        RememberCenter();
        m_nZoom /= 2;
        Invalidate(true);
        UpdateStatusLine();
    }
    KickIdle();
}

void CLifeView::OnFitToScreen() {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards()) return;
    CellBoard& board = *doc->CurrentBoard();
    // The exact box of the live cells, by a full scan. The board keeps its
    // own bounds: they also cover the cells that died in the last step, which
    // are still live in the scratch board, and the next step must overwrite
    // those; narrowed to the live cells they would come back as ghosts.
    const Rect box = LiveCellBox(board);

    m_ptCenter = CPoint{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    m_bRecenter = true;
    CRect client;
    GetClientRect(&client);
    const long long w = client.Width(), h = client.Height();
    // The largest zoom z with z * (right - left) < w and z * (bottom - top) <
    // h, 1 when even zoom 2 fails. The test takes right - left, not the width
    // in cells. An empty board (an inverted box) stays at zoom 1.
    const long long dx = int64_t(box.right) - box.left, dy = int64_t(box.bottom) - box.top;
    m_nZoom = kMinZoom;
    if (dx >= 0 && dy >= 0)
        while (m_nZoom < kMaxZoom && 2 * m_nZoom * dx < w && 2 * m_nZoom * dy < h) m_nZoom *= 2;

    m_bLayoutPending = true;
    Invalidate(true);
    UpdateStatusLine();
    KickIdle();
}

// --- Find ----------------------------------------------------------------------------

void CLifeView::OnFindFirst() {
    m_ptFind = CPoint{0, 0};
    OnFindNext();
}

void CLifeView::OnFindNext() {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards()) return;
    const CellBoard& board = *doc->CurrentBoard();
    // Row-major order from the cell after the cursor. The index is taken
    // from the cursor as it stands, so a cursor left by a larger board (or
    // with a column past this board's width) still scans only this board's
    // cells.
    const long long count = int64_t(board.width) * board.height;
    const long long start = int64_t(m_ptFind.y) * board.width + m_ptFind.x + 1;
    if (start >= 0 && start < count) {
        const uint8_t* first = board.cells + start;
        const uint8_t* const end = board.cells + count;
        const uint8_t* live = first;
        while (live != end && *live == 0) ++live;
        // The cursor names the cell examined last: the live cell, or the
        // board's last cell.
        const long long at = live != end ? live - board.cells : count - 1;
        m_ptFind = CPoint{int(at % board.width), int(at / board.width)};
        if (live != end) {
            m_ptCenter = m_ptFind;
            m_bRecenter = true;
            m_bLayoutPending = true;
            Invalidate(false);
            return;
        }
    }
    // The end of the board: the view does not move, and the cursor stays on
    // the last cell, so Find Next says so again until Find First.
    MessageBox(kNoMoreFoundMessage, std::string(), MB_OK);
}

// --- Rotate Left and Center ----------------------------------------------------------

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

// --- Edit mode and the stylus -------------------------------------------------------

void CLifeView::OnEditMode() {
    m_bEditMode = !m_bEditMode;
    // The Erase box and the Edit Mode label take the place of the status
    // text, which keeps receiving the updates while hidden.
    if (CDialogBar* strip = StatusStrip()) {
        strip->ShowControl(IDC_ERASE, m_bEditMode);
        strip->ShowControl(IDC_EDIT_MODE_LABEL, m_bEditMode);
        strip->ShowControl(IDC_STATUS_TEXT, !m_bEditMode);
    }
}

void CLifeView::OnUpdateEditMode(CCmdUI* pCmdUI) {
    pCmdUI->Enable(true);
    pCmdUI->SetCheck(m_bEditMode ? 1 : 0);
}

void CLifeView::EditCellAt(CPoint point) {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards()) return;
    CDialogBar* strip = StatusStrip();
    const CPoint cell = ClientToCell(point);
    // A point with no cell under it (past the right or bottom edge of a
    // board smaller than the client area, within half a cell of the left or
    // top edge at the origin, or off the client area while dragging) is
    // ignored: nothing outside the board is read or written.
    if (!IsOnBoard(cell)) return;
    CellBoard& board = *doc->CurrentBoard();
    uint8_t& value = board.At(cell.x, cell.y);
    const bool erase = strip != nullptr && strip->IsDlgButtonChecked(IDC_ERASE) != 0;
    if (erase) {
        if (value != 0) --board.liveCount;
        value = 0;
    } else {
        if (value == 0) ++board.liveCount;
        // A drawn cell has the value of a loaded one, whatever it held.
        value = 1;
        // The next step computes the whole interior.
        board.SetWholeBounds();
    }
    // A step never writes the border: it reads one board and writes the
    // other, so a border cell changed on the current board alone would come
    // and go with every step. The scratch board takes the same edit there.
    const bool onBorder =
        cell.x == 0 || cell.y == 0 || cell.x == board.width - 1 || cell.y == board.height - 1;
    if (CellBoard* scratch = doc->ScratchBoard(); onBorder && scratch != nullptr)
        scratch->At(cell.x, cell.y) = value;
    const int z = int(m_nZoom);
    const CRect around{point.x - 2 * z, point.y - 2 * z, point.x + 4 * z, point.y + 4 * z};
    InvalidateRect(&around, true);
}

void CLifeView::OnLButtonDown(unsigned flags, CPoint point) {
    CScrollView::OnLButtonDown(flags, point);
    if (m_bEditMode) EditCellAt(point);
}

void CLifeView::OnMouseMove(unsigned flags, CPoint point) {
    CScrollView::OnMouseMove(flags, point);
    // Only a drag with the stylus down draws.
    if (m_bEditMode && (flags & MK_LBUTTON) != 0) EditCellAt(point);
}

// --- Arrow keys ------------------------------------------------------------------------

void CLifeView::OnKeyDown(unsigned key, unsigned repeat, unsigned flags) {
    switch (key) {
        case VK_LEFT:
            OnHScroll(SB_LINELEFT, 0);
            break;
        case VK_RIGHT:
            OnHScroll(SB_LINERIGHT, 0);
            break;
        case VK_UP:
            OnVScroll(SB_LINEUP, 0);
            break;
        case VK_DOWN:
            OnVScroll(SB_LINEDOWN, 0);
            break;
        default:
            break;
    }
    CScrollView::OnKeyDown(key, repeat, flags);
}

}  // namespace cellarium
