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
#include "document/shrunk_cells.h"
#include "framework/frame_wnd.h"
#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

const char* const kNoMoreFoundMessage = "No more found";

namespace {

long long FloorDiv(long long a, long long b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Clamped to int: far-off points stay far off the board.
int Narrow(long long v) {
    return int(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
}

}  // namespace

bool ViewportControl::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<ViewportControl> map =
        CommandMap<ViewportControl>()
            .On(ID_ZOOM_IN, &ViewportControl::OnZoomIn)
            .On(ID_ZOOM_OUT, &ViewportControl::OnZoomOut)
            .On(ID_CELLS_FIT, &ViewportControl::OnFitToScreen)
            .On(ID_CELLS_FIND_FIRST, &ViewportControl::OnFindFirst)
            .On(ID_CELLS_FIND_NEXT, &ViewportControl::OnFindNext)
            .On(ID_CELLS_CENTER, &ViewportControl::OnCenter)
            .On(ID_CELLS_ROTATE_LEFT, &ViewportControl::OnRotateLeft)
            .On(ID_VIEW_GRID, &ViewportControl::OnViewGrid)
            .OnUpdate(ID_VIEW_GRID, &ViewportControl::OnUpdateViewGrid)
            .OnUpdate(ID_ZOOM_IN, &ViewportControl::OnUpdateZoomIn)
            .OnUpdate(ID_ZOOM_OUT, &ViewportControl::OnUpdateZoomOut);
    return map.Dispatch(*this, msg);
}

// --- Layout and drawing ---------------------------------------------------------

void ViewportControl::InitialUpdate() {
    if (CLifeDoc* doc = DocumentWithBoards()) {
        // The extent of the new board at the zoom in use, and a layout that
        // shows the middle of it: a pattern opened at zoom 4 scrolls over the
        // whole board and starts at its middle, as one opened at zoom 1 does.
        const CellBoard& board = *doc->CurrentBoard();
        view_.SetScrollSizes(MM_TEXT, CSize{BoardPixels(board.width) + 2 * kBoardMargin,
                                            BoardPixels(board.height) + 2 * kBoardMargin});
        m_bRecenter = false;
        m_bLayoutPending = true;
    }
    if (CWinApp* app = TheApp()) m_bGrid = app->GetProfileInt("View", "Grid", 0) != 0;
}

void ViewportControl::LayoutIfPending() {
    CLifeDoc* doc = Document();
    if (!m_bLayoutPending || doc == nullptr || !doc->HasBoards()) return;
    const CellBoard& board = *doc->CurrentBoard();
    const int extentX = BoardPixels(board.width) + 2 * kBoardMargin;
    const int extentY = BoardPixels(board.height) + 2 * kBoardMargin;
    CRect client;
    view_.GetClientRect(&client);
    const int w = client.Width(), h = client.Height();
    m_bLayoutPending = false;
    view_.SetScrollSizes(MM_TEXT, CSize{extentX, extentY});
    // The position is brought into the scrollable range by the framework.
    if (!m_bRecenter) {
        view_.ScrollToPosition(CPoint{extentX / 2 - w / 2, extentY / 2 - h / 2});
        m_bLaidOut = false;
    } else {
        // The remembered point of the board, at this zoom, to its client
        // point: exact, so a zoom and its inverse come back to the very same
        // scroll position.
        const long long x = FineToPixel(m_ptCenterFine.x) + kBoardMargin - m_ptCenterAt.x;
        const long long y = FineToPixel(m_ptCenterFine.y) + kBoardMargin - m_ptCenterAt.y;
        view_.ScrollToPosition(CPoint{Narrow(x), Narrow(y)});
        m_bRecenter = false;
        m_ptLaidOut = view_.GetScrollPosition();
        m_bLaidOut = true;
    }
}

void ViewportControl::CenterOnCell(CPoint cell) {
    m_ptCenter = cell;
    m_ptCenterFine =
        CPoint{Narrow(int64_t(cell.x) * kFineUnits), Narrow(int64_t(cell.y) * kFineUnits)};
    CRect client;
    view_.GetClientRect(&client);
    m_ptCenterAt = CPoint{client.Width() / 2, client.Height() / 2};
    m_bRecenter = true;
}

void ViewportControl::DrawBoard(CDC& dc) {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards()) return;
    const CellBoard& board = *doc->CurrentBoard();
    LayoutIfPending();
    const int z = int(m_nZoom);
    CRect client;
    view_.GetClientRect(&client);
    const int w = client.Width(), h = client.Height();

    std::array<RgbQuad, 256> colours;
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const ColourEntry& c = board.colours[i];
        colours[i] = RgbQuad{c.blue, c.green, c.red, 0};
    }
    const IndexedImage image{board.width, board.height, board.width, board.Cells(), colours.data()};
    // Every cell is z x z pixels: the block of cells that touches the client
    // area, shifted by the part of its first cell scrolled past, so that the
    // pixel at canvas point (x, y) shows cell (x div z, y div z), the cell
    // ClientToCell names.
    const CPoint s = BoardScroll();
    if (w > 0 && h > 0 && m_nShrink > 1) {
        // Zoomed out: each pixel of the client area shows its block of cells.
        const std::size_t size = std::size_t(w) * std::size_t(h);
        if (m_shrunk.size() != size) m_shrunk.assign(size, 0);
        ShrinkCells(board.Cells(), board.width, board.height, int(m_nShrink), s.x, s.y, w, h,
                    m_shrunk.data());
        const IndexedImage shrunk{w, h, w, m_shrunk.data(), colours.data()};
        dc.StretchImage(shrunk, CRect{0, 0, w, h}, CRect{0, 0, w, h});
    } else if (w > 0 && h > 0) {
        const int firstX = int(FloorDiv(s.x, z)), firstY = int(FloorDiv(s.y, z));
        const int offX = s.x - firstX * z, offY = s.y - firstY * z;
        const int cols = (offX + w + z - 1) / z, rows = (offY + h + z - 1) / z;
        dc.StretchImage(image, CRect{firstX, firstY, firstX + cols, firstY + rows},
                        CRect{-offX, -offY, cols * z - offX, rows * z - offY});
        // The grid: the first pixel line of every cell on the board.
        if (m_bGrid && m_nZoom >= kGridZoom) {
            const uint32_t grid = GridColour(board.colours[0].Rgb());
            const int top = std::max(-s.y, 0), bottom = std::min(z * board.height - s.y, h);
            const int left = std::max(-s.x, 0), right = std::min(z * board.width - s.x, w);
            for (int c = std::max(firstX, 0); c < std::min(firstX + cols, board.width); ++c)
                if (const int x = c * z - s.x; x >= 0 && x < w)
                    dc.FillSolidRect(CRect{x, top, x + 1, bottom}, grid);
            for (int r = std::max(firstY, 0); r < std::min(firstY + rows, board.height); ++r)
                if (const int y = r * z - s.y; y >= 0 && y < h)
                    dc.FillSolidRect(CRect{left, y, right, y + 1}, grid);
        }
    }
}

CPoint ViewportControl::ClientToCell(CPoint point) const {
    // Floor division in 64 bits: a point left of or above the board gives a
    // negative cell (which is no cell of the board) rather than a wrapped one.
    // Zoomed out, the first cell of the pixel's block.
    const CPoint s = BoardScroll();
    return CPoint{Narrow(PixelToCell(int64_t(s.x) + point.x)),
                  Narrow(PixelToCell(int64_t(s.y) + point.y))};
}

int ViewportControl::BoardPixels(int cells) const {
    const long long k = m_nShrink;
    return Narrow(m_nShrink > 1 ? (cells + k - 1) / k : int64_t(cells) * m_nZoom);
}

long long ViewportControl::PixelToCell(long long pixel) const {
    return FloorDiv(pixel * m_nShrink, m_nZoom);
}

long long ViewportControl::CellToPixel(long long cell) const {
    return FloorDiv(cell * m_nZoom, m_nShrink);
}

long long ViewportControl::FineToPixel(long long fine) const {
    return FloorDiv(fine * m_nZoom, int64_t(kFineUnits) * m_nShrink);
}

std::string ViewportControl::ZoomText() const {
    return m_nShrink > 1 ? "x1/" + std::to_string(m_nShrink) : "x" + std::to_string(m_nZoom);
}

CRect ViewportControl::CellToClient(CPoint cell) const {
    // Zoomed out a cell shares the pixel of its block.
    const long long size = m_nShrink > 1 ? 1 : m_nZoom;
    const CPoint s = BoardScroll();
    const long long left = CellToPixel(cell.x) - s.x, top = CellToPixel(cell.y) - s.y;
    return CRect{Narrow(left), Narrow(top), Narrow(left + size), Narrow(top + size)};
}

CPoint ViewportControl::BoardScroll() const {
    const CPoint s = view_.GetScrollPosition();
    return CPoint{s.x - kBoardMargin, s.y - kBoardMargin};
}

bool ViewportControl::IsOnBoard(CPoint cell) const {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards()) return false;
    const CellBoard& board = *doc->CurrentBoard();
    return cell.x >= 0 && cell.y >= 0 && cell.x < board.width && cell.y < board.height;
}

void ViewportControl::RememberCenter() {
    CRect client;
    view_.GetClientRect(&client);
    m_bLayoutPending = true;
    const CPoint at = view_.PointerAnchor().value_or(
        CPoint{(client.left + client.right) / 2, (client.top + client.bottom) / 2});
    m_ptCenter = ClientToCell(at);
    // The canvas pixel at that client point, in fine units of the board. A
    // remembered point that still lies in that pixel (the view has not moved
    // since it was laid out) is kept: it may be finer than this zoom's pixel.
    const CPoint s = BoardScroll();
    const long long px = int64_t(s.x) + at.x, py = int64_t(s.y) + at.y;
    // So is one still waiting for its layout (a second zoom before the
    // view was drawn again).
    const bool waiting = m_bLayoutPending && m_bRecenter;
    // And one the last layout had to clamp (a zoom out that made the board
    // smaller than the window) while the view has not moved since.
    const bool clamped = m_bLaidOut && view_.GetScrollPosition() == m_ptLaidOut;
    const bool kept =
        m_ptCenterAt == at && (waiting || clamped ||
                               (m_bRememberedValid && FineToPixel(m_ptCenterFine.x) == px &&
                                FineToPixel(m_ptCenterFine.y) == py));
    if (!kept)
        m_ptCenterFine = CPoint{Narrow(px * kFineUnits * m_nShrink / m_nZoom),
                                Narrow(py * kFineUnits * m_nShrink / m_nZoom)};
    m_ptCenterAt = at;
    m_bRememberedValid = true;
    m_bRecenter = true;
}

// --- Zoom and Fit to Screen -------------------------------------------------------

void ViewportControl::OnZoomIn() {
    if (m_nZoom < kMaxZoom) {
        RememberCenter();
        if (m_nShrink > 1)
            m_nShrink /= 2;
        else
            m_nZoom *= 2;
        // The background is erased too: where the board at one zoom leaves
        // part of the client area uncovered, the margin must not keep pixels
        // of the image at the other. The erase paints only that margin.
        view_.Invalidate(true);
        view_.UpdateStatusLine();
    }
    view_.KickIdle();
}

void ViewportControl::OnZoomOut() {
    if (m_nShrink < kMaxShrink) {
        RememberCenter();
        if (m_nZoom > kMinZoom)
            m_nZoom /= 2;
        else
            m_nShrink *= 2;
        view_.Invalidate(true);
        view_.UpdateStatusLine();
    }
    view_.KickIdle();
}

void ViewportControl::OnFitToScreen() {
    FitPattern(kMaxZoom);
}

void ViewportControl::FitPattern(uint32_t largest) {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards()) return;
    CellBoard& board = *doc->CurrentBoard();
    // The exact box of the live cells, by a full scan. The board keeps its
    // own bounds: they also cover the cells that died in the last step, which
    // are still live in the scratch board, and the next step must overwrite
    // those; narrowed to the live cells they would come back as ghosts.
    const Rect box = LiveCellBox(board);

    CenterOnCell(CPoint{(box.left + box.right) / 2, (box.top + box.bottom) / 2});
    CRect client;
    view_.GetClientRect(&client);
    const long long w = client.Width(), h = client.Height();
    // The largest zoom z with z * (right - left) < w and z * (bottom - top) <
    // h, 1 when even zoom 2 fails. The test takes right - left, not the width
    // in cells. An empty board (an inverted box) stays at zoom 1.
    const long long dx = int64_t(box.right) - box.left, dy = int64_t(box.bottom) - box.top;
    // A pattern wider or taller than that at zoom 1 takes the closest zoom
    // out at which it fits the same way: k x w > right - left.
    m_nZoom = kMinZoom;
    m_nShrink = 1;
    if (dx >= 0 && dy >= 0) {
        while (m_nZoom < largest && 2 * m_nZoom * dx < w && 2 * m_nZoom * dy < h) m_nZoom *= 2;
        while (m_nShrink < kMaxShrink && (dx >= m_nShrink * w || dy >= m_nShrink * h))
            m_nShrink *= 2;
    }

    m_bLayoutPending = true;
    view_.Invalidate(true);
    view_.UpdateStatusLine();
    view_.KickIdle();
}

// --- Find ----------------------------------------------------------------------------

void ViewportControl::OnFindFirst() {
    m_ptFind = CPoint{0, 0};
    OnFindNext();
}

void ViewportControl::OnFindNext() {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards()) return;
    const CellBoard& board = *doc->CurrentBoard();
    // Row-major order from the cell after the cursor. The index is taken
    // from the cursor as it stands, so a cursor left by a larger board (or
    // with a column past this board's width) still scans only this board's
    // cells.
    const long long count = int64_t(board.width) * board.height;
    const long long start = int64_t(m_ptFind.y) * board.width + m_ptFind.x + 1;
    if (start >= 0 && start < count) {
        const uint8_t* first = board.Cells() + start;
        const uint8_t* const end = board.Cells() + count;
        const uint8_t* live = first;
        while (live != end && *live == 0) ++live;
        // The cursor names the cell examined last: the live cell, or the
        // board's last cell.
        const long long at = live != end ? live - board.Cells() : count - 1;
        m_ptFind = CPoint{int(at % board.width), int(at / board.width)};
        if (live != end) {
            CenterOnCell(m_ptFind);
            m_bLayoutPending = true;
            view_.Invalidate(false);
            return;
        }
    }
    // The end of the board: the view does not move, and the cursor stays on
    // the last cell, so Find Next says so again until Find First.
    view_.MessageBox(kNoMoreFoundMessage, std::string(), MB_OK);
}

// --- Rotate Left and Center ----------------------------------------------------------

void ViewportControl::OnCenter() {
    if (CLifeDoc* doc = Document()) doc->Center();
    m_bLayoutPending = true;
    view_.Invalidate(false);
}

void ViewportControl::OnRotateLeft() {
    if (CLifeDoc* doc = Document()) doc->RotateLeft();
    m_bLayoutPending = true;
    view_.Invalidate(false);
}

// --- Arrow keys ------------------------------------------------------------------------

bool ViewportControl::KeyDown(unsigned key) {
    switch (key) {
        case VK_LEFT:
            view_.OnHScroll(SB_LINELEFT, 0);
            return true;
        case VK_RIGHT:
            view_.OnHScroll(SB_LINERIGHT, 0);
            return true;
        case VK_UP:
            view_.OnVScroll(SB_LINEUP, 0);
            return true;
        case VK_DOWN:
            view_.OnVScroll(SB_LINEDOWN, 0);
            return true;
        default:
            return false;
    }
}

void ViewportControl::OnViewGrid() {
    m_bGrid = !m_bGrid;
    if (CWinApp* app = TheApp()) app->WriteProfileInt("View", "Grid", m_bGrid ? 1 : 0);
    view_.Invalidate(false);
}

void ViewportControl::OnUpdateViewGrid(CCmdUI* pCmdUI) {
    pCmdUI->Enable(true);
    pCmdUI->SetCheck(m_bGrid ? 1 : 0);
}

void ViewportControl::OnUpdateZoomIn(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_nZoom < kMaxZoom);
}

void ViewportControl::OnUpdateZoomOut(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_nShrink < kMaxShrink);
}

// --- The margin ---------------------------------------------------------------------

void ViewportControl::PaintMargin(CDC& dc) {
    const PaletteBlock* palette = CurrentPalette();
    CLifeDoc* doc = Document();
    if (palette == nullptr || doc == nullptr || !doc->HasBoards()) return;
    // The extent and position the draw that follows will use.
    LayoutIfPending();
    CRect client;
    view_.GetClientRect(&client);
    const CellBoard& board = *doc->CurrentBoard();
    const CPoint s = BoardScroll();
    // The board covers this part of the client area; around it, a frame line
    // one pixel wide and the margin beyond.
    const CRect onBoard{-s.x, -s.y, BoardPixels(board.width) - s.x,
                        BoardPixels(board.height) - s.y};
    const CRect framed{onBoard.left - 1, onBoard.top - 1, onBoard.right + 1, onBoard.bottom + 1};
    const uint32_t dead = palette->entries[0].Rgb();
    auto fill = [&dc](const CRect& r, uint32_t colour) {
        if (!r.IsEmpty()) dc.FillSolidRect(r, colour);
    };
    // Fills what lies within `within` but outside `inner`: above, below, and
    // left and right between them.
    auto fillOutside = [&](const CRect& inner, uint32_t colour, const CRect& within) {
        const int top = std::max(inner.top, within.top);
        const int bottom = std::min(inner.bottom, within.bottom);
        fill(CRect{within.left, within.top, within.right, std::min(inner.top, within.bottom)},
             colour);
        fill(CRect{within.left, std::max(inner.bottom, within.top), within.right, within.bottom},
             colour);
        fill(CRect{within.left, top, std::min(inner.left, within.right), bottom}, colour);
        fill(CRect{std::max(inner.right, within.left), top, within.right, bottom}, colour);
    };
    fillOutside(framed, MarginColour(dead), client);
    const CRect inFrame{std::max(framed.left, client.left), std::max(framed.top, client.top),
                        std::min(framed.right, client.right),
                        std::min(framed.bottom, client.bottom)};
    if (!inFrame.IsEmpty()) fillOutside(onBoard, FrameColour(dead), inFrame);
}

}  // namespace cellarium
