// The view's geometry and what the user does with it: the scroll extent and
// the one-time centring on a remembered cell, the drawing of the visible block
// of the board, Zoom In and Zoom Out, Fit to Screen, Find First and Find Next,
// Rotate Left and Center, edit mode with the stylus, and the arrow keys.
//
// Coordinates: the view scrolls over a virtual canvas of zoom x W by zoom x H
// pixels with a margin of kBoardMargin pixels around it, so that the board's
// edges can be scrolled into view; the scroll position is the canvas pixel at
// the client area's top-left corner. Cells are (column, row) from the board's
// top-left cell.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdlib>
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

long long FloorDiv(long long a, long long b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Clamped to int: far-off points stay far off the board.
int Narrow(long long v) {
    return int(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
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
        SetScrollSizes(MM_TEXT, CSize{z * board.width + 2 * kBoardMargin,
                                      z * board.height + 2 * kBoardMargin});
        m_bRecenter = false;
        m_bLayoutPending = true;
    }
    if (CWinApp* app = TheApp()) m_bGrid = app->GetProfileInt("View", "Grid", 0) != 0;
    ApplyAnalysisSettings();
    StartCountingAfresh();
    UpdateStatusLine();
    if (CFrameWnd* frame = MainWindow()) Platform().Processes().ShellFullScreen(*frame, 8);
}

void CLifeView::LayoutIfPending() {
    CLifeDoc* doc = GetDocument();
    if (!m_bLayoutPending || doc == nullptr || !doc->HasBoards()) return;
    const CellBoard& board = *doc->CurrentBoard();
    const int z = int(m_nZoom);
    const int extentX = z * board.width + 2 * kBoardMargin;
    const int extentY = z * board.height + 2 * kBoardMargin;
    CRect client;
    GetClientRect(&client);
    const int w = client.Width(), h = client.Height();
    m_bLayoutPending = false;
    SetScrollSizes(MM_TEXT, CSize{extentX, extentY});
    // The position is brought into the scrollable range by the framework.
    if (!m_bRecenter) {
        ScrollToPosition(CPoint{extentX / 2 - w / 2, extentY / 2 - h / 2});
    } else {
        // The remembered point of the board, at this zoom, to its client
        // point: exact, so a zoom and its inverse come back to the very same
        // scroll position.
        const long long x =
            FloorDiv(int64_t(m_ptCenterFine.x) * z, kFineUnits) + kBoardMargin - m_ptCenterAt.x;
        const long long y =
            FloorDiv(int64_t(m_ptCenterFine.y) * z, kFineUnits) + kBoardMargin - m_ptCenterAt.y;
        ScrollToPosition(CPoint{Narrow(x), Narrow(y)});
        m_bRecenter = false;
    }
}

void CLifeView::CenterOnCell(CPoint cell) {
    m_ptCenter = cell;
    m_ptCenterFine =
        CPoint{Narrow(int64_t(cell.x) * kFineUnits), Narrow(int64_t(cell.y) * kFineUnits)};
    CRect client;
    GetClientRect(&client);
    m_ptCenterAt = CPoint{client.Width() / 2, client.Height() / 2};
    m_bRecenter = true;
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
    // Every cell is z x z pixels: the block of cells that touches the client
    // area, shifted by the part of its first cell scrolled past, so that the
    // pixel at canvas point (x, y) shows cell (x div z, y div z), the cell
    // ClientToCell names.
    const CPoint s = BoardScroll();
    if (w > 0 && h > 0) {
        const int firstX = int(FloorDiv(s.x, z)), firstY = int(FloorDiv(s.y, z));
        const int offX = s.x - firstX * z, offY = s.y - firstY * z;
        const int cols = (offX + w + z - 1) / z, rows = (offY + h + z - 1) / z;
        pDC->StretchImage(image, CRect{firstX, firstY, firstX + cols, firstY + rows},
                          CRect{-offX, -offY, cols * z - offX, rows * z - offY});
        // The grid: the first pixel line of every cell on the board.
        if (m_bGrid && m_nZoom >= kGridZoom) {
            const uint32_t grid = GridColour(board.colours[0].Rgb());
            const int top = std::max(-s.y, 0), bottom = std::min(z * board.height - s.y, h);
            const int left = std::max(-s.x, 0), right = std::min(z * board.width - s.x, w);
            for (int c = std::max(firstX, 0); c < std::min(firstX + cols, board.width); ++c)
                if (const int x = c * z - s.x; x >= 0 && x < w)
                    pDC->FillSolidRect(CRect{x, top, x + 1, bottom}, grid);
            for (int r = std::max(firstY, 0); r < std::min(firstY + rows, board.height); ++r)
                if (const int y = r * z - s.y; y >= 0 && y < h)
                    pDC->FillSolidRect(CRect{left, y, right, y + 1}, grid);
        }
    }
    PaintMargin(*pDC);
    DrawSelection(pDC);
}

bool CLifeView::OnScrollBy(CSize sizeScroll, bool doScroll) {
    const bool scrolled = CScrollView::OnScrollBy(sizeScroll, doScroll);
    // The strips the scroll exposed are drawn before further input.
    if (scrolled && doScroll) UpdateWindow();
    return scrolled;
}

CPoint CLifeView::ClientToCell(CPoint point) const {
    // Floor division in 64 bits: a point left of or above the board gives a
    // negative cell (which is no cell of the board) rather than a wrapped one.
    const long long z = m_nZoom;
    const CPoint s = BoardScroll();
    return CPoint{Narrow(FloorDiv(int64_t(s.x) + point.x, z)),
                  Narrow(FloorDiv(int64_t(s.y) + point.y, z))};
}

CPoint CLifeView::BoardScroll() const {
    const CPoint s = GetScrollPosition();
    return CPoint{s.x - kBoardMargin, s.y - kBoardMargin};
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
    const CPoint at = m_pointerAnchor.value_or(
        CPoint{(client.left + client.right) / 2, (client.top + client.bottom) / 2});
    m_ptCenter = ClientToCell(at);
    // The canvas pixel at that client point, in fine units of the board. A
    // remembered point that still lies in that pixel (the view has not moved
    // since it was laid out) is kept: it may be finer than this zoom's pixel.
    const CPoint s = BoardScroll();
    const long long z = m_nZoom;
    const long long px = int64_t(s.x) + at.x, py = int64_t(s.y) + at.y;
    // So is one still waiting for its layout (a second zoom before the
    // view was drawn again).
    const bool waiting = m_bLayoutPending && m_bRecenter;
    const bool kept = m_ptCenterAt == at &&
                      (waiting || (m_bRememberedValid &&
                                   FloorDiv(int64_t(m_ptCenterFine.x) * z, kFineUnits) == px &&
                                   FloorDiv(int64_t(m_ptCenterFine.y) * z, kFineUnits) == py));
    if (!kept)
        m_ptCenterFine = CPoint{Narrow(px * (kFineUnits / z)), Narrow(py * (kFineUnits / z))};
    m_ptCenterAt = at;
    m_bRememberedValid = true;
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

    CenterOnCell(CPoint{(box.left + box.right) / 2, (box.top + box.bottom) / 2});
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
            CenterOnCell(m_ptFind);
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

void CLifeView::EditCell(CPoint cell, bool erase) {
    CLifeDoc* doc = GetDocument();
    CellBoard& board = *doc->CurrentBoard();
    uint8_t& value = board.At(cell.x, cell.y);
    const uint8_t before = value;
    doc->NoteStrokeCell(cell.x, cell.y, erase ? 0 : 1, erase);
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
    if (value != before) doc->SetModifiedFlag();
}

void CLifeView::EditCellAt(CPoint point, bool continueStroke) {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards()) return;
    CDialogBar* strip = StatusStrip();
    const bool erase = strip != nullptr && strip->IsDlgButtonChecked(IDC_ERASE) != 0;
    const CPoint cell = ClientToCell(point);
    const CPoint from = continueStroke && m_bStroke ? m_ptStroke : cell;
    m_ptStroke = cell;
    m_bStroke = true;
    // The line of cells from the stroke's last cell to this one (Bresenham),
    // however far the pointer moved between two events. Cells with no board
    // under them (past the edges, off the client area while dragging) are
    // ignored: nothing outside the board is read or written. The walk starts
    // at an end on the board and stops where the line leaves it, so it never
    // takes more steps than the board has cells across.
    CPoint a = from, b = cell;
    if (!IsOnBoard(a)) std::swap(a, b);
    if (!IsOnBoard(a)) return;
    const long long dx = std::llabs(int64_t(b.x) - a.x), dy = -std::llabs(int64_t(b.y) - a.y);
    const int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    long long err = dx + dy;
    CPoint c = a;
    CPoint lo = a, hi = a;
    for (;;) {
        if (!IsOnBoard(c)) break;
        EditCell(c, erase);
        lo = CPoint{std::min(lo.x, c.x), std::min(lo.y, c.y)};
        hi = CPoint{std::max(hi.x, c.x), std::max(hi.y, c.y)};
        if (c == b) break;
        const long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            c.x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            c.y += sy;
        }
    }
    // The cells edited, and a cell more on every side.
    const int z = int(m_nZoom);
    const CPoint s = BoardScroll();
    const CRect around{(lo.x - 1) * z - s.x, (lo.y - 1) * z - s.y, (hi.x + 2) * z - s.x,
                       (hi.y + 2) * z - s.y};
    InvalidateRect(&around, true);
}

void CLifeView::OnLButtonDown(unsigned flags, CPoint point) {
    CScrollView::OnLButtonDown(flags, point);
    if (SelectionButtonDown(flags, point)) return;
    if (m_bEditMode) EditCellAt(point);
}

void CLifeView::OnMouseMove(unsigned flags, CPoint point) {
    CScrollView::OnMouseMove(flags, point);
    if (SelectionMouseMove(flags, point)) return;
    // Only a drag with the stylus down draws.
    if ((flags & MK_LBUTTON) == 0) {
        m_bStroke = false;
        return;
    }
    if (m_bEditMode) EditCellAt(point, true);
}

// --- Arrow keys ------------------------------------------------------------------------

void CLifeView::OnKeyDown(unsigned key, unsigned repeat, unsigned flags) {
    if (SelectionKeyDown(key)) return;
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
